#include "tools/velt-drive/render/cab_timeline.h"

#include "tools/velt-drive/render/plot_layout.h"

#include <algorithm>
#include <cmath>

namespace velt::drive {

CabTimeline::CabTimeline(const Scenario& scenario) : scenario_(scenario) {
    for (ValueTrack& track : sound_) track = ValueTrack(false);
    for (ValueTrack& track : handles_) track = ValueTrack(false);
}

void CabTimeline::begin(int emergencyNotch) { emergencyNotch_ = emergencyNotch; }

void CabTimeline::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) jumped_ = true;
}

std::int64_t CabTimeline::elapsedAt(std::size_t k) const {
    return elapsedAtFrame(scenario_.frameMs, k);
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

    const FramePoint at{k, elapsed, frame.positionM, frame.speedKmh};
    for (std::size_t i = 0; i < panel_.size(); ++i) panel_[i].add(at, t, frame.panel[i]);
    for (std::size_t i = 0; i < sound_.size(); ++i) sound_[i].add(at, t, frame.sound[i]);
    const std::int32_t handles[kHandles] = {
        frame.driverPower, frame.driverBrake, frame.driverReverser, frame.doorsClosed ? 1 : 0,
        frame.out.brake,   frame.out.power,   frame.out.reverser,   frame.out.constantSpeed};
    for (std::size_t i = 0; i < kHandles; ++i) handles_[i].add(at, t, handles[i]);

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
    const double msPerPixel = static_cast<double>(std::max<std::int64_t>(lastElapsedMs_, 1000)) /
                              layout::time::kThinningPixels * thinning_;
    const double kmhPerPixel =
        layout::speedSpanKmh(topKmh_) / layout::time::kThinningSpeedPixels * thinning_;
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
