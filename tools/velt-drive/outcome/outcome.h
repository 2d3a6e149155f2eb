// What one drive came to, in a few numbers and rows: where the train stopped
// against each stop target, the first warning, every protection brake, and
// whether the scenario's expectations were met. A sweep keeps one per drive
// and carries it back from the process that drove it, so it holds no frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

class Explainer;  // explain/explainer.h: the patterns a drive armed, as it runs

// An intervention as velt-drive's own core explained it (a row of the
// summary's interventions table: its check, level, cause and scenario line,
// or several such rows of one check re-applied in quick succession), with
// what the expectations and a sweep judge it by, read from the same
// explanation and from the cab's warning chimes.
struct InterventionOutcome {
    Intervention explained;
    // The first warning chime since the protection last braked.
    std::optional<FramePoint> warning;
    // Times the same check braked, each within a second of letting go; the
    // explanation's rows folded into this one run from start to end.
    int applications = 1;

    [[nodiscard]] bool brake() const { return explained.level > 0; }
    // Its first frame at emergency, if it braked at emergency.
    [[nodiscard]] std::optional<FramePoint> emergency() const;
};

// Where the train stopped against a place it is meant to stop at: the target
// of a CPP or SPB stop pattern the core armed, or a station's stopping point.
struct TargetResult {
    std::string name;  // "CPP target", "station Ashby"
    int line = 0;      // the line that placed it, in `file`: the same target in every drive
    double positionM = 0.0;
    std::optional<FramePoint> stop;     // the first stop after it came into play
    std::optional<FramePoint> reached;  // where the front reached it before that stop
    // The file of `line`, without directories: the scenario's, or in a route
    // drive the route file (or one it includes) that placed it. Lines of two
    // files are different targets even when their numbers are the same.
    std::string file;

    [[nodiscard]] bool sameSource(const TargetResult& other) const {
        return line == other.line && file == other.file;
    }
    // Metres past the target (negative: short of it) of the stop.
    [[nodiscard]] std::optional<double> offsetM() const {
        if (!stop) return std::nullopt;
        return stop->positionM - positionM;
    }
};

// A CCP restriction the core armed, and how the train ran over it: the
// margin an author reads off a sweep.
struct RestrictionResult {
    int line = 0;                       // the CCP beacon that armed it
    double fromM = 0.0;                 // where it began to be enforced
    double limitKmh = 0.0;              // its speed (velt brakes above it plus its margin)
    std::optional<FramePoint> highest;  // the fastest frame over it while it was armed
    std::string file;                   // the file of `line`, without directories

    [[nodiscard]] bool sameSource(const RestrictionResult& other) const {
        return line == other.line && file == other.file;
    }

    // km/h under the limit at the fastest (negative: over it).
    [[nodiscard]] std::optional<double> marginKmh() const {
        if (!highest) return std::nullopt;
        return limitKmh - highest->speedKmh;
    }
};

// "valley-line.csv:12": where a target or restriction was placed, as the
// summary names lines; "line 12" when the file is not known.
std::string sourceText(const std::string& file, int line);

// Orders targets and restrictions by file, then line, for stable columns.
bool sourceBefore(const std::string& fileA, int lineA, const std::string& fileB, int lineB);

struct ExpectationResult {
    bool met = false;
    std::string detail;  // the drive's values behind the verdict
};

struct DriveOutcome {
    std::vector<FramePoint> stops;
    std::vector<TargetResult> targets;
    std::vector<RestrictionResult> restrictions;
    std::optional<FramePoint> firstWarning;
    // Empty in a black-box drive: interventions come from velt-drive's own core.
    std::vector<InterventionOutcome> interventions;
    // One per scenario expectation, in the scenario's order.
    std::vector<ExpectationResult> expectations;
    std::vector<Diagnostic> findings;  // what the drive noticed about the scenario
    FramePoint last;
    std::string endReason;
    std::size_t frames = 0;
    // Not empty when the plug-in's outputs differed from velt-drive's own
    // core: nothing else in the outcome can be trusted then.
    std::string divergence;

    [[nodiscard]] bool met() const;
    [[nodiscard]] int failedExpectations() const;
    // Where the train stands at the end, or first came to a stand.
    [[nodiscard]] std::optional<FramePoint> firstStop() const;
    // The first intervention that braked, or null.
    [[nodiscard]] const InterventionOutcome* firstBrake() const;
};

// Whether an expectation is judged by the protection's interventions, which
// only velt-drive's own core can tell (not in a black-box drive).
bool needsInterventions(const Expectation& expectation);

// Takes the drive as it runs and fills the outcome, expectations judged at
// the end. Cheap enough per frame for a sweep of thousands of drives.
class OutcomeRecorder : public DriveConsumer {
public:
    // The stop targets are the CPP and SPB stop patterns the explainer tells
    // the core armed; without one (a black-box drive), the stations only.
    explicit OutcomeRecorder(const Scenario& scenario, const Explainer* explainer = nullptr);

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void finding(const Diagnostic& finding) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // Complete once the drive has ended.
    [[nodiscard]] const DriveOutcome& outcome() const { return outcome_; }

private:
    struct Crossing {
        double positionM;
        std::optional<FramePoint> at;  // the first frame with the front at or past it
    };

    void newTargets();
    void foldReapplications();
    void judge();
    [[nodiscard]] const std::optional<FramePoint>& crossing(double positionM) const;

    const Scenario& scenario_;
    const Explainer* explainer_;
    std::size_t patternsSeen_ = 0;
    DriveOutcome outcome_;
    double lastSpeed_ = 0.0;
    bool jumped_ = false;
    // Every warning chime's first frame, to find each brake's warning once
    // the explanation has told where the brakes began and ended.
    std::vector<FramePoint> warnings_;
    std::vector<Crossing> crossings_;  // sorted by position
    std::size_t nextCrossing_ = 0;
    std::vector<std::size_t> waiting_;  // targets in play, not yet stopped at
    // The stations' windows: the first targets are the stations, in order.
    std::vector<double> stationWindowM_;
    // Restrictions whose pattern is armed: {restriction, pattern} indices.
    std::vector<std::pair<std::size_t, std::size_t>> restricting_;
    std::size_t warningSlots_[2] = {0, 0};
};

// "stop before 700 m: stopped at 687.4 m, 12.6 m short" for a failed (or met)
// expectation of a drive.
std::string describeExpectation(const Expectation& expectation, const ExpectationResult& result);

}  // namespace velt::drive
