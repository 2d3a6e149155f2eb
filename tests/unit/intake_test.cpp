// Decoding of the Velt beacons and signal reports: what each handler stores.
#include <climits>

#include "plugin_harness.h"

namespace velt::test {
namespace {

using BeaconDecoding = PluginTest;

TEST_F(BeaconDecoding, CppOptionalPacksDistanceAndStopPhase) {
    struct Case {
        std::int32_t optional;
        float metres;
        CppPhase phase;
    };
    constexpr CppPhase kDistance = CppPhase::kDistance;
    constexpr CppPhase kStopRequested = CppPhase::kStopRequested;
    for (const Case c : {Case{10000, 0.0F, kDistance}, Case{10001, 1.0F, kStopRequested},
                         Case{20500, 500.0F, kStopRequested}, Case{9999, 9999.0F, kDistance},
                         Case{-20500, -500.0F, kDistance}}) {
        beacon(kCpp, c.optional, 0);
        EXPECT_EQ(core().cppDistance, c.metres) << c.optional;
        EXPECT_EQ(core().cppPhase, c.phase) << c.optional;
    }
}

TEST_F(BeaconDecoding, CcpOptionalPacksSpeedCodeAndDistance) {
    beacon(kCcp, 45120);
    EXPECT_EQ(core().ccpSpeed, 20);
    EXPECT_EQ(core().ccpDistance, 5120.0F);
    beacon(kCcp, 350);
    EXPECT_EQ(core().ccpSpeed, 0);
    EXPECT_EQ(core().ccpDistance, 350.0F);
    beacon(kCcp, INT_MAX);
    EXPECT_EQ(core().ccpSpeed, 214748 * 5);
    EXPECT_EQ(core().ccpDistance, 3647.0F);
    beacon(kCcp, 1);  // the smallest value that arms: 0 km/h in 1 m
    EXPECT_EQ(core().ccpDistance, 1.0F);
}

TEST_F(BeaconDecoding, SpbKindDependsOnTheLineCategoryAtThePassing) {
    frame(1000, 30.0F);
    beacon(kRoute, 0);
    beacon(kSpb, 10400);
    EXPECT_EQ(core().spbKind, 1);
    EXPECT_EQ(core().spbDistance, 400.0F);
    beacon(kRoute, 200);
    beacon(kSpb, 30200);
    EXPECT_EQ(core().spbKind, 0);
    EXPECT_EQ(core().spbDistance, 200.0F);
    beacon(kRoute, 100);
    beacon(kSpb, 700);
    EXPECT_EQ(core().spbDistance, 200.0F);  // not read on line category 1
}

TEST_F(BeaconDecoding, RouteCodeGivesLineCategorySelectorAndFlag) {
    struct Case {
        std::int32_t code;
        std::int32_t lineType;
        std::int32_t selector;
        std::int32_t flag;
    };
    for (const Case c : {Case{205, 2, 7, 0}, Case{999, 9, 0, 0}, Case{1000, 0, 1, 1},
                         Case{1203, 2, 6, 1}, Case{-250, -2, -7, 0}, Case{INT_MIN, -6, -2, 0}}) {
        reload();
        beacon(kRoute, c.code);
        EXPECT_EQ(core().lineType, c.lineType) << c.code;
        EXPECT_EQ(core().routeSelect, c.selector) << c.code;
        EXPECT_EQ(core().routeFlag, c.flag) << c.code;
    }
}

TEST_F(BeaconDecoding, RouteFlagIsNeverClearedByALaterCode) {
    beacon(kRoute, 1000);
    beacon(kRoute, 205);
    EXPECT_EQ(core().routeFlag, 1);
    EXPECT_EQ(core().lineType, 2);
}

TEST_F(BeaconDecoding, KindBlinkBeaconArmsOrCancels) {
    beacon(kKindBlink, 3000);
    EXPECT_EQ(core().kindBlinkTimer, 3000);
    core().kindBlink = 1;
    core().kindBlinkUntil = 77;
    beacon(kKindBlink, 0);
    EXPECT_EQ(core().kindBlinkTimer, 0);
    EXPECT_EQ(core().kindBlink, 0);
    EXPECT_EQ(core().kindBlinkUntil, 0);
}

TEST_F(BeaconDecoding, LinkDoorBeaconOverwritesASequenceInProgress) {
    beacon(kLinkDoor, 1);
    doorOpen();
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kDoorsOpened);
    beacon(kLinkDoor, 0);
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kIdle);
}

