// Velt supervision: the body of every frame inside a Velt section. Each
// check keeps its own brake demand; the last stage merges them into the one
// demand the host interface applies.
#include <cmath>
#include <initializer_list>

#include "core/velt.h"

namespace velt {

namespace {

// ---- Braking curves. (v^2 - K) / 19.5 is the distance in metres needed to
// brake from v km/h to sqrt(K) km/h. The square of a float widened to double
// is exact, so the product gives the power function's result without an x87
// library routine; the curve is rounded to float before it meets a distance.
constexpr double kCurveDivisor = 19.5;

float brakingCurve(float absSpeed, double k) {
    const auto v = static_cast<double>(absSpeed);
    return static_cast<float>((v * v - k) / kCurveDivisor);
}

constexpr double squared(std::int32_t kmh) {
    return static_cast<double>(kmh) * static_cast<double>(kmh);
}

constexpr double kStopCurveK = 0.0;
constexpr double k49CurveK = 2401.0;         // 49^2
constexpr double k42CurveK = 1764.0;         // 42^2
constexpr double kSpbReleaseCurveK = -49.0;  // numerator v^2 + 49

// A pattern warns when the curve would reach the remaining distance within
// five seconds of running at the present speed.
bool warnsWithin(float curve, double warnMargin, float distance) {
    return static_cast<double>(curve) + warnMargin >= static_cast<double>(distance);
}

// Counts a pattern's distance down by the metres of this frame. A frame
// whose distance is not a number (a NaN speed, infinities cancelling) leaves
// the distance as it is: a NaN distance never again compares as reached and
// would silently switch the pattern off until the next beacon.
void countDown(float& distance, float frameDistance) {
    const float next = distance - frameDistance;
    if (!std::isnan(next)) {
        distance = next;
    }
}

bool aheadOfTarget(float distance) { return distance > 0.0F; }

// ---- Signal speed check. A speed check means a service brake above that
// speed; a stop aspect means an emergency brake whenever the train moves.
enum class SignalCheck { kStop, kNone, kSpeed };
struct SignalCheckSpeed {
    SignalCheck kind;
    float kmh;
};
constexpr SignalCheckSpeed kStopAspect{SignalCheck::kStop, 0.0F};
constexpr SignalCheckSpeed kNoCheck{SignalCheck::kNone, 0.0F};
constexpr SignalCheckSpeed checkKmh(float kmh) { return {SignalCheck::kSpeed, kmh}; }

// Rows: signal index 0 to 8. Columns: line category 1, line category 2, and
// every other category (0 and 3 to 9).
constexpr int kSignalIndexCount = 9;
constexpr SignalCheckSpeed kSignalCheckSpeeds[kSignalIndexCount][3] = {
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

SignalCheckSpeed signalCheckSpeed(std::int32_t signalIndex, std::int32_t lineType) {
    // An index outside the table is a stop aspect: the safe reading of an
    // aspect this plug-in does not know.
    if (signalIndex < 0 || signalIndex >= kSignalIndexCount) {
        return kStopAspect;
    }
    const int column = lineType == 1 ? 0 : (lineType == 2 ? 1 : 2);
    return kSignalCheckSpeeds[signalIndex][column];
}

constexpr float kLineType0OverrideKmh = 72.0F;
constexpr float kCppStopPhaseEntryKmh = 5.0F;
constexpr float kCppStopPhaseLimitKmh = 9.5F;
constexpr float kCppWarnMinimumKmh = 0.5F;
constexpr float kCpp49Kmh = 49.0F;
constexpr float kCpp49ReleaseKmh = 42.0F;
constexpr std::int32_t kCcpDemandMarginKmh = 4;
constexpr std::int32_t kCcpReleaseMarginKmh = 3;
constexpr float kSpbDisarmBelowKmh = 5.0F;
constexpr std::int32_t kClfDemandMarginKmh = 4;
constexpr std::int32_t kClfReleaseMarginKmh = 3;
constexpr float kOverspeedCutKmh = 120.0F;
constexpr float kOverspeedRestoreKmh = 117.0F;
constexpr float kKindBlinkEndKmh = 1.0F;

// The approach chime sounds in the frame a pattern's warning turns on.
void chimeIfWarningBegan(CVelt& v, std::int32_t warnBefore) {
    if (v.patternWarn != warnBefore && v.patternWarn == 1) {
        v.sndWarn = snd::kPlayOnce;
    }
}

void disarmSpb(CVelt& v) {
    v.spbActive = 0;
    v.spbWarn = 0;
    v.spbKind = 0;
}

bool above(float speed, std::int32_t kmh) {
    return static_cast<double>(speed) > static_cast<double>(kmh);
}
bool below(float speed, std::int32_t kmh) {
    return static_cast<double>(speed) < static_cast<double>(kmh);
}

}  // namespace

void CVelt::superviseVelt(const FrameValues& f) {
    brakeDemand = demand::kNone;
    sigDemand = demand::kNone;
    checkSignalSpeed(f);
    overrideSignalOnLineType0(f);
    superviseCpp(f);
    superviseCcp(f);
    superviseSpb(f);
    superviseClf(f);
    superviseOverspeedCut(f);
    superviseKindBlink(f);
    superviseLinkDoorTimeout(f);
    mergeDemands();
}

void CVelt::checkSignalSpeed(const FrameValues& f) {
    const SignalCheckSpeed check = signalCheckSpeed(signalIndex, lineType);
    switch (check.kind) {
        case SignalCheck::kStop:
            sigDemand = f.absSpeed > 0.0F ? demand::kEmergency : demand::kNone;
            break;
        case SignalCheck::kSpeed:
            sigDemand = f.absSpeed > check.kmh ? demand::kService : demand::kNone;
            break;
        case SignalCheck::kNone: break;
    }
}

void CVelt::overrideSignalOnLineType0(const FrameValues& f) {
    // A CPP beacon with signal 2 on line category 0 announces a 72 km/h
    // restriction under the caution aspects 3 and 5.
    if (lineType == 0 && cppActive != 0 && (signalIndex == 5 || signalIndex == 3) &&
        cppSignal == 2) {
        sigDemand = f.absSpeed > kLineType0OverrideKmh ? demand::kService : demand::kNone;
    }
}

void CVelt::superviseCpp(const FrameValues& f) {
    if (cppActive != 0 && (signalIndex == 1 || signalIndex == 2) && cppSignal == 0) {
        superviseCppStop(f);
    } else if (cppActive != 0 && lineType == 2 &&
               (signalIndex == 3 || signalIndex == 4 || signalIndex == 5) && cppSignal == 2) {
        superviseCpp49(f);
    } else {
        // The pattern does not fit the aspect in force: it neither brakes nor
        // keeps a requested stop phase.
        cppDemand = demand::kNone;
        cppPhase = 0;
    }
}

void CVelt::superviseCppStop(const FrameValues& f) {
    if (cppPhase == 1 && f.absSpeed < kCppStopPhaseEntryKmh) {
        cppPhase = 2;
        if (lineType == 2) {
            sndChange = snd::kPlayOnce;
        }
        return;
    }
    if (cppPhase == 2) {
        // Creeping up to the signal: only a limit of 9.5 km/h, held to a stop.
        if (f.absSpeed > kCppStopPhaseLimitKmh) {
            cppDemand = demand::kEmergency;
        } else if (f.absSpeed == 0.0F) {
            cppDemand = demand::kNone;
        }
        return;
    }

    countDown(cppDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(cppDistance)) {
        const float stopCurve = brakingCurve(f.absSpeed, kStopCurveK);
        if (f.absSpeed > kCppWarnMinimumKmh && warnsWithin(stopCurve, f.warnMargin, cppDistance)) {
            patternWarn = 1;
        }
        if (stopCurve >= cppDistance) {
            cppDemand = demand::kEmergency;
            patternWarn = 0;
        } else if (f.absSpeed == 0.0F) {
            cppDemand = demand::kNone;
        }
    } else if (f.speed > 0.0F) {
        cppDemand = demand::kEmergency;
        patternWarn = 0;
    } else {
        cppDemand = demand::kNone;
    }
    chimeIfWarningBegan(*this, warnBefore);
}

void CVelt::superviseCpp49(const FrameValues& f) {
    countDown(cppDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(cppDistance)) {
        const float curve49 = brakingCurve(f.absSpeed, k49CurveK);
        const float curve42 = brakingCurve(f.absSpeed, k42CurveK);
        if (f.absSpeed > kCpp49Kmh && warnsWithin(curve49, f.warnMargin, cppDistance)) {
            patternWarn = 1;
        }
        if (curve49 >= cppDistance) {
            cppDemand = demand::kService;
            patternWarn = 0;
        } else if (cppDistance > curve42) {
            cppDemand = demand::kNone;
        }
        chimeIfWarningBegan(*this, warnBefore);
        return;
    }
    if (f.absSpeed > kCpp49Kmh) {
        cppDemand = demand::kService;
        patternWarn = 0;
    } else if (f.absSpeed < kCpp49ReleaseKmh) {
        cppDemand = demand::kNone;
    }
}

void CVelt::superviseCcp(const FrameValues& f) {
    if (ccpActive == 0) {
        ccpDemand = demand::kNone;
        return;
    }
    // On line category 0 a restriction overrun brakes to a stop.
    const std::int32_t level = lineType == 0 ? demand::kEmergency : demand::kService;
    const std::int32_t demandAboveKmh = ccpSpeed + kCcpDemandMarginKmh;

    countDown(ccpDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(ccpDistance)) {
        const float upperCurve = brakingCurve(f.absSpeed, squared(demandAboveKmh));
        const float lowerCurve = brakingCurve(f.absSpeed, squared(ccpSpeed - kCcpReleaseMarginKmh));
        if (above(f.absSpeed, demandAboveKmh) &&
            warnsWithin(upperCurve, f.warnMargin, ccpDistance)) {
            patternWarn = 1;
        }
        if (upperCurve >= ccpDistance) {
            ccpDemand = level;
            patternWarn = 0;
        } else if (ccpDistance > lowerCurve && lineType != 0) {
            ccpDemand = demand::kNone;
        }
    } else if (above(f.speed, demandAboveKmh)) {
        ccpDemand = level;
    } else if (lineType != 0 || f.absSpeed == 0.0F) {
        ccpDemand = demand::kNone;
    }
    chimeIfWarningBegan(*this, warnBefore);
}

void CVelt::superviseSpb(const FrameValues& f) {
    if (spbActive == 0) {
        spbDemand = demand::kNone;
        return;
    }
    countDown(spbDistance, f.frameDistance);
    spbWarn = 0;
    if (!aheadOfTarget(spbDistance)) {
        // Past the target the demand holds until the train has stopped.
        if (f.absSpeed == 0.0F) {
            disarmSpb(*this);
        }
        return;
    }
    const float stopCurve = brakingCurve(f.absSpeed, kStopCurveK);
    const float releaseCurve = brakingCurve(f.absSpeed, kSpbReleaseCurveK);
    if (warnsWithin(stopCurve, f.warnMargin, spbDistance)) {
        spbWarn = 1;
        if (lineType == 0) {
            sndSpbWarn = snd::kPlayOnce;
        } else if (lineType == 2) {
            sndWarn = snd::kPlayOnce;
        }
    }
    if (stopCurve >= spbDistance) {
        spbDemand = spbKind == 1 ? demand::kEmergency : demand::kService;
    } else if ((spbKind == 0 && spbDistance > releaseCurve) || f.absSpeed == 0.0F) {
        spbDemand = demand::kNone;
    }
    // Doors open at low speed: the train has made its stop.
    if (f.absSpeed < kSpbDisarmBelowKmh && doorsClosed == 0) {
        disarmSpb(*this);
    }
}

void CVelt::superviseClf(const FrameValues& f) {
    if (clfState == 0) {
        clfDemand = demand::kNone;
        return;
    }
    if (above(f.speed, clfSpeed + kClfDemandMarginKmh)) {
        clfDemand = demand::kService;
        clfState = 2;
    } else if (clfState == 2 && below(f.speed, clfSpeed - kClfReleaseMarginKmh)) {
        clfDemand = demand::kNone;
        clfState = 1;
    }
}

void CVelt::superviseOverspeedCut(const FrameValues& f) {
    if (lineType == 0 && overspeedCut == 0 && f.absSpeed > kOverspeedCutKmh) {
        overspeedCut = 1;
        sndChange = snd::kPlayOnce;
    } else if (overspeedCut != 0 && f.absSpeed < kOverspeedRestoreKmh) {
        overspeedCut = 0;
    }
}

void CVelt::superviseKindBlink(const FrameValues& f) {
    if (kindBlinkUntil > f.time) {
        kindBlink = 1;
        kindBlinkUntil = 0;
        kindBlinkTimer = 0;
    }
    if (kindBlink != 0 && f.absSpeed > kKindBlinkEndKmh) {
        kindBlink = 0;
    }
}

void CVelt::superviseLinkDoorTimeout(const FrameValues& f) {
    if (linkDoorState == 3 && linkDoorTime < f.time) {
        linkDoorState = 0;
        linkDoorTime = 0;
    }
}

void CVelt::mergeDemands() {
    for (const std::int32_t d : {sigDemand, cppDemand, ccpDemand, clfDemand, spbDemand}) {
        if (d > brakeDemand) {
            brakeDemand = d;
        }
    }
}

}  // namespace velt
