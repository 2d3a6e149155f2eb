#include "tools/velt-drive/commands/run_command.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>

#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/commands/drive_input.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/render/cab_timeline.h"
#include "tools/velt-drive/render/calls_csv.h"
#include "tools/velt-drive/render/events_csv.h"
#include "tools/velt-drive/render/plot.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/render/report_page.h"
#include "tools/velt-drive/render/route_summary.h"
#include "tools/velt-drive/render/time_plot.h"
#include "tools/velt-drive/render/trace.h"
#include "tools/velt-drive/scenario/checks.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/output_file.h"
#include "tools/velt-drive/util/units.h"
#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {

namespace {

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
        std::string text = "\rvelt-drive: " + secondsText(secondsOf(frame.elapsedMs), 0);
        if (scenario_.end.elapsedMs)
            text += " of " + secondsText(secondsOf(*scenario_.end.elapsedMs), 0) + " (" +
                    formatFixed(100.0 * static_cast<double>(frame.elapsedMs) /
                                    static_cast<double>(*scenario_.end.elapsedMs),
                                0) +
                    "%)";
        text += " driven, at " + metresText(frame.positionM, 0) + "   ";
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

}  // namespace

int runDriveCommand(const RunOptions& options) {
    std::unique_ptr<DriveInput> input;
    try {
        input = readDriveInput(options.scenarioPath, options.seed, options.trainPath);
    } catch (const DiagnosticError& error) {
        printDiagnostic(error.diagnostic());
        return kBadInput;
    }
    const Scenario& scenario = input->scenario;
    FindingPrinter printer(options.strict, &scenario);
    for (const Diagnostic& finding : input->routeWarnings) printer.print(finding);
    const std::vector<Diagnostic> told = checkScenario(scenario);
    for (const Diagnostic& finding : told) printer.print(finding);
    if (options.strict && printer.count() > 0)
        return fail("warnings are errors under --strict; nothing written");
    if (options.blackBox && !judgedWithoutCore(scenario)) return kBadInput;

    Outputs outputs;
    outputs.addInput(options.scenarioPath, "the scenario");
    if (scenario.train) outputs.addInput(scenario.train->path, "the train file");
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
    OutputFile* callsFile = nullptr;
    if (!options.callsPath.empty())
        callsFile = &outputs.add("--calls", options.callsPath, scenario.name + "-calls.csv", true);
    // No output may replace the route or a file it includes.
    if (input->route)
        for (const std::string& file : input->route->track.route().files)
            outputs.addInput(file, "a file of the route");
    std::string error;
    if (!outputs.validate(error)) return fail(error);

    PluginLibrary plugin;
    if (!openPlugin(plugin, options.pluginPath)) return kBadInput;
    if (!outputs.open(error)) return failToWrite(outputs, error);

    TraceWriter trace(traceFile.stream(), !options.blackBox);
    Analysis analysis(scenario);
    const bool summaryShown = !options.quiet || reportFile != nullptr;
    if (!summaryShown) analysis.withoutLines();
    PlotRecorder plot(scenario);
    CabTimeline timeline(scenario);
    Progress progress(scenario);
    std::vector<DriveConsumer*> consumers{&trace, &analysis, &plot, &timeline, &printer, &progress};
    EventsWriter events(eventsFile != nullptr ? eventsFile->stream() : nullptr);
    if (eventsFile != nullptr) consumers.push_back(&events);
    CallsWriter calls(callsFile != nullptr ? callsFile->stream() : nullptr);
    if (callsFile != nullptr) consumers.push_back(&calls);
    ExplainedDrive drive(scenario, plugin,
                         options.blackBox ? Explain::Nothing : Explain::Everything, input->drive());
    OutcomeRecorder outcome(scenario, drive.explainer());
    consumers.push_back(&outcome);
    const DriveEnd end = drive.run(consumers);

    if (!end.divergence.empty()) {
        outputs.abandon();
        std::cerr << "velt-drive: " << end.divergence << "\n";
        return kRunFailed;
    }
    for (const auto& [file, failed] :
         {std::pair{&traceFile, trace.failed()}, std::pair{eventsFile, events.failed()},
          std::pair{callsFile, calls.failed()}}) {
        if (file == nullptr || !failed) continue;
        return failToWrite(outputs, file->option() + " " + nativeSeparators(file->path()) +
                                        ": cannot write the file (is the disk full?)");
    }
    // The summary lists every beacon that took no effect; the terminal only
    // those more likely a mistake than meant.
    for (const Diagnostic& finding : beaconFindings(scenario, end, told))
        if (finding.severity != Severity::Note) printer.print(finding);
    if (options.strict && printer.count() > 0) {
        outputs.abandon();
        return fail("warnings are errors under --strict; nothing written");
    }
    const Report& report = analysis.report();
    // The summary of a long drive with many interventions runs to tens of
    // megabytes: it is built only when the terminal or the report page shows it.
    std::string summary;
    if (summaryShown) {
        summary = formatSummary(scenario, end, report);
        if (input->route)
            summary = routeHeader(scenario, input->route->track) + summary +
                      stationTable(input->route->track, end);
    }
    std::vector<std::pair<OutputFile*, std::string>> documents = {
        {&plotFile, plot.render(report, end)},
        {&timePlotFile, renderTimePlot(timeline, report, end)}};
    if (reportFile != nullptr) {
        PageContent page{summary, documents[0].second, documents[1].second, {}};
        if (input->route) page.stations = stationRows(input->route->track, end);
        documents.emplace_back(reportFile, renderReportPage(timeline, report, end, page));
    }
    for (const auto& [file, text] : documents) {
        if (std::fwrite(text.data(), 1, text.size(), file->stream()) == text.size()) continue;
        return failToWrite(outputs, file->option() + " " + nativeSeparators(file->path()) +
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
            printDiagnostic(
                diagnosticAt(Severity::Error, scenario.at(expectation.pos),
                             "expectation not met: " + describeExpectation(expectation, verdict)));
        }
    }
    if (!traceFile.toStandardOutput()) words << "Trace:     " << traceFile.path() << "\n";
    if (eventsFile != nullptr && !eventsFile->toStandardOutput())
        words << "Events:    " << eventsFile->path() << "\n";
    if (callsFile != nullptr && !callsFile->toStandardOutput())
        words << "Calls:     " << callsFile->path() << "\n";
    words << "Plot:      " << plotFile.path() << "\n";
    words << "Time view: " << timePlotFile.path() << "\n";
    if (reportFile != nullptr) words << "Report:    " << reportFile->path() << "\n";
    return result.met() ? 0 : kRunFailed;
}

}  // namespace velt::drive
