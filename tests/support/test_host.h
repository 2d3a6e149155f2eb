// The one test host of velt's unit tests, allocation test, fuzz harness and
// benchmark states: the vehicle the plug-in is fitted to, the cab's key,
// beacon, panel and sound numbers by name, a freshly loaded plug-in, and a
// host's side of the frames (its clock, the arrays it lends, runs of frames
// until something happens).
//
// Everything here reaches the plug-in through its sixteen entry points, as a
// host does, so the same helpers serve a program linked with the core and
// one that loads libvelt.so. Only loadFresh(), core() and cache() look
// inside, and only a program linked with the core may call them.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>

#include "host/entry_points.h"
#include "host/plugin_abi.h"

namespace velt::test {

// ---- The vehicle: 8 service notches, so the emergency notch is 9.
inline constexpr std::int32_t kServiceNotches = 8;
inline constexpr std::int32_t kFullService = kServiceNotches;
inline constexpr std::int32_t kEmergency = kServiceNotches + 1;

// ---- Key numbers of the cab.
enum Key : std::int32_t {
    kConfirm = 0,
    kRecovery = 3,
    kBuzzer = 4,
    kSelectUp = 5,
    kSelectDown = 6,
    kRadio0 = 11,
    kRadio1 = 12,
    kRadio2 = 13,
    kLamp = 15,
};

// ---- Beacon type numbers, and the packing of two fields into optional:
// metres in the low four digits, a speed code, kind or flag above.
enum Beacon : std::int32_t {
    kSpp = 1,
    kCpp = 10,
    kSpeedCheck = 11,
    kCcp = 12,
    kClf = 13,
    kSpb = 15,
    kSection = 20,
    kRoute = 21,
    kLinkDoor = 22,
    kKindBlink = 24,
};
constexpr std::int32_t packed(std::int32_t upper, std::int32_t metres) {
    return upper * 10000 + metres;
}

// ---- Panel and sound indices as docs/cab-interface.md names them.
enum PanelIndex : std::size_t {
    kPanelLampNormal = 10,
    kPanelLampCheck = 11,
    kPanelLampAlarm = 12,
    kPanelLampCheckOrAlarm = 13,
    kPanelMode = 20,
    kPanelLimit = 21,
    kPanelTarget = 22,
    kPanelAux = 23,
    kPanelNegativeCurrent = 30,
    kPanelHandlesAtRest = 31,
    kPanelDriverEmergency = 32,
    kPanelSelector = 35,
    kPanelStationStop = 40,
    kPanelLamp = 45,
    kPanelRadio = 46,
    kPanelMoving = 50,
    kPanelAlways255 = 255,
};
enum SoundIndex : std::size_t {
    kSoundBell = 0,
    kSoundRelease = 1,
    kSoundStationStop = 2,
    kSoundChange = 5,
    kSoundWarn = 6,
    kSoundSpbWarn = 7,
    kSoundLamp = 10,
    kSoundConfirm = 11,
    kSoundMotion = 15,
    kSoundBuzzer = 20,
    kSoundBuzzerOff = 21,
    kSoundStationChimeB = 22,
    kSoundStationChimeA = 23,
    kSoundDoorA = 25,
    kSoundDoorB = 26,
    kSoundReverser = 30,
};

// Every index a frame writes, and nothing else.
inline constexpr std::array<std::size_t, 17> kPanelWritten{kPanelLampNormal,
                                                           kPanelLampCheck,
                                                           kPanelLampAlarm,
                                                           kPanelLampCheckOrAlarm,
                                                           kPanelMode,
                                                           kPanelLimit,
                                                           kPanelTarget,
                                                           kPanelAux,
                                                           kPanelNegativeCurrent,
                                                           kPanelHandlesAtRest,
                                                           kPanelDriverEmergency,
                                                           kPanelSelector,
                                                           kPanelStationStop,
                                                           kPanelLamp,
                                                           kPanelRadio,
                                                           kPanelMoving,
                                                           kPanelAlways255};
inline constexpr std::array<std::size_t, 16> kSoundWritten{
    kSoundBell,          kSoundRelease, kSoundStationStop, kSoundChange,
    kSoundWarn,          kSoundSpbWarn, kSoundLamp,        kSoundConfirm,
    kSoundMotion,        kSoundBuzzer,  kSoundBuzzerOff,   kSoundStationChimeB,
    kSoundStationChimeA, kSoundDoorA,   kSoundDoorB,       kSoundReverser};
// The one-shot sounds among them: 1 in the frame after their event, then 2.
inline constexpr std::array<std::size_t, 12> kOneShotSounds{
    kSoundRelease,       kSoundChange,        kSoundWarn,   kSoundSpbWarn,
    kSoundLamp,          kSoundConfirm,       kSoundMotion, kSoundBuzzerOff,
    kSoundStationChimeB, kSoundStationChimeA, kSoundDoorA,  kSoundDoorB};

// ---- Sound commands as the host receives them.
inline constexpr std::int32_t kStop = -10000;
inline constexpr std::int32_t kLoopFull = 0;
inline constexpr std::int32_t kLoopQuiet = -1200;
inline constexpr std::int32_t kPlayOnce = 1;
inline constexpr std::int32_t kContinue = 2;

// The next float above and below a threshold: every speed threshold is
// strict, so a test takes the exact value and the float just past it.
inline float above(float v) { return std::nextafter(v, std::numeric_limits<float>::infinity()); }
inline float below(float v) { return std::nextafter(v, -std::numeric_limits<float>::infinity()); }

// Value the host fills its arrays with, so entries the plug-in must not
// touch stand out.
inline constexpr std::int32_t kSentinel = 0x5A5A5A5A;

// ---- The plug-in's two statics, for programs linked with the core.

// A fresh load: both statics zero, then the attach hook, as the loader
// leaves the library before the host's first call.
inline void loadFresh() {
    host::vehicleCache = VehicleCache{};
    host::protection = CVelt{};
    host::attach();
}
inline CVelt& core() { return host::protection; }
inline VehicleCache& cache() { return host::vehicleCache; }

// Whether two copies of a plain record hold the same bytes: "nothing
// changed" for the core and the cache. Both sides are whole-record copies,
// which copy the padding too, so its bytes compare equal as well.
template <class Record>
bool sameBytes(const Record& a, const Record& b) {
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison,cert-exp42-c,cert-flp37-c)
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

// ---- Calls between frames.

inline void beacon(std::int32_t type, std::int32_t optional, std::int32_t signal = 0) {
    ::SetBeaconData(BeaconData{type, signal, 0.0F, optional});
}
inline void signal(std::int32_t aspect) { ::SetSignal(aspect); }
inline void keyDown(std::int32_t key) { ::KeyDown(key); }
inline void keyUp(std::int32_t key) { ::KeyUp(key); }
inline void brake(std::int32_t notch) { ::SetBrake(notch); }
inline void power(std::int32_t notch) { ::SetPower(notch); }
inline void reverser(std::int32_t position) { ::SetReverser(position); }
inline void doorOpen() { ::DoorOpen(); }
inline void doorClose() { ::DoorClose(); }

// The host's start: the vehicle's notches and a run begun.
inline void startPlugin() {
    ::Load();
    ::SetVehicleSpec(VehicleSpec{kServiceNotches, {}});
    ::Initialize(0);
}

// A run ready to drive: doors closed, reverser forward, the driver's brake
// released and power at notch 4.
inline void readyToDrive() {
    doorClose();
    reverser(1);
    brake(0);
    power(4);
}

// Enters a Velt section on the given line category (route code hundreds).
inline void enterVelt(std::int32_t lineType = 0) {
    beacon(kRoute, lineType * 100);
    beacon(kSection, 1);
}

// ---- The host's side of the frames.
class TestHost {
public:
    // Called after every frame, if set, with the frame's handles: lets a
    // drive record what it saw without changing how it runs.
    using FrameHook = void (*)(TestHost& host, const HandleCommand& handles);

