// The worked examples of docs/beacons.md, one test each: the beacon values
// the document shows, passed through the entry points as a host passes them,
// and what the document says the cab gets. A change of behaviour that breaks
// an example breaks its test, so the route authors' reference stays true.
#include "plugin_harness.h"

namespace velt::test {
namespace {

using AuthorExamples = PluginTest;

// ------------------------------------------------------------ Velt patterns

TEST_F(AuthorExamples, CppStopPatternBeforeAStopSignal) {
    // Line category 0, signal ahead at aspect 1; beacon 10 signal 0
    // optional 600, 600 m before the stop target; the train runs on at
    // 25 km/h, under the 29 km/h check of aspect 1.
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(1);
    frame(1000, 25.0F);
    beacon(10, 600, 0);
    frame(1100, 25.0F);
    EXPECT_EQ(panel[kPanelTarget], 5);  // aspect 1 shown as a target
    EXPECT_EQ(panel[kPanelLimit], 0);

    const std::int32_t warned = runUntilSound(kSoundWarn, 25.0F, 200000);
    ASSERT_GT(warned, 0);
    EXPECT_EQ(last.brake, 0);
    EXPECT_TRUE(panel[kPanelAux] == 8 || panel[kPanelAux] == 0);  // 8 blinking, not the selector
    const std::int32_t braked = runUntilBrake(25.0F, 200000);
    ASSERT_GT(braked, 0);
    EXPECT_NEAR(braked - warned, 5000, 200);  // about five seconds of warning
    EXPECT_EQ(last.brake, kEmergency);
    EXPECT_EQ(last.power, 0);
    EXPECT_EQ(sound[kSoundBell], kLoopFull);

    // Held to a stand, released at standstill with the release chime.
    EXPECT_EQ(frame(now + 100, 10.0F).brake, kEmergency);
    EXPECT_EQ(frame(now + 100, 0.0F).brake, 0);
    EXPECT_EQ(sound[kSoundRelease], kPlayOnce);
    EXPECT_EQ(sound[kSoundBell], kStop);

    // A new signal report disarms the pattern: moving off is not braked.
    signal(3);
    EXPECT_EQ(frame(now + 100, 20.0F).brake, 0);
}

TEST_F(AuthorExamples, CppStopPhaseCreepingUpToTheSignal) {
    // Line category 2, aspect 1; the train creeps at 4 km/h over beacon 10
    // signal 0 optional 10030: stop phase requested, target 30 m ahead.
    beacon(kRoute, 200);
    beacon(kSection, 1);
    signal(1);
    frame(1000, 4.0F);
    beacon(10, 10030, 0);
    frame(1100, 4.0F);
    EXPECT_EQ(panel[kPanelLimit], 2);  // stop phase
    EXPECT_EQ(sound[kSoundChange], kPlayOnce);
    EXPECT_EQ(last.brake, 0);

    // Up to 9.5 km/h is allowed, above it the emergency brake holds to a stop.
    EXPECT_EQ(frame(1200, 9.5F).brake, 0);
    EXPECT_EQ(frame(1300, 10.0F).brake, kEmergency);
    EXPECT_EQ(panel[kPanelTarget], 29);
    EXPECT_EQ(frame(1400, 3.0F).brake, kEmergency);
    EXPECT_EQ(frame(1500, 0.0F).brake, 0);
    EXPECT_EQ(panel[kPanelLimit], 2);
}

TEST_F(AuthorExamples, CcpRestrictionTo45In800Metres) {
    // Line category 2, aspect 5 (120 km/h); beacon 12 optional 90800:
    // 45 km/h, 800 m ahead; the train runs at 80 km/h.
    beacon(kRoute, 200);
    beacon(kSection, 1);
    signal(5);
    frame(1000, 80.0F);
    beacon(12, 90800);
    EXPECT_EQ(core().ccpSpeed, 45);

    const std::int32_t warned = runUntilSound(kSoundWarn, 80.0F, 100000);
    ASSERT_GT(warned, 0);
    EXPECT_EQ(last.brake, 0);
    const std::int32_t braked = runUntilBrake(80.0F, 100000);
    ASSERT_GT(braked, 0);
    EXPECT_NEAR(braked - warned, 5000, 200);
    EXPECT_EQ(last.brake, kFullService);  // full service on category 2
    // The curve to 49 km/h from 80 km/h is 205 m: braked about 205 m short.
    EXPECT_NEAR(core().ccpDistance, 205.0F, 3.0F);

    // Released once the train is slow enough for the distance left.
    EXPECT_EQ(frame(now + 100, 44.0F).brake, 0);
    // Past the target the pattern stays as a limit of 49 km/h.
    runUntil(now + 30000, 44.0F);
    ASSERT_LT(core().ccpDistance, 0.0F);
    EXPECT_EQ(frame(now + 100, 49.0F).brake, 0);
    EXPECT_EQ(frame(now + 100, 50.0F).brake, kFullService);
    EXPECT_EQ(frame(now + 100, 49.0F).brake, 0);

    // Cancelled by a CCP beacon with optional 0.
    beacon(12, 0);
    EXPECT_EQ(frame(now + 100, 80.0F).brake, 0);
}

TEST_F(AuthorExamples, CcpOnLineCategory0BrakesWithEmergencyToTheRecoveryKey) {
    // The same beacon on line category 0 under aspect 4: emergency braking,
    // and the display alternates 28 and the speed code 9 on panel 22.
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(4);
    frame(2000, 80.0F);
    beacon(12, 90800);
    frame(2100, 80.0F);  // time mod 2000 below 1000
    EXPECT_EQ(panel[kPanelTarget], 28);
    frame(3100, 80.0F);
    EXPECT_EQ(panel[kPanelTarget], 9);

    ASSERT_GT(runUntilBrake(80.0F, 100000), 0);
    EXPECT_EQ(last.brake, kEmergency);
    // Ahead of the target nothing releases it, not even the stop...
    EXPECT_EQ(frame(now + 100, 0.0F).brake, kEmergency);
    EXPECT_EQ(frame(now + 1000, 0.0F).brake, kEmergency);
    // ...until the driver puts the brake handle to emergency and presses
    // the recovery key.
    brake(kEmergency);
    keyDown(kRecovery);
    brake(0);
    EXPECT_EQ(frame(now + 100, 0.0F).brake, 0);
}

TEST_F(AuthorExamples, SpbStopPattern) {
    // Line category 0, aspect 4 (109 km/h); beacon 15 optional 300 at
    // 60 km/h: stop target 300 m ahead, kind 0 (full service). The doors
    // are reported closed, as a host does before the run starts.
    doorClose();
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(4);
    frame(1000, 60.0F);
    beacon(15, 300);
    frame(1100, 60.0F);
    EXPECT_TRUE(panel[kPanelAux] == 10 || panel[kPanelAux] == 0);

    const std::int32_t warned = runUntilSound(kSoundSpbWarn, 60.0F, 100000);
    ASSERT_GT(warned, 0);
    EXPECT_EQ(last.brake, 0);
    // The warning blinks 10 with the half-second phase.
    frame(now + (1000 - now % 1000), 60.0F);  // time mod 1000 == 0
    EXPECT_EQ(panel[kPanelAux], 0);
    frame(now + 500, 60.0F);
    EXPECT_EQ(panel[kPanelAux], 10);

    ASSERT_GT(runUntilBrake(60.0F, 100000), 0);
    EXPECT_EQ(last.brake, kFullService);
    // Kind 0 releases once the speed fits the distance left.
    EXPECT_EQ(frame(now + 100, 30.0F).brake, 0);

    // Stopped short with the doors closed: still armed, steady 10.
    frame(now + 100, 0.0F);
    frame(now + 100, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 10);
    // Doors open at the stop: disarmed, the selector shows again (14).
    doorOpen();
    frame(now + 100, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 14);
}

TEST_F(AuthorExamples, SpbStopPatternOfTheEmergencyKind) {
    // Beacon 15 optional 10300: the same stop, kind 1: emergency, code 11.
    doorClose();
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(4);
    frame(1000, 60.0F);
    beacon(15, 10300);
    frame(1100, 60.0F);
    EXPECT_TRUE(panel[kPanelAux] == 11 || panel[kPanelAux] == 0);
    ASSERT_GT(runUntilBrake(60.0F, 100000), 0);
    EXPECT_EQ(last.brake, kEmergency);
    // Kind 1 is not released by slowing down, only at standstill.
    EXPECT_EQ(frame(now + 100, 30.0F).brake, kEmergency);
    EXPECT_EQ(frame(now + 100, 0.0F).brake, 0);
}

TEST_F(AuthorExamples, SpbBeaconPassedStandingIsIgnored) {
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(4);
    frame(1000, 0.0F);
    beacon(15, 300);
    frame(1100, 0.0F);
    EXPECT_EQ(core().spbActive, 0);
    EXPECT_EQ(panel[kPanelAux], 14);
}

TEST_F(AuthorExamples, ClfLimitOf45KmH) {
    // Line category 0, aspect 4; beacon 13 optional 9: a 45 km/h limit.
    beacon(kRoute, 0);
    beacon(kSection, 1);
    signal(4);
    beacon(13, 9);
    EXPECT_EQ(frame(1000, 49.0F).brake, 0);
    EXPECT_EQ(panel[kPanelLimit], 9);  // speed code of 45 km/h
    EXPECT_EQ(frame(1100, 49.5F).brake, kFullService);
    EXPECT_EQ(frame(1200, 42.0F).brake, kFullService);  // held down to 42
    EXPECT_EQ(frame(1300, 41.5F).brake, 0);

    // optional 0 lifts it: the aspect's code 20 shows again.
    beacon(13, 0);
    EXPECT_EQ(frame(1400, 80.0F).brake, 0);
    EXPECT_EQ(panel[kPanelLimit], 20);
}

// ------------------------------------------------------------ Station stop

TEST_F(AuthorExamples, SppStationStopReminder) {
    // Line category 2; beacon 1 optional 1 passed at 30 km/h.
    beacon(kRoute, 200);
    frame(1000, 30.0F);
    beacon(1, 1);
    frame(2000, 30.0F);  // time mod 2000 below 1000: dark
    EXPECT_EQ(panel[kPanelStationStop], 0);
    EXPECT_EQ(sound[kSoundStationStop], kLoopFull);
    frame(3000, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 1);

    // Braking turns the reminder down; opening the doors ends it.
    brake(2);
    frame(3100, 20.0F);
    EXPECT_EQ(sound[kSoundStationStop], kLoopQuiet);
    frame(3200, 0.0F);
    doorOpen();
    frame(3300, 0.0F);
    EXPECT_EQ(sound[kSoundStationStop], kStop);
    EXPECT_EQ(panel[kPanelStationStop], 0);
}

TEST_F(AuthorExamples, SppOnLineCategory0OnlyChimes) {
    beacon(kRoute, 0);
    frame(1000, 30.0F);
    beacon(1, 1);
    frame(1100, 30.0F);
    EXPECT_EQ(sound[kSoundStationChimeA], kPlayOnce);
    EXPECT_EQ(sound[kSoundStationStop], kStop);
    // On category 2 any other optional gives the other chime.
    beacon(kRoute, 200);
    beacon(1, 0);
    frame(1200, 30.0F);
    EXPECT_EQ(sound[kSoundStationChimeB], kPlayOnce);
    EXPECT_EQ(sound[kSoundStationStop], kStop);
}

// ------------------------------------------------------------ Sections and routes

TEST_F(AuthorExamples, VeltSectionStartAndEnd) {
    beacon(21, 200);
    frame(1000, 50.0F);
    EXPECT_EQ(panel[kPanelMode], 2);  // legacy mode, category other than 0
    beacon(20, 1);
    frame(1100, 50.0F);
    EXPECT_EQ(panel[kPanelMode], 3);
    EXPECT_EQ(sound[kSoundChange], kPlayOnce);  // category 2 chimes
    beacon(20, 1);                              // a repeat changes nothing
    frame(1200, 50.0F);
    EXPECT_NE(sound[kSoundChange], kPlayOnce);
    beacon(20, 0);
    frame(1300, 50.0F);
    EXPECT_EQ(panel[kPanelMode], 2);
    EXPECT_EQ(sound[kSoundChange], kPlayOnce);

    // On category 0 the legacy mode shows 1.
    beacon(21, 0);
    frame(1400, 50.0F);
    EXPECT_EQ(panel[kPanelMode], 1);
}

TEST_F(AuthorExamples, RouteCodesGiveLineCategoryAndSelector) {
    beacon(21, 205);
    frame(1000, 0.0F);
    EXPECT_EQ(core().lineType, 2);
    EXPECT_EQ(panel[kPanelSelector], 7);
    EXPECT_EQ(core().routeFlag, 0);

    beacon(21, 1203);
    frame(1100, 0.0F);
    EXPECT_EQ(core().lineType, 2);
    EXPECT_EQ(panel[kPanelSelector], 6);
    EXPECT_EQ(core().routeFlag, 1);

    beacon(21, 999);
    frame(1200, 0.0F);
    EXPECT_EQ(core().lineType, 9);
    EXPECT_EQ(panel[kPanelSelector], 0);
    EXPECT_EQ(core().routeFlag, 1);  // kept once set
}

TEST_F(AuthorExamples, RouteFlagHidesTheSelectorOnLineCategory0) {
    beacon(21, 3);
    beacon(20, 1);
    signal(4);
    frame(1000, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 17);  // selector 3 + 14
    beacon(21, 1003);
    frame(1100, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 0);
    EXPECT_EQ(panel[kPanelSelector], 4);  // 1003 mod 9
}

// ------------------------------------------------------------ Doors

TEST_F(AuthorExamples, DoorLinkSequence) {
    // Line category 2, aspect 5 (nothing on panel 22); beacon 22 optional 1.
    beacon(kRoute, 200);
    beacon(kSection, 1);
    signal(5);
    frame(1000, 20.0F);
    beacon(22, 1);
    frame(2000, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 0);

    doorOpen();  // at 2000: 29 until 2500, then 1
    frame(2100, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 29);
    frame(2499, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 29);
    frame(2500, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 1);

    frame(10000, 0.0F);
    doorClose();  // at 10000: 1 until after 11000
    frame(10500, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 1);
    frame(11000, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 1);
    frame(11100, 0.0F);
    EXPECT_EQ(panel[kPanelTarget], 0);
}

TEST_F(AuthorExamples, KindBlinkDelay) {
    // Line category 0, route code 3 (selector 3, shown as 17); beacon 24
    // optional 5000 passed before the station.
    beacon(kRoute, 3);
    beacon(kSection, 1);
    signal(4);
    frame(1000, 30.0F);
    beacon(24, 5000);
    frame(2000, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 17);

    doorOpen();
    frame(3000, 0.0F);  // 3000 mod 500 below 250: dark
    EXPECT_EQ(panel[kPanelAux], 0);
    frame(3250, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 17);
    frame(20000, 0.0F);  // still blinking at the stop, long after the delay
    EXPECT_EQ(panel[kPanelAux], 0);
    frame(20300, 0.0F);
    EXPECT_EQ(panel[kPanelAux], 17);

    doorClose();
    frame(20400, 2.0F);  // moving off ends it
    frame(21000, 2.0F);
    EXPECT_EQ(panel[kPanelAux], 17);
}

// ------------------------------------------------------------ Legacy ATS

TEST_F(AuthorExamples, LegacyAlarmRequestBrakesAfterThreeSeconds) {
    // Outside a Velt section, line category 0; beacon 10 signal 0 at 40 km/h.
    beacon(kRoute, 0);
    frame(1000, 40.0F);
    EXPECT_EQ(panel[kPanelLampNormal], 1);
    beacon(10, 0, 0);
    EXPECT_EQ(frame(3900, 40.0F).brake, 0);
    EXPECT_EQ(frame(4000, 40.0F).brake, kEmergency);
    EXPECT_EQ(panel[kPanelLampAlarm], 1);
    EXPECT_EQ(panel[kPanelAux], 3);

    // Released below 0.5 km/h; at a stand the confirm key clears the alarm.
    EXPECT_EQ(frame(4100, 10.0F).brake, kEmergency);
    EXPECT_EQ(frame(4200, 0.0F).brake, 0);
    keyDown(kConfirm);
    frame(4300, 0.0F);
    EXPECT_EQ(panel[kPanelLampNormal], 1);
    EXPECT_EQ(sound[kSoundConfirm], kPlayOnce);
}

TEST_F(AuthorExamples, LegacyAlarmRequestAcknowledgedInTime) {
    beacon(kRoute, 0);
    frame(1000, 40.0F);
    beacon(10, 0, 0);
    frame(2000, 40.0F);
    keyDown(kConfirm);  // within the three seconds
    frame(2100, 40.0F);
    EXPECT_EQ(sound[kSoundConfirm], kPlayOnce);
    EXPECT_EQ(runUntilBrake(40.0F, 10000), -1);
    EXPECT_EQ(panel[kPanelLampNormal], 1);
}

TEST_F(AuthorExamples, LegacyCheckRequest) {
    // Line category 0, outside a section; beacon 10 signal 2 at 70 km/h.
    beacon(kRoute, 0);
    frame(1000, 70.0F);
    beacon(10, 0, 2);
    EXPECT_EQ(frame(1700, 70.0F).brake, 0);
    EXPECT_EQ(frame(1800, 70.0F).brake, kFullService);
    EXPECT_EQ(panel[kPanelLampCheck], 1);
    EXPECT_EQ(panel[kPanelAux], 5);
    EXPECT_EQ(frame(1900, 45.0F).brake, 0);  // full service above 45 only
    EXPECT_EQ(panel[kPanelAux], 4);
    keyDown(kConfirm);
    frame(2000, 45.0F);
    EXPECT_EQ(panel[kPanelLampNormal], 1);

    // Not requested at 68 km/h or below, nor on category 1 or 2.
    beacon(10, 0, 2);
    frame(2100, 68.0F);
    beacon(kRoute, 200);
    frame(2200, 90.0F);
    beacon(10, 0, 2);
    EXPECT_EQ(runUntilBrake(90.0F, 6000), -1);
    EXPECT_EQ(panel[kPanelLampNormal], 1);
}

TEST_F(AuthorExamples, SpeedCheckPair) {
    // Line category 1, outside a section, state 0 (full service above 68).
    // Two beacons 11 less than 500 ms apart trip the section: emergency
    // braking where the normal state would only hold its demand.
    beacon(kRoute, 100);
    frame(1000, 67.5F);
    beacon(11, 0);
    frame(1400, 67.5F);
    beacon(11, 0);  // 400 ms after the first
    EXPECT_EQ(frame(1500, 67.5F).brake, kEmergency);
    EXPECT_EQ(frame(1600, 66.0F).brake, 0);
}

TEST_F(AuthorExamples, SpeedCheckPairPassedSlowlyEnough) {
    beacon(kRoute, 100);
    frame(1000, 67.5F);
    beacon(11, 0);
    frame(1500, 67.5F);
    beacon(11, 0);  // exactly 500 ms: not tripped
    EXPECT_EQ(frame(1600, 67.5F).brake, 0);
    EXPECT_EQ(core().spsTripped, 0);
}

}  // namespace
}  // namespace velt::test
