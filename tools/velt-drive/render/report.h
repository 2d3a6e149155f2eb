// What a drive meant for the cab: interventions, warnings, chimes, display
// changes and stops, taken from the frames as they come, the way a host
// would act on them (a sound entry only when its value changes).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

struct ReportLine {
    FramePoint at;
    std::string text;
};

// A stretch of frames in which the protection braked.
struct BrakeSpan {
    FramePoint first;
    FramePoint last;
    bool emergency = false;  // at some frame of the span
};

struct Mark {
    enum class Kind { Warning, Chime, Stop, Beacon, Signal, Driver };
    Kind kind = Kind::Chime;
    FramePoint at;
    std::string label;
    int item = -1;  // beacon or signal index for Beacon and Signal marks; -1 from a route
    int value = 0;  // a route's signal: the aspect
};

// A line the explanation said about one intervention: how it began, what
// else braked within it, how it ended.
// Once the drive has ended, the re-applications of a brake are folded
// (explain/folding.h): only the lines of the first application's start and
// the last one's end are kept, and `intervention` is the folded row.
struct InterventionLine {
    std::size_t intervention = 0;  // index into foldInterventions(DriveEnd::interventions)
    FramePoint at;
    std::string text;  // as the summary prints it
    EventKind kind = EventKind::Brake;
};

struct Report {
    std::vector<ReportLine> lines;                    // in time order
    std::vector<InterventionLine> interventionLines;  // in time order; none for a black box
    std::vector<BrakeSpan> brakes;
    std::vector<Mark> marks;        // in time order
    std::vector<FramePoint> stops;  // where the train came to a stand
    bool bellRang = false;
    bool emergencyBrake = false;
    bool serviceBrake = false;
};

// Builds the report from the drive as it runs; it keeps only what the
// report says, never the frames.
class Analysis : public DriveConsumer {
public:
    explicit Analysis(const Scenario& scenario);
    ~Analysis() override;

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // Keeps no summary lines (Report::lines stays empty): one per event, they
    // grow with the drive, and a run that shows no summary has no use for them.
    void withoutLines();
    // Summary lines held so far, before the drive ends.
    std::size_t heldLines() const;

    // Complete once the drive has ended.
    const Report& report() const { return report_; }

private:
    class State;
    // Drops the lines of a brake's re-applications but its first start and
    // last end, and says on the first how often it was applied.
    void foldLines(const std::vector<Intervention>& interventions);

    const Scenario& scenario_;
    Report report_;
    std::unique_ptr<State> state_;
};

// A table as plain data: named columns, rows of text, and for each row the
// frame it starts at.
struct TextTable {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::size_t> frames;
};

// A table as text: columns as wide as their widest cell, the first
// `numberColumns` to the right and the others to the left.
std::string formatTextTable(const TextTable& table, std::size_t numberColumns);

// The interventions, one row each with their re-applications folded, as the
// summary and the report page show them.
TextTable interventionTable(const std::vector<Intervention>& interventions);

// The terminal summary: one line per event, then where the train stopped.
std::string formatSummary(const Scenario& scenario, const DriveEnd& end, const Report& report);

}  // namespace velt::drive
