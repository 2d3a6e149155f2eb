#include "tools/velt-drive/commands/console.h"

#include <algorithm>
#include <iostream>
#include <utility>

#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

#include "tools/velt-drive/explain/beacon_fates.h"
#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/scenario/checks.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {

std::string defaultPluginPath() {
    const std::string directory = executableDirectory();
    const std::string name = defaultPluginFileName();
#if defined(_WIN32)
    return directory.empty() ? name : directory + "\\" + name;
#else
    return nativeSeparators(directory.empty() ? name : directory + "/" + name);
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

void FindingPrinter::print(Diagnostic finding) {
    if (scenario_ != nullptr && acknowledged(*scenario_, finding)) {
        ++acknowledged_;
        return;
    }
    if (finding.severity != Severity::Note) {
        ++count_;
        if (strict_) finding.severity = Severity::Error;
    }
    printDiagnostic(finding);
}

std::vector<Diagnostic> beaconFindings(const Scenario& scenario, const DriveEnd& end,
                                       const std::vector<Diagnostic>& earlier) {
    std::vector<Diagnostic> out;
    for (Diagnostic& finding : beaconFateFindings(scenario, end.beaconFates)) {
        const bool told = std::any_of(earlier.begin(), earlier.end(), [&](const Diagnostic& d) {
            return d.where.file == finding.where.file && d.where.line == finding.where.line;
        });
        if (!told) out.push_back(std::move(finding));
    }
    return out;
}

// The places in the platform's own writing; the summary, compared byte for
// byte across builds, keeps them as the scenario names them.
void printDiagnostic(const Diagnostic& diagnostic) {
    Diagnostic shown = diagnostic;
    shown.where.file = nativeSeparators(shown.where.file);
    shown.noteWhere.file = nativeSeparators(shown.noteWhere.file);
    std::cerr << formatDiagnostic(shown);
}

int failToWrite(Outputs& outputs, const std::string& message) {
    outputs.abandon();
    std::cerr << "velt-drive: " << message << "\n";
    return kOutputFailed;
}

bool openPlugin(PluginLibrary& plugin, const std::string& path) {
    if (plugin.open(path)) return true;
    fail(plugin.error());
    return false;
}

bool judgedWithoutCore(const Scenario& scenario) {
    for (const Expectation& expectation : scenario.expectations) {
        if (!needsInterventions(expectation)) continue;
        Diagnostic refused = diagnosticAt(Severity::Error, scenario.at(expectation.pos),
                                          "'" + expectation.text +
                                              "' is judged by the protection's interventions, "
                                              "which a black-box drive (--black-box) does not "
                                              "know");
        refused.help = "drive without --black-box, or leave this expectation out";
        printDiagnostic(refused);
        return false;
    }
    return true;
}

ProgressLine::ProgressLine(std::string what)
    : what_(std::move(what)), enabled_(stderrIsTerminal()) {}

void ProgressLine::operator()(std::size_t done, std::size_t total) {
    const auto now = std::chrono::steady_clock::now();
    if (!enabled_ || now - started_ < std::chrono::seconds(2) ||
        now - shown_ < std::chrono::milliseconds(250))
        return;
    shown_ = now;
    std::cerr << "\r" << what_ << ": " << done << " of " << total << " drives ("
              << formatFixed(100.0 * static_cast<double>(done) / static_cast<double>(total), 0)
              << "%)   " << std::flush;
    drawn_ = true;
}

void ProgressLine::clear() const {
    if (drawn_) std::cerr << "\r" << std::string(60, ' ') << "\r" << std::flush;
}

}  // namespace velt::drive
