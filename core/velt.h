// CVelt: the protection core. One object, a static of the library, holds all
// supervision state. Event operations (beacons, signals, keys, handles, doors)
// only store state and set sound triggers; every timed decision is taken in
// execute(), once per frame, from the host's time.
//
// The object is a plain record: no constructor, so a static instance is all
// zero until initialize() sets the defaults, exactly as a freshly loaded
// library holds it.
#pragma once

#include <cstdint>

namespace velt {

// Sound commands as the host's sound array takes them.
namespace snd {
inline constexpr int kStop = -10000;      // stop the sound
inline constexpr int kLoopFull = 0;       // loop at full volume
inline constexpr int kLoopQuiet = -1200;  // loop at reduced volume
inline constexpr int kPlayOnce = 1;       // play once
inline constexpr int kContinue = 2;       // leave the sound as it is
}  // namespace snd

// Brake demands, merged into brakeDemand and applied by the host interface.
namespace demand {
inline constexpr int kNone = 0;
inline constexpr int kService = 1;
inline constexpr int kEmergency = 2;
}  // namespace demand

// Values of one frame, computed once at the start of execute() and shared by
// the supervision stages.
struct FrameValues {
    std::int32_t time;    // host time, ms
    float speed;          // signed speed, km/h
    float absSpeed;       // |speed|, km/h
    float frameDistance;  // metres run in this frame
    double warnMargin;    // metres run in five seconds at absSpeed
};

class CVelt {
public:
    // ---- State record. The declaration order is part of the design: it is
    // the layout other tools inspect, so fields are not regrouped.
    std::int32_t ats1State;
    std::int32_t ats1Pending;
    std::int32_t ats1PendingTime;
    std::int32_t signalIndex;
    std::int32_t bellLatch;
    std::int32_t cppActive;
    std::int32_t cppSignal;
    float cppDistance;
    std::int32_t cppPhase;
    std::int32_t patternWarn;
    std::int32_t ccpActive;
    std::int32_t ccpSpeed;
    float ccpDistance;
    std::int32_t clfState;
    std::int32_t clfSpeed;
    std::int32_t spsWindowEnd;
    std::int32_t spsTripped;
    std::int32_t spbActive;
    float spbDistance;
    std::int32_t spbWarn;
    std::int32_t spbKind;
    std::int32_t kindBlink;
    std::int32_t kindBlinkUntil;
    std::int32_t kindBlinkTimer;
    std::int32_t sppActive;
    std::int32_t doorsClosed;
    // One-shot sound triggers (sppVolume is a loop command with an output slot).
    std::int32_t sndRelease;
    std::int32_t sppVolume;
    std::int32_t sndChange;
    std::int32_t sndWarn;
    std::int32_t sndSpbWarn;
    std::int32_t sndConfirm;
    std::int32_t sndLamp;
    std::int32_t sndBuzzerOff;
    std::int32_t sndSppB;
    std::int32_t sndSppA;
    std::int32_t sndDoorA;
    std::int32_t sndDoorB;
    std::int32_t sndMotion;
    // Demand of each Velt check.
    std::int32_t sigDemand;
    std::int32_t cppDemand;
    std::int32_t ccpDemand;
    std::int32_t clfDemand;
    std::int32_t spbDemand;
    std::int32_t routeFlag;
    std::int32_t linkDoorState;
    std::int32_t linkDoorTime;
    // Wiring into the vehicle cache, set once when the library is attached.
    const std::int32_t* pBrakeNotch;
    const std::int32_t* pTime;
    const float* pSpeed;
    const std::int32_t* pDeltaTime;
    std::int32_t emergencyNotch;
    std::int32_t maxServiceNotch;
    std::int32_t brakeDemand;
    std::int32_t veltDefined;
    std::int32_t lineType;
    std::int32_t overspeedCut;
    std::int32_t sppBlink;
    std::int32_t routeSelect;
    std::int32_t ats1LampNormal;
    std::int32_t ats1LampCheck;
    std::int32_t ats1LampAlarm;
    std::int32_t dispMode;
    std::int32_t dispLimit;
    std::int32_t dispTarget;
    std::int32_t dispAux;
    std::int32_t bellVolume;
    // Frame output slots of the triggers, handed to the host by Elapse.
    std::int32_t sndReleaseOut;
    std::int32_t sppVolumeOut;
    std::int32_t sndChangeOut;
    std::int32_t sndWarnOut;
    std::int32_t sndSpbWarnOut;
    std::int32_t sndConfirmOut;
    std::int32_t sndLampOut;
    std::int32_t radioMode;
    std::int32_t buzzerVolume;
    std::int32_t sndBuzzerOffOut;
    std::int32_t sndSppBOut;
    std::int32_t sndSppAOut;
    std::int32_t sndDoorAOut;
    std::int32_t sndDoorBOut;
    std::int32_t moving;
    std::int32_t sndMotionOut;
    std::int32_t lampOn;

    // ---- State and frame cycle (frame.cpp)
    void initialize();
    void execute();

    // ---- Beacon and signal intake (intake.cpp)
    void velt_define(std::int32_t optional);
    void velt_receive(std::int32_t signal);
    void PassedCPP(std::int32_t optional, std::int32_t signal);
    void PassedCCP(std::int32_t optional);
    void PassedCLF(std::int32_t optional);
    void PassedSPB(std::int32_t optional);
    void SPP(std::int32_t optional);
    void setRoute(std::int32_t code);
    void setLinkFormdoor(std::int32_t optional);
    void SetKindBlinkTimer(std::int32_t optional);

    // ---- Legacy ATS supervision (legacy.cpp)
    void ats1_receive(std::int32_t signal);
    void ats1_beacon(std::int32_t signal);
    void ats1_checksps();
    void ats1_confirm();
    void ats1_refresh();

    // ---- Cab display (display.cpp)
    void update();

    // ---- Driver controls and doors (controls.cpp)
    void recovery();
    void buzzer(std::int32_t pressed);
    void pushUp();
    void pushDw();
    void radioSwitch(std::int32_t mode);
    void lampSwitch();
    void setBrake(std::int32_t notch);
    void setPower(std::int32_t notch);
    void setReverser(std::int32_t position);
    void doorOpen();
    void doorClose();

    // ---- Velt supervision (digital.cpp): the stages of one Velt frame, in
    // the order superviseVelt runs them.
    void superviseVelt(const FrameValues& f);
    void checkSignalSpeed(const FrameValues& f);
    void overrideSignalOnLineType0(const FrameValues& f);
    void superviseCpp(const FrameValues& f);
    void superviseCppStop(const FrameValues& f);
    void superviseCpp49(const FrameValues& f);
    void superviseCcp(const FrameValues& f);
    void superviseSpb(const FrameValues& f);
    void superviseClf(const FrameValues& f);
    void superviseOverspeedCut(const FrameValues& f);
    void superviseKindBlink(const FrameValues& f);
    void superviseLinkDoorTimeout(const FrameValues& f);
    void mergeDemands();

private:
    // Frame cycle steps (frame.cpp).
    [[nodiscard]] FrameValues frameValues() const;
    void ringBell();
    void chimeStartStop(float absSpeed);
    void handOverTriggers();
};

}  // namespace velt
