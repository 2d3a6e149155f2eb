// What the plot against position keeps while the drive runs: the speed
// line, thinned to what the plot can show, and the handles where they change.
#include <algorithm>
#include <cmath>

#include "tools/velt-drive/render/plot.h"
#include "tools/velt-drive/render/plot_layout.h"

namespace velt::drive {

namespace {

using layout::kRight;
using namespace layout::position;

}  // namespace

PlotRecorder::PlotRecorder(const Scenario& scenario) : scenario_(scenario) {}

void PlotRecorder::begin(int emergencyNotch) { emergencyNotch_ = emergencyNotch; }

void PlotRecorder::event(const HostEvent& event) {
    if (event.kind == HostEvent::Kind::Jump) jumped_ = true;
}

void PlotRecorder::frame(const FrameRecord& frame) {
    const double speed = std::fabs(frame.speedKmh);
    if (speed_.empty()) {
        lowM_ = highM_ = frame.positionM;
    } else {
        lowM_ = std::min(lowM_, frame.positionM);
        highM_ = std::max(highM_, frame.positionM);
    }
    topKmh_ = std::max(topKmh_, speed);
    // The latest frame is always the last point; the one before it stays
    // only if it may be drawn.
    speed_.push_back({frame.positionM, speed, jumped_});
    if (speed_.size() > limit_) thin();
    const int values[kHandleLines] = {frame.driverPower, frame.driverBrake, frame.out.power,
                                      frame.out.brake};
    for (std::size_t i = 0; i < kHandleLines; ++i)
        if (handles_[i].empty() || jumped_ || handles_[i].back().value != values[i])
            handles_[i].push_back({frame.positionM, values[i], jumped_ && !handles_[i].empty()});
    jumped_ = false;
}

// Drops the speed points that would fall within half a pixel of the point
// kept before them at the scale the plot has so far. The plot only grows,
// so they would not be drawn at the end either. Where that keeps too many
// (a speed that swings all day), the next round thins twice as hard.
void PlotRecorder::thin() {
    const double span = std::max(highM_ - lowM_, 100.0) * 1.06;
    const double metresPerPixel = span / (kRight - kLeft) * thinning_;
    const double kmhPerPixel = layout::speedSpanKmh(topKmh_) / (kBottom - kTop) * thinning_;
    std::size_t kept = 1;
    for (std::size_t i = 1; i < speed_.size(); ++i) {
        const SpeedPoint& point = speed_[i];
        const SpeedPoint& previous = speed_[kept - 1];
        const bool last = i + 1 == speed_.size();
        if (last || point.jump ||
            std::fabs(point.positionM - previous.positionM) >= 0.5 * metresPerPixel ||
            std::fabs(point.speedKmh - previous.speedKmh) >= 0.5 * kmhPerPixel)
            speed_[kept++] = point;
    }
    speed_.resize(kept);
    if (speed_.size() > limit_ / 2) thinning_ *= 2.0;
}

}  // namespace velt::drive
