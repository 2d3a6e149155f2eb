// The files a drive leaves: the frame trace (CSV) and the plot (SVG).
#pragma once

#include <string>

#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/report.h"
#include "tools/velt-drive/scenario.h"

namespace velt::drive {

// One header line, then one line per frame: time, position, speed, the
// driver's handles, the handles Elapse returned, and every panel and sound
// index the plug-in writes. Numbers have fixed decimals, lines end in "\n".
std::string formatTrace(const DriveResult& drive);

// Speed against position with the protection's braking shaded, warnings,
// chimes, stops, beacons, signals and stations marked, the braking curves of
// the pattern beacons drawn, and the handles below.
std::string formatPlot(const Scenario& scenario, const DriveResult& drive, const Report& report);

// Writes the whole file under a temporary name and renames it into place, so
// that a failed run leaves no half-written file. False with `error` set.
bool writeFileAtomically(const std::string& path, const std::string& content, std::string& error);

}  // namespace velt::drive
