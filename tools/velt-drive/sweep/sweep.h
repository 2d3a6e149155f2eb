// A sweep: one scenario driven once for every combination of the values of
// a few of its quantities (the start speed, a brake rate, where a beacon
// stands, ...), to see that a beacon layout holds for every train that may
// pass it. Each drive runs in a plug-in of its own: the plug-in keeps its
// state in the library, so two drives never share a loaded library.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/velt-drive/outcome/outcome.h"
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
        SignalPosition,
        HoldSpeed,
    };
    Kind kind = Kind::StartSpeed;
    std::string name;      // as written: "start-speed", "beacon@12"
    std::size_t item = 0;  // the beacon, signal or driver action it moves
};

// One --vary NAME[,NAME...]=FROM:TO:STEP: the quantities that take each
// value together, and the values in order.
struct Vary {
    std::string name;  // the names as written, "start-speed,hold@20"
    std::string unit;  // "km/h", "km/h/s", "ms" or "m"
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

struct SweepDrive {
    std::vector<double> values;  // one per --vary
    DriveOutcome outcome;
    std::string failure;  // not empty when the drive could not be run to its end
};

struct SweepOptions {
    int jobs = 1;  // drives at a time; the Windows build runs one at a time
    // The plug-in alone, without velt-drive's own core: no interventions
    // and no pattern targets in the outcomes.
    bool blackBox = false;
    // Called after each drive with the number done so far.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

// Drives every combination and returns them in order. Throws SweepError
// when the plug-in cannot be loaded.
std::vector<SweepDrive> runSweep(const Scenario& base, const std::vector<Vary>& varies,
                                 const std::string& pluginPath, const SweepOptions& options);

// The compact form in which a drive's result travels from its process.
std::string encodeOutcome(const DriveOutcome& outcome);
bool decodeOutcome(const std::string& bytes, DriveOutcome& outcome);

}  // namespace velt::drive
