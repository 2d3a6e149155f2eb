// What a sweep varies: each --vary read against the scenario, the values it
// takes, their combinations, and the scenario each combination makes.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// A --vary that cannot be used, or a sweep that cannot start; what() says
// what is wrong and what to do.
class SweepError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One quantity of the scenario that a sweep sets.
struct VariedQuantity {
    enum class Kind {
        StartSpeed,
        ServiceBrake,
        EmergencyBrake,
        Acceleration,
        Frame,
        BeaconPosition,
        BeaconPlaced,  // the beacon moved, the target its metres point at kept where it was
        BeaconOptional,
        SignalPosition,
        HoldSpeed,
        ActionPosition,  // a driver action's 'at X m'
    };
    Kind kind = Kind::StartSpeed;
    std::string name;      // as written: "start-speed", "beacon@12"
    std::size_t item = 0;  // the beacon, signal or driver action it moves
};

// One --vary NAME[,NAME...]=FROM:TO:STEP: the quantities that take each
// value together, and the values in order.
struct Vary {
    std::string name;  // the names as written, "start-speed,hold@20"
    std::string unit;  // "km/h", "km/h/s", "ms", "m", or "" for a beacon's optional
    int decimals = 0;  // as many as FROM and STEP were written with
    std::vector<VariedQuantity> quantities;
    std::vector<double> values;
};

// Reads one --vary against the scenario; throws SweepError.
Vary parseVary(const std::string& text, const Scenario& scenario);

// Reads every --vary; throws SweepError, also for a quantity varied twice or
// for more drives than a sweep runs.
std::vector<Vary> parseVaries(const std::vector<std::string>& texts, const Scenario& scenario);

// The number of drives: every combination of the values.
std::size_t combinationCount(const std::vector<Vary>& varies);

// The values of drive `index`; the first --vary changes slowest.
std::vector<double> combination(const std::vector<Vary>& varies, std::size_t index);

// The scenario with the quantities set to `values`, one per --vary.
Scenario variant(const Scenario& base, const std::vector<Vary>& varies,
                 const std::vector<double>& values);

// "120 km/h", "2.5 km/h/s", "17 ms"
std::string formatValue(const Vary& vary, double value);

}  // namespace velt::drive
