// Driver controls and doors, driven as a host drives them: keys, handles and
// door events between frames, and what the cab gets in the frames after.
#include <array>
#include <cstdint>
#include <utility>

#include "plugin_harness.h"

namespace velt::test {
namespace {

constexpr std::int32_t kBase = 36000000;  // 10:00:00

class Controls : public PluginTest {
protected:
    [[nodiscard]] std::int32_t selector() const { return panel[kPanelSelector]; }
    [[nodiscard]] std::int32_t lamp() const { return panel[kPanelLamp]; }
    [[nodiscard]] std::int32_t radio() const { return panel[kPanelRadio]; }
    [[nodiscard]] std::int32_t reminder() const { return sound[kSoundStationStop]; }

    void next(float speedKmh = 0.0F) { frame(now == 0 ? kBase : now + 100, speedKmh); }
};

// ---- Recovery

// A CCP overrun on line category 0 holds its emergency demand even at a
// standstill ahead of the target: only the recovery key releases it.
class Recovery : public Controls {
protected:
    void holdCcpEmergencyAtStandstill() {
        enterVelt(0);
        signal(8);
        next();
        next(60.0F);
        beacon(kCcp, 4 * 10000 + 100);  // 20 km/h within 100 m at 60 km/h
        next(60.0F);
        next();
        ASSERT_EQ(last.brake, kEmergency);
        ASSERT_EQ(sound[kSoundBell], 0) << "bell rings";
    }
};

TEST_F(Recovery, ReleasesAHeldDemandOnlyWithTheHandleAtEmergency) {
    for (const std::int32_t notch : {0, 7, kFullService, 10}) {
        SCOPED_TRACE(testing::Message() << "notch " << notch);
        reload();
        holdCcpEmergencyAtStandstill();
        brake(notch);
        keyDown(kRecovery);
        brake(0);
        next();
        EXPECT_EQ(last.brake, kEmergency);
        EXPECT_EQ(sound[kSoundBell], 0);
    }
}

TEST_F(Recovery, AtTheEmergencyNotchStopsTheBellAndGivesTheBrakeBack) {
    holdCcpEmergencyAtStandstill();
    brake(kEmergency);
    keyDown(kRecovery);
    next();
    EXPECT_EQ(sound[kSoundBell], -10000);
    EXPECT_EQ(sound[kSoundRelease], 1) << "release chime";
    brake(0);
    next();
    EXPECT_EQ(last.brake, 0);
}

TEST_F(Recovery, LeavesTheNextFrameToBrakeAgainWhileThePatternStillCallsForIt) {
    holdCcpEmergencyAtStandstill();
    next(60.0F);  // still inside the curve
    ASSERT_EQ(last.brake, kEmergency);
    brake(kEmergency);
    keyDown(kRecovery);
    brake(0);
    next(60.0F);
    EXPECT_EQ(last.brake, kEmergency);
    EXPECT_EQ(sound[kSoundRelease], 2) << "the bell never stopped";
}

// Each Velt check whose demand outlives the condition that set it, held at
// a speed where nothing sets it again.
struct HeldDemand {
    const char* what;
    void (*arm)();
    float holdKmh;
    std::int32_t brake;
};

void passBeacon(std::int32_t type, std::int32_t optional) {
    ::SetBeaconData(BeaconData{type, 0, 0.0F, optional});
}

const HeldDemand kHeldDemands[] = {
    // 100 m ahead at 60 km/h is inside every stop curve.
    {"CPP stop pattern",
     [] {
         ::SetSignal(1);
         passBeacon(kCpp, 100);
     },
     20.0F, kEmergency},
    {"CCP on line category 0", [] { passBeacon(kCcp, 4 * 10000 + 100); }, 10.0F, kEmergency},
    {"SPB of kind 2", [] { passBeacon(kSpb, 2 * 10000 + 100); }, 10.0F, kFullService},
    {"CLF over its limit", [] { passBeacon(kClf, 3); }, 14.0F, kFullService},
};

TEST_F(Recovery, ClearsEveryHeldVeltDemand) {
    for (const HeldDemand& d : kHeldDemands) {
        SCOPED_TRACE(d.what);
        for (const bool recover : {false, true}) {
            reload();
            enterVelt(0);
            signal(8);
            doorClose();
            next();
            next(60.0F);
            d.arm();
            next(60.0F);
            next(d.holdKmh);
            ASSERT_EQ(last.brake, d.brake);
            brake(recover ? kEmergency : kFullService);
            keyDown(kRecovery);
            brake(0);
            next(d.holdKmh);
            EXPECT_EQ(last.brake, recover ? 0 : d.brake)
                << (recover ? "recovered" : "not recovered");
        }
    }
}

TEST_F(Recovery, ClearsALegacyEmergencyHeldBetweenItsThresholds) {
    // Legacy state 1 brakes above 15 km/h and holds the demand down to 0.5.
    next();
    signal(0);
    frame(kBase + 3000, 20.0F);
    frame(kBase + 3100, 10.0F);
    ASSERT_EQ(last.brake, kEmergency);
    brake(kEmergency);
    keyDown(kRecovery);
    brake(0);
    frame(kBase + 3200, 10.0F);
    EXPECT_EQ(last.brake, 0);
}

// ---- Selector

TEST_F(Controls, StepsTheSelectorOnlyAtFullServiceOrBeyond) {
    struct Case {
        std::int32_t notch;
        std::int32_t afterUp;
        std::int32_t afterDown;
    };
    for (const Case c : {Case{0, 4, 4}, Case{kFullService - 1, 4, 4}, Case{kFullService, 5, 4},
                         Case{kEmergency, 5, 4}, Case{12, 5, 4}}) {
        SCOPED_TRACE(testing::Message() << "notch " << c.notch);
        beacon(kRoute, 4);
        brake(c.notch);
        keyDown(kSelectUp);
        next();
        EXPECT_EQ(selector(), c.afterUp);
        keyDown(kSelectDown);
        next();
        EXPECT_EQ(selector(), c.afterDown);
    }
}

TEST_F(Controls, CyclesTheSelectorThroughNinePositionsBothWays) {
    brake(kFullService);
    beacon(kRoute, 8);
    keyDown(kSelectUp);
    next();
    EXPECT_EQ(selector(), 0);
    keyDown(kSelectDown);
    next();
    EXPECT_EQ(selector(), 8);
    struct Run {
        std::int32_t key;
        std::array<std::int32_t, 9> positions;
    };
    for (const Run& run : {Run{kSelectUp, {4, 5, 6, 7, 8, 0, 1, 2, 3}},
                           Run{kSelectDown, {2, 1, 0, 8, 7, 6, 5, 4, 3}}}) {
        beacon(kRoute, 3);
        for (const std::int32_t expected : run.positions) {
            keyDown(run.key);
            next();
            EXPECT_EQ(selector(), expected) << "key " << run.key;
        }
    }
}

TEST_F(Controls, RaisesANegativeSelectorIntoTheCycleAndLowersItWithoutWrapping) {
    brake(kFullService);
    beacon(kRoute, -7);  // selector -7
    next();
    ASSERT_EQ(selector(), -7);
    keyDown(kSelectDown);
    next();
    EXPECT_EQ(selector(), -8);
    keyDown(kSelectDown);
    next();
    EXPECT_EQ(selector(), -9);
    for (std::int32_t expected = -8; expected <= 0; ++expected) {
        keyDown(kSelectUp);
        next();
        EXPECT_EQ(selector(), expected);
    }
}

// ---- Radio, lamp and buzzer

TEST_F(Controls, SetsTheRadioModeByKey) {
    next();
    EXPECT_EQ(radio(), 1) << "after Initialize";
    for (const auto& [key, mode] :
         {std::pair{kRadio2, 2}, std::pair{kRadio0, 0}, std::pair{kRadio1, 1}}) {
        keyDown(key);
        next();
        EXPECT_EQ(radio(), mode);
    }
}

TEST_F(Controls, TogglesTheLampWithOneSoundPerFrame) {
    next();
    ASSERT_EQ(lamp(), 0);
    keyDown(kLamp);
    next();
    EXPECT_EQ(lamp(), 1);
    EXPECT_EQ(sound[kSoundLamp], 1);
    next();
    EXPECT_EQ(sound[kSoundLamp], 2);

    // Two presses between the same two frames: back as it was, one sound.
    keyDown(kLamp);
    keyDown(kLamp);
    next();
    EXPECT_EQ(lamp(), 1);
    EXPECT_EQ(sound[kSoundLamp], 1);
    next();
    EXPECT_EQ(sound[kSoundLamp], 2);

    keyDown(kLamp);
    next();
    EXPECT_EQ(lamp(), 0) << "and off again";
}

TEST_F(Controls, LoopsTheBuzzerWhileItsKeyIsHeldAndChimesOnRelease) {
    next();
    EXPECT_EQ(sound[kSoundBuzzer], -10000);
    keyDown(kBuzzer);
    next();
    EXPECT_EQ(sound[kSoundBuzzer], 0);
    next();
    EXPECT_EQ(sound[kSoundBuzzer], 0);
    EXPECT_EQ(sound[kSoundBuzzerOff], 2);
    keyUp(kBuzzer);
    next();
    EXPECT_EQ(sound[kSoundBuzzer], -10000);
    EXPECT_EQ(sound[kSoundBuzzerOff], 1);
    next();
    EXPECT_EQ(sound[kSoundBuzzerOff], 2);
}

TEST_F(Controls, StopsTheBuzzerAndChimesOnAReleaseWithoutAPress) {
    next();
    ASSERT_EQ(sound[kSoundBuzzerOff], -10000);
    keyUp(kBuzzer);
    next();
    EXPECT_EQ(sound[kSoundBuzzer], -10000);
    EXPECT_EQ(sound[kSoundBuzzerOff], 1);
}

// ---- Station-stop reminder

class Reminder : public Controls {
protected:
    // A reminder beacon passed at 40 km/h on line category 1.
    void startReminder() {
        beacon(kRoute, 100);
        next();
        next(40.0F);
        beacon(kSpp, 1);
        next(40.0F);
    }
};

TEST_F(Reminder, IsAttenuatedByTheDriversBrakeAndNotRestoredByReleasingIt) {
    startReminder();
    ASSERT_EQ(reminder(), 0);
    brake(0);
    next(40.0F);
    EXPECT_EQ(reminder(), 0) << "notch 0 is no acknowledgement";
    brake(1);
    next(30.0F);
    EXPECT_EQ(reminder(), -1200);
    brake(0);
    next(20.0F);
    EXPECT_EQ(reminder(), -1200);
}

TEST_F(Reminder, IsEndedByTheDoorsOpeningAndStaysOffUnderTheBrake) {
    startReminder();
    brake(3);
    next();
    ASSERT_EQ(reminder(), -1200);
    doorOpen();
    next();
    EXPECT_EQ(reminder(), -10000);
    EXPECT_EQ(panel[kPanelStationStop], 0);
    brake(5);
    next();
    EXPECT_EQ(reminder(), -10000);
    // It stays off through a full two-second blink period.
    for (int i = 0; i < 20; ++i) {
        next();
        ASSERT_EQ(panel[kPanelStationStop], 0);
    }
}

// ---- Door chimes

TEST_F(Controls, ChimesOnEveryDoorClosingByLineCategoryInBothModes) {
    struct Case {
        std::int32_t lineType;
        bool velt;
        std::int32_t doorA;
        std::int32_t doorB;
    };
    for (const Case c : {Case{0, false, 1, 2}, Case{1, true, 1, 2}, Case{2, false, 2, 1},
                         Case{2, true, 2, 1}, Case{3, true, 2, 1}, Case{9, false, 2, 1}}) {
        SCOPED_TRACE(testing::Message() << "line type " << c.lineType << ", velt " << c.velt);
        reload();
        beacon(kRoute, c.lineType * 100);
        beacon(kSection, c.velt ? 1 : 0);
        next();
        doorClose();
        next();
        EXPECT_EQ(sound[kSoundDoorA], c.doorA);
        EXPECT_EQ(sound[kSoundDoorB], c.doorB);
        // Closing again, though already closed, chimes again.
        doorClose();
        next();
        EXPECT_EQ(sound[kSoundDoorA], c.doorA);
        EXPECT_EQ(sound[kSoundDoorB], c.doorB);
    }
}

// ---- Linked doors

TEST_F(Controls, RunsTheLinkedDoorSequenceOnTheTargetElement) {
    enterVelt(0);
    signal(4);
    beacon(kRoute, 2);  // selector 2: the aux element shows 16
    frame(kBase, 0.0F);
    ASSERT_EQ(panel[kPanelLimit], 20);
    beacon(kLinkDoor, 1);
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(panel[kPanelLimit], 20) << "armed, nothing shown yet";
    EXPECT_EQ(target(), 0);

    doorOpen();  // stamped from the last frame: +100, shown until +600
    frame(kBase + 599, 0.0F);
    EXPECT_EQ(target(), 29);
    EXPECT_EQ(panel[kPanelLimit], 0);
    EXPECT_EQ(aux(), 16);
    doorOpen();  // a second opening leaves the stamp alone
    frame(kBase + 600, 0.0F);
    EXPECT_EQ(target(), 1);
    EXPECT_EQ(panel[kPanelLimit], 0);

    doorClose();  // stamped +1600
    frame(kBase + 1600, 0.0F);
    EXPECT_EQ(target(), 1);
    EXPECT_EQ(panel[kPanelLimit], 0);
    EXPECT_EQ(aux(), 16);
    doorClose();  // a second closing leaves the stamp alone
    frame(kBase + 1601, 0.0F);
    EXPECT_EQ(target(), 0);
    EXPECT_EQ(panel[kPanelLimit], 20);
}

TEST_F(Controls, OpensNoLinkedDoorSequenceWithoutItsBeacon) {
    enterVelt(0);
    signal(4);
    frame(kBase, 0.0F);
    doorOpen();
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(target(), 0);
    EXPECT_EQ(panel[kPanelLimit], 20);
}

TEST_F(Controls, HidesTheOverspeedCutDuringTheLinkedDoorSequence) {
    enterVelt(0);
    signal(8);
    beacon(kLinkDoor, 1);
    frame(kBase, 0.0F);
    doorOpen();
    frame(kBase + 100, 121.0F);
    frame(kBase + 250, 121.0F);  // fast phase on
    ASSERT_EQ(core().overspeedCut, 1);
    EXPECT_EQ(panel[kPanelLimit], 0);
    EXPECT_EQ(target(), 29);
}

TEST_F(Controls, LeavesTheLinkedDoorsIdleWhenTheDoorsCloseBeforeTheyOpen) {
    enterVelt(0);
    signal(4);
    beacon(kLinkDoor, 1);
    frame(kBase, 0.0F);
    doorClose();
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(target(), 0);
    doorOpen();
    frame(kBase + 200, 0.0F);
    EXPECT_EQ(target(), 29);
}

// ---- Kind-blink hand-over

class KindBlink : public Controls {
protected:
    // Line category 0, selector 3 (code 17), in a Velt section.
    void standInSection() {
        beacon(kRoute, 3);
        beacon(kSection, 1);
        frame(kBase, 0.0F);
        ASSERT_EQ(aux(), 17);
    }
    // The selector code blinks with the 250 ms phase: off at +0, on at +250.
    bool blinks(std::int32_t from) {
        frame(from, 0.0F);
        const bool off = aux() == 0;
        frame(from + 250, 0.0F);
        return off && aux() == 17;
    }
};

TEST_F(KindBlink, StartsAtTheFirstDoorOpeningAfterTheBeacon) {
    standInSection();
    beacon(kKindBlink, 5000);
    frame(kBase + 1000, 0.0F);
    EXPECT_FALSE(blinks(kBase + 2000)) << "not before the doors open";
    doorOpen();
    EXPECT_TRUE(blinks(kBase + 3000));
}

TEST_F(KindBlink, IsNotRestartedByASecondDoorOpening) {
    standInSection();
    beacon(kKindBlink, 5000);
    doorOpen();
    ASSERT_TRUE(blinks(kBase + 1000));
    frame(kBase + 1500, 5.0F);  // running off ends it
    frame(kBase + 2000, 0.0F);
    ASSERT_EQ(aux(), 17);
    doorOpen();
    EXPECT_FALSE(blinks(kBase + 3000));
}

TEST_F(KindBlink, OutlastsAnotherOpeningUnlessItArmsANewDelay) {
    standInSection();
    beacon(kKindBlink, 5000);
    doorOpen();
    ASSERT_TRUE(blinks(kBase + 1000));
    doorOpen();
    EXPECT_TRUE(blinks(kBase + 2000)) << "nothing armed: the blink goes on";
    beacon(kKindBlink, 1);  // over before the next frame
    doorOpen();
    EXPECT_FALSE(blinks(kBase + 3000)) << "a new delay replaces the blink";
}

TEST_F(KindBlink, ABeaconBeforeTheFrameThatStartsItIsTakenAsItsOwn) {
    standInSection();
    beacon(kKindBlink, 5000);
    doorOpen();
    beacon(kKindBlink, 5000);
    ASSERT_TRUE(blinks(kBase + 1000));
    frame(kBase + 1500, 5.0F);
    doorOpen();
    EXPECT_FALSE(blinks(kBase + 2000));
}

TEST_F(KindBlink, ADelayThatRanOutLeavesNothingForTheNextOpening) {
    standInSection();
    beacon(kKindBlink, 1000);
    doorOpen();
    frame(kBase + 2000, 0.0F);  // the first frame comes too late: no blink
    doorOpen();
    for (const std::int32_t t : {kBase + 2000, kBase + 1500}) {  // the same time, then back
        frame(t, 0.0F);
        EXPECT_EQ(aux(), 17) << "at " << t;
    }
}

TEST_F(KindBlink, DelayIsConsumedByAnOpeningOutsideASection) {
    standInSection();
    beacon(kSection, 0);
    beacon(kKindBlink, 5000);
    doorOpen();
    for (std::int32_t t = kBase + 100; t <= kBase + 10000; t += 100) {
        frame(t, 0.0F);
    }
    doorClose();
    doorOpen();  // the delay went with the first opening
    beacon(kSection, 1);
    EXPECT_FALSE(blinks(kBase + 11000));
}

TEST_F(KindBlink, DelayArmedBeforeInitializeIsConsumedByTheFirstOpeningAfterIt) {
    beacon(kKindBlink, 5000);
    ::Initialize(0);
    standInSection();
    doorOpen();
    EXPECT_TRUE(blinks(kBase + 1000));
}

TEST_F(KindBlink, StartsOnlyInAFrameBeforeTheOpeningTimePlusTheDelay) {
    // The opening takes the last frame's time: kBase. Frames at +0 and +1000
    // are in the fast phase's off half, so a blinking selector shows 0 there.
    struct Case {
        std::int32_t delayMs;
        std::int32_t frameAt;
        std::int32_t aux;
    };
    for (const Case c : {Case{1001, 1000, 0}, Case{1000, 1000, 17}, Case{1, 0, 0}}) {
        SCOPED_TRACE(testing::Message() << "delay " << c.delayMs);
        reload();
        standInSection();
        beacon(kKindBlink, c.delayMs);
        doorOpen();
        frame(kBase + c.frameAt, 0.0F);
        EXPECT_EQ(aux(), c.aux);
    }
}

}  // namespace
}  // namespace velt::test
