#include "tools/velt-drive/commands/check_command.h"

#include <iostream>
#include <memory>

#include "tools/velt-drive/commands/console.h"
#include "tools/velt-drive/commands/drive_input.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/explain/route_checks.h"
#include "tools/velt-drive/scenario/checks.h"
#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {

// velt-drive check FILE...: the findings of each scenario, from the file
// and from a drive that writes nothing.
int runCheckCommand(const std::vector<std::string>& files, const std::string& pluginPath,
                    bool strict, bool blackBox, const std::string& trainPath) {
    PluginLibrary plugin;
    if (!openPlugin(plugin, pluginPath)) return kBadInput;
    int findings = 0;
    int acknowledgedFindings = 0;
    int errors = 0;
    bool diverged = false;
    for (const std::string& file : files) {
        std::unique_ptr<DriveInput> input;
        try {
            input = readDriveInput(file, 1, trainPath);
        } catch (const DiagnosticError& error) {
            printDiagnostic(error.diagnostic());
            ++errors;
            continue;
        }
        const Scenario& scenario = input->scenario;
        FindingPrinter printer(strict, &scenario);
        for (const Diagnostic& finding : input->routeWarnings) printer.print(finding);
        if (input->route)
            for (const Diagnostic& finding : checkRoute(input->route->track))
                printer.print(finding);
        const std::vector<Diagnostic> told = checkScenario(scenario);
        for (const Diagnostic& finding : told) printer.print(finding);
        ExplainedDrive drive(scenario, plugin, blackBox ? Explain::Nothing : Explain::Everything,
                             input->drive());
        const DriveEnd end = drive.run({&printer});
        for (const Diagnostic& finding : beaconFindings(scenario, end, told))
            printer.print(finding);
        findings += printer.count();
        acknowledgedFindings += printer.acknowledgedCount();
        if (!end.divergence.empty()) {
            std::cerr << "velt-drive: " << nativeSeparators(file) << ": " << end.divergence << "\n";
            diverged = true;
        }
    }
    std::cerr << "velt-drive check: " << files.size()
              << (files.size() == 1 ? " scenario, " : " scenarios, ") << findings
              << (findings == 1 ? " finding" : " findings")
              << (acknowledgedFindings > 0
                      ? " (" + std::to_string(acknowledgedFindings) + " acknowledged)"
                      : "")
              << (errors > 0 ? ", " + std::to_string(errors) + " unreadable" : "") << "\n";
    if (diverged) return kRunFailed;
    return errors > 0 || (strict && findings > 0) ? kBadInput : 0;
}

}  // namespace velt::drive
