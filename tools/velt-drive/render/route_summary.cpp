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

TextTable stationRows(const RouteTrack& track, const DriveEnd& end) {
    TextTable table;
    table.columns = {"station",    "route line", "stop",         "arrived",
                     "stop error", "doors open", "doors closed", "departed"};
    const Route& route = track.route();
    for (std::size_t i = 0; i < route.stations.size() && i < end.stationVisits.size(); ++i) {
        const StationPlan& plan = track.stationPlan(i);
        if (!plan.stops) continue;
        const StationVisit& visit = end.stationVisits[i];
        std::vector<std::string> row = {route.stations[i].name, place(route.stations[i].where),
                                        metresText(plan.stopM, 1)};
        switch (visit.state) {
            case StationVisit::State::Ahead: row.emplace_back("not reached"); break;
            case StationVisit::State::Passed: row.emplace_back("passed without stopping"); break;
            case StationVisit::State::DoorsOpen:
            case StationVisit::State::Served:
                row.insert(row.end(),
                           {clockOr(visit.arrivalMs, "-"), formatFixed(visit.stopErrorM, 2) + " m",
                            clockOr(visit.doorsOpenMs, "-"), clockOr(visit.doorsClosedMs, "-"),
                            clockOr(visit.departureMs, "-")});
                break;
        }
        row.resize(table.columns.size(), "-");
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::string stationTable(const RouteTrack& track, const DriveEnd& end) {
    const TextTable table = stationRows(track, end);
    if (table.rows.empty()) return "";
    std::string text = "Stations (name, route line, stop position, what happened):\n";
    for (const std::vector<std::string>& c : table.rows) {
        text +=
            "  " + padded(c[0], 14) + " " + padded(c[1], 18) + " stop " + padded(c[2], 10) + " ";
        // A stop served: its times; a station not stopped at: what became of it.
        text += c[4] == "-" ? c[3]
                            : "arrived " + c[3] + ", stop error " + c[4] + ", doors open " + c[5] +
                                  " closed " + c[6] + ", departed " + c[7];
        text += "\n";
    }
    return text;
}

}  // namespace velt::drive
