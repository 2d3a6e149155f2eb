// CVelt: the protection core. One object, a static of the library, holds all
// supervision state. Event operations (beacons, signals, keys, handles, doors)
// only store state and set sound triggers; every timed decision is taken in
// execute(), once per frame, from the host's time.
//
// The object is a plain record: no constructor, so a static instance is all
// zero until initialize() sets the defaults, exactly as a freshly loaded
// library holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "core/cab.h"
#include "core/states.h"

namespace velt {

// Values of one frame, computed once at the start of execute() and passed to
// every stage of the frame, so that no stage reads the host's values again.
struct FrameValues {
    std::int32_t time;    // host time, ms
    float speed;          // signed speed, km/h
    float absSpeed;       // |speed|, km/h
    float frameDistance;  // metres run in this frame
    double warnMargin;    // metres run in five seconds at absSpeed
};

// The four codes of the cab's protection display (panel 20 to 23).
struct DisplayCodes {
    std::int32_t mode;
    std::int32_t limit;
    std::int32_t target;
    std::int32_t aux;
};

class CVelt {
public:
    // ---- State record. The declaration order is part of the design: it is
    // the layout other tools inspect, so fields are not regrouped.
    LegacyState ats1State;
    LegacyState ats1Pending;  // the state requested, taking hold after its delay
    std::int32_t ats1PendingTime;
    std::int32_t signalIndex;
    Demand bellLatch;
    std::int32_t cppActive;
    std::int32_t cppSignal;
    float cppDistance;
    CppPhase cppPhase;
    std::int32_t patternWarn;
    std::int32_t ccpActive;
    std::int32_t ccpSpeed;
    float ccpDistance;
    ClfState clfState;
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
    Demand sigDemand;
    Demand cppDemand;
    Demand ccpDemand;
    Demand clfDemand;
    Demand spbDemand;
    std::int32_t routeFlag;
    LinkDoorState linkDoorState;
    std::int32_t linkDoorTime;
    // Wiring into the vehicle cache, set once when the library is attached.
    const std::int32_t* pBrakeNotch;
    const std::int32_t* pTime;
    const float* pSpeed;
    const std::int32_t* pDeltaTime;
    std::int32_t emergencyNotch;
    std::int32_t maxServiceNotch;
    Demand brakeDemand;
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

    // The values a frame computes from the host's time and speed once and
    // hands every stage (frame.cpp); read-only, so that a tool that explains
    // a frame reads them as the frame had them instead of computing its own.
    [[nodiscard]] FrameValues frameValues() const;

    // The display this state shows at a time (display.cpp): what the frame
    // writes at its own time. A blinking code is one that differs between
    // times; asking at other times tells it from a steady one.
    [[nodiscard]] DisplayCodes displayAt(std::int32_t timeMs) const;

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

    // ---- Legacy ATS events (legacy.cpp)
    void ats1_receive(std::int32_t signal);
    void ats1_beacon(std::int32_t signal);
    void ats1_checksps();
    void ats1_confirm();

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

private:
    // ---- The stages of one frame, run by execute() only, each with the
    // frame's values.
    void ringBell();
    void chimeStartStop(float absSpeed);
    void handOverTriggers();

    // Legacy ATS frame (legacy.cpp).
    void ats1_refresh(const FrameValues& f);

    // Velt supervision (digital.cpp), in the order superviseVelt runs them.
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

    // Cab display (display.cpp), the frame's last stage: of the frame's
    // values it needs only the time, which its blinking codes follow.
    void update(std::int32_t timeMs);
};

// The record's layout: plain data, every state field 32 bits wide, in the
// declared order (the four pointers sit between linkDoorTime and
// emergencyNotch, aligned as the platform aligns pointers).
static_assert(std::is_standard_layout_v<CVelt> && std::is_trivially_copyable_v<CVelt>);
static_assert(offsetof(CVelt, linkDoorTime) == 46 * sizeof(std::int32_t));
static_assert(offsetof(CVelt, lampOn) - offsetof(CVelt, emergencyNotch) ==
              32 * sizeof(std::int32_t));

// The one-shot sound triggers. Whatever wants a sound sets its trigger to
// play once; the frame hands each trigger to its output slot and leaves
// "continue" behind (frame.cpp); the host interface writes the slot to the
// trigger's index of the host's sound array (cab_outputs.cpp).
struct OneShotTrigger {
    std::int32_t CVelt::*trigger;
    std::int32_t CVelt::*out;
    int soundIndex;
};
// In the order of the fields, which lets the compiler copy neighbours together.
inline constexpr OneShotTrigger kOneShotTriggers[] = {
    // The brake released
    {&CVelt::sndRelease, &CVelt::sndReleaseOut, cab::kSoundReleaseChime},
    // Supervision changed
    {&CVelt::sndChange, &CVelt::sndChangeOut, cab::kSoundChangeChime},
    // Pattern approach
    {&CVelt::sndWarn, &CVelt::sndWarnOut, cab::kSoundPatternWarning},
    // SPB approach, line category 0
    {&CVelt::sndSpbWarn, &CVelt::sndSpbWarnOut, cab::kSoundSpbWarning},
    // Confirm key
    {&CVelt::sndConfirm, &CVelt::sndConfirmOut, cab::kSoundConfirmChime},
    // Lamp switch
    {&CVelt::sndLamp, &CVelt::sndLampOut, cab::kSoundLampSwitch},
    // Buzzer released
    {&CVelt::sndBuzzerOff, &CVelt::sndBuzzerOffOut, cab::kSoundBuzzerOff},
    // Station chime, other categories
    {&CVelt::sndSppB, &CVelt::sndSppBOut, cab::kSoundStationChimeB},
    // Station chime, categories 0 and 1
    {&CVelt::sndSppA, &CVelt::sndSppAOut, cab::kSoundStationChimeA},
    // Doors closed, categories 0 and 1
    {&CVelt::sndDoorA, &CVelt::sndDoorAOut, cab::kSoundDoorChimeA},
    // Doors closed, other categories
    {&CVelt::sndDoorB, &CVelt::sndDoorBOut, cab::kSoundDoorChimeB},
    // Started or stopped
    {&CVelt::sndMotion, &CVelt::sndMotionOut, cab::kSoundStartStopChime},
};

// The demands of the five Velt checks: merged into brakeDemand by every Velt
// frame, all cleared by the recovery key.
inline constexpr Demand CVelt::*kCheckDemands[] = {
    &CVelt::sigDemand, &CVelt::cppDemand, &CVelt::ccpDemand, &CVelt::clfDemand, &CVelt::spbDemand,
};

}  // namespace velt
