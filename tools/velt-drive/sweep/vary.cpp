#include "tools/velt-drive/sweep/vary.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/beacons.h"
#include "core/cab.h"
#include "tools/velt-drive/scenario/vehicle_file.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// More drives than anyone would wait for: a mistake in a --vary.
constexpr std::size_t kMaxDrives = 100000;

using Kind = VariedQuantity::Kind;

struct NamedQuantity {
    const char* name;
    Kind kind;
    const char* unit;
    QuantityRange range;
};

// The start and vehicle quantities a sweep varies by name...
constexpr NamedQuantity kByName[] = {
    {"start-speed", Kind::StartSpeed, "km/h", kStartSpeedRangeKmh},
    {"service-brake", Kind::ServiceBrake, "km/h/s", kRateRangeKmhS},
    {"emergency-brake", Kind::EmergencyBrake, "km/h/s", kRateRangeKmhS},
    {"acceleration", Kind::Acceleration, "km/h/s", kRateRangeKmhS},
    {"frame", Kind::Frame, "ms", kFrameRangeMs},
};

// ... and those of one scenario line, by the line's number: "beacon@12".
constexpr NamedQuantity kByLine[] = {
    {"beacon", Kind::BeaconPosition, "m", kTrackRangeM},
    {"placed", Kind::BeaconPlaced, "m", kTrackRangeM},
    {"optional", Kind::BeaconOptional, "", {-2147483648.0, 2147483647.0}},
    {"signal", Kind::SignalPosition, "m", kTrackRangeM},
    {"hold", Kind::HoldSpeed, "km/h", kHoldSpeedRangeKmh},
    {"action", Kind::ActionPosition, "m", kTrackRangeM},
};

const char kQuantities[] =
    "start-speed, service-brake, emergency-brake, acceleration, frame, beacon@LINE, "
    "placed@LINE, optional@LINE, signal@LINE, hold@LINE or action@LINE";

// The metres a beacon's optional points ahead, for the types whose target
// lies that far ahead of the beacon (CPP, CCP, SPB).
bool pointsAhead(std::int32_t type) {
    return type == cab::kBeaconCpp || type == cab::kBeaconCcp || type == cab::kBeaconSpb;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

int decimalsOf(const std::string& number) {
    const std::size_t point = number.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(number.size() - point - 1);
}

// The lines on which the scenario has things of one kind, for a message.
std::string lineList(const std::vector<int>& lines, const char* what) {
    if (lines.empty()) return std::string("the scenario has no ") + what;
    std::string text = std::string("the ") + what + " are on line" + (lines.size() > 1 ? "s" : "");
    for (std::size_t i = 0; i < lines.size() && i < 12; ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(lines[i]);
    return text + (lines.size() > 12 ? ", ..." : "");
}

template <typename Item>
std::optional<std::size_t> itemOnLine(const std::vector<Item>& items, int line) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].pos.line == line) return i;
    return std::nullopt;
}

class VaryReader {
public:
    VaryReader(const std::string& text, const Scenario& scenario)
        : text_(text), scenario_(scenario) {}

    Vary read() {
        const std::size_t equals = text_.find('=');
        if (equals == std::string::npos)
            fail("expected NAME=FROM:TO:STEP, e.g. start-speed=10:120:10");
        Vary vary;
        vary.name = text_.substr(0, equals);
        const NamedQuantity* first = nullptr;
        for (const std::string& name : split(vary.name, ',')) {
            const auto [varied, named] = lookUp(name);
            if (first != nullptr && std::string(first->unit) != named.unit)
                fail(std::string(first->name) + " is in " + first->unit + " but " + name + " in " +
                     named.unit + ": quantities varied together need one unit");
            if (first == nullptr) first = &named;
            vary.quantities.push_back(varied);
            ranges_.push_back(named.range);
        }
        if (first == nullptr) fail("no quantity named before '='");
        vary.unit = first->unit;
        values(text_.substr(equals + 1), vary);
        return vary;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw SweepError("--vary " + text_ + ": " + what);
    }

