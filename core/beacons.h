// How beacons and signal reports encode what they carry: the packing of a
// beacon's optional value, the speed codes, the route code and the aspect
// numbers. Pure functions, so that whatever reads a beacon (the intake, and
// any tool that explains one) decodes it the same way.
#pragma once

#include <cstdint>

#include "core/states.h"

namespace velt {

// Beacons pack two decimal fields into optional: metres in the low four
// digits, a speed code, kind or flag above. C++ division truncates toward
// zero, which is the packing's rule for negative values too.
inline constexpr std::int32_t kPackBase = 10000;
constexpr std::int32_t packedMetres(std::int32_t optional) { return optional % kPackBase; }
constexpr std::int32_t packedValue(std::int32_t optional) { return optional / kPackBase; }

// A beacon passed standing or running backwards is not the train's
// approach: the beacons that act on an approach ignore it.
constexpr bool passedMovingForward(float speedKmh) { return speedKmh > 0.0F; }

// The SPB pattern belongs to line categories 0 and 2; elsewhere its beacon
// means nothing.
constexpr bool takesSpbBeacon(std::int32_t lineType) { return lineType == 0 || lineType == 2; }

// Speed codes count in 5 km/h steps.
inline constexpr std::int32_t kSpeedStepKmh = 5;

// A CPP beacon asks for the stop phase with a value above the metres field.
constexpr CppPhase cppPhaseOf(std::int32_t optional) {
    return optional > kPackBase ? CppPhase::kStopRequested : CppPhase::kDistance;
}

// A CLF beacon arms the limit with a speed code from 3 to 31 (15 to
// 155 km/h); any other value switches it off.
inline constexpr std::int32_t kClfLowestCode = 3;
inline constexpr std::int32_t kClfHighestCode = 31;
constexpr bool armsClf(std::int32_t optional) {
    return optional >= kClfLowestCode && optional <= kClfHighestCode;
}

// A route code: the line category in its hundreds digit, the selector
// position as the code mod 9, and from 1000 on a fixed route.
constexpr std::int32_t lineTypeOfRoute(std::int32_t code) { return (code % 1000) / 100; }
constexpr std::int32_t selectorOfRoute(std::int32_t code) { return code % 9; }
constexpr bool isFixedRoute(std::int32_t code) { return code > 999; }

// Aspect 6 is shown and supervised as aspect 5, on both sides.
constexpr std::int32_t normaliseAspect(std::int32_t aspect) { return aspect == 6 ? 5 : aspect; }

// The supervision-change chime belongs to line category 2 only.
constexpr bool chimesOnChange(std::int32_t lineType) { return lineType == 2; }

}  // namespace velt
