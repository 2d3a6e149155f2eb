// Times velt-drive's route room on a route file (bench/make_route.py writes
// one): reading it, best and median of five, and the host's rules run per
// frame as a drive asks them (the beacons the front passes with what each
// reports, the train's sections and holds, the aspect a plug-in is told,
// the limits), for a train of six 20 m cars at 100 km/h in 16 ms frames,
// over the route again and again until FRAMES frames have run.
//
//   velt_route_bench ROUTE [FRAMES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tools/velt-drive/route/reader.h"
#include "tools/velt-drive/route/signals.h"
#include "tools/velt-drive/route/track.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    using velt::drive::DiagnosticError;
    if (argc < 2 || argc > 3) {
        (void)std::fprintf(stderr, "usage: %s ROUTE [FRAMES]\n", argv[0]);
        return 2;
    }
    const std::string path = argv[1];
    const long frames = argc == 3 ? std::strtol(argv[2], nullptr, 10) : 2000000;

    std::vector<double> times;
    velt::drive::ReadRoute read;
    try {
        for (int i = 0; i < 5; ++i) {
            const auto start = std::chrono::steady_clock::now();
            read = velt::drive::readRoute(path);
            times.push_back(secondsSince(start));
        }
    } catch (const DiagnosticError& error) {
        (void)std::fprintf(stderr, "%s", velt::drive::formatDiagnostic(error.diagnostic()).c_str());
        return 1;
    }
    std::sort(times.begin(), times.end());
    const velt::drive::Route& route = read.route;
    (void)std::printf(
        "%s: %zu files, %zu sections, %zu beacons, %zu stations, %zu limits, "
        "%zu warnings\n",
        path.c_str(), route.files.size(), route.sections.size(), route.beacons.size(),
        route.stations.size(), route.limits.size(), read.warnings.size());
    (void)std::printf("read: best %.1f ms, median %.1f ms (of 5)\n", times.front() * 1e3,
                      times[2] * 1e3);

    const velt::drive::RouteTrack track(route, velt::drive::TrainLength{6, 20.0});
    velt::drive::RouteSignals signals(track);
    const double end = std::max(track.sectionBeginM(track.sectionCount() - 1),
                                route.beacons.empty() ? 0.0 : route.beacons.back().positionM) +
                       200.0;
    const double stepM = 100.0 / 3.6 * 0.016;
    double front = track.start().frontM;
    std::int32_t time = track.start().clockMs;
    signals.update(front, time);
    long reports = 0;
    long aspectSum = 0;
    double limitSum = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (long frame = 0; frame < frames; ++frame) {
        double next = front + stepM;
        if (next > end)
            next = track.start().frontM;  // round again, passing nothing on the jump back
        const velt::drive::BeaconSpan span =
            next > front ? track.beaconsCrossed(front, next) : velt::drive::BeaconSpan{};
        for (std::size_t k = 0; k < span.size(); ++k) {
            aspectSum += signals.beaconReport(span[k], next).signal;
            ++reports;
        }
        front = next;
        time += 16;
        signals.update(front, time);
        aspectSum += signals.pluginAspect() + signals.nextStopSection();
        const double limit = std::min(track.routeLimitKmh(front), signals.aspectSpeedKmh());
        if (limit < 1000.0) limitSum += limit;
    }
    const double seconds = secondsSince(start);
    (void)std::printf(
        "rules: %ld frames in %.3f s: %.0f ns a frame, %.2f million frames a second "
        "(%ld beacon reports; checksum %ld %.0f)\n",
        frames, seconds, seconds * 1e9 / static_cast<double>(frames),
        static_cast<double>(frames) / seconds / 1e6, reports, aspectSum, limitSum);
    return 0;
}
