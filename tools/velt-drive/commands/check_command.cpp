#include "tools/velt-drive/commands/check_command.h"

#include <iostream>
#include <memory>

#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/commands/drive_input.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/explain/route_checks.h"
#include "tools/velt-drive/scenario/checks.h"

namespace velt::drive {

// velt-drive check FILE...: the findings of each scenario, from the file
// and from a drive that writes nothing.
int runCheckCommand(const std::vector<std::string>& files, const std::string& pluginPath,
                    bool strict, bool blackBox) {
    PluginLibrary plugin;
    if (!openPlugin(plugin, pluginPath)) return kBadInput;
    int findings = 0;
    int errors = 0;
    bool diverged = false;
    for (const std::string& file : files) {
        std::unique_ptr<DriveInput> input;
        try {
            input = readDriveInput(file, 1);
        } catch (const DiagnosticError& error) {
            printDiagnostic(error.diagnostic());
            ++errors;
            continue;
        }
        const Scenario& scenario = input->scenario;
        FindingPrinter printer(strict);
        for (const Diagnostic& finding : input->routeWarnings) printer.print(finding);
        if (input->route)
            for (const Diagnostic& finding : checkRoute(input->route->track))
                printer.print(finding);
        for (const Diagnostic& finding : checkScenario(scenario)) printer.print(finding);
        ExplainedDrive drive(scenario, plugin, blackBox ? Explain::Nothing : Explain::Everything,
                             input->drive());
        const DriveEnd end = drive.run({&printer});
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

}  // namespace velt::drive
