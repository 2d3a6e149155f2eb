// A fixed, deterministic drive through all sixteen entry points, written
// once for every way of reaching the plug-in: the native shared library, and
// velt.dll called through hand-laid stdcall frames or compiler-generated
// calls. Each Elapse prints one line with the handles and every panel and
// sound entry (sentinel-filled beforehand), so two libraries built from the
// same core must print the same bytes.
//
// Every input is exact in float and int: speeds are multiples of 1/4 km/h and
// times are integers, so the host side adds no rounding of its own.
#pragma once

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "host/plugin_abi.h"

namespace velt::abi {

inline constexpr std::int32_t kSentinel = 0x5A5A5A5A;
inline constexpr int kArraySize = 256;  // panel and sound as a host lends them
inline constexpr std::int32_t kDayMs = 86400000;

// Which arrays a frame lends; a host may pass null for either.
enum class Arrays { kBoth, kPanelOnly, kSoundOnly, kNone };

inline void appendf(std::string& out, const char* format, std::int32_t value) {
    char text[32];
    const int n = std::snprintf(text, sizeof text, format, value);
    if (n > 0) {
        out.append(text, static_cast<std::size_t>(n));
    }
}

inline std::uint32_t floatBits(float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Plugin provides the sixteen entry points as methods: load, dispose,
// version, setVehicleSpec, initialize, elapse, setPower, setBrake,
// setReverser, keyDown, keyUp, hornBlow, doorOpen, doorClose, setSignal,
// setBeaconData.
template <class Plugin>
class Sequence {
public:
    Sequence(Plugin& plugin, std::string& out) : plugin_(plugin), out_(out) {}

    void run() {
        // Before anything else, as a host checks it.
        out_ += "version";
        appendf(out_, " %" PRId32 "\n", plugin_.version());

        beforeSpecification();
        legacyTerritory();
        veltSectionOnLineTwo();
        lineZeroPatterns();
        stationStopAndDoors();
        cabKeys();
        ignoredInputs();
        clockAnomalies();
        restartedRun();
        plugin_.dispose();
    }

private:
    // ---- Host calls, with the bookkeeping a host does.

    void frame(std::int32_t stepMs, float speed, float current = 1.0F,
               Arrays arrays = Arrays::kBoth) {
        timeMs_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(timeMs_) +
                                            static_cast<std::uint32_t>(stepMs));
        frameAt(timeMs_, speed, current, arrays);
    }

    void frameAt(std::int32_t time, float speed, float current = 1.0F,
                 Arrays arrays = Arrays::kBoth) {
        timeMs_ = time;
        speed_ = speed;
        VehicleState state{};
        for (std::size_t i = 0; i < sizeof state.unread0; ++i) {
            state.unread0[i] = static_cast<std::uint8_t>(0xA0U + i);
        }
        state.speed = speed;
        state.time = time;
        for (float& f : state.unread1) {
            f = -3.5F;
        }
        state.current = current;

        for (int i = 0; i < kArraySize; ++i) {
            panel_[i] = kSentinel;
            sound_[i] = kSentinel;
        }
        const bool withPanel = arrays == Arrays::kBoth || arrays == Arrays::kPanelOnly;
        const bool withSound = arrays == Arrays::kBoth || arrays == Arrays::kSoundOnly;
        const HandleCommand h =
            plugin_.elapse(state, withPanel ? panel_ : nullptr, withSound ? sound_ : nullptr);

        appendf(out_, "frame %" PRId32, frameCount_++);
        appendf(out_, " t=%" PRId32, time);
        appendf(out_, " v=%08" PRIX32, static_cast<std::int32_t>(floatBits(speed)));
        appendf(out_, " c=%08" PRIX32, static_cast<std::int32_t>(floatBits(current)));
        appendf(out_, " | %" PRId32, h.brake);
        appendf(out_, " %" PRId32, h.power);
        appendf(out_, " %" PRId32, h.reverser);
        appendf(out_, " %" PRId32, h.constantSpeed);
        // The whole arrays, written or not: an entry outside the fixed index
        // set must still hold the sentinel, and with a null array nothing may
        // appear in the other one either.
        out_ += " | P";
        for (int i = 0; i < kArraySize; ++i) {
            appendf(out_, " %" PRId32, panel_[i]);
        }
        out_ += " | S";
        for (int i = 0; i < kArraySize; ++i) {
            appendf(out_, " %" PRId32, sound_[i]);
        }
        out_ += '\n';
    }

    // Frames of stepMs each at the current speed.
    void run(int frames, std::int32_t stepMs, float current = 1.0F) {
        for (int i = 0; i < frames; ++i) {
            frame(stepMs, speed_, current);
        }
    }

    // Frames of stepMs each, the speed moving by at most stepKmh per frame
    // until it reaches targetKmh.
    void rampTo(float targetKmh, float stepKmh, std::int32_t stepMs = 100) {
        while (speed_ != targetKmh) {
            float next = speed_ < targetKmh ? speed_ + stepKmh : speed_ - stepKmh;
            if ((speed_ < targetKmh && next > targetKmh) ||
                (speed_ > targetKmh && next < targetKmh)) {
                next = targetKmh;
            }
            frame(stepMs, next);
        }
    }

    void beacon(std::int32_t type, std::int32_t optional, std::int32_t signal = 0,
                float distance = 120.0F) {
        BeaconData b{};
        b.type = type;
        b.signal = signal;
        b.distance = distance;
        b.optional = optional;
        plugin_.setBeaconData(b);
    }

    void vehicleSpec(std::int32_t brakeNotches) {
        VehicleSpec spec{};
        spec.brakeNotches = brakeNotches;
        for (std::int32_t i = 0; i < 4; ++i) {
            spec.unread[i] = 1000 + i;
        }
        plugin_.setVehicleSpec(spec);
    }

    // ---- The drive, in stages.

    // A host that skips SetVehicleSpec and Initialize still gets frames: the
    // first measures its interval from time 0 and both notch numbers are 0.
    void beforeSpecification() {
        plugin_.setPower(2);
        plugin_.keyDown(0);
        frameAt(45000, 0.0F);
        frame(40, 3.25F);
        plugin_.setSignal(0);
        frame(40, 3.5F);
    }

    void legacyTerritory() {
        plugin_.load();
        vehicleSpec(8);
        plugin_.initialize(0);
        plugin_.setBrake(0);
        plugin_.setPower(0);
        plugin_.setReverser(1);
        frame(50, 0.0F);
        plugin_.doorClose();
        frame(50, 0.0F);

        // Start, accelerate through every aspect.
        plugin_.setPower(4);
        for (std::int32_t aspect = 6; aspect >= 0; --aspect) {
            plugin_.setSignal(aspect);
            rampTo(speed_ + 4.5F, 0.75F, 50);
        }
        // A restrictive aspect: the request waits, then the legacy side acts.
        plugin_.setSignal(0);
        rampTo(41.5F, 0.25F);
        plugin_.keyDown(0);
        plugin_.keyUp(0);
        run(20, 100);
        // A stop beacon and a speed-check pair, passed too fast.
        beacon(10, 0, 0);
        run(30, 100);
        beacon(11, 0);
        run(5, 100);
        beacon(11, 0);
        rampTo(25.0F, 0.5F);
        plugin_.keyDown(0);
        rampTo(15.0F, 1.0F);
        // Driver brakes to a stand, recovers at the emergency notch.
        plugin_.setPower(0);
        plugin_.setBrake(5);
        rampTo(6.0F, 2.0F, 200);
        plugin_.setBrake(9);
        rampTo(0.0F, 2.0F, 200);
        run(5, 200);
        plugin_.keyDown(3);
        plugin_.keyUp(3);
        run(5, 200);
        plugin_.setBrake(0);
        plugin_.setSignal(4);
        run(20, 100);
    }

    // Line category 2: the section switch, signal speeds, a CPP stop pattern
    // that brakes the train to a stand, CCP and CLF.
    void veltSectionOnLineTwo() {
        beacon(21, 205);
        beacon(20, 1);
        plugin_.setSignal(3);
        plugin_.setPower(5);
        rampTo(80.0F, 1.25F);
        plugin_.setSignal(1);
        beacon(10, 20600, 0);  // stop pattern 600 m ahead, phase 1
        plugin_.setPower(3);
        run(150, 100);
        plugin_.setSignal(1);  // a report disarms it
        run(10, 100);
        beacon(10, 10000, 0);  // distance 0, phase 0
        rampTo(speed_ - 10.0F, 1.0F);
        plugin_.setSignal(2);
        beacon(10, 900, 1);
        rampTo(speed_ - 30.0F, 0.5F);
        rampTo(0.0F, 1.5F);
        run(10, 100);
        plugin_.setBrake(9);
        plugin_.keyDown(3);
        run(5, 100);
        plugin_.setBrake(0);
        plugin_.setSignal(5);
        plugin_.setPower(5);
        rampTo(40.0F, 1.0F);
        beacon(12, 45120);  // CCP: 20 km/h, 5120 m ahead
        rampTo(90.0F, 0.5F);
        run(20, 100);
        beacon(12, 350);
        run(40, 100);
        beacon(12, 0);
        beacon(13, 3);  // CLF 15 km/h, far below the speed
        run(30, 100);
        beacon(13, 31);
        run(10, 100);
        beacon(13, 2);
        beacon(13, 32);
        run(10, 100);
        beacon(20, 0);  // section ends
        rampTo(60.0F, 1.0F);
    }

    // Line category 0: SPB (both kinds) and the overspeed cut above 120 km/h.
    void lineZeroPatterns() {
        beacon(21, 1000);  // category 0, selector 1, route flag
        beacon(20, 5);
        plugin_.setSignal(6);
        plugin_.setPower(5);
        rampTo(135.0F, 1.0F);
        plugin_.setPower(2);
        run(20, 100);
        plugin_.setPower(0);
        rampTo(100.0F, 0.75F);
        beacon(15, 10300, 0, std::numeric_limits<float>::infinity());  // emergency kind, 300 m
        run(120, 100);
        plugin_.setBrake(9);
        plugin_.keyDown(3);
        rampTo(0.0F, 3.0F);
        run(5, 100);
        plugin_.setBrake(0);
        plugin_.setPower(4);
        rampTo(70.0F, 1.75F);
        beacon(15, 1500);  // service kind, 1500 m
        run(150, 100);
        plugin_.setPower(0);
        plugin_.setBrake(6);
        rampTo(0.0F, 2.5F);
        run(5, 100);
        plugin_.setBrake(0);
    }

    // Line category 1: the station-stop reminder, the door link and the
    // kind-blink delay, doors and the reverser they gate.
    void stationStopAndDoors() {
        beacon(21, 150);
        plugin_.setPower(3);
        rampTo(30.0F, 1.5F);
        plugin_.setBrake(2);
        beacon(1, 1);  // reminder, attenuated since the brake is applied
        rampTo(25.0F, 0.5F);
        plugin_.setBrake(0);
        run(10, 100);
        beacon(1, 7);  // only a chime
        beacon(22, 1);
        beacon(24, 3000);
        plugin_.setPower(0);
        plugin_.setBrake(4);
        rampTo(0.0F, 1.0F);
        plugin_.doorOpen();
        run(20, 250);
        plugin_.setReverser(-1);
        run(5, 250);
        plugin_.doorClose();
        run(40, 250);
        plugin_.setReverser(1);
        beacon(22, 0);
        beacon(24, -1);
        run(10, 250);
        // Standing and reversing: SPP and SPB are not taken.
        beacon(1, 1);
        beacon(15, 400);
        plugin_.setReverser(-1);
        plugin_.setBrake(0);
        plugin_.setPower(1);
        rampTo(-5.0F, 0.5F);
        beacon(1, 1);
        beacon(15, 400);
        run(5, 100, -2.0F);
        rampTo(0.0F, 0.5F);
        run(3, 100);
        frame(100, -0.0F, -0.0F);
        plugin_.setReverser(1);
        rampTo(5.0F, 0.5F);
    }

    void cabKeys() {
        beacon(21, 213);
        for (std::int32_t key = -2; key <= 17; ++key) {
            plugin_.keyDown(key);
            frame(100, speed_);
            plugin_.keyUp(key);
            frame(100, speed_);
        }
        plugin_.keyDown(4);
        run(5, 100);
        plugin_.keyUp(4);
        for (int i = 0; i < 12; ++i) {
            plugin_.keyDown(i % 3 == 0 ? 6 : 5);
            frame(100, speed_);
        }
        plugin_.hornBlow(1);
        plugin_.hornBlow(-7);
        run(3, 100);
    }

    // Beacon types without a handler (distance +inf among them) and handle
    // values no vehicle has: stored, never checked.
    void ignoredInputs() {
        constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
        constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
        const std::int32_t types[] = {-5, -1, 0,  2,  3,  4,  5,  6,  7,    8,   9,
                                      14, 16, 17, 18, 19, 23, 25, 99, kMin, kMax};
        for (const std::int32_t type : types) {
            beacon(type, 20500, 3, std::numeric_limits<float>::infinity());
            frame(100, speed_);
        }
        beacon(21, -250);
        frame(100, speed_);
        beacon(13, -31);
        beacon(12, -45120);
        beacon(10, -20500, -1);
        frame(100, speed_);
        plugin_.setBrake(-3);
        plugin_.setPower(40);
        plugin_.setReverser(7);
        run(3, 100);
        plugin_.setBrake(0);
        plugin_.setPower(0);
        plugin_.setReverser(1);
        plugin_.setSignal(-1);
        plugin_.setSignal(255);
        run(3, 100);
        // Frames that lend one array, the other or none.
        frame(100, speed_, 1.0F, Arrays::kPanelOnly);
        frame(100, speed_, 1.0F, Arrays::kSoundOnly);
        frame(100, speed_, 1.0F, Arrays::kNone);
        frame(100, speed_);
    }

    // The host's clock passes midnight, wraps back to a small time, jumps
    // backwards, stands still and finally runs through the int32 limit.
    void clockAnomalies() {
        beacon(21, 205);
        beacon(20, 1);
        plugin_.setSignal(3);
        plugin_.setPower(4);
        frameAt(kDayMs - 1500, 40.0F);
        rampTo(45.0F, 0.25F);  // past kDayMs
        frameAt(120, speed_);
        run(50, 100);
        frameAt(timeMs_ - 3000, speed_);
        run(5, 100);
        run(5, 0);
        beacon(10, 800, 0);
        frameAt(std::numeric_limits<std::int32_t>::max() - 250, speed_);
        run(6, 100);  // through INT32_MAX to negative times
        frameAt(0, speed_);
        run(5, 100);
    }

    // Initialize again mid-run: the core restarts, the cache keeps the
    // driver's handles and the last time.
    void restartedRun() {
        plugin_.initialize(77);
        frame(100, 0.0F);
        rampTo(5.0F, 0.5F);
        vehicleSpec(4);
        plugin_.setBrake(5);
        run(5, 100);
        plugin_.setBrake(0);
        plugin_.setSignal(0);
        run(60, 100);
        plugin_.doorOpen();
        rampTo(3.75F, 0.25F);
        plugin_.doorClose();
        run(5, 100);
        vehicleSpec(0);
        run(3, 100);
    }

    Plugin& plugin_;
    std::string& out_;
    std::int32_t timeMs_ = 0;
    float speed_ = 0.0F;
    std::int32_t frameCount_ = 0;
    std::int32_t panel_[kArraySize] = {};
    std::int32_t sound_[kArraySize] = {};
};

template <class Plugin>
std::string runSequence(Plugin& plugin) {
    std::string out;
    Sequence<Plugin>(plugin, out).run();
    return out;
}

}  // namespace velt::abi
