#include "tools/velt-drive/train/train_file.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "tools/velt-drive/train/train_reader.h"

namespace velt::drive {

namespace trainread {

namespace {

FileLine cleanLine(std::string_view raw, int number) {
    const std::size_t semicolon = raw.find(';');
    if (semicolon != std::string_view::npos) raw = raw.substr(0, semicolon);
    const std::size_t begin = raw.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) return {{}, number, 1};
    const std::size_t end = raw.find_last_not_of(" \t\r\v\f,");
    if (end == std::string_view::npos || end < begin) return {{}, number, 1};
    return {raw.substr(begin, end - begin + 1), number, static_cast<int>(begin) + 1};
}

}  // namespace

Reader::Reader(const std::string& file) { train_.path = file; }

ReadTrain Reader::run(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    requireText(text);
    int number = 0;
    bool first = true;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view raw = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        const FileLine line = cleanLine(raw, ++number);
        if (first && !line.text.empty()) {
            first = false;
            if (header(line)) continue;
        }
        if (!line.text.empty() && line.text[0] == '#') {
            beginSection(line);
        } else {
            field(line);
        }
    }
    finish();
    return {std::move(train_), std::move(warnings_)};
}

SourceLocation Reader::at(int line, int column) const { return {train_.path, line, column}; }

void Reader::warn(SourceLocation where, std::string message, std::string help) {
    warnings_.push_back(
        diagnosticAt(Severity::Warning, std::move(where), std::move(message), std::move(help)));
}

void Reader::fail(SourceLocation where, std::string message, std::string help) const {
    throw DiagnosticError(
        diagnosticAt(Severity::Error, std::move(where), std::move(message), std::move(help)));
}

void Reader::requireText(std::string_view text) const {
    const std::size_t nul = text.find('\0');
    if (nul == std::string_view::npos) return;
    const std::string_view before = text.substr(0, nul);
    const auto line = static_cast<int>(std::count(before.begin(), before.end(), '\n')) + 1;
    const std::size_t lineStart = before.rfind('\n');
    const auto column =
        static_cast<int>(lineStart == std::string_view::npos ? nul + 1 : nul - lineStart);
    fail(at(line, column), "not a text file: it holds a NUL byte",
         "a train.dat is plain text; a file saved as UTF-16 must be saved again as UTF-8");
}

SourceLocation Reader::sectionStart(Section section) const {
    const auto found = sectionLine_.find(section);
    return found == sectionLine_.end() ? at(0) : at(found->second);
}

void Reader::finish() {
    if (train_.header.line == 0 && sectionLine_.empty())
        fail(at(0),
             "not a train file: it has no version header and none of the sections "
             "#HANDLE, #ACCELERATION, #PERFORMANCE, #CAR, ...",
             "give the train's train.dat, or the folder that holds it");
    recordMissingFields();
    checkAcceleration();
    checkAcrossSections();
}

void Reader::checkAcrossSections() {
    TrainFile& t = train_;
    if (t.holdBrakeFitted && t.brakeType == BrakeType::AutomaticAir)
        warn(sectionStart(Section::Device),
             "the hold brake (#DEVICE 4) is switched off by the automatic air brake "
             "(#BRAKE 0 is 2), as the host does");
    if (t.motorCars == 0)
        warn(sectionStart(Section::Car),
             "#CAR 1 gives 0 motor cars: the host counts 1, and so does velt-drive");
    const auto limit = [&](std::optional<int>& driver, int declared, const char* what) {
        if (!driver || *driver <= declared) return;
        warn(sectionStart(Section::Handle),
             std::string("the driver's ") + what + " notches (" + std::to_string(*driver) +
                 ") are more than the " + std::to_string(declared) +
                 " declared: the driver reaches " + std::to_string(declared));
        driver = declared;
    };
    limit(t.driverPowerNotches, t.powerNotches, "power");
    limit(t.driverBrakeNotches, t.brakeNotches, "brake");
}

}  // namespace trainread

