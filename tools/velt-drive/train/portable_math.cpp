#include "tools/velt-drive/train/portable_math.h"

#include <limits>

namespace velt::drive {

namespace {

// ln 2 split so that k * kLn2High is exact for the k that occur; the two
// parts together carry ln 2 to well beyond a double's precision.
constexpr double kLn2High = 6.93147180369123816490e-01;
constexpr double kLn2Low = 1.90821492927058770002e-10;
constexpr double kSqrt2 = 1.41421356237309504880;

}  // namespace

double portableLog(double x) {
    if (!(x > 0.0) || x > std::numeric_limits<double>::max()) return 0.0;
    // x = m * 2^k with m in [sqrt(1/2), sqrt(2)): halving and doubling are exact.
    int k = 0;
    while (x >= kSqrt2) {
        x = x / 2.0;
        ++k;
    }
    while (x < kSqrt2 / 2.0) {
        x = x * 2.0;
        --k;
    }
    // ln m = 2 atanh(s) = 2 (s + s^3/3 + s^5/5 + ...), s = (m - 1) / (m + 1),
    // |s| < 0.172: 20 terms leave less than 1e-30.
    const double s = (x - 1.0) / (x + 1.0);
    const double s2 = s * s;
    double series = 0.0;
    for (int n = 39; n >= 1; n -= 2) series = series * s2 + 1.0 / static_cast<double>(n);
    const auto kd = static_cast<double>(k);
    return kd * kLn2High + (kd * kLn2Low + 2.0 * s * series);
}

double portableExp(double x) {
    if (x < -700.0) return 0.0;
    if (x > 700.0) return std::numeric_limits<double>::max();
    // x = k ln 2 + r with |r| <= ln 2 / 2; e^r by its series (22 terms leave
    // less than 1e-30), then times 2^k by exact doublings or halvings.
    const auto kd =
        static_cast<double>(static_cast<long>(x / (kLn2High + kLn2Low) + (x < 0.0 ? -0.5 : 0.5)));
    const double r = (x - kd * kLn2High) - kd * kLn2Low;
    double series = 1.0;
    for (int n = 22; n >= 1; --n) series = 1.0 + r / static_cast<double>(n) * series;
    auto k = static_cast<long>(kd);
    for (; k > 0; --k) series = series * 2.0;
    for (; k < 0; ++k) series = series / 2.0;
    return series;
}

double portablePow(double base, double exponent) {
    if (!(base > 0.0)) return 0.0;
    if (exponent >= 0.0 && exponent <= 8.0 &&
        exponent == static_cast<double>(static_cast<int>(exponent))) {
        double product = 1.0;
        for (int i = static_cast<int>(exponent); i > 0; --i) product = product * base;
        return product;
    }
    return portableExp(exponent * portableLog(base));
}

}  // namespace velt::drive
