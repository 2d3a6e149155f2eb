#include "tools/velt-drive/train/train_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

#include "tools/velt-drive/train/portable_math.h"

namespace velt::drive {

namespace {

constexpr std::string_view kBlanks = " \t\r\v\f";

// The host's seven-digit versions: the three of the oldest format, and the
// current one. Shorter numbers are the build numbers of the newest headers.
constexpr std::array<long long, 3> kOldestVersions = {1200000, 1210000, 1220000};
constexpr long long kCurrentVersion = 2000000;
constexpr std::size_t kVersionDigits = 7;
constexpr std::size_t kMaxPrefixLetters = 16;

enum class Section {
    None,  // before the first section
    Acceleration,
    Performance,
    Delay,
    Move,
    Brake,
    Pressure,
    Handle,
    Device,
    Car,
    Skipped,  // known, and nothing in it shapes the drive: cab view, sound tables
    Unknown,
};

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

// The name a message and a DefaultedField use: the first one listed.
std::string_view canonicalName(Section section) {
    for (const SectionName& entry : kSectionNames)
        if (entry.section == section) return entry.name;
    return "";
}

// The values the host can use.
struct Range {
    bool integer;  // rounded half to even before the range check
    double low;
    bool lowOpen;  // `low` itself is out of range
    double high;
    const char* text;  // as a message says it
};

// One field the stand-in reads: where, what, its range, and where the value goes.
struct FieldRule {
    Section section;
    int index;
    const char* name;
    Range range;
    const char* defaultText;
    void (*store)(TrainFile&, double);
    bool newerOnly;  // read only under a build-number header
};

int asInt(double v) { return static_cast<int>(v); }

// The ranges a value may take; the host checks some of these itself, the
// others are the widest that keep the motion finite.
constexpr double kNoLimit = 1e6;
constexpr Range kZeroToThree = {true, 0, false, 3, "0 to 3"};
constexpr Range kNotchCount = {true, 1, false, 50, "1 to 50"};
constexpr Range kStepCount = {true, 0, false, 50, "0 to 50"};
constexpr Range kFlag = {true, 0, false, 1, "0 or 1"};
constexpr Range kZeroToTwo = {true, 0, false, 2, "0 to 2"};
constexpr Range kSpeedKmh = {false, 0, false, 1000, "0 to 1000"};
constexpr Range kPressureKpa = {false, 0, true, 1e5, "above 0, up to 100000"};
constexpr Range kDecelerationKmhS = {false, 0, true, 100, "above 0, up to 100"};
constexpr Range kFrictionCoefficient = {false, 0, true, 10, "above 0, up to 10"};
constexpr Range kRollingCoefficient = {false, 0, false, 1, "0 to 1"};
constexpr Range kUpToHundred = {false, 0, false, 100, "0 to 100"};
constexpr Range kDelayS = {false, 0, false, 3600, "0 to 3600"};
constexpr Range kPositive = {false, 0, true, kNoLimit, "above 0"};
constexpr Range kCarMassT = {false, 0.01, false, 10000, "0.01 to 10000"};
constexpr Range kCarCount = {true, 0, false, 1000, "0 to 1000"};
constexpr Range kCarLengthM = {false, 0, true, 1000, "above 0, up to 1000"};

// A value outside its range keeps the default.
constexpr std::array<FieldRule, 31> kFields = {{
    {Section::Handle, 0, "handle type", kZeroToThree, "0",
     [](TrainFile& t, double v) { t.handleType = asInt(v); }, false},
    {Section::Handle, 1, "power notches", kNotchCount, "8",
     [](TrainFile& t, double v) { t.powerNotches = asInt(v); }, false},
    {Section::Handle, 2, "brake notches", kNotchCount, "8",
     [](TrainFile& t, double v) { t.brakeNotches = asInt(v); }, false},
    {Section::Handle, 3, "power reduction steps", kStepCount, "0",
     [](TrainFile& t, double v) { t.powerReductionSteps = asInt(v); }, false},
    {Section::Handle, 4, "emergency brake effect", kZeroToThree, "0",
     [](TrainFile& t, double v) { t.emergencyBrakeEffect = asInt(v); }, false},
    {Section::Handle, 7, "driver's power notches", kNotchCount, "the power notches",
     [](TrainFile& t, double v) { t.driverPowerNotches = asInt(v); }, true},
    {Section::Handle, 8, "driver's brake notches", kNotchCount, "the brake notches",
     [](TrainFile& t, double v) { t.driverBrakeNotches = asInt(v); }, true},
    {Section::Device, 4, "hold brake", kFlag, "0",
     [](TrainFile& t, double v) { t.holdBrakeFitted = v != 0.0; }, false},
    {Section::Device, 8, "door open mode", kZeroToTwo, "0",
     [](TrainFile& t, double v) { t.doorOpenMode = asInt(v); }, false},
    {Section::Device, 9, "door close mode", kZeroToTwo, "0",
     [](TrainFile& t, double v) { t.doorCloseMode = asInt(v); }, false},
    {Section::Brake, 0, "brake type", kZeroToTwo, "0",
     [](TrainFile& t, double v) { t.brakeType = static_cast<BrakeType>(asInt(v)); }, false},
    {Section::Brake, 1, "electric brake mode", kZeroToTwo, "0",
     [](TrainFile& t, double v) { t.electricBrakeMode = asInt(v); }, false},
    {Section::Brake, 2, "electric brake fade speed (km/h)", kSpeedKmh, "0",
     [](TrainFile& t, double v) { t.electricBrakeFadeKmh = v; }, false},
    {Section::Pressure, 0, "service brake cylinder pressure (kPa)", kPressureKpa, "440",
     [](TrainFile& t, double v) { t.serviceCylinderKpa = v; }, false},
    {Section::Pressure, 1, "emergency brake cylinder pressure (kPa)", kPressureKpa, "440",
     [](TrainFile& t, double v) { t.emergencyCylinderKpa = v; }, false},
    {Section::Performance, 0, "deceleration (km/h/s)", kDecelerationKmhS, "1",
     [](TrainFile& t, double v) { t.decelerationKmhS = v; }, false},
    {Section::Performance, 1, "static friction coefficient", kFrictionCoefficient, "0.35",
     [](TrainFile& t, double v) { t.staticFriction = v; }, false},
    {Section::Performance, 3, "rolling resistance coefficient", kRollingCoefficient, "0.0025",
     [](TrainFile& t, double v) { t.rollingResistance = v; }, false},
    {Section::Performance, 4, "drag coefficient", kUpToHundred, "1.1",
     [](TrainFile& t, double v) { t.dragCoefficient = v; }, false},
    {Section::Delay, 0, "power up delay (s)", kDelayS, "0",
     [](TrainFile& t, double v) { t.powerUpDelayS = v; }, false},
    {Section::Delay, 1, "power down delay (s)", kDelayS, "0",
     [](TrainFile& t, double v) { t.powerDownDelayS = v; }, false},
    {Section::Delay, 2, "brake up delay (s)", kDelayS, "0",
     [](TrainFile& t, double v) { t.brakeUpDelayS = v; }, false},
    {Section::Delay, 3, "brake down delay (s)", kDelayS, "0",
     [](TrainFile& t, double v) { t.brakeDownDelayS = v; }, false},
    {Section::Move, 4, "brake cylinder fill rate (kPa/s)", kPositive, "300",
     [](TrainFile& t, double v) { t.cylinderFillKpaS = v; }, false},
    {Section::Move, 5, "brake cylinder release rate (kPa/s)", kPositive, "200",
     [](TrainFile& t, double v) { t.cylinderReleaseKpaS = v; }, false},
    {Section::Car, 0, "motor car mass (t)", kCarMassT, "40",
     [](TrainFile& t, double v) { t.motorCarMassT = v; }, false},
    {Section::Car, 1, "motor cars", kCarCount, "1",
     [](TrainFile& t, double v) { t.motorCars = asInt(v); }, false},
    {Section::Car, 2, "trailer car mass (t)", kCarMassT, "40",
     [](TrainFile& t, double v) { t.trailerCarMassT = v; }, false},
    {Section::Car, 3, "trailer cars", kCarCount, "0",
     [](TrainFile& t, double v) { t.trailerCars = asInt(v); }, false},
    {Section::Car, 4, "car length (m)", kCarLengthM, "20",
     [](TrainFile& t, double v) { t.carLengthM = v; }, false},
    {Section::Car, 5, "front car is a motor car", kFlag, "1",
     [](TrainFile& t, double v) { t.frontCarIsMotorCar = v != 0.0; }, false},
}};

// One value of an #ACCELERATION line.
struct CurveRule {
    const char* name;
    Range range;
    double AccelerationCurve::*member;
};

constexpr std::array<CurveRule, 5> kCurveValues = {{
    {"a0 (km/h/s)", kUpToHundred, &AccelerationCurve::a0KmhS},
    {"a1 (km/h/s)", kUpToHundred, &AccelerationCurve::a1KmhS},
    {"v1 (km/h)", kSpeedKmh, &AccelerationCurve::v1Kmh},
    {"v2 (km/h)", kSpeedKmh, &AccelerationCurve::v2Kmh},
    {"e", kUpToHundred, &AccelerationCurve::exponent},
}};
// The oldest format's e becomes the exponent 1 - ln(e) v2 / ln 2.25, so
// any positive e can be read.
constexpr CurveRule kOldestExponent = {"e", kPositive, &AccelerationCurve::exponent};
constexpr double kOldestExponentLow = 1.0;
constexpr double kOldestExponentHigh = 4.0;

// The defaults of a curve value that a line leaves out.
std::string curveDefaultText(std::size_t i) { return i == 4 ? "1" : "0"; }

// A line as the host sees it: cut at ';', trimmed, trailing commas dropped.
struct FileLine {
    std::string_view text;
    int number = 0;
    int column = 1;  // of text[0] in the line as written
};

FileLine cleanLine(std::string_view raw, int number) {
    const std::size_t semicolon = raw.find(';');
    if (semicolon != std::string_view::npos) raw = raw.substr(0, semicolon);
    const std::size_t begin = raw.find_first_not_of(kBlanks);
    if (begin == std::string_view::npos) return {{}, number, 1};
    const std::size_t end = raw.find_last_not_of(" \t\r\v\f,");
    if (end == std::string_view::npos || end < begin) return {{}, number, 1};
    return {raw.substr(begin, end - begin + 1), number, static_cast<int>(begin) + 1};
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Length of the longest leading part of `s` that reads as a number:
// [+-] digits [. digits] [e [+-] digits], at least one digit before the e.
std::size_t numberLength(std::string_view s) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        std::size_t j = i + 1;
        while (j < s.size() && isDigit(s[j])) ++j, ++digits;
        if (digits > 0) i = j;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        const std::size_t start = j;
        while (j < s.size() && isDigit(s[j])) ++j;
        if (j > start) i = j;
    }
    return i;
}

// A value read loosely, with what followed it.
struct LooseNumber {
    bool read = false;    // a number was there (it may still be out of range)
    double value = 0.0;   // finite when read
    std::string written;  // the number's text, spaces removed
    std::string rest;     // what follows it, spaces removed
    int restColumn = 0;   // where the rest starts in the line as written
};

LooseNumber readLoose(std::string_view text, int column) {
    std::string compact;
    std::vector<int> columns;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (kBlanks.find(text[i]) != std::string_view::npos) continue;
        compact += text[i];
        columns.push_back(column + static_cast<int>(i));
    }
    LooseNumber number;
    const std::size_t length = numberLength(compact);
    number.written = compact.substr(0, length);
    if (length < compact.size()) {
        number.rest = compact.substr(length);
        number.restColumn = columns[length];
    }
    if (length == 0) return number;
    // from_chars takes no '+'; it reads exactly, the same bits everywhere.
    const char* first = compact.data();
    const char* last = compact.data() + length;
    if (*first == '+') ++first;
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error != std::errc() || end != last || !std::isfinite(value)) return number;
    number.read = true;
    number.value = value;
    return number;
}

