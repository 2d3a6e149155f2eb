// What the commands share: the exit statuses, the messages on the terminal,
// the printer of findings, and the plug-in a command loads.
#pragma once

#include <string>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// Bad input of any kind: scenario, plug-in, options or output files; and
// warnings under --strict.
inline constexpr int kBadInput = 2;
// The run itself failed: an output could not be written, the plug-in's
// outputs differed from velt-drive's own core, or the drive did not end as
// the scenario's expectations say.
inline constexpr int kRunFailed = 1;

// The plug-in next to the executable, where it is by default.
std::string defaultPluginPath();

// Whether standard error is a terminal, where a long run may show its
// progress.
bool stderrIsTerminal();

// "velt-drive: message" on standard error; returns kBadInput.
int fail(const std::string& message);

// Opens the plug-in, or says why not.
bool openPlugin(PluginLibrary& plugin, const std::string& path);

// Prints each finding as it comes, as a warning or, under --strict, an error.
class FindingPrinter : public DriveConsumer {
public:
    explicit FindingPrinter(bool strict) : strict_(strict) {}
    void finding(const Diagnostic& finding) override { print(finding); }
    void print(Diagnostic finding);
    [[nodiscard]] int count() const { return count_; }

private:
    bool strict_;
    int count_ = 0;
};

// A diagnostic on standard error, as a compiler prints it.
void printDiagnostic(const Diagnostic& diagnostic);

// Brakes are told by velt-drive's own core; guessing them from a black
// box's outputs would judge by a second, weaker rule. False, with the
// expectation named, when the scenario expects something about them.
bool judgedWithoutCore(const Scenario& scenario);

}  // namespace velt::drive
