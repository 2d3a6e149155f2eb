// velt-drive: runs a scripted drive against the plug-in without the
// simulator, and tells where the train stopped and what the cab showed.
#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <thread>
#include <tuple>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/velt-drive/cab_timeline.h"
#include "tools/velt-drive/checks.h"
#include "tools/velt-drive/core_twin.h"
#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/events_csv.h"
#include "tools/velt-drive/number_format.h"
#include "tools/velt-drive/outcome.h"
#include "tools/velt-drive/output_file.h"
#include "tools/velt-drive/plot.h"
#include "tools/velt-drive/plugin_library.h"
#include "tools/velt-drive/report.h"
#include "tools/velt-drive/report_page.h"
#include "tools/velt-drive/scenario.h"
#include "tools/velt-drive/sweep.h"
#include "tools/velt-drive/sweep_report.h"
#include "tools/velt-drive/time_plot.h"
#include "tools/velt-drive/trace.h"

namespace {

using namespace velt::drive;

// The exit statuses, one for each kind of outcome, so that a script can
// tell a train that failed its expectations from a scenario that was
// wrong or a disk that was full (the table is in docs/velt-drive.md).
// The drive ran and failed: it did not end as the scenario's expectations
// say, the plug-in's outputs differed from velt-drive's own core, or (in a
// sweep) a drive's process died.
constexpr int kRunFailed = 1;
// Bad input of any kind, found before anything is written: scenario,
// plug-in, options, an output path refused; and warnings under --strict.
constexpr int kBadInput = 2;
// An output could not be written: creating its folder or file, writing,
// closing or moving it into place failed. The old files are as they were.
constexpr int kOutputFailed = 3;
// A fault of velt-drive itself (out of memory, a library error).
constexpr int kInternalError = 4;

std::string defaultPluginPath() {
    const std::string directory = executableDirectory();
    const std::string name = defaultPluginFileName();
#if defined(_WIN32)
    return directory.empty() ? name : directory + "\\" + name;
#else
    return directory.empty() ? name : directory + "/" + name;
#endif
}

bool stderrIsTerminal() {
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

int fail(const std::string& message) {
    std::cerr << "velt-drive: " << message << "\n";
    return kBadInput;
}

int failToWrite(Outputs& outputs, const std::string& message) {
    outputs.abandon();
    std::cerr << "velt-drive: " << message << "\n";
    return kOutputFailed;
}

// Prints each finding as it comes, as a warning or, under --strict, an error.
class FindingPrinter : public DriveConsumer {
public:
    FindingPrinter(const std::string& file, bool strict) : file_(file), strict_(strict) {}
    void finding(const Finding& finding) override { print(finding); }
    void print(const Finding& finding) {
        ++count_;
        std::cerr << formatFinding(file_, finding, strict_ ? "error" : "warning") << "\n";
    }
    [[nodiscard]] int count() const { return count_; }

private:
    const std::string& file_;
    bool strict_;
    int count_ = 0;
};

// A long drive tells how far it has come, on a terminal only.
class Progress : public DriveConsumer {
public:
    explicit Progress(const Scenario& scenario)
        : scenario_(scenario), enabled_(stderrIsTerminal()) {}

    void frame(const FrameRecord& frame) override {
        if (!enabled_ || (frame.number & 4095U) != 0) return;
        const auto now = std::chrono::steady_clock::now();
        if (now - started_ < std::chrono::seconds(3) ||
            now - shown_ < std::chrono::milliseconds(250))
            return;
        shown_ = now;
        std::string text =
            "\rvelt-drive: " + formatFixed(static_cast<double>(frame.elapsedMs) / 1000.0, 0) + " s";
        if (scenario_.end.elapsedMs)
            text += " of " +
                    formatFixed(static_cast<double>(*scenario_.end.elapsedMs) / 1000.0, 0) +
                    " s (" +
                    formatFixed(100.0 * static_cast<double>(frame.elapsedMs) /
                                    static_cast<double>(*scenario_.end.elapsedMs),
                                0) +
                    "%)";
        text += " driven, at " + formatFixed(frame.positionM, 0) + " m   ";
        std::cerr << text << std::flush;
        drawn_ = true;
    }

    void end(const DriveEnd& /*end*/) override {
        if (drawn_) std::cerr << "\r" << std::string(72, ' ') << "\r" << std::flush;
    }

private:
    const Scenario& scenario_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

bool openPlugin(PluginLibrary& plugin, const std::string& path) {
    if (plugin.open(path)) return true;
    fail(plugin.error());
    return false;
}

// velt-drive check FILE...: the findings of each scenario, from the file
// and from a drive that writes nothing.
int check(const std::vector<std::string>& files, const std::string& pluginPath, bool strict,
          bool blackBox) {
    PluginLibrary plugin;
    if (!openPlugin(plugin, pluginPath)) return kBadInput;
    int findings = 0;
    int errors = 0;
    bool diverged = false;
    for (const std::string& file : files) {
        Scenario scenario;
        try {
            scenario = readScenario(file);
        } catch (const ScenarioError& error) {
            std::cerr << "velt-drive: " << error.what() << "\n";
            ++errors;
            continue;
        }
        FindingPrinter printer(file, strict);
        for (const Finding& finding : checkScenario(scenario)) printer.print(finding);
        CoreTwin twin(scenario, plugin.path());
        PluginSession blackBoxSession(plugin.api());
        PluginSession twinSession(plugin.api(), twin);
        const DriveEnd end =
            runDrive(scenario, blackBox ? blackBoxSession : twinSession, {&printer});
        findings += printer.count();
        if (!end.divergence.empty()) {
            std::cerr << "velt-drive: " << file << ": " << end.divergence << "\n";
            diverged = true;
        }
    }
    std::cerr << "velt-drive check: " << files.size()
              << (files.size() == 1 ? " scenario, " : " scenarios, ") << findings
              << (findings == 1 ? " finding" : " findings")
              << (errors > 0 ? ", " + std::to_string(errors) + " unreadable" : "") << "\n";
    if (diverged) return kRunFailed;
    return errors > 0 || (strict && findings > 0) ? kBadInput : 0;
}

// Brakes are told by velt-drive's own core; guessing them from a black
// box's outputs would judge by a second, weaker rule. False, with the
// expectation named, when the scenario expects something about them.
bool judgedWithoutCore(const Scenario& scenario) {
    for (const Expectation& expectation : scenario.expectations) {
        if (!needsInterventions(expectation)) continue;
        std::cerr << formatFinding(scenario.file,
                                   {expectation.pos,
                                    "'" + expectation.text +
                                        "' is judged by the protection's interventions, which "
                                        "a black-box drive (--black-box) does not know"},
                                   "error")
                  << "\n  help: drive without --black-box, or leave this expectation out\n";
        return false;
    }
    return true;
}

struct RunOptions {
    std::string scenarioPath;
    std::string pluginPath;
    std::string tracePath;
    std::string plotPath;
    std::string timePlotPath;
    std::string reportPath;
    std::string eventsPath;
    bool quiet = false;
    bool strict = false;
    bool blackBox = false;
};

int run(const RunOptions& options) {
    Scenario scenario;
    try {
        scenario = readScenario(options.scenarioPath);
    } catch (const ScenarioError& error) {
        return fail(error.what());
    }
    FindingPrinter printer(scenario.file, options.strict);
    for (const Finding& finding : checkScenario(scenario)) printer.print(finding);
    if (options.strict && printer.count() > 0)
        return fail("warnings are errors under --strict; nothing written");
    if (options.blackBox && !judgedWithoutCore(scenario)) return kBadInput;

    Outputs outputs;
    outputs.addInput(options.scenarioPath, "the scenario");
    outputs.addInput(options.pluginPath, "the plug-in library");
    OutputFile& traceFile = outputs.add("--trace", options.tracePath, scenario.name + ".csv", true);
    OutputFile& plotFile = outputs.add("--plot", options.plotPath, scenario.name + ".svg", false);
    OutputFile& timePlotFile =
        outputs.add("--time-plot", options.timePlotPath, scenario.name + "-time.svg", false);
    // The page is written only when asked for.
    OutputFile* reportFile = options.reportPath.empty()
                                 ? nullptr
                                 : &outputs.add("--report", options.reportPath, "", false);
    OutputFile* eventsFile = nullptr;
    if (!options.eventsPath.empty()) {
        if (options.blackBox)
            return fail(
                "--events: a black-box drive (--black-box) has no events to write; they come "
                "from velt-drive's own core, which --black-box leaves out");
        eventsFile =
            &outputs.add("--events", options.eventsPath, scenario.name + "-events.csv", true);
    }
    std::string error;
    if (!outputs.validate(error)) return fail(error);

    PluginLibrary plugin;
    if (!openPlugin(plugin, options.pluginPath)) return kBadInput;
    if (!outputs.open(error)) return failToWrite(outputs, error);

    TraceWriter trace(traceFile.stream(), !options.blackBox);
    Analysis analysis(scenario);
    PlotRecorder plot(scenario);
    CabTimeline timeline(scenario);
    Progress progress(scenario);
    std::vector<DriveConsumer*> consumers{&trace, &analysis, &plot, &timeline, &printer, &progress};
    EventsWriter events(eventsFile != nullptr ? eventsFile->stream() : nullptr);
    if (eventsFile != nullptr) consumers.push_back(&events);
    CoreTwin twin(scenario, plugin.path());
    OutcomeRecorder outcome(scenario, options.blackBox ? nullptr : &twin.explainer());
    consumers.push_back(&outcome);
    PluginSession blackBoxSession(plugin.api());
    PluginSession twinSession(plugin.api(), twin);
    const DriveEnd end =
        runDrive(scenario, options.blackBox ? blackBoxSession : twinSession, consumers);

    if (!end.divergence.empty()) {
        outputs.abandon();
        std::cerr << "velt-drive: " << end.divergence << "\n";
        return kRunFailed;
    }
    for (const auto& [file, failed] :
         {std::pair{&traceFile, trace.failed()}, std::pair{eventsFile, events.failed()}}) {
        if (file == nullptr || !failed) continue;
        return failToWrite(outputs, file->option() + " " + file->path() +
                                        ": cannot write the file (is the disk full?)");
    }
    if (options.strict && printer.count() > 0) {
        outputs.abandon();
        return fail("warnings are errors under --strict; nothing written");
    }
    const Report& report = analysis.report();
    const std::string summary = formatSummary(scenario, end, report);
    std::vector<std::pair<OutputFile*, std::string>> documents = {
        {&plotFile, plot.render(report, end)},
        {&timePlotFile, renderTimePlot(timeline, report, end)}};
    if (reportFile != nullptr) {
        const PageContent page{summary, documents[0].second, documents[1].second};
        documents.emplace_back(reportFile, renderReportPage(timeline, report, end, page));
    }
    for (const auto& [file, text] : documents) {
        if (std::fwrite(text.data(), 1, text.size(), file->stream()) == text.size()) continue;
        return failToWrite(outputs, file->option() + " " + file->path() +
                                        ": cannot write the file (is the disk full?)");
    }
    if (!outputs.commit(error)) return failToWrite(outputs, error);
    // Standard output may be carrying the trace: then the words go to stderr.
    std::ostream& words = outputs.anyToStandardOutput() ? std::cerr : std::cout;
    if (!options.quiet) words << summary;
    const DriveOutcome& result = outcome.outcome();
    for (std::size_t i = 0; i < result.expectations.size(); ++i) {
        const Expectation& expectation = scenario.expectations[i];
        const ExpectationResult& verdict = result.expectations[i];
        if (verdict.met) {
            if (!options.quiet)
                words << "Expected " << describeExpectation(expectation, verdict) << "\n";
        } else {
            const Finding failed{expectation.pos, "expectation not met: " +
                                                      describeExpectation(expectation, verdict)};
            std::cerr << formatFinding(scenario.file, failed, "error") << "\n";
        }
    }
    if (!traceFile.toStandardOutput()) words << "Trace:     " << traceFile.path() << "\n";
    if (eventsFile != nullptr && !eventsFile->toStandardOutput())
        words << "Events:    " << eventsFile->path() << "\n";
    words << "Plot:      " << plotFile.path() << "\n";
    words << "Time view: " << timePlotFile.path() << "\n";
    if (reportFile != nullptr) words << "Report:    " << reportFile->path() << "\n";
    return result.met() ? 0 : kRunFailed;
}

struct SweepCommand {
    std::string scenarioPath;
    std::vector<std::string> varies;
    std::string tablePath;
    std::string plotPath;
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    bool strict = false;
    bool blackBox = false;
};

// A sweep that takes a while tells how many drives are done, on a terminal only.
class SweepProgress {
public:
    SweepProgress() : enabled_(stderrIsTerminal()) {}
    void operator()(std::size_t done, std::size_t total) {
        const auto now = std::chrono::steady_clock::now();
        if (!enabled_ || now - started_ < std::chrono::seconds(2) ||
            now - shown_ < std::chrono::milliseconds(250))
            return;
        shown_ = now;
        std::cerr << "\rvelt-drive sweep: " << done << " of " << total << " drives ("
                  << formatFixed(100.0 * static_cast<double>(done) / static_cast<double>(total), 0)
                  << "%)   " << std::flush;
        drawn_ = true;
    }
    void clear() const {
        if (drawn_) std::cerr << "\r" << std::string(60, ' ') << "\r" << std::flush;
    }

private:
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

// Runtime findings of a sweep, each once, with how many drives met it.
int printSweepFindings(const std::vector<SweepDrive>& drives, FindingPrinter& printer) {
    std::map<std::tuple<int, int, std::string>, std::size_t> counts;
    std::vector<Finding> order;
    for (const SweepDrive& drive : drives)
        for (const Finding& f : drive.outcome.findings)
            if (counts[{f.pos.line, f.pos.column, f.text}]++ == 0) order.push_back(f);
    for (Finding f : order) {
        const std::size_t n = counts[{f.pos.line, f.pos.column, f.text}];
        if (n < drives.size())
            f.text +=
                " (in " + std::to_string(n) + " of " + std::to_string(drives.size()) + " drives)";
        printer.print(f);
    }
    return printer.count();
}

int sweep(const SweepCommand& command, const std::string& pluginPath) {
    const auto started = std::chrono::steady_clock::now();
    Scenario scenario;
    std::vector<Vary> varies;
    try {
        scenario = readScenario(command.scenarioPath);
        varies = parseVaries(command.varies, scenario);
    } catch (const ScenarioError& error) {
        return fail(error.what());
    } catch (const SweepError& error) {
        return fail(error.what());
    }
    FindingPrinter printer(scenario.file, command.strict);
    for (const Finding& finding : checkScenario(scenario)) printer.print(finding);
    if (command.strict && printer.count() > 0)
        return fail("warnings are errors under --strict; nothing written");
    if (command.blackBox && !judgedWithoutCore(scenario)) return kBadInput;
    if (varies.size() > 2 && !command.plotPath.empty())
        return fail("--plot " + command.plotPath +
                    ": a sweep plot shows one or two varied quantities, and this sweep varies " +
                    std::to_string(varies.size()) + "; leave out --plot, or vary fewer");

    Outputs outputs;
    outputs.addInput(command.scenarioPath, "the scenario");
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
    const unsigned cores = std::thread::hardware_concurrency();
    options.jobs = command.jobs > 0 ? command.jobs : static_cast<int>(cores > 0 ? cores : 1);
    SweepProgress progress;
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
          << " of " << scenario.name << " (" << frames << " frames) in " << formatFixed(seconds, 1)
          << " s: "
          << (failed == 0 ? "all met their expectations" : std::to_string(failed) + " failed")
          << ".\n";
    if (!tableFile.toStandardOutput()) words << "Table: " << tableFile.path() << "\n";
    if (plotFile != nullptr) words << "Plot:  " << plotFile->path() << "\n";
    return failed == 0 ? 0 : kRunFailed;
}

}  // namespace

namespace {

int runCommandLine(int argc, char** argv) {
#if defined(_WIN32)
    // The same bytes on the terminal as natively: no "\r" added to "\n".
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    CLI::App app{
        "Runs a scripted drive against the velt plug-in, the way a host calls it, and reports "
        "where the train stopped, what the cab showed, and why the protection did what it did. "
        "velt-drive runs its own copy of velt's core beside the plug-in and stops (exit code 1) "
        "at the first frame in which the plug-in's outputs differ from it: by default the "
        "plug-in must be the velt this tool was built with. --black-box drives any plug-in of "
        "this host interface without that copy (no causes, no check)."};
    app.name("velt-drive");
    app.footer(std::string(kDefaultOutputRule) +
               "\nExit status: 0 the drive met its expectations, 1 it did not (or the plug-in "
               "differed from velt-drive's own core), 2 bad input (nothing written), 3 an output "
               "could not be written, 4 an internal error.");
    // Scenario paths may start with "/" also on Windows (under Wine).
    app.allow_windows_style_options(false);
    RunOptions options;
    options.pluginPath = defaultPluginPath();
    bool version = false;
    app.add_option("scenario", options.scenarioPath,
                   "Scenario file (format: docs/scenario-format.md)");
    app.add_option("--plugin", options.pluginPath,
                   "Plug-in library to load; without --black-box, the velt this tool was built "
                   "with")
        ->capture_default_str();
    app.add_option(
        "--trace", options.tracePath,
        "CSV trace of every frame (default NAME.csv in the output folder, below; - for standard "
        "output)");
    app.add_option("--plot", options.plotPath,
                   "SVG plot of speed against position (default NAME.svg in the output folder)");
    app.add_option("--time-plot", options.timePlotPath,
                   "SVG view of the cab against time: speed, display codes, lamps, sounds "
                   "(default NAME-time.svg in the output folder)");
    app.add_option("--report", options.reportPath,
                   "Report page (one HTML file): summary, interventions, both plots and a cab "
                   "panel player");
    app.add_option("--events", options.eventsPath,
                   "CSV of every event with its cause, one row each (- for standard output)");
    app.add_flag("--black-box", options.blackBox,
                 "Drive any plug-in of this host interface without velt-drive's own core: no "
                 "causes, no check of the outputs");
    app.add_flag("-q,--quiet", options.quiet, "Print only the output file names, not the summary");
    app.add_flag("--strict", options.strict,
                 "Treat warnings about the scenario as errors (exit code 2)");
    app.add_flag("--version", version, "Load the plug-in, print its version and path, and exit");

    CLI::App* checkCommand = app.add_subcommand(
        "check", "Check scenarios for things velt will not do as written, and run nothing else");
    std::vector<std::string> checkFiles;
    bool checkStrict = false;
    checkCommand->add_option("files", checkFiles, "Scenario files")->required();
    checkCommand->add_flag("--strict", checkStrict, "Treat warnings as errors (exit code 2)");
    checkCommand->add_option("--plugin", options.pluginPath,
                             "Plug-in library to drive the scenarios with");
    bool checkBlackBox = false;
    checkCommand->add_flag("--black-box", checkBlackBox,
                           "Drive without velt-drive's own core (any plug-in of this interface)");

    CLI::App* sweepCommand = app.add_subcommand(
        "sweep",
        "Drive a scenario once for every combination of the values of some of its quantities, "
        "and tell where each train stopped and whether it met the scenario's expectations");
    SweepCommand sweepOptions;
    sweepCommand->add_option("scenario", sweepOptions.scenarioPath, "Scenario file")->required();
    sweepCommand
        ->add_option("--vary", sweepOptions.varies,
                     "NAME[,NAME...]=FROM:TO:STEP in the scenario's units; NAME is start-speed, "
                     "service-brake, emergency-brake, acceleration, frame, beacon@LINE, "
                     "signal@LINE or hold@LINE (names joined by commas take each value together)")
        ->required();
    sweepCommand->add_option(
        "--table", sweepOptions.tablePath,
        "CSV with one row per drive (default NAME-sweep.csv in the output folder; - for standard "
        "output)");
    sweepCommand->add_option("--plot", sweepOptions.plotPath,
                             "SVG plot of the stops (default NAME-sweep.svg in the output folder)");
    sweepCommand->add_option("-j,--jobs", sweepOptions.jobs,
                             "Drives at a time (default: one per core; the Windows tool drives "
                             "one at a time)");
    sweepCommand->add_flag("-q,--quiet", sweepOptions.quiet, "Leave out the table on the terminal");
    sweepCommand->add_flag("--strict", sweepOptions.strict,
                           "Treat warnings about the scenario as errors (exit code 2)");
    sweepCommand->add_option("--plugin", options.pluginPath, "Plug-in library to load");
    sweepCommand->add_flag("--black-box", sweepOptions.blackBox,
                           "Drive without velt-drive's own core (any plug-in of this interface; "
                           "no interventions, no CPP or SPB targets)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        return fail(std::string(error.what()) + "\n(run 'velt-drive --help' for the options)");
    }

    if (checkCommand->parsed())
        return check(checkFiles, options.pluginPath, checkStrict || options.strict,
                     checkBlackBox || options.blackBox);
    if (sweepCommand->parsed()) {
        sweepOptions.strict = sweepOptions.strict || options.strict;
        sweepOptions.blackBox = sweepOptions.blackBox || options.blackBox;
        return sweep(sweepOptions, options.pluginPath);
    }
    if (version) {
        PluginLibrary plugin;
        if (!openPlugin(plugin, options.pluginPath)) return kBadInput;
        std::cout << "velt-drive 1.0: plug-in version " << plugin.version() << " from "
                  << plugin.path() << "\n";
        return 0;
    }
    if (options.scenarioPath.empty())
        return fail("no scenario file given\n(run 'velt-drive --help' for the options)");
    return run(options);
}

}  // namespace

int main(int argc, char** argv) {
    int status = kInternalError;
    try {
        status = runCommandLine(argc, argv);
    } catch (const std::exception& error) {
        // Out of memory or a library fault: say so rather than abort silently.
        std::cerr << "velt-drive: internal error: " << error.what() << "\n";
        return kInternalError;
    }
    // The summary is an output too: a full disk or a closed pipe behind
    // standard output is not a success.
    if (!std::cout.flush() || std::fflush(stdout) != 0) {
        std::cerr << "velt-drive: cannot write to standard output\n";
        return status == 0 ? kOutputFailed : status;
    }
    return status;
}
