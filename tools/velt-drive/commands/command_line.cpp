#include "tools/velt-drive/commands/command_line.h"

#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/velt-drive/commands/audit_command.h"
#include "tools/velt-drive/commands/check_command.h"
#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/commands/run_command.h"
#include "tools/velt-drive/commands/shared_options.h"
#include "tools/velt-drive/commands/sweep_command.h"
#include "tools/velt-drive/util/output_file.h"
#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {

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
                   "Scenario file (format: docs/scenario-format.md), or a route file (.csv, "
                   ".rw) to drive with the timetable driver");
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
    app.add_option("--calls", options.callsPath,
                   "CSV of every call made to the plug-in but Elapse, one row each (- for "
                   "standard output)");
    app.add_option("--seed", options.seed,
                   "Seed of a route's random choices ($Rnd, weighted $Include); the summary "
                   "says which ran")
        ->capture_default_str();
    app.add_flag("--black-box", options.blackBox,
                 "Drive any plug-in of this host interface without velt-drive's own core: no "
                 "causes, no check of the outputs");
    app.add_flag("-q,--quiet", options.quiet, "Print only the output file names, not the summary");
    app.add_flag("--strict", options.strict,
                 "Treat warnings about the scenario as errors (exit code 2)");
    app.add_flag("--version", version, "Load the plug-in, print its version and path, and exit");
    SharedOptions shared;
    addSharedOptions(app, shared);

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
    addSharedOptions(*checkCommand, shared);

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
    sweepCommand->add_option("--seed", sweepOptions.seed,
                             "Seed of a route's random choices ($Rnd, weighted $Include)");
    sweepCommand->add_flag("--black-box", sweepOptions.blackBox,
                           "Drive without velt-drive's own core (any plug-in of this interface; "
                           "no interventions, no CPP or SPB targets)");
    addSharedOptions(*sweepCommand, shared);

    CLI::App* auditCommand = app.add_subcommand(
        "audit",
        "Drive a route once for every signal section with another train standing in it and a "
        "driver who does not react to signals, and once on a clear line: tell where velt "
        "stopped each train, and what it did with every beacon");
    AuditCommand auditOptions;
    auditCommand->add_option("route", auditOptions.routePath, "Route file (CSV or RW)")->required();
    auditCommand->add_option("scenario", auditOptions.scenarioPath,
                             "Scenario whose vehicle and train to audit with (optional)");
    auditCommand
        ->add_option("--driver", auditOptions.driver,
                     "non-reacting (never reacts to a signal nor presses the confirm key) or "
                     "confirming (presses the confirm key whenever velt asks)")
        ->capture_default_str();
    auditCommand->add_option(
        "--table", auditOptions.tablePath,
        "CSV with one row per signal section (default ROUTE-audit.csv in the output folder; - "
        "for standard output)");
    auditCommand->add_option("--report", auditOptions.reportPath,
                             "Audit page (one HTML file): the route as a strip, the tables and "
                             "a cab player (default ROUTE-audit.html in the output folder)");
    auditCommand
        ->add_option("--seed", auditOptions.seed,
                     "Seed for the route's random choices ($Rnd, weighted $Include)")
        ->capture_default_str();
    auditCommand->add_option("-j,--jobs", auditOptions.jobs,
                             "Drives at a time (default: one per core; the Windows tool drives "
                             "one at a time)");
    auditCommand->add_flag("-q,--quiet", auditOptions.quiet, "Leave out the table on the terminal");
    auditCommand->add_flag("--strict", auditOptions.strict,
                           "Treat warnings about the route as errors (exit code 2)");
    auditCommand->add_option("--plugin", options.pluginPath, "Plug-in library to load");
    addSharedOptions(*auditCommand, shared);

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
        return runCheckCommand(expandArguments(checkFiles), options.pluginPath,
                               checkStrict || options.strict, checkBlackBox || options.blackBox,
                               shared.trainPath);
    if (sweepCommand->parsed()) {
        sweepOptions.strict = sweepOptions.strict || options.strict;
        sweepOptions.blackBox = sweepOptions.blackBox || options.blackBox;
        sweepOptions.trainPath = shared.trainPath;
        return runSweepCommand(sweepOptions, options.pluginPath);
    }
    if (auditCommand->parsed()) {
        auditOptions.strict = auditOptions.strict || options.strict;
        auditOptions.trainPath = shared.trainPath;
        return runAuditCommand(auditOptions, options.pluginPath);
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
    options.trainPath = shared.trainPath;
    return runDriveCommand(options);
}

}  // namespace velt::drive
