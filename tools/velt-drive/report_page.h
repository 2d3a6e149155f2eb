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

#include "tools/velt-drive/cab_timeline.h"
#include "tools/velt-drive/report.h"

namespace velt::drive {

// A table as plain data: named columns, rows of text, and for each row the
// frame the player jumps to when the row is chosen.
struct PageTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::size_t> frames;
};

struct PageContent {
    std::string summary;              // the terminal summary, as printed
    std::vector<std::string> causes;  // one line per intervention
    PageTable interventions;
    std::string positionPlot;  // SVG
    std::string timePlot;      // SVG
};

// The interventions and their causes as the summary tells them today: each
// protection brake, with the warning that came before it.
PageTable interventionsFromBrakes(const Report& report);
std::vector<std::string> causesFromBrakes(const Report& report);

std::string renderReportPage(const CabTimeline& timeline, const Report& report, const DriveEnd& end,
                             const PageContent& content);

}  // namespace velt::drive
