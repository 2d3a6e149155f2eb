// Small pieces shared by the tool's SVG plots.
#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "tools/velt-drive/util/svg_text.h"

namespace velt::drive {

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
