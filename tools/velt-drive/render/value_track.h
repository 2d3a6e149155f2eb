// The one blink detector of velt-drive: a value of the cab, frame by frame,
// read as the cab shows it, in spans in which it was steady or blinked with
// one of the display's blink periods (core/blink.h). The summary, the time
// view and the report page's player all read the cab through it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tools/velt-drive/drive/explanation.h"

namespace velt::drive {

// From its frame on, the value is `on` while the blink phase of the host's
// time with halfPeriodMs is non-zero and `off` while it is 0: the display's
// own rule for a blinking code. A steady span has halfPeriodMs 0.
struct ValueSpan {
    FramePoint at;  // its first frame
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
    void add(const FramePoint& at, std::int32_t timeMs, std::int32_t value) {
        if (settled_ == 0 && value == current_.on) return;
        addChanged(at, timeMs, value);
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

    void addChanged(const FramePoint& at, std::int32_t timeMs, std::int32_t value);
    void start(const FramePoint& at, std::int32_t timeMs, std::int32_t value);
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

}  // namespace velt::drive
