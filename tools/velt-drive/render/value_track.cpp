#include "tools/velt-drive/render/value_track.h"

#include "core/blink.h"

namespace velt::drive {

namespace {

constexpr std::int32_t kHalfPeriodsMs[] = {kSlowHalfPeriodMs, kBlinkHalfPeriodMs,
                                           kFastHalfPeriodMs};

}  // namespace

std::int32_t ValueSpan::valueAt(std::int32_t timeMs) const {
    if (halfPeriodMs == 0) return on;
    return blinkPhase(timeMs, halfPeriodMs) != 0 ? on : off;
}

void ValueTrack::start(const FramePoint& at, std::int32_t timeMs, std::int32_t value) {
    open_ = true;
    current_ = {at, value, value, 0};
    changes_ = 0;
    lastValue_ = value;
    rules_[0] = {0, value, value, true, true, true};
    settled_ = mayBlink_ ? -1 : 0;
    for (std::size_t i = 1; i < kRules; ++i) {
        Rule& rule = rules_[i];
        rule = {kHalfPeriodsMs[i - 1], 0, 0, false, false, mayBlink_};
        if (blinkPhase(timeMs, rule.halfPeriodMs) != 0) {
            rule.on = value;
            rule.onKnown = true;
        } else {
            rule.off = value;
            rule.offKnown = true;
        }
    }
}

void ValueTrack::addChanged(const FramePoint& at, std::int32_t timeMs, std::int32_t value) {
    if (!open_) {
        start(at, timeMs, value);
        return;
    }
    if (settled_ >= 0) {
        const Rule& rule = rules_[static_cast<std::size_t>(settled_)];
        const bool lit = rule.halfPeriodMs == 0 || blinkPhase(timeMs, rule.halfPeriodMs) != 0;
        if ((lit ? rule.on : rule.off) == value) return;
        close();
        start(at, timeMs, value);
        return;
    }
    // Which explanations this frame leaves; none left ends the span.
    std::array<Rule, kRules> next = rules_;
    int alive = 0;
    int last = -1;
    for (std::size_t i = 0; i < kRules; ++i) {
        Rule& rule = next[i];
        if (!rule.alive) continue;
        const bool lit = rule.halfPeriodMs == 0 || blinkPhase(timeMs, rule.halfPeriodMs) != 0;
        std::int32_t& side = lit ? rule.on : rule.off;
        bool& known = lit ? rule.onKnown : rule.offKnown;
        if (known && side != value) {
            rule.alive = false;
            continue;
        }
        side = value;
        known = true;
        // A blink whose two sides are the same is the steady rule again.
        if (rule.halfPeriodMs != 0 && rule.onKnown && rule.offKnown && rule.on == rule.off) {
            rule.alive = false;
            continue;
        }
        ++alive;
        last = static_cast<int>(i);
    }
    if (alive == 0) {
        close();
        start(at, timeMs, value);
        return;
    }
    rules_ = next;
    if (value != lastValue_) {
        if (++changes_ == 1) firstChange_ = {at, value, value, 0};
        lastValue_ = value;
    }
    const Rule& only = rules_[static_cast<std::size_t>(last)];
    if (alive == 1 && only.onKnown && only.offKnown && (last == 0 || changes_ >= 2))
        settled_ = last;
}

// The open span takes the simplest rule that explains all its frames:
// steady if it can, else the slowest blink seen to change at least twice.
// A single change is two steady spans, not a blink: the door link's 29 for
// half a second and then 1 is a sequence, even though a blink would
// explain it as well.
void ValueTrack::close() {
    if (!open_) return;
    open_ = false;
    if (!rules_[0].alive && changes_ < 2) {
        push(current_);
        push(firstChange_);
        return;
    }
    for (const Rule& rule : rules_) {
        if (!rule.alive || !rule.onKnown || !rule.offKnown) continue;
        current_.off = rule.off;
        current_.on = rule.on;
        current_.halfPeriodMs = rule.halfPeriodMs;
        break;
    }
    push(current_);
}

void ValueTrack::push(const ValueSpan& span) {
    if (!spans_.empty()) {
        const ValueSpan& before = spans_.back();
        if (before.off == span.off && before.on == span.on &&
            before.halfPeriodMs == span.halfPeriodMs)
            return;
    }
    spans_.push_back(span);
}

void ValueTrack::finish() { close(); }

}  // namespace velt::drive
