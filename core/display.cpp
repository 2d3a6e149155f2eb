// The cab's protection display: four codes (mode, limit, target, aux) that
// the host maps to images. update() rewrites all four from the state the
// frame left and the host's time, so blinking needs no timer: a blinking code
// is chosen between itself and 0 by a phase of the time.
#include "core/velt.h"
#include "core/wrap.h"

namespace velt {

namespace {

constexpr std::int32_t kNothing = 0;  // the code of an element with nothing to show

// Velt display codes.
constexpr std::int32_t kModeLegacyLine0 = 1;
constexpr std::int32_t kModeLegacyOther = 2;
constexpr std::int32_t kModeVelt = 3;
constexpr std::int32_t kLimitOverspeedCut = 1;
constexpr std::int32_t kLimitStopPhase = 2;
constexpr std::int32_t kTargetStop = 1;
constexpr std::int32_t kLimitCppOnLine0 = 27;
constexpr std::int32_t kRestriction = 28;
constexpr std::int32_t kTargetDoorOrStopBraking = 29;
constexpr std::int32_t kAuxWarnLine0 = 8;
constexpr std::int32_t kAuxWarnOther = 9;
constexpr std::int32_t kAuxSpb = 10;
constexpr std::int32_t kAuxSpbKind1 = 11;
constexpr std::int32_t kAuxSelectorBase = 14;

// Signal indices that the tables cover. 6 is never stored (it arrives as 5);
// should it appear anyway it is shown as the stop aspect the supervision
// brakes it as, and so is every index outside the tables.
constexpr std::int32_t kSignalIndices = 9;
constexpr bool isShownAspect(std::int32_t index) {
    return index >= 1 && index < kSignalIndices && index != 6;
}
constexpr std::int32_t shownAspect(std::int32_t index) { return isShownAspect(index) ? index : 0; }

// Speed of each signal aspect; it serves only to choose which restriction the
// display shows, never to brake.
constexpr std::int32_t kSignalLimitsKmh[kSignalIndices] = {0, 25, 45, 75, 105, 120, 0, 130, 160};

// Display code of each signal aspect, one row per line category 0, 1 and 2.
// Index 0 (stop) has a rule of its own; line category 2 shows nothing above
// index 2.
constexpr std::int32_t kSignalCodeRows = 3;
constexpr std::int32_t kSignalCodes[kSignalCodeRows][kSignalIndices] = {
    {0, 5, 9, 15, 20, 24, 0, 25, 26},
    {0, 5, 9, 14, 14, 14, 0, 14, 14},
    {0, 5, 9, 0, 0, 0, 0, 0, 0},
};

// Which restriction the Velt display shows.
enum class LimitSource { OverspeedCut, StopPhase, Signal, Ccp, Clf };

// Time phases: 0 in the first half of each period, non-zero in the second.
constexpr std::int32_t kSlowHalfMs = 1000;
constexpr std::int32_t kBlinkHalfMs = 500;
constexpr std::int32_t kFastHalfMs = 250;
constexpr std::int32_t phaseOf(std::int32_t timeMs, std::int32_t halfPeriodMs) {
    return (timeMs % (2 * halfPeriodMs)) / halfPeriodMs;
}

struct Phases {
    std::int32_t slow;
    std::int32_t blink;
    std::int32_t fast;
};

constexpr Phases phasesAt(std::int32_t timeMs) {
    return {phaseOf(timeMs, kSlowHalfMs), phaseOf(timeMs, kBlinkHalfMs),
            phaseOf(timeMs, kFastHalfMs)};
}

constexpr std::int32_t blinking(std::int32_t code, std::int32_t phase) {
    return phase != 0 ? code : kNothing;
}

// code * phase for a phase of -1, 0 or 1 (negative only for a negative
// time), wrapping as a 32-bit host would instead of overflowing.
constexpr std::int32_t multipliedByPhase(std::int32_t code, std::int32_t phase) {
    if (phase == 0) {
        return kNothing;
    }
    return phase > 0 ? code : wrapSub(0, code);
}

// Speed codes count in 5 km/h steps, except that 130 to 134 km/h share the
// 125 km/h image: the display has no image of its own for 130.
constexpr std::int32_t kSpeedStepKmh = 5;
constexpr std::int32_t speedCode(std::int32_t speedKmh) {
    if (speedKmh >= 130 && speedKmh <= 134) {
        return 25;
    }
    return speedKmh / kSpeedStepKmh;
}

// Legacy ATS state as the aux element shows it, without and with a brake
// demand.
constexpr std::int32_t legacyAux(std::int32_t ats1State, std::int32_t lineType, bool braking) {
    switch (ats1State) {
        case 0: return lineType == 1 ? (braking ? 7 : 6) : kNothing;
        case 1:
        case 2: return braking ? 3 : 2;
        case 3: return braking ? 5 : 4;
        default: return kNothing;
    }
}

// The four codes being composed. The steps read the core only through a
// const reference: the display writes nothing but its own four fields.
struct Display {
    std::int32_t mode;
    std::int32_t limit;
    std::int32_t target;
    std::int32_t aux;
};

// In the CPP stop case the train runs to a stop target, so the code of the
// restriction in force moves from the limit element to the target element.
bool isCppStopCase(const CVelt& v) {
    const std::int32_t index = shownAspect(v.signalIndex);
    return v.cppActive != 0 && (index == 1 || index == 2) && v.cppSignal == 0;
}

void showOnLimitOrTarget(Display& d, bool onTarget, std::int32_t code) {
    if (onTarget) {
        d.target = code;
    } else {
        d.limit = code;
    }
}

// Door link: while the linked doors open and close, the target element shows
// the door sequence instead of any restriction. Returns whether it did.
bool showDoorLink(const CVelt& v, std::int32_t timeMs, Display& d) {
    if (v.linkDoorState == 2) {
        d.target = timeMs < v.linkDoorTime ? kTargetDoorOrStopBraking : kTargetStop;
        return true;
    }
    if (v.linkDoorState == 3) {
        d.target = kTargetStop;
        return true;
    }
    return false;
}

// The restriction with the lowest speed wins; at equal speeds the earlier one
// (signal before CLF before CCP) stays shown.
LimitSource chooseLimitSource(const CVelt& v) {
    if (v.overspeedCut == 1) {
        return LimitSource::OverspeedCut;
    }
    if (v.cppPhase > 1) {
        return LimitSource::StopPhase;
    }
    LimitSource source = LimitSource::Signal;
    std::int32_t limitSpeedKmh = kSignalLimitsKmh[shownAspect(v.signalIndex)];
    if (v.clfState != 0 && v.clfSpeed < limitSpeedKmh) {
        source = LimitSource::Clf;
        limitSpeedKmh = v.clfSpeed;
    }
    if (v.ccpActive != 0 && v.ccpSpeed < limitSpeedKmh) {
        source = LimitSource::Ccp;
    }
    return source;
}

void showStopPhase(const CVelt& v, Display& d) {
    if (v.brakeDemand == demand::kNone) {
        d.limit = kLimitStopPhase;
    } else {
        d.target = kTargetDoorOrStopBraking;
    }
}

void showSignal(const CVelt& v, Display& d) {
    const std::int32_t index = shownAspect(v.signalIndex);
    if (v.lineType == 2 && index > 2) {
        return;
    }
    if (index == 0) {
        d.target = kTargetStop;
        return;
    }
    if (v.lineType < 0 || v.lineType >= kSignalCodeRows) {
        return;
    }
    std::int32_t code = kSignalCodes[v.lineType][index];
    if (v.lineType == 0 && index > 2 && v.cppActive != 0 && v.cppSignal <= 2) {
        code = kLimitCppOnLine0;
    }
    showOnLimitOrTarget(d, isCppStopCase(v), code);
}

void showCcp(const CVelt& v, const Phases& p, Display& d) {
    if (v.lineType == 0) {
        // Without a fixed route the target alternates between the restriction
        // sign and its speed, one second each.
        d.target = (v.routeFlag == 1 || p.slow == 0) ? kRestriction : speedCode(v.ccpSpeed);
    } else if (v.lineType == 1) {
        d.limit = kRestriction;
    }
}

void showClf(const CVelt& v, Display& d) {
    if (v.lineType == 0) {
        showOnLimitOrTarget(d, isCppStopCase(v), speedCode(v.clfSpeed));
    } else if (v.lineType == 1) {
        d.limit = kRestriction;
    }
}

void showLimitSource(const CVelt& v, LimitSource source, const Phases& p, Display& d) {
    switch (source) {
        case LimitSource::OverspeedCut: d.limit = blinking(kLimitOverspeedCut, p.fast); break;
        case LimitSource::StopPhase: showStopPhase(v, d); break;
        case LimitSource::Signal: showSignal(v, d); break;
        case LimitSource::Ccp: showCcp(v, p, d); break;
        case LimitSource::Clf: showClf(v, d); break;
    }
}

// A pattern warning under a brake demand is not shown: the bell already says
// more than the warning could.
void showPatternWarning(const CVelt& v, const Phases& p, Display& d) {
    if (v.patternWarn == 0 || v.brakeDemand != demand::kNone) {
        return;
    }
    if (v.lineType == 0) {
        d.aux = blinking(kAuxWarnLine0, v.routeFlag == 1 ? p.fast : p.blink);
    } else {
        d.aux = blinking(kAuxWarnOther, p.blink);
    }
}

void showSpb(const CVelt& v, const Phases& p, Display& d) {
    if (v.spbActive == 0) {
        return;
    }
    if (v.lineType == 0) {
        if (v.patternWarn != 0) {
            d.aux = blinking(kAuxWarnLine0, p.blink);
            return;
        }
        const std::int32_t code = v.spbKind == 1 ? kAuxSpbKind1 : kAuxSpb;
        d.aux = v.spbWarn == 1 ? blinking(code, p.blink) : code;
    } else if (v.lineType == 2 && v.spbWarn == 1) {
        d.aux = blinking(kAuxWarnOther, p.blink);
    }
}

// Selector positions 0 to 8 show as codes 14 to 22. The kind-blink flashes
// the code by multiplying it with the fast phase.
void showRouteSelector(const CVelt& v, const Phases& p, Display& d) {
    if (v.lineType != 0 || v.patternWarn != 0 || v.spbActive != 0 || v.routeFlag != 0) {
        return;
    }
    const std::int32_t code = wrapAdd(v.routeSelect, kAuxSelectorBase);
    d.aux = v.kindBlink != 0 ? multipliedByPhase(code, p.fast) : code;
}

void showVelt(const CVelt& v, std::int32_t timeMs, const Phases& p, Display& d) {
    d.mode = kModeVelt;
    if (!showDoorLink(v, timeMs, d)) {
        showLimitSource(v, chooseLimitSource(v), p, d);
    }
    showPatternWarning(v, p, d);
    showSpb(v, p, d);
    showRouteSelector(v, p, d);
}

void showLegacy(const CVelt& v, Display& d) {
    d.mode = v.lineType == 0 ? kModeLegacyLine0 : kModeLegacyOther;
    d.aux = legacyAux(v.ats1State, v.lineType, v.brakeDemand != demand::kNone);
}

}  // namespace

void CVelt::update() {
    const std::int32_t timeMs = *pTime;
    const Phases phases = phasesAt(timeMs);
    Display d{kNothing, kNothing, kNothing, kNothing};
    if (veltDefined == 1) {
        showVelt(*this, timeMs, phases, d);
    } else {
        showLegacy(*this, d);
    }
    dispMode = d.mode;
    dispLimit = d.limit;
    dispTarget = d.target;
    dispAux = d.aux;
}

}  // namespace velt
