// A drive of a plug-in library with velt-drive's own core beside it, as
// every command and test runs one: the twin, the session and the drive set
// up in one place. A black box drives the library alone.
#pragma once

#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/explain/core_twin.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// What the drive is told about: everything, only what a sweep reads (the
// interventions, their causes and the patterns), or nothing (a black box:
// the library need not be this velt).
enum class Explain { Everything, Interventions, Nothing };

class ExplainedDrive {
public:
    // A route drive also takes the route (drive/route_drive.h), which must
    // outlive this object.
    ExplainedDrive(const Scenario& scenario, const PluginLibrary& library, Explain explain,
                   const RouteDrive* route = nullptr);

    // The explanation as it grows, for a consumer that reads it during the
    // drive; null for a black box.
    [[nodiscard]] const Explainer* explainer() const {
        return explain_ == Explain::Nothing ? nullptr : &twin_.explainer();
    }

    // See Explainer::forgetInterventionsBefore; nothing for a black box.
    void forgetInterventionsBefore(std::size_t first) {
        if (explain_ != Explain::Nothing) twin_.explainer().forgetInterventionsBefore(first);
    }

    DriveEnd run(const std::vector<DriveConsumer*>& consumers);

private:
    const Scenario& scenario_;
    const PluginLibrary& library_;
    Explain explain_;
    const RouteDrive* route_;
    CoreTwin twin_;
};

// One drive of a route with another train standing in `section` (-1: none)
// and `driver` at the handles, ended once the protection has brought the
// train to a stand (or at the route's end): what an audit of the route's
// signals runs once per section. The track is only read, so one track
// serves every drive of the route; velt is one object per loaded library,
// so drives run side by side in processes of their own, as a sweep's do.
DriveEnd driveRouteWithStandingTrain(const Scenario& scenario, const RouteTrack& track,
                                     const PluginLibrary& library, int section, RouteDriver& driver,
                                     Explain explain, const std::vector<DriveConsumer*>& consumers);

}  // namespace velt::drive
