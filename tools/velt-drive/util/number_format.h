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

// Longest text appendFixed writes: sign, 16 digits, point, 6 decimals.
inline constexpr std::size_t kMaxFixedChars = 32;

// Writes value with exactly `decimals` digits after the point (0 to 6),
// rounded half away from zero, at `out`; returns the end. "-0.000" is never
// produced. The trace writer formats every frame through this.
char* appendFixed(char* out, double value, int decimals);

// The same as a string.
std::string formatFixed(double value, int decimals);

// A bound or a setting as a person writes it: no trailing zeros ("0.001",
// "500", "-1000000").
std::string formatPlain(double value);

// What became of a number in the text.
enum class NumberStatus { Ok, Malformed, OutOfRange };

template <typename T>
struct Parsed {
    NumberStatus status = NumberStatus::Malformed;
    T value{};
};

// A plain decimal: optional sign, digits, optional point and digits. No
// exponent, no hexadecimal, no spaces, no inf or nan. The value is the
// correctly rounded double, the same on every runtime.
Parsed<double> parseDecimal(std::string_view text);

// A plain decimal integer; OutOfRange beyond 64 bits.
Parsed<std::int64_t> parseInteger(std::string_view text);

// A plain decimal integer within the int32 range.
std::optional<std::int32_t> parseInt32(std::string_view text);

}  // namespace velt::drive
