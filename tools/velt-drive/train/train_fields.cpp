// The numbered fields of #HANDLE, #DEVICE, #BRAKE, #PRESSURE, #PERFORMANCE,
// #DELAY, #MOVE and #CAR: which line is which field, the values each may
// take, and reading one value as loosely as the host does.
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/velt-drive/train/train_reader.h"

namespace velt::drive::trainread {

namespace {

int asInt(double v) { return static_cast<int>(v); }

constexpr Range kZeroToThree = {true, 0, false, 3, "0 to 3"};
constexpr Range kNotchCount = {true, 1, false, 50, "1 to 50"};
constexpr Range kStepCount = {true, 0, false, 50, "0 to 50"};
constexpr Range kFlag = {true, 0, false, 1, "0 or 1"};
constexpr Range kZeroToTwo = {true, 0, false, 2, "0 to 2"};
constexpr Range kPressureKpa = {false, 0, true, 1e5, "above 0, up to 100000"};
constexpr Range kDecelerationKmhS = {false, 0, true, 100, "above 0, up to 100"};
constexpr Range kFrictionCoefficient = {false, 0, true, 10, "above 0, up to 10"};
constexpr Range kRollingCoefficient = {false, 0, false, 1, "0 to 1"};
constexpr Range kDelayS = {false, 0, false, 3600, "0 to 3600"};
constexpr Range kCarMassT = {false, 0.01, false, 10000, "0.01 to 10000"};
constexpr Range kCarCount = {true, 0, false, 1000, "0 to 1000"};
constexpr Range kCarLengthM = {false, 0, true, 1000, "above 0, up to 1000"};

// A value outside its range keeps the default.
constexpr std::array<FieldRule, kFieldCount> kFields = {{
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

}  // namespace

void Reader::field(const FileLine& line) {
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

std::string Reader::fieldName(const FieldRule& rule) const {
    return "#" + std::string(canonicalName(rule.section)) + " " + std::to_string(rule.index) +
           " (" + rule.name + ")";
}

void Reader::readField(const FieldRule& rule, std::size_t ruleIndex, const FileLine& line) {
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
void Reader::notActedOn(const FieldRule& rule, const SourceLocation& where) {
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
std::optional<double> Reader::readValue(std::string_view text, const SourceLocation& where,
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
             what + ": " + inQuotes(text) + " reads as " + number.written + "; the host ignores " +
                 inQuotes(number.rest),
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

DefaultedField Reader::defaultOf(const std::string& section, int index, const std::string& name,
                                 const std::string& value) {
    DefaultedField entry;
    entry.section = section;
    entry.index = index;
    entry.name = name;
    entry.value = value;
    return entry;
}

void Reader::record(DefaultedField entry, DefaultedField::Why why, SourceLocation where) {
    entry.why = why;
    entry.where = std::move(where);
    train_.defaulted.push_back(std::move(entry));
}

// A section given again replaces a fault recorded the first time.
void Reader::forget(const std::string& section, int index, const std::string& name) {
    auto& list = train_.defaulted;
    list.erase(std::remove_if(list.begin(), list.end(),
                              [&](const DefaultedField& d) {
                                  return d.section == section && d.index == index && d.name == name;
                              }),
               list.end());
}

// Every field the file left out keeps its default, listed where its
// section begins (or at the top when the section is missing).
void Reader::recordMissingFields() {
    for (std::size_t i = 0; i < kFields.size(); ++i) {
        const FieldRule& rule = kFields[i];
        if (given_[i] || (rule.newerOnly && !train_.header.newer)) continue;
        record(defaultOf(std::string(canonicalName(rule.section)), rule.index, rule.name,
                         rule.defaultText),
               DefaultedField::Why::Missing, sectionStart(rule.section));
    }
}

}  // namespace velt::drive::trainread
