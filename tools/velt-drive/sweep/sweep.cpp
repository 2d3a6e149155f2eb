#include "tools/velt-drive/sweep/sweep.h"

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/sweep/outcome_codec.h"
#include "tools/velt-drive/sweep/process_pool.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// One drive, with velt-drive's own core beside the plug-in unless it is a
// black box: the interventions and their causes come from its explanation.
DriveOutcome driveOnce(const Scenario& base, const std::vector<Vary>& varies,
                       const std::vector<double>& values, const PluginLibrary& plugin,
                       const SweepOptions& options) {
    const Scenario scenario = variant(base, varies, values);
    // Only the interventions: the sweep tells nothing else of the explanation.
    ExplainedDrive drive(scenario, plugin,
                         options.blackBox ? Explain::Nothing : Explain::Interventions,
                         options.route);
    OutcomeRecorder recorder(scenario, drive.explainer());
    drive.run({&recorder});
    return recorder.outcome();
}

}  // namespace

std::vector<SweepDrive> runSweep(const Scenario& base, const std::vector<Vary>& varies,
                                 const std::string& pluginPath, const SweepOptions& options) {
    std::vector<SweepDrive> drives(combinationCount(varies));
    for (std::size_t i = 0; i < drives.size(); ++i) drives[i].values = combination(varies, i);
    PoolOptions pool;
    pool.jobs = options.jobs;
    pool.progress = options.progress;
    const std::vector<PoolJob> jobs = runDrivesApart(
        pluginPath, drives.size(), pool, [&](const PluginLibrary& plugin, std::size_t i) {
            return encodeOutcome(driveOnce(base, varies, drives[i].values, plugin, options));
        });
    for (std::size_t i = 0; i < drives.size(); ++i) {
        drives[i].failure = jobs[i].failure;
        if (drives[i].failure.empty() && !decodeOutcome(jobs[i].bytes, drives[i].outcome))
            drives[i].failure = "the drive's result came back incomplete";
    }
    // A library that is not this velt: what the drive says is not about it.
    for (SweepDrive& drive : drives)
        if (drive.failure.empty() && !drive.outcome.divergence.empty())
            drive.failure = drive.outcome.divergence;
    return drives;
}

}  // namespace velt::drive
