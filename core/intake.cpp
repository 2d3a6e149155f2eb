// Beacon and signal intake of the Velt side. These handlers only store what a
// beacon or a signal report carries, decoded, and set chimes; the frame
// decides what to do with it.
#include "core/beacons.h"
#include "core/supervision.h"
#include "core/velt.h"

namespace velt {

void CVelt::velt_define(std::int32_t optional) {
    const std::int32_t before = veltDefined;
    veltDefined = optional > 0 ? 1 : 0;
    if (veltDefined != before) {
        // A legacy request made on one side of the section boundary must not
        // take hold on the other.
        ats1Pending = LegacyState::kNormal;
        if (chimesOnChange(lineType)) {
            sndChange = snd::kPlayOnce;
        }
    }
}

void CVelt::velt_receive(std::int32_t signal) {
    const std::int32_t aspect = normaliseAspect(signal);
    if (aspect != signalIndex && veltDefined == 1 && chimesOnChange(lineType)) {
        sndChange = snd::kPlayOnce;
    }
    signalIndex = aspect;
    // Every report, a repeated one too, disarms the CPP pattern: the beacon
    // that armed it belonged to the aspect just replaced.
    cppActive = 0;
    cppDemand = Demand::kNone;
}

void CVelt::PassedCPP(std::int32_t optional, std::int32_t signal) {
    const std::int32_t wasActive = cppActive;
    cppActive = 1;
    cppDistance = static_cast<float>(packedMetres(optional));
    cppSignal = signal;
    cppPhase = cppPhaseOf(optional);
    // Arming the stop case inside a section changes what the driver must do.
    if (wasActive == 0 && isCppStopCase(cppActive, signalIndex, cppSignal) && veltDefined == 1 &&
        chimesOnChange(lineType)) {
        sndChange = snd::kPlayOnce;
    }
}

void CVelt::PassedCCP(std::int32_t optional) {
    if (optional <= 0) {
        ccpActive = 0;
        return;
    }
    ccpActive = 1;
    ccpSpeed = packedValue(optional) * kSpeedStepKmh;
    ccpDistance = static_cast<float>(packedMetres(optional));
}

void CVelt::PassedCLF(std::int32_t optional) {
    const ClfState before = clfState;
    if (armsClf(optional)) {
        clfState = ClfState::kArmed;
        clfSpeed = optional * kSpeedStepKmh;
    } else {
        clfState = ClfState::kOff;
    }
    if (clfState != before && chimesOnChange(lineType)) {
        sndChange = snd::kPlayOnce;
    }
}

void CVelt::PassedSPB(std::int32_t optional) {
    if (!passedMovingForward(*pSpeed) || !takesSpbBeacon(lineType)) {
        return;
    }
    spbActive = 1;
    spbDistance = static_cast<float>(packedMetres(optional));
    // Only line category 0 knows SPB kinds.
    spbKind = lineType == 0 ? packedValue(optional) : 0;
}

void CVelt::SPP(std::int32_t optional) {
    if (!passedMovingForward(*pSpeed)) {
        return;
    }
    if (optional == 1 && (lineType == 1 || lineType == 2)) {
        sppActive = 1;
        sppVolume = *pBrakeNotch > 0 ? snd::kLoopQuiet : snd::kLoopFull;
    } else if (lineType == 0 || lineType == 1) {
        sndSppA = snd::kPlayOnce;
    } else {
        sndSppB = snd::kPlayOnce;
    }
}

void CVelt::setRoute(std::int32_t code) {
    lineType = lineTypeOfRoute(code);
    routeSelect = selectorOfRoute(code);
    if (isFixedRoute(code)) {
        routeFlag = 1;
    }
}

void CVelt::setLinkFormdoor(std::int32_t optional) {
    linkDoorState = optional > 0 ? LinkDoorState::kArmed : LinkDoorState::kIdle;
}

void CVelt::SetKindBlinkTimer(std::int32_t optional) {
    if (optional > 0) {
        kindBlinkTimer = optional;
        return;
    }
    kindBlink = 0;
    kindBlinkUntil = 0;
    kindBlinkTimer = 0;
}

}  // namespace velt
