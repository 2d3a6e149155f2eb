// The drive report page: one self-contained HTML file that opens from
// anywhere without a network or a server. It holds the summary with the
// causes, the interventions table, both plots, a cab panel player (a time
// slider that shows, at any frame, the four display elements as tiles, the
// lamps, the handles applied against the driver's and the sounds that
// start), and the tables of every display code an author draws an image for.
// The player reads the drive from data embedded in the page: the changes
// the timeline kept, never the frames.
#pragma once

#include <string>
#include <vector>

#include "tools/velt-drive/render/cab_timeline.h"
#include "tools/velt-drive/render/report.h"

namespace velt::drive {

struct PageContent {
    std::string summary;       // the terminal summary, as printed
    std::string positionPlot;  // SVG
    std::string timePlot;      // SVG
    // A route drive's stations (render/route_summary.h); no rows otherwise.
    TextTable stations;
};

// The cab player, for any page that shows drives: its markup (a block
// with id "player"), the page's style and script, and one drive's data as
// the script reads it from the element with id "drive-data". The script
// also offers veltShowDrive(data, frame), which puts another drive into
// the player.
std::string cabPlayerMarkup();
// A text as a JSON string that is safe inside a page's script element.
std::string jsonString(const std::string& text);
const char* cabPlayerStyle();
const char* cabPlayerScript();
std::string cabPlayerData(const CabTimeline& timeline);

// The causes and the interventions table come from the explanation the
// report and the drive's end hold: the same rows the summary prints. A
// black-box drive has none, and its page says so.
std::string renderReportPage(const CabTimeline& timeline, const Report& report, const DriveEnd& end,
                             const PageContent& content);

}  // namespace velt::drive
