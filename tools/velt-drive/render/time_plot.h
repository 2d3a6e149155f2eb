// The time view of a drive (SVG): speed against time, and below it one lane
// for each of the four display elements as the cab shows them (each code in
// its span, blinking spans hatched with their period), the lamps, the bell,
// the station-stop reminder and the doors, and a row of the one-shot sounds.
// What happens while the train stands at a station, which the view against
// position folds into one point, spreads out here.
#pragma once

#include <string>

#include "tools/velt-drive/render/cab_timeline.h"
#include "tools/velt-drive/render/report.h"

namespace velt::drive {

// The plot area's left and right edges and the elapsed times they stand
// for are written on the root element (data-x0, data-x1, data-t0-ms,
// data-t1-ms), so that a page can put a cursor on it.
std::string renderTimePlot(const CabTimeline& timeline, const Report& report, const DriveEnd& end);

}  // namespace velt::drive
