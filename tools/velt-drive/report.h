// What a drive meant for the cab: interventions, warnings, chimes, display
// changes and stops, taken from the recorded frames the way a host would
// act on them (a sound entry only when its value changes).
#pragma once

#include <string>
#include <vector>

#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/scenario.h"

namespace velt::drive {

struct ReportLine {
    std::size_t frame = 0;
    std::string text;
};

// A stretch of frames [first, last] in which the protection braked.
struct BrakeSpan {
    std::size_t first = 0;
    std::size_t last = 0;
    bool emergency = false;  // at some frame of the span
};

struct Mark {
    enum class Kind { Warning, Chime, Stop, Beacon, Signal, Driver };
    Kind kind = Kind::Chime;
    std::size_t frame = 0;
    std::string label;
    int item = -1;  // beacon or signal index for Beacon and Signal marks
};

struct Report {
    std::vector<ReportLine> lines;  // in time order
    std::vector<BrakeSpan> brakes;
    std::vector<Mark> marks;
    std::vector<std::size_t> stops;  // frames in which the train came to a stand
    bool bellRang = false;
    bool emergencyBrake = false;
    bool serviceBrake = false;
};

// Name of a sound index as the cab uses it.
std::string soundName(int index);

Report analyse(const Scenario& scenario, const DriveResult& drive);

// The terminal summary: one line per event, then where the train stopped.
std::string formatSummary(const Scenario& scenario, const DriveResult& drive, const Report& report);

}  // namespace velt::drive
