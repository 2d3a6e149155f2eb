// Lengths, speeds and times as velt-drive writes them for people, each
// written in one place. Where outputs differ in decimals, the caller says
// how many: the number of decimals is part of what an output promises.
#pragma once

#include <cstdint>
#include <string>

namespace velt::drive {

// "12.3 m": a distance with fixed decimals.
std::string metresText(double metres, int decimals = 1);

// "45 km/h", "0.483 km/h": as many decimals as the speed takes, up to three,
// so that a speed is never shown as a threshold it lies below.
std::string kmhText(double kmh);
// "45.0 km/h": fixed decimals.
std::string kmhText(double kmh, int decimals);

// "2 s", "0.25 s": as many decimals as it takes, up to three.
std::string secondsText(double seconds);
// "98.300 s": fixed decimals.
std::string secondsText(double seconds, int decimals);

// "07:05:09", "07:05:09.250": a time of day (or a duration) in milliseconds,
// with the milliseconds only when there are any.
std::string clockText(std::int64_t ms);

// Milliseconds as seconds.
constexpr double secondsOf(std::int64_t ms) { return static_cast<double>(ms) / 1000.0; }

}  // namespace velt::drive
