// A sweep: one scenario driven once for every combination of the values of
// a few of its quantities (the start speed, a brake rate, where a beacon
// stands, ...), to see that a beacon layout holds for every train that may
// pass it. Each drive runs in a plug-in of its own: the plug-in keeps its
// state in the library, so two drives never share a loaded library.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/sweep/vary.h"

namespace velt::drive {

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
    // A scenario on a route: the route (drive/route_drive.h), read once for
    // every drive.
    const RouteDrive* route = nullptr;
    // Called after each drive with the number done so far.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

// Drives every combination and returns them in order. Throws SweepError
// when the plug-in cannot be loaded.
std::vector<SweepDrive> runSweep(const Scenario& base, const std::vector<Vary>& varies,
                                 const std::string& pluginPath, const SweepOptions& options);

}  // namespace velt::drive
