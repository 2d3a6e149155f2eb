// The rules of Velt supervision as pure functions and constant tables: the
// distance run in a frame, the braking curves and their warning margin, the
// signal check speeds, the cases of the CPP pattern and every speed limit the
// checks compare with. The frame's stages (digital.cpp) call these, the
// display asks the same CPP predicate, and a tool that explains an
// intervention computes with the very same functions.
#pragma once

#include <cstdint>

namespace velt {

// ---- Distances of one frame.

// km/h times ms, divided by this, gives metres.
inline constexpr double kKmhMsPerMetre = 3600.0;
// km/h divided by this gives m/s.
inline constexpr double kKmhPerMetrePerSecond = 3.6;
// Approach warnings look this far ahead.
inline constexpr double kWarnSeconds = 5.0;

// Metres run in a frame of intervalMs at absSpeedKmh. Computed in double,
// never in long double: on 32-bit Windows that is the x87 unit, whose
// precision the host may have lowered, and the native and Windows builds
// must produce the same float.
inline float frameDistanceMetres(float absSpeedKmh, std::int32_t intervalMs) {
    return static_cast<float>(static_cast<double>(absSpeedKmh) / kKmhMsPerMetre *
                              static_cast<double>(intervalMs));
}

// Metres run in five seconds at absSpeedKmh: how far ahead a pattern warns.
inline double warnMarginMetres(float absSpeedKmh) {
    return static_cast<double>(absSpeedKmh) / kKmhPerMetrePerSecond * kWarnSeconds;
}

// ---- Braking curves. (v^2 - K) / 19.5 is the distance in metres needed to
// brake from v km/h to sqrt(K) km/h. The square of a float widened to double
// is exact, so the product gives the power function's result without an x87
// library routine; the curve is rounded to float before it meets a distance.
inline constexpr double kCurveDivisor = 19.5;

inline float brakingCurve(float absSpeedKmh, double k) {
    const auto v = static_cast<double>(absSpeedKmh);
    return static_cast<float>((v * v - k) / kCurveDivisor);
}

constexpr double squared(std::int32_t kmh) {
    return static_cast<double>(kmh) * static_cast<double>(kmh);
}

inline constexpr double kStopCurveK = 0.0;
inline constexpr double k49CurveK = 2401.0;         // 49^2
inline constexpr double k42CurveK = 1764.0;         // 42^2
inline constexpr double kSpbReleaseCurveK = -49.0;  // numerator v^2 + 49

// A pattern warns when the curve would reach the remaining distance within
// five seconds of running at the present speed.
inline bool warnsWithin(float curve, double warnMargin, float distance) {
    return static_cast<double>(curve) + warnMargin >= static_cast<double>(distance);
}

// ---- Signal speed check. A speed check means a service brake above that
// speed; a stop aspect means an emergency brake whenever the train moves.
enum class SignalCheck { kStop, kNone, kSpeed };
struct SignalCheckSpeed {
    SignalCheck kind;
    float kmh;  // read only for kSpeed
};
inline constexpr SignalCheckSpeed kStopAspect{SignalCheck::kStop, 0.0F};
inline constexpr SignalCheckSpeed kNoCheck{SignalCheck::kNone, 0.0F};
constexpr SignalCheckSpeed checkKmh(float kmh) { return {SignalCheck::kSpeed, kmh}; }

// Rows: signal index 0 to 8. Columns: line category 1, line category 2, and
// every other category (0 and 3 to 9).
inline constexpr int kSignalIndexCount = 9;
inline constexpr SignalCheckSpeed kSignalCheckSpeeds[kSignalIndexCount][3] = {
    {kStopAspect, kStopAspect, kStopAspect},                // 0
    {checkKmh(29.0F), checkKmh(29.0F), checkKmh(29.0F)},    // 1
    {checkKmh(49.0F), checkKmh(49.0F), checkKmh(49.0F)},    // 2
    {checkKmh(68.0F), checkKmh(79.0F), checkKmh(79.0F)},    // 3
    {checkKmh(68.0F), checkKmh(109.0F), checkKmh(109.0F)},  // 4
    {checkKmh(68.0F), checkKmh(120.0F), kNoCheck},          // 5
    {kStopAspect, kStopAspect, kStopAspect},                // 6 (stored as 5)
    {checkKmh(68.0F), checkKmh(120.0F), kNoCheck},          // 7
    {checkKmh(68.0F), checkKmh(120.0F), kNoCheck},          // 8
};

constexpr SignalCheckSpeed signalCheckSpeed(std::int32_t signalIndex, std::int32_t lineType) {
    // An index outside the table is a stop aspect: the safe reading of an
    // aspect this plug-in does not know.
    if (signalIndex < 0 || signalIndex >= kSignalIndexCount) {
        return kStopAspect;
    }
    const int column = lineType == 1 ? 0 : (lineType == 2 ? 1 : 2);
    return kSignalCheckSpeeds[signalIndex][column];
}

// A CPP beacon with signal 2 on line category 0 announces a 72 km/h
// restriction under the caution aspects 3 and 5.
inline constexpr float kLineType0OverrideKmh = 72.0F;
constexpr bool overridesSignalOnLineType0(std::int32_t lineType, std::int32_t cppActive,
                                          std::int32_t signalIndex, std::int32_t cppSignal) {
    return lineType == 0 && cppActive != 0 && (signalIndex == 5 || signalIndex == 3) &&
           cppSignal == 2;
}

// ---- CPP pattern. An armed CPP beacon with signal 0 under aspect 1 or 2 is
// the stop case: the train runs to a stop target, which the display shows
// on its target element.
constexpr bool isCppStopCase(std::int32_t cppActive, std::int32_t signalIndex,
                             std::int32_t cppSignal) {
    return cppActive != 0 && (signalIndex == 1 || signalIndex == 2) && cppSignal == 0;
}

// With signal 2 under aspects 3 to 5 on line category 2 it brakes to 49 km/h.
constexpr bool isCpp49Case(std::int32_t cppActive, std::int32_t lineType, std::int32_t signalIndex,
                           std::int32_t cppSignal) {
    return cppActive != 0 && lineType == 2 &&
           (signalIndex == 3 || signalIndex == 4 || signalIndex == 5) && cppSignal == 2;
}

inline constexpr float kCppStopPhaseEntryKmh = 5.0F;
inline constexpr float kCppStopPhaseLimitKmh = 9.5F;
inline constexpr float kCppWarnMinimumKmh = 0.5F;
inline constexpr float kCpp49Kmh = 49.0F;
inline constexpr float kCpp49ReleaseKmh = 42.0F;

// ---- CCP, SPB and CLF limits, the overspeed cut and the kind-blink.
inline constexpr std::int32_t kCcpDemandMarginKmh = 4;   // demand above the speed + 4
inline constexpr std::int32_t kCcpReleaseMarginKmh = 3;  // release curve to the speed - 3
inline constexpr float kSpbDisarmBelowKmh = 5.0F;
inline constexpr std::int32_t kClfDemandMarginKmh = 4;
inline constexpr std::int32_t kClfReleaseMarginKmh = 3;
inline constexpr float kOverspeedCutKmh = 120.0F;
inline constexpr float kOverspeedRestoreKmh = 117.0F;
inline constexpr float kKindBlinkEndKmh = 1.0F;

}  // namespace velt
