// A small host for the tests: a freshly loaded plug-in, the calls a host
// makes, and the panel and sound arrays it keeps between frames.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "host/entry_points.h"

namespace velt::test {

// Key numbers of the cab.
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

// Beacon type numbers.
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

// Value the host fills its arrays with, so untouched entries stand out.
inline constexpr std::int32_t kSentinel = 0x5A5A5A5A;

class PluginTest : public ::testing::Test {
protected:
    static constexpr std::int32_t kServiceNotches = 8;  // emergency is 9

    void SetUp() override {
        // A fresh load: both statics zero, then the attach hook.
        host::vehicleCache = VehicleCache{};
        host::protection = CVelt{};
        host::attach();
        panel.fill(kSentinel);
        sound.fill(kSentinel);
        ::Load();
        ::SetVehicleSpec(VehicleSpec{kServiceNotches, {}});
        ::Initialize(0);
    }

    // One frame at the given host time and speed; returns the handles.
    HandleCommand frame(std::int32_t timeMs, float speedKmh, float current = 0.0F) {
        VehicleState s{};
        s.speed = speedKmh;
        s.time = timeMs;
        s.current = current;
        last = ::Elapse(s, panel.data(), sound.data());
        now = timeMs;
        return last;
    }

    // Frames every stepMs from the last frame's time until untilMs, at one speed.
    HandleCommand runUntil(std::int32_t untilMs, float speedKmh, std::int32_t stepMs = 100) {
        while (static_cast<std::int64_t>(now) + stepMs <= untilMs) {
            frame(now + stepMs, speedKmh);
        }
        return last;
    }

    static void beacon(std::int32_t type, std::int32_t optional, std::int32_t signal = 0) {
        ::SetBeaconData(BeaconData{type, signal, 0.0F, optional});
    }
    static void signal(std::int32_t aspect) { ::SetSignal(aspect); }
    static void keyDown(std::int32_t key) { ::KeyDown(key); }
    static void keyUp(std::int32_t key) { ::KeyUp(key); }
    static void brake(std::int32_t notch) { ::SetBrake(notch); }
    static void power(std::int32_t notch) { ::SetPower(notch); }
    static void reverser(std::int32_t position) { ::SetReverser(position); }
    static void doorOpen() { ::DoorOpen(); }
    static void doorClose() { ::DoorClose(); }

    // Enters a Velt section on the given line category (route code hundreds).
    static void enterVelt(std::int32_t lineType = 0) {
        beacon(kRoute, lineType * 100);
        beacon(kSection, 1);
    }

    static CVelt& core() { return host::protection; }
    static VehicleCache& cache() { return host::vehicleCache; }

    std::array<std::int32_t, 256> panel{};
    std::array<std::int32_t, 256> sound{};
    HandleCommand last{};
    std::int32_t now = 0;
};

}  // namespace velt::test
