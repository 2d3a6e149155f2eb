// The codes of the cab's protection display (mode, limit, target, aux: panel
// 20 to 23) and the tables they come from. display.cpp composes the four
// elements from these; a tool that lists or explains display codes reads the
// same tables.
#pragma once

#include <cstdint>

#include "core/beacons.h"
#include "core/states.h"
#include "core/supervision.h"

namespace velt::display {

inline constexpr std::int32_t kNothing = 0;  // the code of an element with nothing to show

// Mode element.
inline constexpr std::int32_t kModeLegacyLine0 = 1;
inline constexpr std::int32_t kModeLegacyOther = 2;
inline constexpr std::int32_t kModeVelt = 3;

// Limit and target elements.
inline constexpr std::int32_t kLimitOverspeedCut = 1;  // blinks fast
inline constexpr std::int32_t kLimitStopPhase = 2;
inline constexpr std::int32_t kTargetStop = 1;
inline constexpr std::int32_t kLimitCppOnLine0 = 27;
inline constexpr std::int32_t kRestriction = 28;
inline constexpr std::int32_t kTargetDoorOrStopBraking = 29;

// Aux element in a Velt section.
inline constexpr std::int32_t kAuxWarnLine0 = 8;      // blinks
inline constexpr std::int32_t kAuxWarnOther = 9;      // blinks
inline constexpr std::int32_t kAuxSpb = 10;           // blinks while the SPB warns
inline constexpr std::int32_t kAuxSpbKind1 = 11;      // blinks while the SPB warns
inline constexpr std::int32_t kAuxSelectorBase = 14;  // + selector position 0 to 8

// Signal indices that the tables cover. 6 is never stored (it arrives as 5);
// should it appear anyway it is shown as the stop aspect the supervision
// brakes it as, and so is every index outside the tables.
inline constexpr std::int32_t kSignalIndices = kSignalIndexCount;
constexpr bool isShownAspect(std::int32_t index) {
    return index >= 1 && index < kSignalIndices && index != 6;
}
constexpr std::int32_t shownAspect(std::int32_t index) { return isShownAspect(index) ? index : 0; }

// Speed of each signal aspect; it serves only to choose which restriction the
// display shows, never to brake.
inline constexpr std::int32_t kSignalLimitsKmh[kSignalIndices] = {0,   25, 45,  75, 105,
                                                                  120, 0,  130, 160};

// Display code of each signal aspect, one row per line category 0, 1 and 2.
// Index 0 (stop) has a rule of its own; line category 2 shows nothing above
// index 2.
inline constexpr std::int32_t kSignalCodeRows = 3;
inline constexpr std::int32_t kSignalCodes[kSignalCodeRows][kSignalIndices] = {
    {0, 5, 9, 15, 20, 24, 0, 25, 26},
    {0, 5, 9, 14, 14, 14, 0, 14, 14},
    {0, 5, 9, 0, 0, 0, 0, 0, 0},
};

// Speed codes count in 5 km/h steps, except that 130 to 134 km/h share the
// 125 km/h image: the display has no image of its own for 130.
constexpr std::int32_t speedCode(std::int32_t speedKmh) {
    if (speedKmh >= 130 && speedKmh <= 134) {
        return 25;
    }
    return speedKmh / kSpeedStepKmh;
}

// Legacy ATS state as the aux element shows it, without and with a brake
// demand.
constexpr std::int32_t legacyAux(LegacyState state, std::int32_t lineType, bool braking) {
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm: return braking ? 3 : 2;
        case LegacyState::kCheck: return braking ? 5 : 4;
        case LegacyState::kNormal: break;
    }
    // The normal state shows only on line category 1.
    return lineType == 1 ? (braking ? 7 : 6) : kNothing;
}

}  // namespace velt::display
