// What the summary of a route drive adds: which route ran (with the seed of
// its random choices), the train on it, the start, and a table of the
// stations this train stops at, each with its route file:line.
#pragma once

#include <string>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/route_drive.h"

namespace velt::drive {

std::string routeHeader(const Scenario& scenario, const RouteTrack& track);

std::string stationTable(const RouteTrack& track, const DriveEnd& end);

}  // namespace velt::drive
