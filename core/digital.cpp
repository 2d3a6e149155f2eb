// Velt supervision: the body of every frame inside a Velt section. Each
// check keeps its own brake demand; the last stage merges them into the one
// demand the host interface applies.
#include <cmath>

#include "core/supervision.h"
#include "core/velt.h"

namespace velt {

namespace {

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

// One frame of a CPP or CCP curve ahead of its target. The pattern warns
// once the curve comes within five seconds of the distance (if it may warn
// at this speed); once the curve reaches the distance the pattern brakes,
// and its warning is withdrawn in that same frame. Returns whether the curve
// reached the distance.
bool curveReaches(CVelt& v, float curve, float distance, double warnMargin, bool mayWarn) {
    if (mayWarn && warnsWithin(curve, warnMargin, distance)) {
        v.patternWarn = 1;
    }
    if (curve >= distance) {
        v.patternWarn = 0;
        return true;
    }
    return false;
}

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
    brakeDemand = Demand::kNone;
    sigDemand = Demand::kNone;
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
            sigDemand = f.absSpeed > 0.0F ? Demand::kEmergency : Demand::kNone;
            break;
        case SignalCheck::kSpeed:
            sigDemand = f.absSpeed > check.kmh ? Demand::kService : Demand::kNone;
            break;
        case SignalCheck::kNone: break;
    }
}

void CVelt::overrideSignalOnLineType0(const FrameValues& f) {
    if (overridesSignalOnLineType0(lineType, cppActive, signalIndex, cppSignal)) {
        sigDemand = f.absSpeed > kLineType0OverrideKmh ? Demand::kService : Demand::kNone;
    }
}

void CVelt::superviseCpp(const FrameValues& f) {
    if (isCppStopCase(cppActive, signalIndex, cppSignal)) {
        superviseCppStop(f);
    } else if (isCpp49Case(cppActive, lineType, signalIndex, cppSignal)) {
        superviseCpp49(f);
    } else {
        // The pattern does not fit the aspect in force: it neither brakes nor
        // keeps a requested stop phase.
        cppDemand = Demand::kNone;
        cppPhase = CppPhase::kDistance;
    }
}

void CVelt::superviseCppStop(const FrameValues& f) {
    if (cppPhase == CppPhase::kStopRequested && f.absSpeed < kCppStopPhaseEntryKmh) {
        cppPhase = CppPhase::kStopPhase;
        if (lineType == 2) {
            sndChange = snd::kPlayOnce;
        }
        return;
    }
    if (cppPhase == CppPhase::kStopPhase) {
        // Creeping up to the signal: only a limit of 9.5 km/h, held to a stop.
        if (f.absSpeed > kCppStopPhaseLimitKmh) {
            cppDemand = Demand::kEmergency;
        } else if (f.absSpeed == 0.0F) {
            cppDemand = Demand::kNone;
        }
        return;
    }

    countDown(cppDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(cppDistance)) {
        const float stopCurve = brakingCurve(f.absSpeed, kStopCurveK);
        if (curveReaches(*this, stopCurve, cppDistance, f.warnMargin,
                         f.absSpeed > kCppWarnMinimumKmh)) {
            cppDemand = Demand::kEmergency;
        } else if (f.absSpeed == 0.0F) {
            cppDemand = Demand::kNone;
        }
    } else if (f.speed > 0.0F) {
        cppDemand = Demand::kEmergency;
        patternWarn = 0;
    } else {
        cppDemand = Demand::kNone;
    }
    chimeIfWarningBegan(*this, warnBefore);
}

void CVelt::superviseCpp49(const FrameValues& f) {
    countDown(cppDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(cppDistance)) {
        const float curve49 = brakingCurve(f.absSpeed, k49CurveK);
        const float curve42 = brakingCurve(f.absSpeed, k42CurveK);
        if (curveReaches(*this, curve49, cppDistance, f.warnMargin, f.absSpeed > kCpp49Kmh)) {
            cppDemand = Demand::kService;
        } else if (cppDistance > curve42) {
            cppDemand = Demand::kNone;
        }
        chimeIfWarningBegan(*this, warnBefore);
        return;
    }
    if (f.absSpeed > kCpp49Kmh) {
        cppDemand = Demand::kService;
        patternWarn = 0;
    } else if (f.absSpeed < kCpp49ReleaseKmh) {
        cppDemand = Demand::kNone;
    }
}

void CVelt::superviseCcp(const FrameValues& f) {
    if (ccpActive == 0) {
        ccpDemand = Demand::kNone;
        return;
    }
    // On line category 0 a restriction overrun brakes to a stop.
    const Demand level = lineType == 0 ? Demand::kEmergency : Demand::kService;
    const std::int32_t demandAboveKmh = ccpSpeed + kCcpDemandMarginKmh;

    countDown(ccpDistance, f.frameDistance);
    const std::int32_t warnBefore = patternWarn;
    if (aheadOfTarget(ccpDistance)) {
        const float upperCurve = brakingCurve(f.absSpeed, squared(demandAboveKmh));
        const float lowerCurve = brakingCurve(f.absSpeed, squared(ccpSpeed - kCcpReleaseMarginKmh));
        if (curveReaches(*this, upperCurve, ccpDistance, f.warnMargin,
                         above(f.absSpeed, demandAboveKmh))) {
            ccpDemand = level;
        } else if (ccpDistance > lowerCurve && lineType != 0) {
            ccpDemand = Demand::kNone;
        }
    } else if (above(f.speed, demandAboveKmh)) {
        ccpDemand = level;
    } else if (lineType != 0 || f.absSpeed == 0.0F) {
        ccpDemand = Demand::kNone;
    }
    chimeIfWarningBegan(*this, warnBefore);
}

void CVelt::superviseSpb(const FrameValues& f) {
    if (spbActive == 0) {
        spbDemand = Demand::kNone;
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
        spbDemand = spbKind == 1 ? Demand::kEmergency : Demand::kService;
    } else if ((spbKind == 0 && spbDistance > releaseCurve) || f.absSpeed == 0.0F) {
        spbDemand = Demand::kNone;
    }
    // Doors open at low speed: the train has made its stop.
    if (f.absSpeed < kSpbDisarmBelowKmh && doorsClosed == 0) {
        disarmSpb(*this);
    }
}

void CVelt::superviseClf(const FrameValues& f) {
    if (clfState == ClfState::kOff) {
        clfDemand = Demand::kNone;
        return;
    }
    if (above(f.speed, clfSpeed + kClfDemandMarginKmh)) {
        clfDemand = Demand::kService;
        clfState = ClfState::kOverLimit;
    } else if (clfState == ClfState::kOverLimit &&
               below(f.speed, clfSpeed - kClfReleaseMarginKmh)) {
        clfDemand = Demand::kNone;
        clfState = ClfState::kArmed;
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
    if (linkDoorState == LinkDoorState::kDoorsClosed && linkDoorTime < f.time) {
        linkDoorState = LinkDoorState::kIdle;
        linkDoorTime = 0;
    }
}

void CVelt::mergeDemands() {
    for (Demand CVelt::*const check : kCheckDemands) {
        if (this->*check > brakeDemand) {
            brakeDemand = this->*check;
        }
    }
}

}  // namespace velt
