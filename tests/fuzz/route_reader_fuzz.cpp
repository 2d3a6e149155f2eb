// libFuzzer target for velt-drive's route reader: any bytes, read as a CSV
// and as an RW route, either give a route or are rejected with a
// DiagnosticError that names a file of the route and, when it names a
// line, one that exists. Includes reach only an in-memory set: the input
// itself, and what follows a line "--8<--" in it as a second file. Every
// route read is then driven through the host's rules (sections, beacons,
// holds, a standing train, limits) front to back and back again. Any other
// exception, a crash, a sanitizer report, a broken invariant or a hang is a
// finding.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

#include "tools/velt-drive/route/reader.h"
#include "tools/velt-drive/route/signals.h"
#include "tools/velt-drive/route/track.h"

namespace {

using velt::drive::Diagnostic;
using velt::drive::DiagnosticError;
using velt::drive::Route;

[[noreturn]] void fail(const char* what, const std::string& detail) {
    (void)std::fprintf(stderr, "route-fuzz: %s: %s\n", what, detail.c_str());
    std::abort();
}

using Files = std::map<std::string, std::string>;

long lineCount(const std::string& text) {
    return 1 + static_cast<long>(std::count(text.begin(), text.end(), '\n')) +
           static_cast<long>(std::count(text.begin(), text.end(), '\r'));
}

// A diagnostic names a file of the set (the main file for an unreadable
// one) and a line within it.
void checkPlace(const Diagnostic& diagnostic, const Files& files) {
    const auto found = files.find(diagnostic.where.file);
    if (found == files.end())
        fail("a diagnostic names no file of the route", diagnostic.where.file);
    if (diagnostic.message.empty()) fail("a diagnostic says nothing", diagnostic.where.file);
    if (diagnostic.where.line < 0 || diagnostic.where.line > lineCount(found->second) ||
        diagnostic.where.column < 0) {
        fail("a diagnostic points outside its file", velt::drive::formatDiagnostic(diagnostic));
    }
}

void checkModel(const Route& route) {
    if (route.sections.empty() || route.sections.front().beginM != 0.0) {
        fail("the implicit first section is missing", route.mainFile);
    }
    for (std::size_t i = 1; i < route.sections.size(); ++i) {
        if (!(route.sections[i].beginM >= route.sections[i - 1].beginM) ||
            route.sections[i].aspects.empty()) {
            fail("sections out of order or without aspects", std::to_string(i));
        }
    }
    for (std::size_t i = 0; i < route.beacons.size(); ++i) {
        const double p = route.beacons[i].positionM;
        if (!std::isfinite(p) || p < 0.0 || (i > 0 && p < route.beacons[i - 1].positionM)) {
            fail("beacons out of order", std::to_string(i));
        }
        if (route.beacons[i].type < 0 || route.beacons[i].section < -1) {
            fail("a beacon the host would not deliver", std::to_string(i));
        }
    }
    for (const auto& station : route.stations) {
        for (const auto& stop : station.stops) {
            if (stop.positionM < station.positionM) fail("a stop before its station", station.name);
        }
    }
}

// Runs the route's rules over the whole route, forward then back.
void drive(const Route& route) {
    const velt::drive::RouteTrack track(route, velt::drive::TrainLength{3, 20.0});
    velt::drive::RouteSignals signals(track);
    signals.addStandingTrain(track.sectionCount() / 2, 36000000 + 60000);
    const int sections = track.sectionCount();
    double end = track.start().frontM + 200.0;
    if (!route.beacons.empty()) end = std::max(end, route.beacons.back().positionM + 100.0);
    if (sections > 0) end = std::max(end, track.sectionBeginM(sections - 1) + 100.0);
    std::int32_t time = 36000000;
    double front = track.start().frontM;
    signals.update(front, time);
    int reports = 0;
    auto move = [&](double to) {
        const velt::drive::BeaconSpan span = track.beaconsCrossed(front, to);
        for (std::size_t k = 0; k < span.size() && reports < 4000; ++k, ++reports) {
            const velt::drive::BeaconReport report = signals.beaconReport(span[k], to);
            if (report.section < -1 || report.section >= sections) {
                fail("a beacon reports a section that does not exist",
                     std::to_string(report.section));
            }
        }
        front = to;
        time += 1000;
        signals.update(front, time);
        const int current = signals.currentSection();
        if (current < 0 || current >= sections ||
            !route.sections[static_cast<std::size_t>(current)].visible) {
            fail("the current section is not a visible section", std::to_string(current));
        }
        (void)signals.pluginAspect();
        (void)track.routeLimitKmh(front);
        (void)signals.nextStopSection();
    };
    for (int i = 0; i <= 64; ++i) move(end * i / 64.0);
    for (int i = 0; i <= 22; ++i) move(end - (end + 50.0) * i / 22.0);
}

void readOne(const std::string& main, const Files& files) {
    velt::drive::RouteReadOptions options;
    options.seed = 7;
    options.maxIncludeDepth = 8;
    options.maxExpressions = 100000;
    options.maxExpressionBytes = std::size_t{1} << 16;
    options.readFile = [&files](const std::string& path) -> std::optional<std::string> {
        const auto found = files.find(path);
        if (found == files.end()) return std::nullopt;
        return found->second;
    };
    try {
        const velt::drive::ReadRoute read = velt::drive::readRoute(main, options);
        for (const Diagnostic& warning : read.warnings) checkPlace(warning, files);
        checkModel(read.route);
        drive(read.route);
    } catch (const DiagnosticError& error) {
        checkPlace(error.diagnostic(), files);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = text.find("\n--8<--\n");
    const std::string second = cut == std::string::npos ? std::string() : text.substr(cut + 8);
    const Files files{{"fuzz.csv", text},
                      {"fuzz.rw", text},
                      {"inc.csv", second},
                      {"inc.rw", second},
                      {"sub/inc.csv", second}};
    readOne("fuzz.csv", files);
    readOne("fuzz.rw", files);
    return 0;
}
