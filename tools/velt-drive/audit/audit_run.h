// Runs an audit: one drive per signal section with a train standing in it,
// and the clear-line drive, in processes of their own like a sweep's
// drives; then judges each and adds up the beacon ledger.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "tools/velt-drive/audit/audit.h"
#include "tools/velt-drive/audit/audit_recorder.h"
#include "tools/velt-drive/audit/audit_report.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

struct AuditOptions {
    AuditDriver driver = AuditDriver::NonReacting;
    int jobs = 1;
    // Called as drives end, with the number done so far: one per signal
    // driven and one for the clear line.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

struct AuditRun {
    AuditResult result;
    std::vector<AuditPlayerDrive> players;  // per signal, then the clear line
    std::size_t frames = 0;                 // driven in all
};

// One drive of the audit: against `signal`, or the clear line when null.
// `base` is the scenario with the route (the author's vehicle and train).
AuditDriveRecord driveForAudit(const Scenario& base, const RouteTrack& track,
                               const BeaconIndex& beacons, const AuditedSignal* signal,
                               AuditDriver driver, const PluginLibrary& plugin);

// The drive on the clear line with the audit's driver, which hands off a
// copy of itself for each of `order` (indices into `signals`, by
// divergesAtM) shortly before it would differ, at most `width` at a time.
// What each came to, encoded as id, bytes and failure one after the other,
// sent on as each ends (sendPartOfResult) and, for those never handed off,
// returned.
std::string driveSpine(const Scenario& base, const RouteTrack& track, const BeaconIndex& beacons,
                       const std::vector<AuditedSignal>& signals,
                       const std::vector<std::size_t>& order, AuditDriver driver,
                       const PluginLibrary& plugin, int width);

// Throws SweepError when the plug-in cannot be loaded.
AuditRun runAudit(const Scenario& base, const RouteTrack& track, const std::string& pluginPath,
                  const AuditOptions& options);

}  // namespace velt::drive
