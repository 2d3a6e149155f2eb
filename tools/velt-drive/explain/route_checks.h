// Findings about a route that velt-drive can tell before it drives it, each
// at the route's file:line: a beacon type velt ignores, a value that arms
// nothing or switches a pattern off, a beacon naming a section the route
// does not have, a station this train cannot stop at.
#pragma once

#include <vector>

#include "tools/velt-drive/drive/route_drive.h"

namespace velt::drive {

std::vector<Diagnostic> checkRoute(const RouteTrack& track);

}  // namespace velt::drive
