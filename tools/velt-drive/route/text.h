// The small readers a route file needs: numbers as the host reads them
// (strictly for positions, loosely for arguments), times of day, and
// case-insensitive ASCII names. Every number is converted by our own
// routine from its digits, so a route gives the same bits natively and in
// both Windows builds, whatever the C runtime's strtod does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velt::drive::routetext {

std::string_view trim(std::string_view text);
char lowerAscii(char c);
std::string lowered(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWithIgnoreCase(std::string_view text, std::string_view prefix);

// A track position's number: optional sign, digits, optional '.' and
// digits; nothing else (no exponent, no unit, no spaces).
std::optional<double> readStrictNumber(std::string_view text);

// An argument's number: spaces removed, then the longest leading part that
// reads as a number ("80km/h" is 80, "1 000" is 1000, "2e3" is 2000).
// Nothing when no digit leads; never infinite or NaN.
std::optional<double> readLooseNumber(std::string_view text);

// The nearest integer, halves to even (2.5 is 2, 3.5 is 4); nothing when
// outside the 32-bit range.
std::optional<std::int32_t> roundHalfEven(double value);

// A time of day as a route writes it: H.MMSS, H.MM (a single digit after
// the dot is minutes: 10.1 is 10:01), H:MM, H:MM:SS or a bare hour. Spaces
// are ignored. Nothing when it is not such a time or past the 32-bit ms
// range.
std::optional<std::int32_t> readTimeOfDay(std::string_view text);

}  // namespace velt::drive::routetext
