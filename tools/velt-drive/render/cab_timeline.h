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
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// From its frame on, the value is `on` while the blink phase of the host's
// time with halfPeriodMs is non-zero and `off` while it is 0: the display's
// own rule for a blinking code. A steady span has halfPeriodMs 0.
struct ValueSpan {
    std::size_t frame = 0;
    std::int64_t elapsedMs = 0;
    std::int32_t off = 0;
    std::int32_t on = 0;
    std::int32_t halfPeriodMs = 0;

    [[nodiscard]] std::int32_t valueAt(std::int32_t timeMs) const;
    [[nodiscard]] bool blinks() const { return halfPeriodMs != 0; }
};

// One value, frame by frame, turned into spans. A span ends at the first
// frame its rule does not predict; so every frame's value can be told back
// exactly from the spans and the frame's time.
class ValueTrack {
public:
    explicit ValueTrack(bool mayBlink = true) : mayBlink_(mayBlink) {}

    // Most frames change nothing: a steady span that goes on costs one compare.
    void add(std::size_t frame, std::int64_t elapsedMs, std::int32_t timeMs, std::int32_t value) {
        if (settled_ == 0 && value == current_.on) return;
        addChanged(frame, elapsedMs, timeMs, value);
    }
    void finish();  // closes the open span; call once after the last frame

    [[nodiscard]] const std::vector<ValueSpan>& spans() const { return spans_; }

private:
    // One explanation of the frames of the open span: steady, or a blink
    // with one of the three half periods whose sides are learnt as seen.
    struct Rule {
        std::int32_t halfPeriodMs = 0;
        std::int32_t off = 0;
        std::int32_t on = 0;
        bool offKnown = false;
        bool onKnown = false;
        bool alive = false;
    };
    static constexpr std::size_t kRules = 4;

    void addChanged(std::size_t frame, std::int64_t elapsedMs, std::int32_t timeMs,
                    std::int32_t value);
    void start(std::size_t frame, std::int64_t elapsedMs, std::int32_t timeMs, std::int32_t value);
    void close();
    void push(const ValueSpan& span);  // merged into the span before when it says the same

    bool mayBlink_;
    bool open_ = false;
    int settled_ = -1;  // the one rule left, once only one is
    ValueSpan current_;
    int changes_ = 0;  // value changes inside the open span
    std::int32_t lastValue_ = 0;
    ValueSpan firstChange_;  // a steady span from the first change on
    std::array<Rule, kRules> rules_{};
    std::vector<ValueSpan> spans_;
};

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
