#include "tools/velt-drive/audit/audit_run.h"

#include <algorithm>

#include "tools/velt-drive/sweep/outcome_codec.h"
#include "tools/velt-drive/sweep/process_pool.h"

namespace velt::drive {

AuditRun runAudit(const Scenario& base, const RouteTrack& track, const std::string& pluginPath,
                  const AuditOptions& options) {
    AuditRun run;
    const std::vector<AuditedSignal> signals = signalSections(track);
    const BeaconIndex beacons(track.route());
    // A signal the run starts at or past needs no drive. The others come
    // from the clear line, handed off before their first difference, but
    // for those that differ from the start on: a drive of their own each.
    std::vector<std::size_t> own;
    std::vector<std::size_t> handedOff;
    for (std::size_t i = 0; i < signals.size(); ++i) {
        if (signals[i].behindStart) continue;
#if defined(_WIN32)
        own.push_back(i);  // no fork: every drive from the start
#else
        const bool fromStart = signals[i].divergesAtM - kHandOffLeadM <= track.start().frontM;
        (fromStart ? own : handedOff).push_back(i);
#endif
    }
    std::stable_sort(handedOff.begin(), handedOff.end(), [&](std::size_t a, std::size_t b) {
        return signals[a].divergesAtM < signals[b].divergesAtM;
    });
    const std::size_t clearJob = own.size();
    const std::size_t spineJob = handedOff.empty() ? clearJob : clearJob + 1;
    PoolOptions pool;
    pool.jobs = options.jobs;
    pool.progress = options.progress;
    // Progress counts signals: the drive that hands them off stands for them.
    pool.drivesOf = [&](std::size_t j) {
        return j == spineJob && !handedOff.empty() ? handedOff.size() : 1;
    };
    const std::vector<PoolJob> jobs = runDrivesApart(
        pluginPath, spineJob + 1, pool, [&](const PluginLibrary& plugin, std::size_t j) {
            if (j == spineJob && !handedOff.empty())
                return driveSpine(base, track, beacons, signals, handedOff, options.driver, plugin,
                                  options.jobs);
            const AuditedSignal* signal = j < own.size() ? &signals[own[j]] : nullptr;
            return encodeAuditDrive(
                driveForAudit(base, track, beacons, signal, options.driver, plugin));
        });
    std::vector<AuditDriveRecord> records(signals.size() + 1);
    BeaconLedger ledger(track.route());
    // Decodes a drive's result; the beacons' statements of the clear line
    // up to where a drive was handed off count as that drive's too.
    const auto take = [&](AuditDriveRecord& record, const std::string& bytes,
                          const std::string& failure, const std::vector<BeaconEvent>* before) {
        if (!failure.empty()) {
            record.drive.failure = failure;
        } else if (!decodeAuditDrive(bytes, record)) {
            record = AuditDriveRecord{};
            record.drive.failure = "the drive's result came back incomplete";
        }
        if (!record.drive.failure.empty()) return;
        run.frames += record.drive.last.frame + 1;
        if (before != nullptr) {
            const auto count =
                static_cast<std::ptrdiff_t>(std::min(record.beaconsBefore, before->size()));
            std::vector<BeaconEvent> events(before->begin(), before->begin() + count);
            events.insert(events.end(), record.beacons.begin(), record.beacons.end());
            record.beacons = std::move(events);
        }
        ledger.addDrive(record.drive.furthestM, record.beacons);
        // Counted: hundreds of drives each holding the clear line's
        // statements would be most of the audit's memory.
        record.beacons = {};
    };
    for (std::size_t j = 0; j < own.size(); ++j)
        take(records[own[j]], jobs[j].bytes, jobs[j].failure, nullptr);
    take(records[signals.size()], jobs[clearJob].bytes, jobs[clearJob].failure, nullptr);
    if (!handedOff.empty()) {
        const PoolJob& spine = jobs[spineJob];
        std::vector<std::pair<std::size_t, PoolJob>> results;
        AuditDriveRecord clear;  // the clear line the drives were handed off from
        if (spine.failure.empty()) {
            ByteReader in(spine.bytes);
            while (!in.done()) {
                const auto id = static_cast<std::size_t>(in.number());
                PoolJob job;
                job.bytes = in.text();
                job.failure = in.text();
                if (!in.intact()) break;
                if (id == signals.size()) {
                    if (!decodeAuditDrive(job.bytes, clear)) clear = AuditDriveRecord{};
                } else if (id < signals.size()) {
                    results.emplace_back(id, std::move(job));
                }
            }
        }
        // In track order, not as they happened to end: the ledger quotes
        // the first drive's words for each kind of fate.
        std::stable_sort(results.begin(), results.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<bool> seen(signals.size(), false);
        for (auto& [id, job] : results) {
            if (seen[id]) continue;
            seen[id] = true;
            take(records[id], job.bytes, job.failure, &clear.beacons);
        }
        for (const std::size_t i : handedOff)
            if (!seen[i])
                records[i].drive.failure =
                    spine.failure.empty()
                        ? "the drive's result came back incomplete"
                        : "the drive on the clear line it came from failed: " + spine.failure;
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
