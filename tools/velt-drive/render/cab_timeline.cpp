#include "tools/velt-drive/render/cab_timeline.h"

#include <algorithm>
#include <cmath>

#include "core/blink.h"

namespace velt::drive {

namespace {

constexpr std::int32_t kHalfPeriodsMs[] = {kSlowHalfPeriodMs, kBlinkHalfPeriodMs,
                                           kFastHalfPeriodMs};

// Pixels of the time view's plot area: samples closer than half a pixel at
// its scale could not be told apart.
constexpr double kPlotPixels = 1000.0;
constexpr double kSpeedPixels = 240.0;

}  // namespace

std::int32_t ValueSpan::valueAt(std::int32_t timeMs) const {
    if (halfPeriodMs == 0) return on;
    return blinkPhase(timeMs, halfPeriodMs) != 0 ? on : off;
}

void ValueTrack::start(std::size_t frame, std::int64_t elapsedMs, std::int32_t timeMs,
                       std::int32_t value) {
    open_ = true;
    current_ = {frame, elapsedMs, value, value, 0};
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

void ValueTrack::addChanged(std::size_t frame, std::int64_t elapsedMs, std::int32_t timeMs,
                            std::int32_t value) {
    if (!open_) {
        start(frame, elapsedMs, timeMs, value);
        return;
    }
    if (settled_ >= 0) {
        const Rule& rule = rules_[static_cast<std::size_t>(settled_)];
        const bool lit = rule.halfPeriodMs == 0 || blinkPhase(timeMs, rule.halfPeriodMs) != 0;
        if ((lit ? rule.on : rule.off) == value) return;
        close();
        start(frame, elapsedMs, timeMs, value);
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
        start(frame, elapsedMs, timeMs, value);
        return;
    }
    rules_ = next;
    if (value != lastValue_) {
        if (++changes_ == 1) firstChange_ = {frame, elapsedMs, value, value, 0};
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

CabTimeline::CabTimeline(const Scenario& scenario) : scenario_(scenario) {
    for (ValueTrack& track : sound_) track = ValueTrack(false);
    for (ValueTrack& track : handles_) track = ValueTrack(false);
}

void CabTimeline::begin(int emergencyNotch) { emergencyNotch_ = emergencyNotch; }

void CabTimeline::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) jumped_ = true;
}

std::int64_t CabTimeline::elapsedAt(std::size_t k) const {
    const auto index = static_cast<std::int64_t>(k);
    return scenario_.frameMs > 0 ? index * scenario_.frameMs : index * 1000 / 60;
}

const ValueTrack& CabTimeline::panel(int index) const {
    return panel_[static_cast<std::size_t>(panelSlot(index))];
}

const ValueTrack& CabTimeline::sound(int index) const {
    return sound_[static_cast<std::size_t>(soundSlot(index))];
}

void CabTimeline::frame(const FrameRecord& frame) {
    const std::size_t k = frame.number;
    const std::int32_t t = frame.timeMs;
    const std::int64_t elapsed = frame.elapsedMs;
    // The clock as the page will count it; where it does not, a new anchor.
    bool onClock = !clock_.empty() && elapsed == elapsedAt(k);
    if (onClock) {
        const ClockAnchor& anchor = clock_.back();
        onClock = static_cast<std::int64_t>(t) ==
                  anchor.timeMs + (elapsedAt(k) - elapsedAt(anchor.frame));
    }
    if (!onClock) clock_.push_back({k, t, elapsed});

    for (std::size_t i = 0; i < panel_.size(); ++i) panel_[i].add(k, elapsed, t, frame.panel[i]);
    for (std::size_t i = 0; i < sound_.size(); ++i) sound_[i].add(k, elapsed, t, frame.sound[i]);
    const std::int32_t handles[kHandles] = {
        frame.driverPower, frame.driverBrake, frame.driverReverser, frame.doorsClosed ? 1 : 0,
        frame.out.brake,   frame.out.power,   frame.out.reverser,   frame.out.constantSpeed};
    for (std::size_t i = 0; i < kHandles; ++i) handles_[i].add(k, elapsed, t, handles[i]);

    const double speed = std::fabs(frame.speedKmh);
    topKmh_ = std::max(topKmh_, speed);
    samples_.push_back({k, elapsed, frame.positionM, speed, jumped_});
    if (samples_.size() > limit_) thin();
    jumped_ = false;
    frames_ = k + 1;
    lastElapsedMs_ = elapsed;
}

void CabTimeline::end(const DriveEnd& /*end*/) {
    for (ValueTrack& track : panel_) track.finish();
    for (ValueTrack& track : sound_) track.finish();
    for (ValueTrack& track : handles_) track.finish();
}

// Drops the samples within half a pixel of the one kept before them at the
// scale the view has so far; the view only grows, so they would not show at
// the end either. Where that keeps too many, the next round thins harder.
void CabTimeline::thin() {
    const double msPerPixel =
        static_cast<double>(std::max<std::int64_t>(lastElapsedMs_, 1000)) / kPlotPixels * thinning_;
    const double kmhPerPixel = std::max(10.0, topKmh_) * 1.15 / kSpeedPixels * thinning_;
    std::size_t kept = 1;
    for (std::size_t i = 1; i < samples_.size(); ++i) {
        const Sample& sample = samples_[i];
        const Sample& previous = samples_[kept - 1];
        if (i + 1 == samples_.size() || sample.jump ||
            static_cast<double>(sample.elapsedMs - previous.elapsedMs) >= 0.5 * msPerPixel ||
            std::fabs(sample.speedKmh - previous.speedKmh) >= 0.5 * kmhPerPixel)
            samples_[kept++] = sample;
    }
    samples_.resize(kept);
    if (samples_.size() > limit_ / 2) thinning_ *= 2.0;
}

}  // namespace velt::drive