    [[nodiscard]] std::pair<VariedQuantity, const NamedQuantity&> lookUp(
        const std::string& name) const {
        for (const NamedQuantity& named : kByName)
            if (name == named.name) return {{named.kind, name, 0}, named};
        const std::size_t at = name.find('@');
        std::string kind = name.substr(0, at);
        for (const NamedQuantity& named : kByLine) {
            if (at == std::string::npos || kind != named.name) continue;
            const auto line = parseInt32(name.substr(at + 1));
            if (!line || *line < 1)
                fail("'" + name.substr(at + 1) + "' after " + kind.append("@") +
                     " is not a line number; write e.g. " + kind + "12");
            return {{named.kind, name, lineItem(named.kind, *line, name)}, named};
        }
        fail("unknown quantity '" + name + "'; a sweep varies " + kQuantities);
    }

    [[nodiscard]] std::size_t lineItem(Kind kind, int line, const std::string& name) const {
        const std::string where =
            name + ": line " + std::to_string(line) + " of " + scenario_.file + " holds no ";
        if (kind == Kind::BeaconPlaced) {
            if (const auto i = itemOnLine(scenario_.beacons, line)) {
                if (pointsAhead(scenario_.beacons[*i].type)) return *i;
                fail(name + ": the beacon on line " + std::to_string(line) +
                     " has no target ahead (only CPP, CCP and SPB beacons do); vary its "
                     "position with beacon@" +
                     std::to_string(line));
            }
        }
        if (kind == Kind::BeaconPosition || kind == Kind::BeaconPlaced ||
            kind == Kind::BeaconOptional) {
            if (const auto i = itemOnLine(scenario_.beacons, line)) return *i;
            std::vector<int> lines;
            for (const BeaconItem& b : scenario_.beacons) lines.push_back(b.pos.line);
            fail(where + "beacon; " + lineList(lines, "beacons"));
        }
        if (kind == Kind::SignalPosition) {
            std::vector<int> lines;
            for (const SignalItem& s : scenario_.signals)
                if (s.trigger.kind == Trigger::Kind::Position) lines.push_back(s.pos.line);
            if (const auto i = itemOnLine(scenario_.signals, line)) {
                if (scenario_.signals[*i].trigger.kind == Trigger::Kind::Position) return *i;
                fail(name + ": the signal on line " + std::to_string(line) +
                     " is reported at a time, not at a position; " +
                     lineList(lines, "signals placed by position"));
            }
            fail(where + "signal placed by position; " +
                 lineList(lines, "signals placed by position"));
        }
        std::vector<int> lines;
        if (kind == Kind::ActionPosition) {
            for (const DriverAction& a : scenario_.driver)
                if (a.trigger.kind == Trigger::Kind::Position) lines.push_back(a.pos.line);
            const auto i = itemOnLine(scenario_.driver, line);
            if (i && scenario_.driver[*i].trigger.kind == Trigger::Kind::Position) return *i;
            fail(where + "driver action 'at X m'; " +
                 lineList(lines, "driver actions placed by position"));
        }
        for (const DriverAction& a : scenario_.driver)
            if (a.kind == DriverAction::Kind::Hold) lines.push_back(a.pos.line);
        const auto i = itemOnLine(scenario_.driver, line);
        if (i && scenario_.driver[*i].kind == DriverAction::Kind::Hold) return *i;
        fail(where + "'hold'; " + lineList(lines, "holds"));
    }

