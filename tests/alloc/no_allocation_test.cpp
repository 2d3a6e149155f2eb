// No entry point allocates. The plug-in is driven through the exported names
// of its shared library, as a host drives it, through every frame state and
// every event; the process's allocation count must not move meanwhile.
//
// Nothing inside a counted stretch may allocate on the test's side either:
// observations go into plain fields and are checked once the stretch ends.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "allocation_counter.h"
#include "test_host.h"

namespace velt::test {
namespace {

constexpr std::int32_t kFrameMs = 16;

// What the drive saw, so a test can tell that it reached the states it means
// to cover.
struct Observed {
    long frames = 0;
    bool emergencyBrake = false;
    bool serviceBrake = false;
    bool bell = false;
    bool releaseChime = false;
    bool patternWarnChime = false;
    bool spbWarnChime = false;
    bool legacyAlarmLamp = false;
    bool legacyCheckLamp = false;
    bool powerCutWhileReleased = false;
    bool reverserHeldByOpenDoors = false;
};

// The test host at 60 frames a second from 08:00, noting after every frame
// what it saw. Only plain fields change inside a counted stretch.
struct Host : TestHost {
    Observed seen;

    Host() {
        now = 8 * 3600 * 1000;
        stepMs = kFrameMs;
        afterFrame = [](TestHost& host, const HandleCommand& h) {
            Observed& o = static_cast<Host&>(host).seen;
            ++o.frames;
            o.emergencyBrake |= h.brake == kEmergency;
            o.serviceBrake |= h.brake == kFullService;
            o.powerCutWhileReleased |= h.brake == 0 && h.power == 0 && host.sound[kSoundBell] != 0;
            if (const std::int32_t* lent = host.lentSound) {
                o.bell |= lent[kSoundBell] == kLoopFull;
                o.releaseChime |= lent[kSoundRelease] == kPlayOnce;
                o.patternWarnChime |= lent[kSoundWarn] == kPlayOnce;
                o.spbWarnChime |= lent[kSoundSpbWarn] == kPlayOnce;
            }
            if (const std::int32_t* lent = host.lentPanel) {
                o.legacyAlarmLamp |= lent[kPanelLampAlarm] == 1;
                o.legacyCheckLamp |= lent[kPanelLampCheck] == 1;
            }
        };
    }
};

void startRun() {
    startPlugin();
    readyToDrive();
}

// The legacy side: normal running, an alarm that brakes, the confirm key, a
// check request and the speed-check section.
void driveLegacy(Host& h) {
    beacon(kRoute, 0);
    beacon(kSection, 0);
    ::SetSignal(5);
    h.rampFor(10000, 0.0F, 60.0F, 100.0F);
    h.runFor(5000, 60.0F, 150.0F);
    ::SetSignal(0);
    h.runFor(3500, 60.0F);  // the alarm takes hold and brakes
    ::KeyDown(0);           // confirm while moving: emergency, chime
    ::KeyUp(0);
    h.rampFor(4000, 60.0F, 0.0F, 100.0F);
    h.runFor(500, 0.0F);
    ::KeyDown(0);  // at a stand: back to normal
    ::KeyUp(0);
    ::SetSignal(2);
    h.rampFor(3000, 0.0F, 50.0F, 100.0F);  // the check takes hold; above 45 it brakes
    h.runFor(2000, 50.0F);
    ::KeyDown(0);
    beacon(kSpeedCheck, 0);
    h.runFor(200, 50.0F);
    beacon(kSpeedCheck, 0);  // the second beacon too soon: tripped
    h.runFor(2000, 50.0F);
    h.rampFor(3000, 50.0F, 0.0F, 100.0F);
    ::Initialize(0);
    ::SetPower(4);
    beacon(kRoute, 100);  // line category 1: the normal state checks 68 km/h
    ::SetSignal(5);
    h.rampFor(5000, 0.0F, 75.0F, 100.0F);
    h.runFor(2000, 75.0F);
    h.rampFor(3000, 75.0F, 40.0F, 100.0F);
}

// A Velt section on line category 0 with every pattern armed, then inside
// the approach warnings, then braking, then the overspeed cut.
void driveVeltLine0(Host& h) {
    beacon(kRoute, 0);
    beacon(kSection, 1);
    ::SetSignal(2);
    h.rampFor(3000, 20.0F, 40.0F, 100.0F);
    beacon(kCpp, 9999, 0);
    beacon(kCcp, 5 * 10000 + 9999);
    beacon(kSpb, 1 * 10000 + 9999);
    beacon(kClf, 12);
    h.runFor(10000, 40.0F, 200.0F);
    beacon(kCpp, 130, 0);
    beacon(kCcp, 5 * 10000 + 93);
    beacon(kSpb, 1 * 10000 + 130);
    h.runFor(8000, 40.0F, 200.0F);  // warnings, then the curves brake
    h.rampFor(4000, 40.0F, 0.0F, 100.0F);
    h.runFor(1000, 0.0F);
    ::DoorOpen();  // the stop is made: the SPB pattern disarms
    h.runFor(1000, 0.0F);
    ::DoorClose();
    ::SetSignal(5);
    beacon(kClf, 0);
    beacon(kCcp, 0);
    h.rampFor(8000, 0.0F, 125.0F, 100.0F);  // above 120: power cut
    h.runFor(2000, 125.0F, 300.0F);
    h.rampFor(3000, 125.0F, 60.0F, 100.0F);
}

// Line category 2: the 49 km/h CPP variant, the stop phase, the station stop
// with doors, kind blink and the linked doors, and the selector.
void driveVeltLine2(Host& h) {
    beacon(kRoute, 205);
    beacon(kSection, 1);
    ::SetSignal(4);
    h.rampFor(3000, 60.0F, 80.0F, 100.0F);
    beacon(kCpp, 300, 2);
    h.runFor(6000, 80.0F);  // warns, then brakes to 49
    h.rampFor(3000, 80.0F, 30.0F, 100.0F);
    ::SetSignal(1);
    beacon(kCpp, 10400, 0);  // stop phase requested
    h.rampFor(4000, 25.0F, 3.0F, 100.0F);
    h.runFor(2000, 3.0F);
    beacon(kSpp, 1);  // station stop reminder
    beacon(kSpb, 50);
    beacon(kKindBlink, 3000);
    beacon(kLinkDoor, 1);
    h.rampFor(2000, 3.0F, 0.0F, 100.0F);
    h.runFor(1000, 0.0F);
    ::DoorOpen();
    h.runFor(3000, 0.0F);
    ::SetReverser(-1);
    const HandleCommand doorsOpen = h.next(0.0F);
    h.seen.reverserHeldByOpenDoors |=
        doorsOpen.reverser == 0 && h.sound[kSoundReverser] == kLoopFull;
    h.runFor(500, 0.0F);
    ::DoorClose();
    ::SetReverser(1);
    h.runFor(2000, 0.0F);
    ::SetBrake(kFullService);
    for (std::int32_t key = 5; key <= 6; ++key) {
        for (int i = 0; i < 10; ++i) {
            ::KeyDown(key);
            ::KeyUp(key);
        }
    }
    ::SetBrake(kEmergency);
    ::KeyDown(3);  // recovery at the emergency notch
    ::SetBrake(0);
    h.runFor(5000, 0.0F);  // standstill
    beacon(kSection, 0);
}

// Odd frames: null arrays, a clock passing midnight, jumping back and
// wrapping around the int range, speeds that are not numbers.
void driveOddFrames(Host& h) {
    for (int i = 0; i < 100; ++i) {
        h.now += kFrameMs;
        h.frameWith(h.now, 10.0F, 0.0F, nullptr, nullptr);
        h.frameWith(h.now, 10.0F, 0.0F, h.panel.data(), nullptr);
        h.frameWith(h.now, 10.0F, 0.0F, nullptr, h.sound.data());
    }
    h.now = 86'400'000 - 1000;
    h.runFor(3000, 20.0F);
    h.now = 1000;
    h.runFor(1000, 20.0F);
    h.now = INT_MAX - 500;
    for (int i = 0; i < 100; ++i) {
        h.now = static_cast<std::int32_t>(static_cast<std::uint32_t>(h.now) + kFrameMs);
        h.frameWith(h.now, -15.0F, -50.0F, h.panel.data(), h.sound.data());
    }
    h.now = 9 * 3600 * 1000;
    h.next(__builtin_nanf(""));
    h.next(__builtin_inff());
    h.next(0.0F);
}

// Every event entry point with every key, beacon type and aspect, and
// values around each decoding boundary, in the mode in force.
void driveEveryEvent(Host& h) {
    static constexpr std::int32_t kOptionals[] = {INT_MIN, -10001, -1,    0,     1,     2,
                                                  3,       12,     31,    32,    999,   1000,
                                                  9999,    10000,  10400, 19999, 59999, INT_MAX};
    for (std::int32_t key = -1; key <= 16; ++key) {
        ::KeyDown(key);
        h.next(30.0F);
        ::KeyUp(key);
        h.next(30.0F);
    }
    for (std::int32_t type = -1; type <= 26; ++type) {
        for (const std::int32_t optional : kOptionals) {
            beacon(type, optional, type == 10 ? 2 : 0);
            beacon(type, optional, 0);
            h.next(30.0F);
        }
    }
    for (std::int32_t aspect = -1; aspect <= 10; ++aspect) {
        ::SetSignal(aspect);
        h.next(30.0F);
    }
    for (std::int32_t notch = -1; notch <= 10; ++notch) {
        ::SetBrake(notch);
        ::SetPower(notch);
        ::SetReverser(notch % 3 - 1);
        h.next(30.0F);
    }
    ::HornBlow(0);
    ::HornBlow(1);
    ::DoorOpen();
    h.next(0.0F);
    ::DoorClose();
    h.next(0.0F);
    ::SetBrake(0);
    ::SetPower(0);
    ::SetReverser(1);
}

// ------------------------------------------------------------- the counter

TEST(AllocationCounter, CountsAnOperatorNewAndDeleteMadeOnPurpose) {
    const AllocationCounts before = allocationCounts();
    int* volatile one = new int(1);
    delete one;
    int* volatile many = new int[64];
    delete[] many;
    struct alignas(64) Wide {
        char bytes[64];
    };
    Wide* volatile wide = new Wide;
    delete wide;
    int* volatile quiet = new (std::nothrow) int(2);
    delete quiet;
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after.allocations - before.allocations, 4U);
    EXPECT_EQ(after.releases - before.releases, 4U);
}

TEST(AllocationCounter, CountsTheMallocFamilyCalledHereAndInsideTheCLibrary) {
    // Through volatile pointers, so the compiler cannot drop the pairs.
    void* (*volatile mallocFn)(std::size_t) = &std::malloc;
    void* (*volatile callocFn)(std::size_t, std::size_t) = &std::calloc;
    void* (*volatile reallocFn)(void*, std::size_t) = &std::realloc;
    void (*volatile freeFn)(void*) = &std::free;
    const AllocationCounts before = allocationCounts();
    void* a = mallocFn(100);
    void* b = callocFn(10, 10);
    b = reallocFn(b, 1000);
    freeFn(a);
    freeFn(b);
    char* copy = strdup("an allocation the C library makes");  // malloc inside libc
    freeFn(copy);
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after.allocations - before.allocations, 4U);
    EXPECT_EQ(after.releases - before.releases, 3U);
}

