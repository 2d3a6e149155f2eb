// What every SVG plot of velt-drive is written with: the opening of the
// picture, its lines, rectangles and texts, round scales, and the colours
// that mean the same in every plot. Numbers have one decimal (svgNumber),
// so a plot is the same bytes on every runtime.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tools/velt-drive/util/svg_text.h"

namespace velt::drive {

// The colours that mean one thing in every plot.
namespace palette {
inline constexpr const char* kSpeed = "#1f5fa8";           // the speed line
inline constexpr const char* kEmergencyBrake = "#e74c3c";  // shading and labels
inline constexpr const char* kServiceBrake = "#f39c12";
inline constexpr const char* kPowerCut = "#8e44ad";
inline constexpr const char* kChime = "#2980b9";      // a one-shot sound's mark
inline constexpr const char* kChimeText = "#2471a3";  // ... and its label
inline constexpr const char* kBeacon = "#7f8c8d";     // a beacon's line
inline constexpr const char* kReported = "#566573";   // what the host reported, in words
inline constexpr const char* kStation = "#34495e";
inline constexpr const char* kMet = "#2e9e4f";     // a good result, a proceed aspect
inline constexpr const char* kFailed = "#c0392b";  // a failed result, a stop aspect
}  // namespace palette

// The opening of a picture: the svg element with its size, font and any
// further attributes (each with a leading space), then a white ground.
std::string svgOpen(double width, double height, const std::string& attributes = "");

// One element, as a line of its own. `attributes` follow the position and
// size, written as given.
std::string svgLine(double x1, double y1, double x2, double y2, const std::string& attributes);
std::string svgRect(double x, double y, double width, double height, const std::string& attributes);
std::string svgText(double x, double y, const std::string& content, const std::string& attributes);

// A round tick step giving at most about ten ticks over the span.
inline double tickStep(double span) {
    double step = 1.0;
    const double factors[] = {2.0, 2.5, 2.0};  // 1, 2, 5, 10, 20, 50, ...
    int i = 0;
    while (span / step > 10.0) {
        step *= factors[i % 3];
        ++i;
    }
    return step;
}

// The round values from `low` to `high` a scale marks, tickStep apart.
inline std::vector<double> roundTicks(double low, double high) {
    const double step = tickStep(high - low);
    std::vector<double> ticks;
    const auto first = static_cast<long long>(std::ceil(low / step));
    for (long long i = first; static_cast<double>(i) * step <= high; ++i)
        ticks.push_back(static_cast<double>(i) * step);
    return ticks;
}

}  // namespace velt::drive