    void values(const std::string& range, Vary& vary) const {
        const std::vector<std::string> parts = split(range, ':');
        if (parts.size() != 3)
            fail("expected FROM:TO:STEP after '=', e.g. 10:120:10, found '" + range + "'");
        const char* roles[] = {"FROM", "TO", "STEP"};
        double numbers[3] = {0, 0, 0};
        for (std::size_t i = 0; i < 3; ++i) {
            const Parsed<double> parsed = parseDecimal(parts[i]);
            if (parsed.status != NumberStatus::Ok)
                fail(std::string(roles[i]) + " '" + parts[i] + "' is not a number");
            numbers[i] = parsed.value;
        }
        const double from = numbers[0];
        const double to = numbers[1];
        const double step = numbers[2];
        if (step == 0.0) fail("the step is 0; give the distance between two values, e.g. 10");
        const double span = (to - from) / step;
        if (span < -1e-9)
            fail("the range is empty: " + parts[0] + " never reaches " + parts[1] +
                 " in steps of " + parts[2] + "; write " + parts[1] + ":" + parts[0] + ":" +
                 parts[2] + ", or go " +
                 (step > 0 ? "down with a negative step" : "up with a positive step"));
        if (span + 1.0 > static_cast<double>(kMaxDrives))
            fail("gives more than " + std::to_string(kMaxDrives) + " values; take a larger step");
        const auto count = static_cast<std::size_t>(std::floor(span + 1e-9)) + 1;
        // Values as written: 0.1 + 2 x 0.1 is 0.3, not 0.30000000000000004.
        vary.decimals = std::min(6, std::max(decimalsOf(parts[0]), decimalsOf(parts[2])));
        for (std::size_t i = 0; i < count; ++i) {
            const double raw = from + static_cast<double>(i) * step;
            const double value = parseDecimal(formatFixed(raw, vary.decimals)).value;
            for (std::size_t q = 0; q < vary.quantities.size(); ++q)
                check(vary.quantities[q], ranges_[q], value, vary.unit);
            vary.values.push_back(value);
        }
    }

    void check(const VariedQuantity& quantity, const QuantityRange& range, double value,
               const std::string& unit) const {
        const std::string shown =
            quantity.name + " " + formatPlain(value) + (unit.empty() ? "" : " " + unit);
        if (value < range.low || value > range.high)
            fail(shown + " is outside " + formatPlain(range.low) + " to " +
                 formatPlain(range.high) + " " + unit);
        if (quantity.kind == Kind::Frame && value != std::floor(value))
            fail(shown + " is not a whole number of milliseconds");
        if (quantity.kind == Kind::Acceleration && scenario_.train)
            fail(quantity.name + " does not change the train of " + scenario_.train->path +
                 ": its #ACCELERATION gives each notch's traction");
        if (quantity.kind == Kind::BeaconOptional && value != std::floor(value))
            fail(shown + " is not a whole number: a beacon's optional is an integer");
        if (quantity.kind == Kind::BeaconPlaced) {
            const BeaconItem& beacon = scenario_.beacons[quantity.item];
            const double metres = packedMetres(beacon.optional) + beacon.positionM - value;
            if (metres < 0.0 || metres >= static_cast<double>(kPackBase))
                fail(shown + " puts the beacon " + formatPlain(metres) +
                     " m before its target at " +
                     formatPlain(beacon.positionM + packedMetres(beacon.optional)) +
                     " m; the metres of optional go from 0 to " + std::to_string(kPackBase - 1));
        }
        const double top = scenario_.vehicle.maxSpeedKmh;
        if ((quantity.kind == Kind::StartSpeed || quantity.kind == Kind::HoldSpeed) && value > top)
            fail(shown + " is above the vehicle's maximum speed of " + formatPlain(top) +
                 " km/h ('vehicle max-speed')");
    }

    const std::string& text_;
    const Scenario& scenario_;
    std::vector<QuantityRange> ranges_;
};

}  // namespace

Vary parseVary(const std::string& text, const Scenario& scenario) {
    return VaryReader(text, scenario).read();
}

