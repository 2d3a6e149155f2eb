#include "tools/velt-drive/explain/route_checks.h"

#include "tools/velt-drive/scenario/checks.h"

namespace velt::drive {

std::vector<Diagnostic> checkRoute(const RouteTrack& track) {
    const Route& route = track.route();
    std::vector<Diagnostic> findings;
    const auto say = [&](const SourceLocation& where, const std::string& text) {
        findings.push_back(diagnosticAt(Severity::Warning, where, text));
    };
    for (std::size_t i = 0; i < route.beacons.size(); ++i) {
        const RouteBeacon& beacon = route.beacons[i];
        // The host's own rain beacons speak for themselves.
        if (beacon.origin != RouteBeacon::Origin::Rain) {
            const std::string text = beaconValueFinding(beacon.type, beacon.optional);
            if (!text.empty()) say(beacon.where, text);
        }
        const int last = track.sectionCount() - 1;
        const int home = track.beaconHomeSection(i);
        if (beacon.section > 0 && home + beacon.section > last)
            say(beacon.where, "this beacon reports section " + std::to_string(beacon.section) +
                                  " ahead, but the route has " + std::to_string(last - home) +
                                  " section(s) ahead of it: the host reads it as -1 (the next "
                                  "section at stop, distance infinity when there is none)");
    }
    for (const RouteStation& station : route.stations) {
        const bool wantsStop = station.arrival == RouteStation::Arrival::Any ||
                               station.arrival == RouteStation::Arrival::Time ||
                               station.arrival == RouteStation::Arrival::OnlyThisStops;
        if (wantsStop && station.stops.empty())
            say(station.where, "station " + station.name +
                                   " has no Track.Stop after it: the train passes it without "
                                   "stopping; add a stop for it");
    }
    return findings;
}

}  // namespace velt::drive
