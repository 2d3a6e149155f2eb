#include "tools/velt-drive/audit/audit_run.h"

#include "tools/velt-drive/sweep/process_pool.h"

namespace velt::drive {

AuditRun runAudit(const Scenario& base, const RouteTrack& track, const std::string& pluginPath,
                  const AuditOptions& options) {
    AuditRun run;
    const std::vector<AuditedSignal> signals = signalSections(track);
    PoolOptions pool;
    pool.jobs = options.jobs;
    pool.progress = options.progress;
    const std::vector<PoolJob> jobs = runDrivesApart(
        pluginPath, signals.size() + 1, pool, [&](const PluginLibrary& plugin, std::size_t i) {
            const AuditedSignal* signal = i < signals.size() ? &signals[i] : nullptr;
            return encodeAuditDrive(driveForAudit(base, signal, options.driver, plugin));
        });
    BeaconLedger ledger(track.route());
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        AuditDriveRecord record;
        if (!jobs[i].failure.empty()) {
            record.drive.failure = jobs[i].failure;
        } else if (!decodeAuditDrive(jobs[i].bytes, record)) {
            record = AuditDriveRecord{};
            record.drive.failure = "the drive's result came back incomplete";
        }
        if (record.drive.failure.empty()) run.frames += record.drive.last.frame + 1;
        if (record.drive.failure.empty()) ledger.addDrive(record.drive.furthestM, record.beacons);
        run.players.push_back({std::move(record.player), record.playerSeek});
        if (i < signals.size()) {
            SignalResult result = judgeSignal(signals[i], record.drive);
            result.drive = i;
            run.result.signals.push_back(std::move(result));
        } else {
            ClearLineResult& clear = run.result.clearLine;
            clear.ran = true;
            clear.failure = record.drive.failure;
            clear.last = record.drive.last;
            clear.endReason = record.drive.endReason;
            for (InterventionOutcome& intervention : record.drive.interventions)
                if (intervention.brake()) clear.interventions.push_back(std::move(intervention));
        }
    }
    run.result.ledger = ledger.rows();
    return run;
}

}  // namespace velt::drive
