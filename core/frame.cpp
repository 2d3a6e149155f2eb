// State record defaults and the frame cycle: the prologue that takes the
// frame's speed and distance, the choice of supervision mode, and the
// epilogue (station-stop blink, bell, start/stop chime, trigger hand-over,
// display).
#include <cmath>
#include <initializer_list>

#include "core/velt.h"

namespace velt {

namespace {
constexpr float kStartSpeedKmh = 5.0F;  // moving above this...
constexpr float kStopSpeedKmh = 3.0F;   // ...and standing again below this
constexpr double kMsPerHour = 3600.0;   // km/h * ms / 3600 = metres
constexpr double kKmhPerMs = 3.6;       // km/h / 3.6 = m/s
constexpr double kWarnSeconds = 5.0;    // approach warnings look this far ahead
constexpr std::int32_t kSppBlinkPeriodMs = 1000;
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

    for (std::int32_t* trigger :
         {&sndRelease,    &sppVolume,    &sndChange,       &sndWarn,    &sndSpbWarn,
          &sndConfirm,    &sndLamp,      &sndBuzzerOff,    &sndSppB,    &sndSppA,
          &sndDoorA,      &sndDoorB,     &sndMotion,       &bellVolume, &buzzerVolume,
          &sndReleaseOut, &sppVolumeOut, &sndChangeOut,    &sndWarnOut, &sndSpbWarnOut,
          &sndConfirmOut, &sndLampOut,   &sndBuzzerOffOut, &sndSppBOut, &sndSppAOut,
          &sndDoorAOut,   &sndDoorBOut,  &sndMotionOut}) {
        *trigger = snd::kStop;
    }
    radioMode = 1;
}

FrameValues CVelt::frameValues() const {
    FrameValues f{};
    f.time = *pTime;
    f.speed = *pSpeed;
    f.absSpeed = std::fabs(f.speed);
    // Computed in double, never in long double: on 32-bit Windows that is the
    // x87 unit, whose precision the host may have lowered, and the native and
    // Windows builds must produce the same float.
    f.frameDistance = static_cast<float>(static_cast<double>(f.absSpeed) / kMsPerHour *
                                         static_cast<double>(*pDeltaTime));
    f.warnMargin = static_cast<double>(f.absSpeed) / kKmhPerMs * kWarnSeconds;
    return f;
}

void CVelt::execute() {
    patternWarn = 0;
    const FrameValues f = frameValues();

    if (veltDefined == 1) {
        superviseVelt(f);
    } else {
        ats1_refresh();
    }

    sppBlink = sppActive != 0 ? (f.time % (2 * kSppBlinkPeriodMs)) / kSppBlinkPeriodMs : 0;
    ringBell();
    chimeStartStop(f.absSpeed);
    handOverTriggers();
    update();
}

void CVelt::ringBell() {
    if (brakeDemand > demand::kNone) {
        bellLatch = brakeDemand;
        bellVolume = snd::kLoopFull;
    } else if (bellLatch != 0) {
        bellLatch = 0;
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
    struct Slot {
        std::int32_t CVelt::*trigger;
        std::int32_t CVelt::*out;
    };
    static constexpr Slot kOneShots[] = {
        {&CVelt::sndRelease, &CVelt::sndReleaseOut},
        {&CVelt::sndChange, &CVelt::sndChangeOut},
        {&CVelt::sndWarn, &CVelt::sndWarnOut},
        {&CVelt::sndSpbWarn, &CVelt::sndSpbWarnOut},
        {&CVelt::sndConfirm, &CVelt::sndConfirmOut},
        {&CVelt::sndLamp, &CVelt::sndLampOut},
        {&CVelt::sndBuzzerOff, &CVelt::sndBuzzerOffOut},
        {&CVelt::sndSppB, &CVelt::sndSppBOut},
        {&CVelt::sndSppA, &CVelt::sndSppAOut},
        {&CVelt::sndDoorA, &CVelt::sndDoorAOut},
        {&CVelt::sndDoorB, &CVelt::sndDoorBOut},
        {&CVelt::sndMotion, &CVelt::sndMotionOut},
    };
    // Unrolled, the member pointers fold into plain field offsets: twelve
    // copies instead of a loop that reads the table every frame.
#pragma GCC unroll 16
    for (const Slot& slot : kOneShots) {
        this->*slot.out = this->*slot.trigger;
        this->*slot.trigger = snd::kContinue;
    }
    sppVolumeOut = sppVolume;
}

}  // namespace velt
