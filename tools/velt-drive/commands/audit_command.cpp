#include "tools/velt-drive/commands/audit_command.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>

#include "tools/velt-drive/audit/audit_run.h"
#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/route/reader.h"
#include "tools/velt-drive/sweep/vary.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

std::string stem(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool write(const std::string& text, const OutputFile* file) {
    return file == nullptr ||
           std::fwrite(text.data(), 1, text.size(), file->stream()) == text.size();
}

}  // namespace

int runAuditCommand(const AuditCommand& command, const std::string& pluginPath) {
    const auto started = std::chrono::steady_clock::now();
    AuditOptions options;
    if (command.driver == "confirming") {
        options.driver = AuditDriver::Confirming;
    } else if (command.driver != "non-reacting") {
        return fail("--driver " + command.driver +
                    ": the audit's drivers are non-reacting (the default: never reacts to a "
                    "signal) and confirming (also presses the confirm key whenever velt asks)");
    }
    FindingPrinter printer(command.strict);
    Scenario base;
    std::optional<ScenarioRoute> attached;
    try {
        // The scenario gives the vehicle and the train; the audit its own
        // drivers and standing trains.
        base = command.scenarioPath.empty()
                   ? parseScenario("", command.routePath, command.trainPath)
                   : readScenario(command.scenarioPath, command.trainPath);
        base.routeFile = command.routePath;
        base.driver.clear();
        base.occupied.clear();
        base.expectations.clear();
        RouteReadOptions routeOptions;
        routeOptions.seed = command.seed;
        ReadRoute read = readRoute(command.routePath, routeOptions);
        for (const Diagnostic& warning : read.warnings) printer.print(warning);
        attached.emplace(attachRoute(base, std::move(read.route)));
    } catch (const DiagnosticError& error) {
        printDiagnostic(error.diagnostic());
        return kBadInput;
    }
    if (command.strict && printer.count() > 0)
        return fail("warnings are errors under --strict; nothing written");
    const RouteTrack& track = attached->track;
    if (track.sectionCount() < 2)
        return fail(command.routePath +
                    ": the route has no signal section to audit (no Track.Section or "
                    "Track.Signal command); add the route's signals, or drive it with "
                    "'velt-drive " +
                    command.routePath + "'");

    const std::string name = stem(command.routePath);
    Outputs outputs;
    outputs.addInput(command.routePath, "the route");
    for (const std::string& file : track.route().files) outputs.addInput(file, "a route file");
    if (!command.scenarioPath.empty()) outputs.addInput(command.scenarioPath, "the scenario");
    if (base.train) outputs.addInput(base.train->path, "the train file");
    outputs.addInput(pluginPath, "the plug-in library");
    OutputFile& tableFile = outputs.add("--table", command.tablePath, name + "-audit.csv", true);
    OutputFile& pageFile = outputs.add("--report", command.reportPath, name + "-audit.html", false);
    std::string error;
    if (!outputs.validate(error)) return fail(error);
    if (!outputs.open(error)) return failToWrite(outputs, error);

    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = command.jobs > 0 ? command.jobs : static_cast<int>(cores > 0 ? cores : 1);
    ProgressLine progress("velt-drive audit");
    options.progress = [&](std::size_t done, std::size_t total) { progress(done, total); };
    AuditRun run;
    try {
        run = runAudit(base, track, pluginPath, options);
    } catch (const SweepError& failure) {
        progress.clear();
        outputs.abandon();
        return fail(failure.what());
    }
    progress.clear();
    const AuditResult& result = run.result;
    const std::string csv = formatAuditCsv(result);
    const std::string page = renderAuditPage(track.route(), result, run.players, name);
    if (!write(csv, &tableFile) || !write(page, &pageFile))
        return failToWrite(outputs, "cannot write the outputs (is the disk full?)");
    if (!outputs.commit(error)) return failToWrite(outputs, error);

    std::ostream& words = outputs.anyToStandardOutput() ? std::cerr : std::cout;
    if (!command.quiet) words << formatAuditTable(track.route(), result) << "\n";
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    words << "velt-drive audit: " << result.signals.size() << " signals of " << name << " ("
          << result.signals.size() + 1 << " drives, " << run.frames << " frames) in "
          << secondsText(seconds, 1) << ": " << result.overruns() << " overran"
          << (result.clearLine.interventions.empty()
                  ? ""
                  : ", " + std::to_string(result.clearLine.interventions.size()) +
                        " interventions on the clear line")
          << ".\n";
    if (!tableFile.toStandardOutput()) words << "Table:  " << tableFile.path() << "\n";
    words << "Report: " << pageFile.path() << "\n";
    return result.failed() ? kRunFailed : 0;
}

}  // namespace velt::drive