    // One frame at the given host time and speed; returns the handles.
    HandleCommand frame(std::int32_t timeMs, float speedKmh, float current = 0.0F) {
        return frameWith(timeMs, speedKmh, current, panel.data(), sound.data());
    }
    // The same with the arrays to lend (either may be null).
    HandleCommand frameWith(std::int32_t timeMs, float speedKmh, float current,
                            std::int32_t* panelOut, std::int32_t* soundOut) {
        VehicleState s{};
        s.speed = speedKmh;
        s.time = timeMs;
        s.current = current;
        last = ::Elapse(s, panelOut, soundOut);
        now = timeMs;
        lentPanel = panelOut;
        lentSound = soundOut;
        if (afterFrame != nullptr) {
            afterFrame(*this, last);
        }
        return last;
    }

    // The next frame, stepMs after the last one.
    HandleCommand next(float speedKmh, float current = 0.0F) {
        return frame(now + stepMs, speedKmh, current);
    }

    // Frames every stepMs for the given time, at one speed.
    HandleCommand runFor(std::int32_t ms, float speedKmh, float current = 0.0F) {
        const std::int32_t until = now + ms;
        while (now < until) {
            next(speedKmh, current);
        }
        return last;
    }

    // Frames every stepMs from the last frame's time until untilMs.
    HandleCommand runUntil(std::int32_t untilMs, float speedKmh, std::int32_t everyMs = 100) {
        while (static_cast<std::int64_t>(now) + everyMs <= untilMs) {
            frame(now + everyMs, speedKmh);
        }
        return last;
    }

    // Frames from one speed to another over the given time, then one at the
    // end speed.
    void rampFor(std::int32_t ms, float fromKmh, float toKmh, float current = 0.0F) {
        const std::int32_t start = now;
        while (now - start < ms) {
            const float f = static_cast<float>(now - start) / static_cast<float>(ms);
            next(fromKmh + (toKmh - fromKmh) * f, current);
        }
        next(toKmh);
    }

    // Frames every stepMs at one speed until the brake output leaves the
    // driver's notch 0 or limitMs passes: the time it did, or -1.
    std::int32_t runUntilBrake(float speedKmh, std::int32_t limitMs) {
        while (now < limitMs) {
            if (next(speedKmh).brake != 0) {
                return now;
            }
        }
        return -1;
    }

    // Frames every stepMs until the sound index reads "play once", or -1.
    std::int32_t runUntilSound(std::size_t index, float speedKmh, std::int32_t limitMs) {
        while (now < limitMs) {
            next(speedKmh);
            if (sound[index] == kPlayOnce) {
                return now;
            }
        }
        return -1;
    }

    // The four display codes of the last frame.
    [[nodiscard]] std::int32_t mode() const { return panel[kPanelMode]; }
    [[nodiscard]] std::int32_t limit() const { return panel[kPanelLimit]; }
    [[nodiscard]] std::int32_t target() const { return panel[kPanelTarget]; }
    [[nodiscard]] std::int32_t aux() const { return panel[kPanelAux]; }

    std::array<std::int32_t, kPanelSize> panel{};
    std::array<std::int32_t, kPanelSize> sound{};
    HandleCommand last{};
    std::int32_t now = 0;
    std::int32_t stepMs = 100;
    FrameHook afterFrame = nullptr;
    // The arrays the last frame lent (null where it lent none).
    const std::int32_t* lentPanel = nullptr;
    const std::int32_t* lentSound = nullptr;
};

}  // namespace velt::test
