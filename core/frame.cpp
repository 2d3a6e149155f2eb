// State record defaults and the frame cycle: the prologue that takes the
// frame's speed and distance, the choice of supervision mode, and the
// epilogue (station-stop blink, bell, start/stop chime, trigger hand-over,
// display).
#include <cmath>

#include "core/blink.h"
#include "core/supervision.h"
#include "core/velt.h"

namespace velt {

namespace {
constexpr float kStartSpeedKmh = 5.0F;  // moving above this...
constexpr float kStopSpeedKmh = 3.0F;   // ...and standing again below this
}  // namespace

void CVelt::initialize() {
    // Wiring (pointers and notch numbers) and the armed kind-blink delay
    // survive a restart of the run; everything else returns to its default.
    const std::int32_t* const brakeNotchWire = pBrakeNotch;
    const std::int32_t* const timeWire = pTime;
    const float* const speedWire = pSpeed;
    const std::int32_t* const deltaWire = pDeltaTime;
    const std::int32_t emergency = emergencyNotch;
    const std::int32_t maxService = maxServiceNotch;
    const std::int32_t blinkDelay = kindBlinkTimer;

    *this = CVelt{};

    pBrakeNotch = brakeNotchWire;
    pTime = timeWire;
    pSpeed = speedWire;
    pDeltaTime = deltaWire;
    emergencyNotch = emergency;
    maxServiceNotch = maxService;
    kindBlinkTimer = blinkDelay;

    // Every sound starts stopped.
    for (const OneShotTrigger& t : kOneShotTriggers) {
        this->*t.trigger = snd::kStop;
        this->*t.out = snd::kStop;
    }
    sppVolume = snd::kStop;
    sppVolumeOut = snd::kStop;
    bellVolume = snd::kStop;
    buzzerVolume = snd::kStop;
    radioMode = 1;
}

FrameValues CVelt::frameValues() const {
    FrameValues f{};
    f.time = *pTime;
    f.speed = *pSpeed;
    f.absSpeed = std::fabs(f.speed);
    f.frameDistance = frameDistanceMetres(f.absSpeed, *pDeltaTime);
    f.warnMargin = warnMarginMetres(f.absSpeed);
    return f;
}

void CVelt::execute() {
    patternWarn = 0;
    const FrameValues f = frameValues();

    if (veltDefined == 1) {
        superviseVelt(f);
    } else {
        ats1_refresh(f);
    }

    sppBlink = sppActive != 0 ? blinkPhase(f.time, kSlowHalfPeriodMs) : 0;
    ringBell();
    chimeStartStop(f.absSpeed);
    handOverTriggers();
    update(f.time);
}

void CVelt::ringBell() {
    if (brakeDemand > Demand::kNone) {
        bellLatch = brakeDemand;
        bellVolume = snd::kLoopFull;
    } else if (bellLatch != Demand::kNone) {
        bellLatch = Demand::kNone;
        bellVolume = snd::kStop;
        sndRelease = snd::kPlayOnce;
    }
}

void CVelt::chimeStartStop(float absSpeed) {
    if (moving == 0 && absSpeed > kStartSpeedKmh) {
        moving = 1;
        sndMotion = snd::kPlayOnce;
    } else if (moving == 1 && absSpeed < kStopSpeedKmh) {
        moving = 0;
        sndMotion = snd::kPlayOnce;
    }
}

void CVelt::handOverTriggers() {
    // Each one-shot trigger reaches its slot once and then reads "continue",
    // so a trigger set during a frame yields exactly one play-once command.
    // Unrolled, the member pointers fold into plain field offsets: twelve
    // copies instead of a loop that reads the table every frame.
#pragma GCC unroll 16
    for (const OneShotTrigger& t : kOneShotTriggers) {
        this->*t.out = this->*t.trigger;
        this->*t.trigger = snd::kContinue;
    }
    sppVolumeOut = sppVolume;
}

}  // namespace velt
