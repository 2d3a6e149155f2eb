// The first line of a train.dat, its version header, and the '#NAME' lines
// that begin its sections.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "tools/velt-drive/train/train_reader.h"

namespace velt::drive::trainread {

namespace {

// The host's seven-digit versions: the three of the oldest format, and the
// current one. Shorter numbers are the build numbers of the newest headers.
constexpr std::array<long long, 3> kOldestVersions = {1200000, 1210000, 1220000};
constexpr long long kCurrentVersion = 2000000;
constexpr std::size_t kVersionDigits = 7;
constexpr std::size_t kMaxPrefixLetters = 16;

struct SectionName {
    std::string_view name;
    Section section;
};

constexpr std::array<SectionName, 16> kSectionNames = {{
    {"ACCELERATION", Section::Acceleration},
    {"PERFORMANCE", Section::Performance},
    {"DECELERATION", Section::Performance},
    {"DELAY", Section::Delay},
    {"MOVE", Section::Move},
    {"BRAKE", Section::Brake},
    {"PRESSURE", Section::Pressure},
    {"HANDLE", Section::Handle},
    {"DEVICE", Section::Device},
    {"CAR", Section::Car},
    {"CAB", Section::Skipped},
    {"COCKPIT", Section::Skipped},
    {"MOTOR_P1", Section::Skipped},
    {"MOTOR_P2", Section::Skipped},
    {"MOTOR_B1", Section::Skipped},
    {"MOTOR_B2", Section::Skipped},
}};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string_view canonicalName(Section section) {
    for (const SectionName& entry : kSectionNames)
        if (entry.section == section) return entry.name;
    return "";
}

// The first non-empty line: a header (taken), a section (read as one),
// or something the host refuses (warned about and skipped).
bool Reader::header(const FileLine& line) {
    std::size_t letters = 0;
    while (letters < line.text.size() && isLetter(line.text[letters])) ++letters;
    const std::string_view digits = line.text.substr(letters);
    const bool shaped = letters > 0 && letters <= kMaxPrefixLetters && !digits.empty() &&
                        std::all_of(digits.begin(), digits.end(), isDigit);
    if (!shaped) {
        if (line.text[0] == '#') {
            warn(at(line.number, line.column),
                 "no version header: the host loads this file with a warning; read as the "
                 "current format",
                 "start the file with the version header the host writes, e.g. letters then "
                 "2000000");
            return false;
        }
        warn(at(line.number, line.column),
             "the first line " + inQuotes(line.text) +
                 " is neither a version header nor a section: the host refuses this file; "
                 "read as the current format",
             "start the file with the version header the host writes, e.g. letters then "
             "2000000");
        return true;
    }
    TrainHeader& h = train_.header;
    h.text = std::string(line.text);
    h.line = line.number;
    long long version = 0;
    if (digits.size() <= kVersionDigits) {
        for (const char c : digits) version = version * 10 + (c - '0');
    }
    if (digits.size() < kVersionDigits) {
        h.newer = true;
        h.recognised = true;
    } else if (std::find(kOldestVersions.begin(), kOldestVersions.end(), version) !=
               kOldestVersions.end()) {
        h.format = TrainFormat::Oldest;
        h.recognised = true;
    } else {
        h.recognised = digits.size() == kVersionDigits && version == kCurrentVersion;
    }
    if (!h.recognised)
        warn(at(line.number, line.column),
             "unrecognised version header " + inQuotes(line.text) + ": read as the current format",
             "the known versions are 1200000, 1210000 and 1220000 (the oldest format), "
             "2000000, and a build number of up to six digits");
    return true;
}

void Reader::beginSection(const FileLine& line) {
    std::string name;
    for (const char c : line.text.substr(1))
        if (kBlanks.find(c) == std::string_view::npos || !name.empty()) name += upper(c);
    while (!name.empty() && kBlanks.find(name.back()) != std::string_view::npos) name.pop_back();
    section_ = Section::Unknown;
    for (const SectionName& entry : kSectionNames)
        if (entry.name == name) section_ = entry.section;
    fieldIndex_ = 0;
    accelerationNotch_ = 0;
    if (section_ == Section::Unknown) {
        warn(at(line.number, line.column),
             "unknown section " + inQuotes(line.text) + ": skipped to the next '#' line",
             "the host skips it as well; check the name if it was meant to be read");
        return;
    }
    if (section_ == Section::Skipped) return;
    const auto known = sectionLine_.find(section_);
    if (known != sectionLine_.end())
        warn(at(line.number, line.column),
             "#" + std::string(canonicalName(section_)) + " is given again (also at line " +
                 std::to_string(known->second) + "): its lines replace the earlier ones");
    sectionLine_[section_] = line.number;
}

}  // namespace velt::drive::trainread