using StationStopBeacon = PluginTest;

TEST_F(StationStopBeacon, StartsTheReminderOnLineCategoriesOneAndTwo) {
    for (const std::int32_t lineType : {1, 2}) {
        reload();
        beacon(kRoute, lineType * 100);
        frame(1000, 30.0F);
        beacon(kSpp, 1);
        frame(1100, 30.0F);
        EXPECT_EQ(sound[kSoundStationStop], 0) << lineType;  // full-volume loop
        EXPECT_NE(sound[kSoundStationChimeB], 1);
        EXPECT_NE(sound[kSoundStationChimeA], 1);
    }
}

TEST_F(StationStopBeacon, StartsAttenuatedWhileTheBrakeIsApplied) {
    beacon(kRoute, 100);
    brake(1);
    frame(1000, 30.0F);
    beacon(kSpp, 1);
    frame(1100, 30.0F);
    EXPECT_EQ(sound[kSoundStationStop], -1200);
}

TEST_F(StationStopBeacon, OtherwiseOnlyChimes) {
    struct Case {
        std::int32_t route;
        std::int32_t optional;
        std::size_t chimeIndex;
    };
    for (const Case c : {Case{0, 1, kSoundStationChimeA}, Case{100, 0, kSoundStationChimeA},
                         Case{0, 5, kSoundStationChimeA}, Case{200, 2, kSoundStationChimeB},
                         Case{300, 1, kSoundStationChimeB}}) {
        reload();
        beacon(kRoute, c.route);
        frame(1000, 30.0F);
        beacon(kSpp, c.optional);
        frame(1100, 30.0F);
        EXPECT_EQ(sound[c.chimeIndex], 1) << c.route;
        EXPECT_EQ(sound[kSoundStationStop], -10000) << c.route;
    }
}

TEST_F(StationStopBeacon, IgnoredStandingOrRunningBackwards) {
    beacon(kRoute, 100);
    frame(1000, 0.0F);
    beacon(kSpp, 1);
    frame(1100, -3.0F);
    beacon(kSpp, 1);
    frame(1200, -3.0F);
    EXPECT_EQ(sound[kSoundStationStop], -10000);
    EXPECT_NE(sound[kSoundStationChimeA], 1);
    frame(1300, 0.5F);
    beacon(kSpp, 1);
    frame(1400, 0.5F);
    EXPECT_EQ(sound[kSoundStationStop], 0) << "taken at any forward speed";
}

using SignalReport = PluginTest;

TEST_F(SignalReport, AspectSixIsStoredAsFiveAndDoesNotChimeAgain) {
    enterVelt(2);
    signal(6);
    EXPECT_EQ(core().signalIndex, 5);
    frame(1000, 0.0F);
    signal(5);
    frame(1100, 0.0F);
    EXPECT_NE(sound[kSoundChange], 1);
}

TEST_F(SignalReport, SectionEdgeCancelsAPendingLegacyRequestOnlyWhenItChanges) {
    core().ats1Pending = LegacyState::kCheck;
    beacon(kSection, 0);
    EXPECT_EQ(core().ats1Pending, LegacyState::kCheck);
    beacon(kSection, 1);
    EXPECT_EQ(core().ats1Pending, LegacyState::kNormal);
    core().ats1Pending = LegacyState::kSilencedAlarm;
    beacon(kSection, 5);
    EXPECT_EQ(core().ats1Pending, LegacyState::kSilencedAlarm);
    beacon(kSection, -1);
    EXPECT_EQ(core().ats1Pending, LegacyState::kNormal);
}

}  // namespace
}  // namespace velt::test
