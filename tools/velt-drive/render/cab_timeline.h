// The cab through time, kept as changes: every panel, sound and handle value
// as spans in which it was steady or blinked, the speed line thinned to what
// a picture can show, and the clock. The time view and the report page are
// drawn from it; it keeps no frames, so a drive of a day fits as well as one
// of a minute (values change rarely, and a blink is one span however long).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/render/value_track.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

class CabTimeline : public DriveConsumer {
public:
    // The handles and the doors, as the trace has them.
    enum Handle : std::size_t {
        kDriverPower,
        kDriverBrake,
        kDriverReverser,
        kDoorsClosed,
        kBrake,  // what Elapse returned
        kPower,
        kReverser,
        kConstantSpeed,
        kHandles
    };
    struct Sample {
        std::size_t frame;
        std::int64_t elapsedMs;
        double positionM;
        double speedKmh;
        bool jump;  // the line breaks before this sample
    };
    // The host's time of day from this frame on follows the scenario's frame
    // interval; a jump starts a new anchor.
    struct ClockAnchor {
        std::size_t frame;
        std::int32_t timeMs;
        std::int64_t elapsedMs;
    };

    explicit CabTimeline(const Scenario& scenario);

    void begin(int emergencyNotch) override;
    void event(const HostEvent& event) override;
    void frame(const FrameRecord& frame) override;
    void end(const DriveEnd& end) override;

    [[nodiscard]] const ValueTrack& panel(int index) const;
    [[nodiscard]] const ValueTrack& sound(int index) const;
    [[nodiscard]] const ValueTrack& handle(Handle which) const { return handles_[which]; }
    [[nodiscard]] const std::vector<Sample>& samples() const { return samples_; }
    [[nodiscard]] const std::vector<ClockAnchor>& clock() const { return clock_; }
    [[nodiscard]] std::size_t frames() const { return frames_; }
    [[nodiscard]] std::int64_t lastElapsedMs() const { return lastElapsedMs_; }
    [[nodiscard]] double topSpeedKmh() const { return topKmh_; }
    [[nodiscard]] int emergencyNotch() const { return emergencyNotch_; }
    [[nodiscard]] const Scenario& scenario() const { return scenario_; }

    // Elapsed time of frame k as the drive counts it: the scenario's frame
    // interval, or 60 frames a second.
    [[nodiscard]] std::int64_t elapsedAt(std::size_t k) const;

    // Samples kept before the speed line is thinned; tests lower it.
    void setSampleLimit(std::size_t limit) { limit_ = limit; }

private:
    void thin();

    const Scenario& scenario_;
    int emergencyNotch_ = 0;
    std::array<ValueTrack, kPanelIndices.size()> panel_;
    std::array<ValueTrack, kSoundIndices.size()> sound_;
    std::array<ValueTrack, kHandles> handles_;
    std::vector<Sample> samples_;
    std::vector<ClockAnchor> clock_;
    std::size_t frames_ = 0;
    std::int64_t lastElapsedMs_ = 0;
    double topKmh_ = 0.0;
    bool jumped_ = false;
    std::size_t limit_ = 1 << 14;
    double thinning_ = 1.0;
};

}  // namespace velt::drive
