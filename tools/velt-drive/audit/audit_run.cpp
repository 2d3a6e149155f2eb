#include "tools/velt-drive/audit/audit_run.h"

#include "tools/velt-drive/sweep/process_pool.h"

namespace velt::drive {

AuditRun runAudit(const Scenario& base, const RouteTrack& track, const std::string& pluginPath,
                  const AuditOptions& options) {
    AuditRun run;
    const std::vector<AuditedSignal> signals = signalSections(track);
    const BeaconIndex beacons(track.route());
    // A signal the run starts at or past needs no drive.
    std::vector<std::size_t> driven;
    for (std::size_t i = 0; i < signals.size(); ++i)
        if (!signals[i].behindStart) driven.push_back(i);
    PoolOptions pool;
    pool.jobs = options.jobs;
    pool.progress = options.progress;
    const std::vector<PoolJob> jobs = runDrivesApart(
        pluginPath, driven.size() + 1, pool, [&](const PluginLibrary& plugin, std::size_t j) {
            const AuditedSignal* signal = j < driven.size() ? &signals[driven[j]] : nullptr;
            return encodeAuditDrive(
                driveForAudit(base, track, beacons, signal, options.driver, plugin));
        });
    std::vector<AuditDriveRecord> records(signals.size() + 1);
    BeaconLedger ledger(track.route());
    for (std::size_t j = 0; j < jobs.size(); ++j) {
        AuditDriveRecord& record = records[j < driven.size() ? driven[j] : signals.size()];
        if (!jobs[j].failure.empty()) {
            record.drive.failure = jobs[j].failure;
        } else if (!decodeAuditDrive(jobs[j].bytes, record)) {
            record = AuditDriveRecord{};
            record.drive.failure = "the drive's result came back incomplete";
        }
        if (record.drive.failure.empty()) {
            run.frames += record.drive.last.frame + 1;
            ledger.addDrive(record.drive.furthestM, record.beacons);
        }
    }
    for (std::size_t i = 0; i < records.size(); ++i) {
        AuditDriveRecord& record = records[i];
        run.players.push_back({std::move(record.player), record.playerSeek});
        if (i < signals.size()) {
            if (signals[i].behindStart) record.drive.last.positionM = track.start().frontM;
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
