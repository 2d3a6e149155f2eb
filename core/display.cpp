// The cab's protection display: four codes (mode, limit, target, aux) that
// the host maps to images. update() rewrites all four from the state the
// frame left and the frame's time, so blinking needs no timer: a blinking
// code is chosen between itself and 0 by a phase of the time, taken where a
// code blinks.
#include "core/blink.h"
#include "core/display_codes.h"
#include "core/supervision.h"
#include "core/velt.h"
#include "core/wrap.h"

namespace velt {

namespace {

using namespace display;

// Which restriction the Velt display shows.
enum class LimitSource { OverspeedCut, StopPhase, Signal, Ccp, Clf };

// code * phase for a phase of -1, 0 or 1 (negative only for a negative
// time), wrapping as a 32-bit host would instead of overflowing.
constexpr std::int32_t multipliedByPhase(std::int32_t code, std::int32_t phase) {
    if (phase == 0) {
        return kNothing;
    }
    return phase > 0 ? code : wrapSub(0, code);
}

// The four codes being composed. The steps read the core only through a
// const reference: the display writes nothing but its own four fields.
using Display = DisplayCodes;

// In the CPP stop case the train runs to a stop target, so the code of the
// restriction in force moves from the limit element to the target element.
bool showsOnTarget(const CVelt& v) {
    return isCppStopCase(v.cppActive, v.signalIndex, v.cppSignal);
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
    if (v.linkDoorState == LinkDoorState::kDoorsOpened) {
        d.target = timeMs < v.linkDoorTime ? kTargetDoorOrStopBraking : kTargetStop;
        return true;
    }
    if (v.linkDoorState == LinkDoorState::kDoorsClosed) {
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
    if (v.cppPhase == CppPhase::kStopPhase) {
        return LimitSource::StopPhase;
    }
    LimitSource source = LimitSource::Signal;
    std::int32_t limitSpeedKmh = kSignalLimitsKmh[shownAspect(v.signalIndex)];
    if (v.clfState != ClfState::kOff && v.clfSpeed < limitSpeedKmh) {
        source = LimitSource::Clf;
        limitSpeedKmh = v.clfSpeed;
    }
    if (v.ccpActive != 0 && v.ccpSpeed < limitSpeedKmh) {
        source = LimitSource::Ccp;
    }
    return source;
}

void showStopPhase(const CVelt& v, Display& d) {
    if (v.brakeDemand == Demand::kNone) {
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
    showOnLimitOrTarget(d, showsOnTarget(v), code);
}

void showCcp(const CVelt& v, std::int32_t timeMs, Display& d) {
    if (v.lineType == 0) {
        // Without a fixed route the target alternates between the restriction
        // sign and its speed, one second each.
        d.target = (v.routeFlag == 1 || blinkPhase(timeMs, kSlowHalfPeriodMs) == 0)
                       ? kRestriction
                       : speedCode(v.ccpSpeed);
    } else if (v.lineType == 1) {
        d.limit = kRestriction;
    }
}

void showClf(const CVelt& v, Display& d) {
    if (v.lineType == 0) {
        showOnLimitOrTarget(d, showsOnTarget(v), speedCode(v.clfSpeed));
    } else if (v.lineType == 1) {
        d.limit = kRestriction;
    }
}

void showLimitSource(const CVelt& v, LimitSource source, std::int32_t timeMs, Display& d) {
    switch (source) {
        case LimitSource::OverspeedCut:
            d.limit = blinking(kLimitOverspeedCut, blinkPhase(timeMs, kFastHalfPeriodMs));
            break;
        case LimitSource::StopPhase: showStopPhase(v, d); break;
        case LimitSource::Signal: showSignal(v, d); break;
        case LimitSource::Ccp: showCcp(v, timeMs, d); break;
        case LimitSource::Clf: showClf(v, d); break;
    }
}

// A pattern warning under a brake demand is not shown: the bell already says
// more than the warning could.
void showPatternWarning(const CVelt& v, std::int32_t timeMs, Display& d) {
    if (v.patternWarn == 0 || v.brakeDemand != Demand::kNone) {
        return;
    }
    if (v.lineType == 0) {
        const std::int32_t halfPeriodMs = v.routeFlag == 1 ? kFastHalfPeriodMs : kBlinkHalfPeriodMs;
        d.aux = blinking(kAuxWarnLine0, blinkPhase(timeMs, halfPeriodMs));
    } else {
        d.aux = blinking(kAuxWarnOther, blinkPhase(timeMs, kBlinkHalfPeriodMs));
    }
}

void showSpb(const CVelt& v, std::int32_t timeMs, Display& d) {
    if (v.spbActive == 0) {
        return;
    }
    const std::int32_t phase = blinkPhase(timeMs, kBlinkHalfPeriodMs);
    if (v.lineType == 0) {
        if (v.patternWarn != 0) {
            d.aux = blinking(kAuxWarnLine0, phase);
            return;
        }
        const std::int32_t code = v.spbKind == 1 ? kAuxSpbKind1 : kAuxSpb;
        d.aux = v.spbWarn == 1 ? blinking(code, phase) : code;
    } else if (v.lineType == 2 && v.spbWarn == 1) {
        d.aux = blinking(kAuxWarnOther, phase);
    }
}

// Selector positions 0 to 8 show as codes 14 to 22. The kind-blink flashes
// the code by multiplying it with the fast phase.
void showRouteSelector(const CVelt& v, std::int32_t timeMs, Display& d) {
    if (v.lineType != 0 || v.patternWarn != 0 || v.spbActive != 0 || v.routeFlag != 0) {
        return;
    }
    const std::int32_t code = wrapAdd(v.routeSelect, kAuxSelectorBase);
    d.aux =
        v.kindBlink != 0 ? multipliedByPhase(code, blinkPhase(timeMs, kFastHalfPeriodMs)) : code;
}

void showVelt(const CVelt& v, std::int32_t timeMs, Display& d) {
    d.mode = kModeVelt;
    if (!showDoorLink(v, timeMs, d)) {
        showLimitSource(v, chooseLimitSource(v), timeMs, d);
    }
    showPatternWarning(v, timeMs, d);
    showSpb(v, timeMs, d);
    showRouteSelector(v, timeMs, d);
}

void showLegacy(const CVelt& v, Display& d) {
    d.mode = v.lineType == 0 ? kModeLegacyLine0 : kModeLegacyOther;
    d.aux = legacyAux(v.ats1State, v.lineType, v.brakeDemand != Demand::kNone);
}

}  // namespace

DisplayCodes CVelt::displayAt(std::int32_t timeMs) const {
    Display d{kNothing, kNothing, kNothing, kNothing};
    if (veltDefined == 1) {
        showVelt(*this, timeMs, d);
    } else {
        showLegacy(*this, d);
    }
    return d;
}

void CVelt::update(std::int32_t timeMs) {
    const DisplayCodes d = displayAt(timeMs);
    dispMode = d.mode;
    dispLimit = d.limit;
    dispTarget = d.target;
    dispAux = d.aux;
}

}  // namespace velt
