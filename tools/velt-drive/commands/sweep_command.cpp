#include "tools/velt-drive/commands/sweep_command.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <thread>
#include <tuple>

#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/commands/drive_input.h"
#include "tools/velt-drive/scenario/checks.h"
#include "tools/velt-drive/sweep/sweep.h"
#include "tools/velt-drive/sweep/sweep_report.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/output_file.h"
#include "tools/velt-drive/util/units.h"
#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {

namespace {

// Runtime findings of a sweep, each once, with how many drives met it.
int printSweepFindings(const std::vector<SweepDrive>& drives, FindingPrinter& printer) {
    std::map<std::tuple<int, int, std::string>, std::size_t> counts;
    std::vector<Diagnostic> order;
    for (const SweepDrive& drive : drives)
        for (const Diagnostic& f : drive.outcome.findings)
            if (counts[{f.where.line, f.where.column, f.message}]++ == 0) order.push_back(f);
    for (Diagnostic f : order) {
        const std::size_t n = counts[{f.where.line, f.where.column, f.message}];
        if (n < drives.size())
            f.message +=
                " (in " + std::to_string(n) + " of " + std::to_string(drives.size()) + " drives)";
        printer.print(f);
    }
    return printer.count();
}

}  // namespace

int runSweepCommand(const SweepCommand& command, const std::string& pluginPath) {
    const auto started = std::chrono::steady_clock::now();
    std::unique_ptr<DriveInput> input;
    std::vector<Vary> varies;
    try {
        input = readDriveInput(command.scenarioPath, command.seed, command.trainPath);
        varies = parseVaries(command.varies, input->scenario);
    } catch (const DiagnosticError& error) {
        printDiagnostic(error.diagnostic());
        return kBadInput;
    } catch (const SweepError& error) {
        return fail(error.what());
    }
    const Scenario& scenario = input->scenario;
    FindingPrinter printer(command.strict);
    for (const Diagnostic& finding : input->routeWarnings) printer.print(finding);
    for (const Diagnostic& finding : checkScenario(scenario)) printer.print(finding);
    if (command.strict && printer.count() > 0)
        return fail("warnings are errors under --strict; nothing written");
    if (command.blackBox && !judgedWithoutCore(scenario)) return kBadInput;
    if (varies.size() > 2 && !command.plotPath.empty())
        return fail("--plot " + nativeSeparators(command.plotPath) +
                    ": a sweep plot shows one or two varied quantities, and this sweep varies " +
                    std::to_string(varies.size()) + "; leave out --plot, or vary fewer");

    Outputs outputs;
    outputs.addInput(command.scenarioPath, "the scenario");
    if (input->scenario.train) outputs.addInput(input->scenario.train->path, "the train file");
    if (input->route)
        for (const std::string& file : input->route->track.route().files)
            outputs.addInput(file, "a file of the route");
    outputs.addInput(pluginPath, "the plug-in library");
    OutputFile& tableFile =
        outputs.add("--table", command.tablePath, scenario.name + "-sweep.csv", true);
    OutputFile* plotFile = varies.size() <= 2 ? &outputs.add("--plot", command.plotPath,
                                                             scenario.name + "-sweep.svg", false)
                                              : nullptr;
    std::string error;
    if (!outputs.validate(error)) return fail(error);
    if (!outputs.open(error)) return failToWrite(outputs, error);

    SweepOptions options;
    options.blackBox = command.blackBox;
    options.route = input->drive();
    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = command.jobs > 0 ? command.jobs : static_cast<int>(cores > 0 ? cores : 1);
    ProgressLine progress("velt-drive sweep");
    options.progress = [&](std::size_t done, std::size_t total) { progress(done, total); };
    std::vector<SweepDrive> drives;
    try {
        drives = runSweep(scenario, varies, pluginPath, options);
    } catch (const SweepError& failure) {
        progress.clear();
        outputs.abandon();
        return fail(failure.what());
    }
    progress.clear();
    if (printSweepFindings(drives, printer) > 0 && command.strict) {
        outputs.abandon();
        return fail("warnings are errors under --strict; nothing written");
    }

    const SweepResult result{scenario, varies, drives};
    const std::string csv = formatSweepCsv(result);
    const std::string svg = plotFile != nullptr ? renderSweepPlot(result) : std::string();
    const bool written = std::fwrite(csv.data(), 1, csv.size(), tableFile.stream()) == csv.size() &&
                         (plotFile == nullptr ||
                          std::fwrite(svg.data(), 1, svg.size(), plotFile->stream()) == svg.size());
    if (!written) return failToWrite(outputs, "cannot write the outputs (is the disk full?)");
    if (!outputs.commit(error)) return failToWrite(outputs, error);
    std::ostream& words = outputs.anyToStandardOutput() ? std::cerr : std::cout;
    std::size_t frames = 0;
    for (const SweepDrive& drive : drives) frames += drive.outcome.frames;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!command.quiet) words << formatSweepTable(result);
    std::cerr << formatSweepFailures(result);
    const std::size_t failed = result.failedCount();
    words << "velt-drive sweep: " << drives.size() << (drives.size() == 1 ? " drive" : " drives")
          << " of " << scenario.name << " (" << frames << " frames) in " << secondsText(seconds, 1)
          << ": "
          << (failed == 0 ? "all met their expectations" : std::to_string(failed) + " failed")
          << ".\n";
    if (!tableFile.toStandardOutput()) words << "Table: " << tableFile.path() << "\n";
    if (plotFile != nullptr) words << "Plot:  " << plotFile->path() << "\n";
    return failed == 0 ? 0 : kRunFailed;
}

}  // namespace velt::drive
