// velt-drive: runs a scripted drive against the plug-in without the
// simulator, and tells where the train stopped and what the cab showed.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <iostream>
#include <string>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/outputs.h"
#include "tools/velt-drive/plugin_library.h"
#include "tools/velt-drive/report.h"
#include "tools/velt-drive/scenario.h"

namespace {

// Bad input of any kind: scenario, plug-in, options or output files.
constexpr int kBadInput = 2;

std::string defaultPluginPath() {
    const std::string directory = velt::drive::executableDirectory();
    const std::string name = velt::drive::defaultPluginFileName();
#if defined(_WIN32)
    return directory.empty() ? name : directory + "\\" + name;
#else
    return directory.empty() ? name : directory + "/" + name;
#endif
}

}  // namespace

int main(int argc, char** argv) {
#if defined(_WIN32)
    // The same bytes on the terminal as natively: no "\r" added to "\n".
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
#endif
    CLI::App app{"Runs a scripted drive against the velt plug-in, the way a host calls it, and reports where the "
                 "train stopped and what the cab showed."};
    app.name("velt-drive");
    // Scenario paths may start with "/" also on Windows (under Wine).
    app.allow_windows_style_options(false);
    std::string scenarioPath;
    std::string pluginPath = defaultPluginPath();
    std::string tracePath;
    std::string plotPath;
    bool quiet = false;
    bool version = false;
    app.add_option("scenario", scenarioPath, "Scenario file (format: docs/scenario-format.md)");
    app.add_option("--plugin", pluginPath, "Plug-in library to load")->capture_default_str();
    app.add_option("--trace", tracePath, "CSV trace of every frame (default build/drive/NAME.csv)");
    app.add_option("--plot", plotPath, "SVG plot of speed against position (default build/drive/NAME.svg)");
    app.add_flag("-q,--quiet", quiet, "Print only the output file names, not the summary");
    app.add_flag("--version", version, "Load the plug-in, print its version and path, and exit");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int code = app.exit(error);
        return code == 0 ? 0 : kBadInput;
    }

    velt::drive::PluginLibrary plugin;
    if (version) {
        if (!plugin.open(pluginPath)) {
            std::cerr << "velt-drive: " << plugin.error() << "\n";
            return kBadInput;
        }
        std::cout << "velt-drive 1.0: plug-in version " << plugin.version() << " from " << plugin.path() << "\n";
        return 0;
    }
    if (scenarioPath.empty()) {
        std::cerr << "velt-drive: no scenario file given (see --help)\n";
        return kBadInput;
    }

    velt::drive::Scenario scenario;
    try {
        scenario = velt::drive::readScenario(scenarioPath);
    } catch (const velt::drive::ScenarioError& error) {
        std::cerr << "velt-drive: " << error.what() << "\n";
        return kBadInput;
    }
    if (!plugin.open(pluginPath)) {
        std::cerr << "velt-drive: " << plugin.error() << "\n";
        return kBadInput;
    }
    if (tracePath.empty()) tracePath = "build/drive/" + scenario.name + ".csv";
    if (plotPath.empty()) plotPath = "build/drive/" + scenario.name + ".svg";

    const velt::drive::DriveResult drive = velt::drive::runDrive(scenario, plugin.api());
    const velt::drive::Report report = velt::drive::analyse(scenario, drive);

    std::string error;
    if (!velt::drive::writeFileAtomically(tracePath, velt::drive::formatTrace(drive), error) ||
        !velt::drive::writeFileAtomically(plotPath, velt::drive::formatPlot(scenario, drive, report), error)) {
        std::cerr << "velt-drive: " << error << "\n";
        return kBadInput;
    }
    if (!quiet) std::cout << velt::drive::formatSummary(scenario, drive, report);
    std::cout << "Trace: " << tracePath << "\nPlot:  " << plotPath << "\n";
    return 0;
}