std::vector<Vary> parseVaries(const std::vector<std::string>& texts, const Scenario& scenario) {
    std::vector<Vary> varies;
    double drives = 1.0;
    for (const std::string& text : texts) {
        Vary vary = parseVary(text, scenario);
        for (const VariedQuantity& q : vary.quantities)
            for (const Vary& earlier : varies)
                for (const VariedQuantity& e : earlier.quantities)
                    if (e.kind == q.kind && e.item == q.item)
                        throw SweepError("--vary " + text + ": " + q.name +
                                         " is varied already (by --vary " + earlier.name +
                                         "); vary each quantity once");
        drives *= static_cast<double>(vary.values.size());
        varies.push_back(std::move(vary));
    }
    if (drives > static_cast<double>(kMaxDrives))
        throw SweepError("the sweep would run " + formatPlain(drives) + " drives, more than " +
                         std::to_string(kMaxDrives) + "; take larger steps or fewer values");
    return varies;
}

std::size_t combinationCount(const std::vector<Vary>& varies) {
    std::size_t count = 1;
    for (const Vary& vary : varies) count *= vary.values.size();
    return count;
}

std::vector<double> combination(const std::vector<Vary>& varies, std::size_t index) {
    std::vector<double> values(varies.size());
    for (std::size_t i = varies.size(); i-- > 0;) {
        const std::size_t n = varies[i].values.size();
        values[i] = varies[i].values[index % n];
        index /= n;
    }
    return values;
}

Scenario variant(const Scenario& base, const std::vector<Vary>& varies,
                 const std::vector<double>& values) {
    Scenario s = base;
    for (std::size_t i = 0; i < varies.size(); ++i) {
        const double value = values[i];
        for (const VariedQuantity& q : varies[i].quantities) {
            switch (q.kind) {
                case Kind::StartSpeed: s.start.speedKmh = value; break;
                case Kind::ServiceBrake: s.vehicle.serviceBrakeKmhS = value; break;
                case Kind::EmergencyBrake: s.vehicle.emergencyBrakeKmhS = value; break;
                case Kind::Acceleration: s.vehicle.accelerationKmhS = value; break;
                case Kind::Frame: s.frameMs = static_cast<int>(value); break;
                case Kind::BeaconPosition: s.beacons[q.item].positionM = value; break;
                case Kind::BeaconPlaced: {
                    // The target stays put: the metres to it change by as
                    // much as the beacon moves, and so does a distance given
                    // to the signal ahead.
                    BeaconItem& b = s.beacons[q.item];
                    const double moved = value - b.positionM;
                    const auto metres =
                        static_cast<std::int32_t>(std::lround(packedMetres(b.optional) - moved));
                    b.optional = b.optional - packedMetres(b.optional) + metres;
                    if (b.distance) *b.distance -= static_cast<float>(moved);
                    b.positionM = value;
                    break;
                }
                case Kind::BeaconOptional:
                    s.beacons[q.item].optional = static_cast<std::int32_t>(value);
                    break;
                case Kind::ActionPosition: s.driver[q.item].trigger.value = value; break;
                case Kind::SignalPosition: s.signals[q.item].trigger.value = value; break;
                case Kind::HoldSpeed: s.driver[q.item].speedKmh = value; break;
            }
        }
    }
    if (s.train) {
        // A loaded train brakes by its own figures: the varied rates go there,
        // the service rate first, as `vehicle` lines do.
        for (const Vary& vary : varies)
            for (const VariedQuantity& q : vary.quantities)
                if (q.kind == Kind::ServiceBrake)
                    adjustTrain(*s.train, "service-brake", s.vehicle.serviceBrakeKmhS);
        for (const Vary& vary : varies)
            for (const VariedQuantity& q : vary.quantities)
                if (q.kind == Kind::EmergencyBrake)
                    adjustTrain(*s.train, "emergency-brake", s.vehicle.emergencyBrakeKmhS);
        vehicleFromTrain(s);
    }
    return s;
}

std::string formatValue(const Vary& vary, double value) {
    return formatFixed(value, vary.decimals) + (vary.unit.empty() ? "" : " " + vary.unit);
}

}  // namespace velt::drive