// ---------------------------------------------------------- the entry points

TEST(NoEntryPointAllocates, LoadingStartingAndEndingRuns) {
    const AllocationCounts before = allocationCounts();
    std::int32_t version = 0;
    for (int i = 0; i < 100; ++i) {
        version |= ::GetPluginVersion();
        ::Load();
        ::SetVehicleSpec(VehicleSpec{i % 10, {}});
        ::Initialize(i % 3);
        ::Dispose();
    }
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after, before);
    EXPECT_EQ(version, kPluginVersion);
}

TEST(NoEntryPointAllocates, ElapseInEveryLegacyState) {
    Host h;
    startRun();
    const AllocationCounts before = allocationCounts();
    for (int pass = 0; pass < 5; ++pass) {
        driveLegacy(h);
    }
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after, before);
    EXPECT_GT(h.seen.frames, 10000);
    EXPECT_TRUE(h.seen.legacyAlarmLamp);
    EXPECT_TRUE(h.seen.legacyCheckLamp);
    EXPECT_TRUE(h.seen.emergencyBrake);
    EXPECT_TRUE(h.seen.serviceBrake);
    EXPECT_TRUE(h.seen.bell);
    EXPECT_TRUE(h.seen.releaseChime);
}

TEST(NoEntryPointAllocates, ElapseInEveryVeltState) {
    Host h;
    startRun();
    const AllocationCounts before = allocationCounts();
    for (int pass = 0; pass < 5; ++pass) {
        driveVeltLine0(h);
        driveVeltLine2(h);
    }
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after, before);
    EXPECT_GT(h.seen.frames, 20000);
    EXPECT_TRUE(h.seen.patternWarnChime);
    EXPECT_TRUE(h.seen.spbWarnChime);
    EXPECT_TRUE(h.seen.emergencyBrake);
    EXPECT_TRUE(h.seen.serviceBrake);
    EXPECT_TRUE(h.seen.bell);
    EXPECT_TRUE(h.seen.releaseChime);
    EXPECT_TRUE(h.seen.powerCutWhileReleased);
    EXPECT_TRUE(h.seen.reverserHeldByOpenDoors);
}

TEST(NoEntryPointAllocates, ElapseWithNullArraysAndAClockThatJumps) {
    Host h;
    startRun();
    const AllocationCounts before = allocationCounts();
    driveOddFrames(h);
    beacon(kRoute, 0);
    beacon(kSection, 1);
    driveOddFrames(h);
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after, before);
    EXPECT_GT(h.seen.frames, 1000);
}

TEST(NoEntryPointAllocates, EveryEventInBothModes) {
    Host h;
    startRun();
    const AllocationCounts before = allocationCounts();
    driveEveryEvent(h);  // legacy
    beacon(kRoute, 205);
    beacon(kSection, 1);
    driveEveryEvent(h);  // the type-20 beacons above may have left the section
    beacon(kSection, 1);
    ::SetSignal(1);
    driveEveryEvent(h);
    const AllocationCounts after = allocationCounts();
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace velt::test
