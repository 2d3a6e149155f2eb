// Number formatting and parsing that give the same characters and the same
// bits on every C runtime the tool is built for. The traces of a native run
// and of a run under the 32-bit Windows runtime are compared byte for byte,
// so nothing here goes through printf, strtod or the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velt::drive {

// value with exactly `decimals` digits after the point (0 to 6), rounded half
// away from zero. "-0.000" is never produced.
std::string formatFixed(double value, int decimals);

// A plain decimal: optional sign, digits, optional point and digits. No
// exponent, no hexadecimal, no spaces. The result is the correctly rounded
// mantissa divided by a power of ten, so it is the same on every runtime.
std::optional<double> parseDecimal(std::string_view text);

// A plain decimal integer within the int32 range.
std::optional<std::int32_t> parseInt32(std::string_view text);

}  // namespace velt::drive
