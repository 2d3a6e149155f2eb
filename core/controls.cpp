// Driver controls and doors. Like every event handler these act on the
// core's fields at once and take no timed decision: the next frame hands the
// sounds over, and the supervision and the display read what is left here.
#include "core/states.h"
#include "core/velt.h"
#include "core/wrap.h"

namespace velt {

namespace {
constexpr std::int32_t kSelectorFirst = 0;
constexpr std::int32_t kSelectorLast = 8;

// How long the door link shows each step.
constexpr std::int32_t kLinkOpenedShowMs = 500;
constexpr std::int32_t kLinkClosedShowMs = 1000;
}  // namespace

void CVelt::recovery() {
    // Only with the handle at emergency: the driver has taken the brake over.
    // The next frame's supervision demands again whatever still calls for it.
    if (*pBrakeNotch != emergencyNotch) {
        return;
    }
    brakeDemand = Demand::kNone;
    for (Demand CVelt::*const check : kCheckDemands) {
        this->*check = Demand::kNone;
    }
}

void CVelt::buzzer(std::int32_t pressed) {
    if (pressed > 0) {
        buzzerVolume = snd::kLoopFull;
    } else {
        buzzerVolume = snd::kStop;
        sndBuzzerOff = snd::kPlayOnce;
    }
}

// The selector steps only with the brake at full service or beyond, so it
// cannot be moved by accident while running.
void CVelt::pushUp() {
    if (*pBrakeNotch < maxServiceNotch) {
        return;
    }
    // A position below the cycle, left by a negative route code, climbs back
    // into it one step at a time.
    routeSelect = routeSelect == kSelectorLast ? kSelectorFirst : wrapAdd(routeSelect, 1);
}

void CVelt::pushDw() {
    if (*pBrakeNotch < maxServiceNotch) {
        return;
    }
    routeSelect = routeSelect == kSelectorFirst ? kSelectorLast : wrapSub(routeSelect, 1);
}

void CVelt::radioSwitch(std::int32_t mode) { radioMode = mode; }

void CVelt::lampSwitch() {
    lampOn = lampOn == 0 ? 1 : 0;
    sndLamp = snd::kPlayOnce;
}

void CVelt::setBrake(std::int32_t notch) {
    // The driver's brake acknowledges the station-stop reminder; it goes on
    // quietly until the doors open.
    if (sppVolume == snd::kLoopFull && notch > 0) {
        sppVolume = snd::kLoopQuiet;
    }
}

// The host interface has already stored these handles; the core has no use
// for them.
void CVelt::setPower(std::int32_t) {}
void CVelt::setReverser(std::int32_t) {}

void CVelt::doorOpen() {
    const std::int32_t timeMs = *pTime;
    sppActive = 0;
    sppVolume = snd::kStop;
    doorsClosed = 0;
    if (kindBlinkTimer != 0) {
        // The armed delay starts at this opening; the frame turns the stamp
        // into the indication.
        kindBlink = 0;
        kindBlinkUntil = wrapAdd(timeMs, kindBlinkTimer);
        kindBlinkTimer = 0;
    }
    if (linkDoorState == LinkDoorState::kArmed) {
        linkDoorState = LinkDoorState::kDoorsOpened;
        linkDoorTime = wrapAdd(timeMs, kLinkOpenedShowMs);
    }
}

void CVelt::doorClose() {
    doorsClosed = 1;
    if (lineType == 0 || lineType == 1) {
        sndDoorA = snd::kPlayOnce;
    } else {
        sndDoorB = snd::kPlayOnce;
    }
    if (linkDoorState == LinkDoorState::kDoorsOpened) {
        linkDoorState = LinkDoorState::kDoorsClosed;
        linkDoorTime = wrapAdd(*pTime, kLinkClosedShowMs);
    }
}

}  // namespace velt
