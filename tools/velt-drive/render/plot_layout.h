// The layout of the two drive plots, the speed against position and the
// cab against time: one page width and right margin, one speed axis, and
// each plot's own areas on the page. What a plot keeps while the drive runs
// is thinned at the scale it will be drawn at, so the recorders read the
// same constants as the drawing.
#pragma once

#include <algorithm>
#include <cmath>

#include "tools/velt-drive/util/svg_canvas.h"

namespace velt::drive::layout {

inline constexpr double kWidth = 1100.0;
inline constexpr double kRight = kWidth - 30.0;

// The speed axis runs 15% past the top speed of the drive, and to at
// least 10 km/h, to a round value.
inline double speedSpanKmh(double topKmh) { return std::max(10.0, topKmh) * 1.15; }
inline double speedAxisTop(double topKmh) {
    const double step = tickStep(speedSpanKmh(topKmh));
    return std::ceil(speedSpanKmh(topKmh) / step) * step;
}

// Speed against position, with the handles in a strip below.
namespace position {
inline constexpr double kHeight = 720.0;
inline constexpr double kLeft = 70.0;
inline constexpr double kTop = 92.0;
inline constexpr double kBottom = 500.0;
inline constexpr double kStripTop = 545.0;
inline constexpr double kStripBottom = 670.0;
}  // namespace position

// The cab against time: speed above, a lane for each display element,
// lamp and loop below, and rows of one-shot sounds at the bottom.
namespace time {
inline constexpr double kLeft = 130.0;
inline constexpr double kTop = 96.0;
inline constexpr double kBottom = 296.0;
inline constexpr double kLanesTop = 330.0;
inline constexpr double kLaneHeight = 20.0;
inline constexpr double kLaneGap = 4.0;
inline constexpr double kSoundRows = 5;
// The resolution at which the cab timeline thins its speed samples: a
// little finer than the view's speed area (940 by 200 pixels), so that no
// sample it drops would have shown.
inline constexpr double kThinningPixels = 1000.0;
inline constexpr double kThinningSpeedPixels = 240.0;
}  // namespace time

}  // namespace velt::drive::layout
