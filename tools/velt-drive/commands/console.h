// What the commands share: the exit statuses, the messages on the terminal,
// the printer of findings, and the plug-in a command loads.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/scenario/scenario.h"
#include "tools/velt-drive/util/output_file.h"

namespace velt::drive {

// The exit statuses, one for each kind of outcome, so that a script can
// tell a train that failed its expectations from a scenario that was
// wrong or a disk that was full (the table is in docs/velt-drive.md).
// The drive ran and failed: it did not end as the scenario's expectations
// say, the plug-in's outputs differed from velt-drive's own core, or (in a
// sweep) a drive's process died.
inline constexpr int kRunFailed = 1;
// Bad input of any kind, found before anything is written: scenario,
// plug-in, options, an output path refused; and warnings under --strict.
inline constexpr int kBadInput = 2;
// An output could not be written: creating its folder or file, writing,
// closing or moving it into place failed. The old files are as they were.
inline constexpr int kOutputFailed = 3;
// A fault of velt-drive itself (out of memory, a library error).
inline constexpr int kInternalError = 4;

// The plug-in next to the executable, where it is by default.
std::string defaultPluginPath();

// Whether standard error is a terminal, where a long run may show its
// progress.
bool stderrIsTerminal();

// "velt-drive: message" on standard error; returns kBadInput.
int fail(const std::string& message);

// The outputs abandoned, the old files as they were, and "velt-drive:
// message" on standard error; returns kOutputFailed.
int failToWrite(Outputs& outputs, const std::string& message);

// Opens the plug-in, or says why not.
bool openPlugin(PluginLibrary& plugin, const std::string& path);

// Work that takes a while tells how many drives are done, on a terminal
// only, from two seconds on, as one line that it redraws.
class ProgressLine {
public:
    explicit ProgressLine(std::string what);
    void operator()(std::size_t done, std::size_t total);
    void clear() const;

private:
    std::string what_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point shown_{};
};

// Prints each finding as it comes, as a warning or, under --strict, an error.
// A finding the scenario acknowledges on its line ("# velt-drive: allow")
// is left out, and a note is printed but never counted: neither fails
// --strict.
class FindingPrinter : public DriveConsumer {
public:
    explicit FindingPrinter(bool strict, const Scenario* scenario = nullptr)
        : strict_(strict), scenario_(scenario) {}
    void finding(const Diagnostic& finding) override { print(finding); }
    void print(Diagnostic finding);
    [[nodiscard]] int count() const { return count_; }
    [[nodiscard]] int acknowledgedCount() const { return acknowledged_; }

private:
    bool strict_;
    const Scenario* scenario_;
    int count_ = 0;
    int acknowledged_ = 0;
};

// The beacons of an explained drive that took no effect, as findings, but
// none on a line that `earlier` (the findings told before the drive) already
// speaks of.
std::vector<Diagnostic> beaconFindings(const Scenario& scenario, const DriveEnd& end,
                                       const std::vector<Diagnostic>& earlier);

// A diagnostic on standard error, as a compiler prints it.
void printDiagnostic(const Diagnostic& diagnostic);

// Brakes are told by velt-drive's own core; guessing them from a black
// box's outputs would judge by a second, weaker rule. False, with the
// expectation named, when the scenario expects something about them.
bool judgedWithoutCore(const Scenario& scenario);

}  // namespace velt::drive
