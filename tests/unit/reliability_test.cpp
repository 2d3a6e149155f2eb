// Paths the other suites leave out: entry points that must do nothing,
// chimes that must stay quiet, and pattern cases that only arise when
// several beacons or a route change meet.
#include <climits>

#include "plugin_harness.h"

namespace velt::test {
namespace {

using QuietEntryPoints = PluginTest;

TEST_F(QuietEntryPoints, LoadDisposeAndHornChangeNothingWhateverTheArgument) {
    enterVelt(1);
    signal(1);
    power(3);
    frame(1000, 40.0F);
    const CVelt core0 = core();
    const VehicleCache cache0 = cache();
    ::Load();
    ::Dispose();
    for (const std::int32_t arg : {0, 1, -1, INT_MIN, INT_MAX}) {
        ::HornBlow(arg);
    }
    EXPECT_TRUE(sameBytes(core0, core()));
    EXPECT_TRUE(sameBytes(cache0, cache()));
}

class SupervisionChange : public PluginTest {};

TEST_F(SupervisionChange, CppBeaconChimesOnlyInsideASectionOnCategory2) {
    beacon(kRoute, 200);
    signal(1);
    frame(1000, 20.0F);
    beacon(kCpp, 300, 0);  // outside a section
    frame(1100, 20.0F);
    EXPECT_EQ(sound[kSoundChange], 2);

    signal(1);  // disarms, so the next beacon arms afresh
    beacon(kSection, 1);
    frame(1200, 20.0F);
    beacon(kCpp, 300, 0);
    frame(1300, 20.0F);
    EXPECT_EQ(sound[kSoundChange], 1);
}

class CppPattern : public PluginTest {};

TEST_F(CppPattern, CcpDemandWithdrawsTheCppWarningOfTheSameFrame) {
    enterVelt(1);
    signal(1);
    frame(1000, 25.0F);
    // 25 km/h: stop curve 32 m, five seconds of running 34.7 m. At 50 m the
    // CPP warns without braking.
    beacon(kCpp, 50, 0);
    frame(1100, 25.0F);
    EXPECT_EQ(core().patternWarn, 1);
    EXPECT_EQ(core().cppDemand, Demand::kNone);

    // A 0 km/h restriction 20 m ahead: its curve (31 m) is already reached.
    beacon(kCcp, 20);
    frame(1200, 25.0F);
    EXPECT_EQ(core().ccpDemand, Demand::kService);
    EXPECT_EQ(core().patternWarn, 0);
    EXPECT_EQ(last.brake, 8);
}

class Cpp49Aspect : public PluginTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(Cpp49Aspect, Category2BrakesTo49UnderEveryCautionAspect) {
    enterVelt(2);
    signal(GetParam());
    frame(1000, 78.0F);
    beacon(kCpp, 100, 2);  // 49 curve at 78 km/h: 189 m
    frame(1100, 78.0F);
    EXPECT_EQ(core().cppDemand, Demand::kService);
}

INSTANTIATE_TEST_SUITE_P(Aspects3To5, Cpp49Aspect, ::testing::Values(3, 4, 5));

struct IdleCpp {
    std::int32_t aspect;
    std::int32_t beaconSignal;
};

class CppIdleCase : public PluginTest, public ::testing::WithParamInterface<IdleCpp> {};

TEST_P(CppIdleCase, PatternThatFitsNoAspectNeitherBrakesNorCountsDown) {
    enterVelt(2);
    signal(GetParam().aspect);
    frame(1000, 78.0F);
    beacon(kCpp, 20100, GetParam().beaconSignal);  // phase 1, 100 m
    frame(1100, 78.0F);
    EXPECT_EQ(core().cppDemand, Demand::kNone);
    EXPECT_EQ(core().cppPhase, CppPhase::kDistance);
    EXPECT_EQ(core().cppDistance, 100.0F);
}

INSTANTIATE_TEST_SUITE_P(Category2, CppIdleCase,
                         ::testing::Values(IdleCpp{7, 2}, IdleCpp{8, 2}, IdleCpp{4, 1},
                                           IdleCpp{3, 3}));

class CcpPastTarget : public PluginTest {
protected:
    // A 10 km/h restriction 10 m ahead, overrun at 30 km/h until past it.
    void overrun(std::int32_t lineType) {
        enterVelt(lineType);
        signal(lineType == 0 ? 5 : 8);
        frame(1000, 30.0F);
        beacon(kCcp, 20010);
        runUntil(3000, 30.0F);
        ASSERT_LT(core().ccpDistance, 0.0F);
    }
};

TEST_F(CcpPastTarget, OnCategory0TheEmergencyHoldsUntilStandstill) {
    overrun(0);
    EXPECT_EQ(core().ccpDemand, Demand::kEmergency);
    frame(now + 100, 12.0F);  // below 14 km/h, still moving
    EXPECT_EQ(core().ccpDemand, Demand::kEmergency);
    frame(now + 100, 0.0F);
    EXPECT_EQ(core().ccpDemand, Demand::kNone);
}

TEST_F(CcpPastTarget, OnOtherCategoriesTheBrakeEndsBelowTheLimit) {
    overrun(1);
    EXPECT_EQ(core().ccpDemand, Demand::kService);
    frame(now + 100, 12.0F);
    EXPECT_EQ(core().ccpDemand, Demand::kNone);
}

class SpbWarning : public PluginTest {
protected:
    // An SPB pattern armed on category 0, 400 m ahead at 80 km/h: inside
    // the warning distance (328 m curve + 111 m), short of the curve.
    void armOnCategory0() {
        enterVelt(0);
        signal(5);
        frame(1000, 80.0F);
        beacon(kSpb, 400);
    }
};

TEST_F(SpbWarning, ChimesOnCategory0) {
    armOnCategory0();
    frame(1100, 80.0F);
    EXPECT_EQ(core().spbWarn, 1);
    EXPECT_EQ(sound[kSoundSpbWarn], 1);
}

TEST_F(SpbWarning, AfterARouteChangeToCategory1WarnsWithoutAChime) {
    armOnCategory0();
    beacon(kRoute, 100);
    frame(1100, 80.0F);
    EXPECT_EQ(core().spbWarn, 1);
    EXPECT_EQ(sound[kSoundSpbWarn], 2);
    EXPECT_EQ(sound[kSoundWarn], 2);
}

}  // namespace
}  // namespace velt::test
