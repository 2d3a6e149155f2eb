// Blinking without a timer: an indication that blinks shows its code while a
// phase of the host's time is non-zero and 0 while it is 0, so it needs no
// state and follows the clock even across a restarted run.
#pragma once

#include <cstdint>

namespace velt {

// Half periods of the three blink rates, ms.
inline constexpr std::int32_t kSlowHalfPeriodMs = 1000;  // a second on, a second off
inline constexpr std::int32_t kBlinkHalfPeriodMs = 500;
inline constexpr std::int32_t kFastHalfPeriodMs = 250;

// 0 in the first half of each period of 2 * halfPeriodMs and 1 in the second.
// The remainder takes the sign of the time, so a negative time (which the
// host's time of day never is) gives 0 or -1.
constexpr std::int32_t blinkPhase(std::int32_t timeMs, std::int32_t halfPeriodMs) {
    return (timeMs % (2 * halfPeriodMs)) / halfPeriodMs;
}

// The code while the phase is non-zero, else nothing (0).
constexpr std::int32_t blinking(std::int32_t code, std::int32_t phase) {
    return phase != 0 ? code : 0;
}

}  // namespace velt
