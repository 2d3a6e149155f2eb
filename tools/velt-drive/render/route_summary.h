// What the summary of a route drive adds: which route ran (with the seed of
// its random choices), the train on it, the start, and a table of the
// stations this train stops at, each with its route file:line.
#pragma once

#include <string>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/render/report.h"

namespace velt::drive {

std::string routeHeader(const Scenario& scenario, const RouteTrack& track);

// The stations this train stops at, a row each: its name, route file:line,
// stop position and what happened there. The terminal's table and the
// report page's are made from these rows.
TextTable stationRows(const RouteTrack& track, const DriveEnd& end);

std::string stationTable(const RouteTrack& track, const DriveEnd& end);

}  // namespace velt::drive
