// One drive of the audit on the route: against a signal, the train
// standing in its section and the limit runner at the handles (who
// confirms or not), ended once velt's brake has brought the train to a
// stand or a little past the signal; or the clear line, the timetable
// driver with every signal clear.
#include <algorithm>

#include "tools/velt-drive/audit/audit_run.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/explain/explained_drive.h"

namespace velt::drive {

namespace {

// How far a drive that has overrun its signal goes on: far enough to see
// whether velt stops the train in the occupied section, no further.
constexpr double kOverrunWatchM = 1000.0;
// The player keeps the drive from this far before the approach.
constexpr double kPlayerLeadM = 1000.0;

}  // namespace

AuditDriveRecord driveForAudit(const Scenario& base, const RouteTrack& track,
                               const BeaconIndex& beacons, const AuditedSignal* signal,
                               AuditDriver driver, const PluginLibrary& plugin) {
    Scenario scenario = base;
    AuditWatch watch;
    if (signal != nullptr) {
        watch.approachFromM = signal->approachFromM;
        watch.signalM = signal->positionM;
        watch.playerFromM = signal->approachFromM - kPlayerLeadM;
        double endM = signal->positionM + kOverrunWatchM;
        if (signal->section + 1 < track.sectionCount())
            endM = std::min(endM, track.sectionBeginM(signal->section + 1));
        scenario.end.positionM = std::max(endM, signal->positionM + 1.0);
    }
    // Only the interventions and what velt made of each beacon.
    const Explain explain = Explain::Interventions;
    if (signal == nullptr) {
        TimetableDriver timetable;
        RouteDrive route;
        route.track = &track;
        route.driver = &timetable;
        ExplainedDrive drive(scenario, plugin, explain, &route);
        AuditRecorder recorder(scenario, drive.explainer(), beacons, watch);
        drive.run({&recorder});
        return recorder.take();
    }
    LimitRunner runner(driver == AuditDriver::Confirming);
    // The recorder reads the explanation as the drive runs; the drive makes it.
    RouteDrive route;
    route.track = &track;
    route.standing.push_back({signal->section, std::nullopt});
    route.driver = &runner;
    route.endWhenProtectionStops = true;
    ExplainedDrive drive(scenario, plugin, explain, &route);
    AuditRecorder recorder(scenario, drive.explainer(), beacons, watch);
    drive.run({&recorder});
    return recorder.take();
}

}  // namespace velt::drive
