// Beacon and signal intake of the Velt side. These handlers only store what a
// beacon or a signal report carries, decoded, and set chimes; the frame
// decides what to do with it.
#include "core/velt.h"

namespace velt {

namespace {
// Beacons pack two decimal fields into optional: metres in the low four
// digits, a speed code, kind or flag above. C++ division truncates toward
// zero, which is the packing's rule for negative values too.
constexpr std::int32_t kPackBase = 10000;
constexpr std::int32_t packedMetres(std::int32_t optional) { return optional % kPackBase; }
constexpr std::int32_t packedValue(std::int32_t optional) { return optional / kPackBase; }

constexpr std::int32_t kSpeedStepKmh = 5;  // speed codes count in 5 km/h steps
constexpr std::int32_t kClfLowestCode = 3;
constexpr std::int32_t kClfHighestCode = 31;

// Aspect 6 is shown and supervised as aspect 5.
constexpr std::int32_t normaliseAspect(std::int32_t aspect) { return aspect == 6 ? 5 : aspect; }

// The supervision-change chime belongs to line category 2 only.
constexpr bool chimesOnChange(std::int32_t lineType) { return lineType == 2; }
}  // namespace

void CVelt::velt_define(std::int32_t optional) {
    const std::int32_t before = veltDefined;
    veltDefined = optional > 0 ? 1 : 0;
    if (veltDefined != before) {
        // A legacy request made on one side of the section boundary must not
        // take hold on the other.
        ats1Pending = 0;
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
    cppDemand = demand::kNone;
}

void CVelt::PassedCPP(std::int32_t optional, std::int32_t signal) {
    const std::int32_t wasActive = cppActive;
    cppActive = 1;
    cppDistance = static_cast<float>(packedMetres(optional));
    cppSignal = signal;
    cppPhase = optional > kPackBase ? 1 : 0;
    if (wasActive == 0 && (signalIndex == 1 || signalIndex == 2) && signal == 0 &&
        veltDefined == 1 && chimesOnChange(lineType)) {
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
    const std::int32_t before = clfState;
    if (optional >= kClfLowestCode && optional <= kClfHighestCode) {
        clfState = 1;
        clfSpeed = optional * kSpeedStepKmh;
    } else {
        clfState = 0;
    }
    if (clfState != before && chimesOnChange(lineType)) {
        sndChange = snd::kPlayOnce;
    }
}

void CVelt::PassedSPB(std::int32_t optional) {
    // A beacon passed standing or backwards is not the train's approach.
    if (!(*pSpeed > 0.0F)) {
        return;
    }
    if (lineType == 0) {
        spbActive = 1;
        spbDistance = static_cast<float>(packedMetres(optional));
        spbKind = packedValue(optional);
    } else if (lineType == 2) {
        spbActive = 1;
        spbDistance = static_cast<float>(packedMetres(optional));
        spbKind = 0;
    }
}

void CVelt::SPP(std::int32_t optional) {
    if (!(*pSpeed > 0.0F)) {
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
    lineType = (code % 1000) / 100;
    routeSelect = code % 9;
    if (code > 999) {
        routeFlag = 1;
    }
}

void CVelt::setLinkFormdoor(std::int32_t optional) { linkDoorState = optional > 0 ? 1 : 0; }

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
