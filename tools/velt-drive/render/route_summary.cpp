#include "tools/velt-drive/render/route_summary.h"

#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// The station table is read to the second.
std::string clock(std::int64_t ms) { return clockText(ms - ms % 1000); }

std::string clockOr(const std::optional<std::int32_t>& ms, const char* none) {
    return ms ? clock(*ms) : none;
}

std::string place(const SourceLocation& where) {
    const std::size_t slash = where.file.find_last_of("/\\");
    return (slash == std::string::npos ? where.file : where.file.substr(slash + 1)) + ":" +
           std::to_string(where.line);
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

}  // namespace

std::string routeHeader(const Scenario& scenario, const RouteTrack& track) {
    const Route& route = track.route();
    std::string text = "Route:     " + route.mainFile + " (" +
                       (route.format == Route::Format::Rw ? "RW" : "CSV") + ", " +
                       std::to_string(route.sections.size()) + " sections, " +
                       std::to_string(route.beacons.size()) + " beacons, " +
                       std::to_string(route.stations.size()) + " stations)";
    if (route.usedRandom) text += ", seed " + std::to_string(route.seed);
    text += "\n";
    const TrainLength& train = track.train();
    text += "Train:     " + std::to_string(train.cars) + (train.cars == 1 ? " car" : " cars") +
            " of " + metresText(train.carLengthM, 1) + "\n";
    const StartPlan& start = track.start();
    text += "Start:     front at " + metresText(start.frontM) + ", " + clock(start.clockMs);
    if (start.station >= 0) {
        const RouteStation& station = route.stations[static_cast<std::size_t>(start.station)];
        text += " at " + station.name + " (" + place(station.where) + ")";
    }
    text += ", Initialize(" + std::to_string(start.initializeMode) + ")\n";
    (void)scenario;
    return text;
}

std::string stationTable(const RouteTrack& track, const DriveEnd& end) {
    const Route& route = track.route();
    std::string rows;
    for (std::size_t i = 0; i < route.stations.size() && i < end.stationVisits.size(); ++i) {
        const StationPlan& plan = track.stationPlan(i);
        if (!plan.stops) continue;
        const RouteStation& station = route.stations[i];
        const StationVisit& visit = end.stationVisits[i];
        std::string row = "  " + padded(station.name, 14) + " " + padded(place(station.where), 18) +
                          " stop " + padded(metresText(plan.stopM, 1), 10) + " ";
        switch (visit.state) {
            case StationVisit::State::Ahead: row += "not reached"; break;
            case StationVisit::State::Passed: row += "passed without stopping"; break;
            case StationVisit::State::DoorsOpen:
            case StationVisit::State::Served:
                row += "arrived " + clockOr(visit.arrivalMs, "-") + ", stop error " +
                       formatFixed(visit.stopErrorM, 2) + " m, doors open " +
                       clockOr(visit.doorsOpenMs, "-") + " closed " +
                       clockOr(visit.doorsClosedMs, "-") + ", departed " +
                       clockOr(visit.departureMs, "-");
                break;
        }
        rows += row + "\n";
    }
    if (rows.empty()) return "";
    return "Stations (name, route line, stop position, what happened):\n" + rows;
}

}  // namespace velt::drive