double roundHalfToEven(double x) {
    const double below = std::floor(x);
    const double fraction = x - below;
    if (fraction > 0.5) return below + 1.0;
    if (fraction < 0.5) return below;
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1.0;
}

bool inRange(double v, const Range& range) {
    return (range.lowOpen ? v > range.low : v >= range.low) && v <= range.high;
}

std::string inQuotes(std::string_view text) { return "'" + std::string(text) + "'"; }

class Reader {
public:
    explicit Reader(const std::string& file) { train_.path = file; }

    ReadTrain run(std::string_view text) {
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

private:
    [[nodiscard]] SourceLocation at(int line, int column = 0) const {
        return {train_.path, line, column};
    }

    void warn(SourceLocation where, std::string message, std::string help = {}) {
        Diagnostic d;
        d.severity = Severity::Warning;
        d.where = std::move(where);
        d.message = std::move(message);
        d.help = std::move(help);
        warnings_.push_back(std::move(d));
    }

    [[noreturn]] void fail(SourceLocation where, std::string message, std::string help) const {
        Diagnostic d;
        d.severity = Severity::Error;
        d.where = std::move(where);
        d.message = std::move(message);
        d.help = std::move(help);
        throw DiagnosticError(std::move(d));
    }

    void requireText(std::string_view text) const {
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

    // The first non-empty line: a header (taken), a section (read as one),
    // or something the host refuses (warned about and skipped).
    bool header(const FileLine& line) {
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
                 "unrecognised version header " + inQuotes(line.text) +
                     ": read as the current format",
                 "the known versions are 1200000, 1210000 and 1220000 (the oldest format), "
                 "2000000, and a build number of up to six digits");
        return true;
    }

    void beginSection(const FileLine& line) {
        std::string name;
        for (const char c : line.text.substr(1))
            if (kBlanks.find(c) == std::string_view::npos || !name.empty()) name += upper(c);
        while (!name.empty() && kBlanks.find(name.back()) != std::string_view::npos)
            name.pop_back();
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

    void field(const FileLine& line) {
        switch (section_) {
            case Section::None:
            case Section::Skipped:
            case Section::Unknown: return;
            case Section::Acceleration:
                if (!line.text.empty()) accelerationLine(line);
                return;
            default: break;
        }
        const int index = fieldIndex_++;
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            const FieldRule& rule = kFields[i];
            if (rule.section != section_ || rule.index != index) continue;
            if (rule.newerOnly && !train_.header.newer) return;
            if (!line.text.empty()) readField(rule, i, line);
            return;
        }
    }

    [[nodiscard]] std::string fieldName(const FieldRule& rule) const {
        return "#" + std::string(canonicalName(rule.section)) + " " + std::to_string(rule.index) +
               " (" + rule.name + ")";
    }

    void readField(const FieldRule& rule, std::size_t ruleIndex, const FileLine& line) {
        given_[ruleIndex] = true;
        const std::string sectionName(canonicalName(rule.section));
        forget(sectionName, rule.index, rule.name);
        const std::optional<double> value =
            readValue(line.text, at(line.number, line.column), fieldName(rule), rule.range,
                      defaultOf(sectionName, rule.index, rule.name, rule.defaultText));
        if (!value) return;
        rule.store(train_, *value);
        if (*value != 0.0) notActedOn(rule, at(line.number, line.column));
    }

    // The handle rules the host enforces and a drive does not: the scenario's
    // driver moves the handles as written, so a train that limits them
    // drives differently in the host.
    void notActedOn(const FieldRule& rule, const SourceLocation& where) {
        if (rule.section != Section::Handle) return;
        const char* effect = nullptr;
        if (rule.index == 0) effect = "power and brake are moved apart, as two free handles";
        if (rule.index == 4) effect = "an emergency brake leaves power and reverser as they are";
        // A limit at the declared count (or above it, warned about later) limits nothing.
        const bool limits = (rule.index == 7 && *train_.driverPowerNotches < train_.powerNotches) ||
                            (rule.index == 8 && *train_.driverBrakeNotches < train_.brakeNotches);
        if (limits) effect = "the driver may use every notch";
        if (effect == nullptr) return;
        warn(where, fieldName(rule) + " is not acted on in a drive: " + effect,
             "write the scenario's driver as the host would let them drive");
    }

    // Reads one value; on a fault warns, records `fallback` and returns nothing.
    std::optional<double> readValue(std::string_view text, const SourceLocation& where,
                                    const std::string& what, const Range& range,
                                    DefaultedField fallback) {
        const LooseNumber number = readLoose(text, where.column);
        if (number.written.empty()) {
            warn(where,
                 what + ": " + inQuotes(text) + " is not a number; the default " + fallback.value +
                     " is used",
                 "write the value as a number with a dot for the decimal point");
            record(std::move(fallback), DefaultedField::Why::Unreadable, where);
            return std::nullopt;
        }
        if (!number.rest.empty())
            warn(at(where.line, number.restColumn),
                 what + ": " + inQuotes(text) + " reads as " + number.written +
                     "; the host ignores " + inQuotes(number.rest),
                 "the host reads a number with a dot for the decimal point and ignores what "
                 "follows it");
        double value = number.value;
        if (number.read && range.integer) value = roundHalfToEven(value);
        if (!number.read || !inRange(value, range)) {
            warn(where, what + ": " + number.written + " is out of range (" + range.text +
                            "); the default " + fallback.value + " is used");
            record(std::move(fallback), DefaultedField::Why::OutOfRange, where);
            return std::nullopt;
        }
        return value;
    }

    void accelerationLine(const FileLine& line) {
        const int notch = ++accelerationNotch_;
        const std::string what = "#ACCELERATION notch " + std::to_string(notch);
        // The values between commas, each with its column.
        std::vector<std::pair<std::string_view, int>> pieces;
        for (std::size_t start = 0; start <= line.text.size();) {
            const std::size_t comma = std::min(line.text.find(',', start), line.text.size());
            const std::string_view piece = line.text.substr(start, comma - start);
            const std::size_t lead = piece.find_first_not_of(kBlanks);
            pieces.emplace_back(
                lead == std::string_view::npos ? std::string_view() : piece.substr(lead),
                line.column +
                    static_cast<int>(start + (lead == std::string_view::npos ? 0 : lead)));
            start = comma + 1;
        }
        AccelerationCurve curve;
        std::size_t given = 0;
        std::optional<double> writtenExponent;
        for (std::size_t i = 0; i < kCurveValues.size(); ++i) {
            const bool oldest = i == 4 && train_.header.format == TrainFormat::Oldest;
            const CurveRule& rule = oldest ? kOldestExponent : kCurveValues[i];
            const std::string name = "notch " + std::to_string(notch) + " " + rule.name;
            forget("ACCELERATION", notch, name);
            if (i >= pieces.size() || pieces[i].first.empty()) {
                record(defaultOf("ACCELERATION", notch, name, curveDefaultText(i)),
                       DefaultedField::Why::Missing, at(line.number, line.column));
                continue;
            }
            ++given;
            const std::optional<double> value = readValue(
                pieces[i].first, at(line.number, pieces[i].second), what + " " + rule.name,
                rule.range, defaultOf("ACCELERATION", notch, name, curveDefaultText(i)));
            if (!value) continue;
            curve.*rule.member = *value;
            if (oldest) writtenExponent = value;
        }
        if (given < kCurveValues.size())
            warn(at(line.number, line.column),
                 what + " gives " + std::to_string(given) +
                     " of its five values (a0, a1, v1, v2, e): the others keep their defaults");
        if (writtenExponent) curve.exponent = convertOldestExponent(*writtenExponent, curve.v2Kmh);
        if (curve.v1Kmh > curve.v2Kmh) {
            warn(at(line.number, line.column),
                 what + ": v1 is above v2; v2 is taken as v1, as the host does");
            curve.v2Kmh = curve.v1Kmh;
        }
        if (train_.acceleration.size() < static_cast<std::size_t>(notch))
            train_.acceleration.resize(static_cast<std::size_t>(notch));
        train_.acceleration[static_cast<std::size_t>(notch) - 1] = curve;
    }

    // e' = 1 - ln(e) v2 / ln 2.25, kept within 1 (for 0 or less) and 4.
    static double convertOldestExponent(double written, double v2Kmh) {
        const double converted = 1.0 - portableLog(written) * v2Kmh / portableLog(2.25);
        if (converted <= 0.0) return kOldestExponentLow;
        if (converted > kOldestExponentHigh) return kOldestExponentHigh;
        return converted;
    }

    static DefaultedField defaultOf(const std::string& section, int index, const std::string& name,
                                    const std::string& value) {
        DefaultedField entry;
        entry.section = section;
        entry.index = index;
        entry.name = name;
        entry.value = value;
        return entry;
    }

    void record(DefaultedField entry, DefaultedField::Why why, SourceLocation where) {
        entry.why = why;
        entry.where = std::move(where);
        train_.defaulted.push_back(std::move(entry));
    }

    // A section given again replaces a fault recorded the first time.
    void forget(const std::string& section, int index, const std::string& name) {
        auto& list = train_.defaulted;
        list.erase(std::remove_if(list.begin(), list.end(),
                                  [&](const DefaultedField& d) {
                                      return d.section == section && d.index == index &&
                                             d.name == name;
                                  }),
                   list.end());
    }

    [[nodiscard]] SourceLocation sectionStart(Section section) const {
        const auto found = sectionLine_.find(section);
        return found == sectionLine_.end() ? at(0) : at(found->second);
    }

    void finish() {
        if (train_.header.line == 0 && sectionLine_.empty())
            fail(at(0),
                 "not a train file: it has no version header and none of the sections "
                 "#HANDLE, #ACCELERATION, #PERFORMANCE, #CAR, ...",
                 "give the train's train.dat, or the folder that holds it");
        for (std::size_t i = 0; i < kFields.size(); ++i) {
            const FieldRule& rule = kFields[i];
            if (given_[i] || (rule.newerOnly && !train_.header.newer)) continue;
            record(defaultOf(std::string(canonicalName(rule.section)), rule.index, rule.name,
                             rule.defaultText),
                   DefaultedField::Why::Missing, sectionStart(rule.section));
        }
        checkAcceleration();
        checkAcrossSections();
    }

    void checkAcceleration() {
        const auto lines = static_cast<int>(train_.acceleration.size());
        const SourceLocation where = sectionStart(Section::Acceleration);
        for (int notch = lines + 1; notch <= train_.powerNotches; ++notch)
            record(
                defaultOf("ACCELERATION", notch, "notch " + std::to_string(notch), "no traction"),
                DefaultedField::Why::Missing, where);
        const int notches = train_.powerNotches;
        if (lines < notches) {
            const std::string missing =
                lines + 1 == notches ? "power notch " + std::to_string(notches) + ": it gives"
                                     : "power notches " + std::to_string(lines + 1) + " to " +
                                           std::to_string(notches) + ": they give";
            warn(where, "#ACCELERATION has no line for " + missing + " no traction",
                 "give one line 'a0, a1, v1, v2, e' per power notch");
        } else if (lines > notches) {
            warn(where, "#ACCELERATION has " + std::to_string(lines) + " lines for " +
                            std::to_string(notches) + " power notches: those after line " +
                            std::to_string(notches) + " are not used");
        }
    }

    void checkAcrossSections() {
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

    TrainFile train_;
    std::vector<Diagnostic> warnings_;
    Section section_ = Section::None;
    int fieldIndex_ = 0;
    int accelerationNotch_ = 0;
    std::array<bool, kFields.size()> given_{};
    std::map<Section, int> sectionLine_;  // the line of each section's last header
};

}  // namespace

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
    return Reader(file).run(text);
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
    Diagnostic d;
    d.severity = Severity::Error;
    d.where.file = path;
    d.message = std::move(message);
    d.help = std::move(help);
    throw DiagnosticError(std::move(d));
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
        Diagnostic d;
        d.where.file = extensions->generic_string();
        d.message =
            "extensions.cfg is not read: the car lengths and other settings it gives are not "
            "used";
        d.help = "velt-drive takes every car as #CAR 4 long; put the lengths that matter there";
        read.warnings.push_back(std::move(d));
    }
    if (const auto xml = findInFolder(folder, "train.xml")) {
        Diagnostic d;
        d.where.file = xml->generic_string();
        d.message =
            "train.xml is not read: the per-car values and notch counts it may give are not used";
        d.help = "velt-drive drives the train as train.dat alone describes it";
        read.warnings.push_back(std::move(d));
    }
    return read;
}

}  // namespace velt::drive