std::string describeFormat(const TrainHeader& header) {
    const std::string format =
        header.format == TrainFormat::Oldest ? "the oldest format" : "the current format";
    if (header.line == 0) return format + " (no version header)";
    return format + " (header " + header.text + (header.recognised ? ")" : ", unrecognised)");
}

int carCount(const TrainFile& train) { return std::max(1, train.motorCars) + train.trailerCars; }

double trainLengthM(const TrainFile& train) {
    const auto cars = static_cast<double>(carCount(train));
    return cars * train.carLengthM + (cars - 1.0) * 0.3;
}

double trainMassT(const TrainFile& train) {
    return static_cast<double>(std::max(1, train.motorCars)) * train.motorCarMassT +
           static_cast<double>(train.trailerCars) * train.trailerCarMassT;
}

bool holdBrakeInUse(const TrainFile& train) {
    return train.holdBrakeFitted && train.brakeType != BrakeType::AutomaticAir;
}

ReadTrain parseTrain(std::string_view text, const std::string& file) {
    return trainread::Reader(file).run(text);
}

namespace {

std::string lowered(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The entry of `folder` named `name` in any case, the exact name first.
std::optional<std::filesystem::path> findInFolder(const std::filesystem::path& folder,
                                                  const std::string& name) {
    std::error_code error;
    if (std::filesystem::is_regular_file(folder / name, error)) return folder / name;
    std::vector<std::filesystem::path> matches;
    for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        if (lowered(it->path().filename().string()) == name) matches.push_back(it->path());
    }
    if (matches.empty()) return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

constexpr std::uintmax_t kLargestTrainFileBytes = 4U << 20U;

[[noreturn]] void failPath(const std::string& path, std::string message, std::string help) {
    throw DiagnosticError(
        diagnosticAt(Severity::Error, {path, 0, 0}, std::move(message), std::move(help)));
}

}  // namespace

ReadTrain readTrain(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path file(path);
    if (fs::is_directory(file, error)) {
        const std::optional<fs::path> found = findInFolder(file, "train.dat");
        if (!found)
            failPath(path, "the folder holds no train.dat",
                     "give the train's folder (the one with train.dat in it) or the train.dat "
                     "itself");
        file = *found;
    } else if (!fs::exists(file, error)) {
        failPath(path, "no such file or folder", "give the train's folder or its train.dat");
    }
    // Forward slashes on every system: the Windows tool names the file as
    // the native one does, in the summary as in messages.
    const std::string name = file.generic_string();
    // A device or a pipe would be read for ever (/dev/zero) or block (a
    // FIFO); a train.dat is a few kilobytes.
    if (!fs::is_regular_file(file, error))
        failPath(name, "is not a regular file", "give the train's folder or its train.dat");
    const std::uintmax_t bytes = fs::file_size(file, error);
    if (!error && bytes > kLargestTrainFileBytes)
        failPath(name, "is larger than any train.dat (over 4 MiB)",
                 "give the train's folder or its train.dat");
    std::ifstream in(file, std::ios::binary);
    std::ostringstream content;
    if (!in || !(content << in.rdbuf()) || in.bad())
        failPath(name, "cannot be read", "check that it is a file you may read");
    ReadTrain read = parseTrain(content.str(), name);

    // What lies beside it and changes the train in the host.
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    if (const auto extensions = findInFolder(folder, "extensions.cfg")) {
        read.warnings.push_back(diagnosticAt(
            Severity::Warning, {extensions->generic_string(), 0, 0},
            "extensions.cfg is not read: the car lengths and other settings it gives are not "
            "used",
            "velt-drive takes every car as #CAR 4 long; put the lengths that matter there"));
    }
    if (const auto xml = findInFolder(folder, "train.xml")) {
        read.warnings.push_back(diagnosticAt(
            Severity::Warning, {xml->generic_string(), 0, 0},
            "train.xml is not read: the per-car values and notch counts it may give are not used",
            "velt-drive drives the train as train.dat alone describes it"));
    }
    return read;
}

}  // namespace velt::drive
