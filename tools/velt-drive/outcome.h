// What one drive came to, in a few numbers and rows: where the train stopped
// against each stop target, the first warning, every protection brake, and
// whether the scenario's expectations were met. A sweep keeps one per drive
// and carries it back from the process that drove it, so it holds no frames.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/report.h"
#include "tools/velt-drive/scenario.h"

namespace velt::drive {

// One stretch of frames in which the protection braked. A check that
// releases and brakes again within a second (a speed check at its limit
// does, frame after frame) is one intervention, applied many times.
struct Intervention {
    FramePoint start;
    FramePoint end;                       // its last frame
    int applications = 1;                 // times the brake was applied in the stretch
    int level = 0;                        // the highest in the stretch: 1 full service, 2 emergency
    bool fullService = false;             // at some frame of the stretch
    std::optional<FramePoint> emergency;  // its first frame at emergency
    std::string cause;                    // what demanded it, where the drive can tell; else empty
    std::optional<FramePoint> warning;    // the first warning since the protection last braked
};

// Where the train stopped against a place it is meant to stop at: the stop
// target of a CPP or SPB beacon, or a station's stopping point.
struct TargetResult {
    std::string name;  // "CPP target", "station Ashby"
    int line = 0;      // the scenario line that placed it: the same target in every drive
    double positionM = 0.0;
    std::optional<FramePoint> stop;     // the first stop after it came into play
    std::optional<FramePoint> reached;  // where the front reached it before that stop

    // Metres past the target (negative: short of it) of the stop.
    [[nodiscard]] std::optional<double> offsetM() const {
        if (!stop) return std::nullopt;
        return stop->positionM - positionM;
    }
};

struct ExpectationResult {
    bool met = false;
    std::string detail;  // the drive's values behind the verdict
};

struct DriveOutcome {
    std::vector<FramePoint> stops;
    std::vector<TargetResult> targets;
    std::optional<FramePoint> firstWarning;
    std::vector<Intervention> interventions;
    // One per scenario expectation, in the scenario's order.
    std::vector<ExpectationResult> expectations;
    std::vector<Finding> findings;  // what the drive noticed about the scenario
    FramePoint last;
    std::string endReason;
    std::size_t frames = 0;

    [[nodiscard]] bool met() const;
    [[nodiscard]] int failedExpectations() const;
    // Where the train stands at the end, or first came to a stand.
    [[nodiscard]] std::optional<FramePoint> firstStop() const;
};

// Takes the drive as it runs and fills the outcome, expectations judged at
// the end. Cheap enough per frame for a sweep of thousands of drives.
class OutcomeRecorder : public DriveConsumer {
public:
    explicit OutcomeRecorder(const Scenario& scenario);

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void finding(const Finding& finding) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    // Complete once the drive has ended.
    [[nodiscard]] const DriveOutcome& outcome() const { return outcome_; }

private:
    struct Crossing {
        double positionM;
        std::optional<FramePoint> at;  // the first frame with the front at or past it
    };

    void judge();
    [[nodiscard]] const std::optional<FramePoint>& crossing(double positionM) const;

    const Scenario& scenario_;
    DriveOutcome outcome_;
    int emergencyNotch_ = 0;
    int lastLevel_ = 0;
    double lastSpeed_ = 0.0;
    bool jumped_ = false;
    std::optional<FramePoint> warningSinceBrake_;
    std::vector<Crossing> crossings_;  // sorted by position
    std::size_t nextCrossing_ = 0;
    std::vector<std::size_t> waiting_;  // targets in play, not yet stopped at
    std::size_t warningSlots_[2] = {0, 0};
};

// "stop before 700 m: stopped at 687.4 m, 12.6 m short" for a failed (or met)
// expectation of a drive.
std::string describeExpectation(const Expectation& expectation, const ExpectationResult& result);

}  // namespace velt::drive
