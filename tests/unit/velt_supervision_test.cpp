// Velt supervision as the driver and the cab see it: the brake output, the
// bell, the warning chimes and the power cut, check by check.
#include <cmath>
#include <limits>
#include <ostream>

#include "plugin_harness.h"

namespace velt::test {
namespace {

using VeltTest = PluginTest;

// ---------------------------------------------------------------- CPP stop

using CppStopPattern = VeltTest;

TEST_F(CppStopPattern, WarnsAboutFiveSecondsBeforeTheCurveThenBrakesWithEmergency) {
    enterVelt(0);
    signal(1);
    frame(1000, 25.0F);
    beacon(kCpp, 600, 0);
    // 25 km/h stays under the 29 km/h signal check; the stop curve at 25 km/h
    // is 32 m, reached after about 81 s.
    const std::int32_t warned = runUntilSound(kSoundWarn, 25.0F, 200000);
    ASSERT_GT(warned, 0);
    EXPECT_EQ(last.brake, 0);
    const std::int32_t braked = runUntilBrake(25.0F, 200000);
    ASSERT_GT(braked, 0);
    EXPECT_NEAR(braked - warned, 5000, 100);
    EXPECT_EQ(last.brake, kEmergency);
    EXPECT_EQ(sound[kSoundBell], 0);      // bell on
    EXPECT_NE(sound[kSoundWarn], 1);      // the warning is withdrawn with the brake
    EXPECT_GT(core().cppDistance, 0.0F);  // stopped short of the target
}

TEST_F(CppStopPattern, EmergencyHoldsUntilStandstillThenReleasesWithChime) {
    enterVelt(0);
    signal(2);
    frame(1000, 40.0F);
    beacon(kCpp, 100, 0);  // curve at 45 km/h is 104 m: brakes at once
    EXPECT_EQ(frame(1100, 45.0F).brake, kEmergency);
    for (int kmh = 40; kmh > 0; kmh -= 5) {
        EXPECT_EQ(frame(now + 100, static_cast<float>(kmh)).brake, kEmergency) << kmh;
    }
    EXPECT_EQ(frame(now + 100, 0.0F).brake, 0);
    EXPECT_EQ(sound[kSoundRelease], 1);  // release chime
}

TEST_F(CppStopPattern, PastTheTargetBrakesWhileRollingForwardOnly) {
    enterVelt(0);
    signal(1);
    beacon(kCpp, 0, 0);  // distance 0 counts as past the target
    EXPECT_EQ(frame(1000, 0.0F).brake, 0);
    EXPECT_EQ(frame(1100, 1.0F).brake, kEmergency);
    EXPECT_NE(sound[kSoundWarn], kPlayOnce);  // no approach chime: it is past
    EXPECT_EQ(aux(), 14);                     // and the route selector stays shown
    EXPECT_EQ(frame(1200, 0.0F).brake, 0);
    EXPECT_EQ(frame(1300, -2.0F).brake, 0);  // backing away from the signal
    EXPECT_EQ(frame(1400, 0.5F).brake, kEmergency);
}

TEST_F(CppStopPattern, DistanceReachingExactlyZeroIsPastTheTarget) {
    enterVelt(0);
    signal(1);
    frame(1000, 0.0F);
    beacon(kCpp, 1, 0);
    // 3.6 km/h for 1000 ms runs exactly 1 m.
    EXPECT_EQ(frame(2000, 3.6F).brake, kEmergency);
    EXPECT_EQ(core().cppDistance, 0.0F);
}

TEST_F(CppStopPattern, StandingInFrontOfTheTargetNeitherWarnsNorBrakes) {
    enterVelt(0);
    signal(1);
    beacon(kCpp, 300, 0);
    frame(1000, 0.0F);
    frame(2000, 0.0F);
    EXPECT_EQ(core().cppDistance, 300.0F);
    EXPECT_EQ(last.brake, 0);
    EXPECT_NE(sound[kSoundWarn], 1);
}

TEST_F(CppStopPattern, NoWarningAtHalfAKilometrePerHourOrBelow) {
    enterVelt(0);
    signal(1);
    frame(1000, 0.0F);
    beacon(kCpp, 1, 0);
    frame(3400, 0.5F);  // 2.4 s at 0.5 km/h leaves 2/3 m, inside the 0.69 m margin
    EXPECT_EQ(core().patternWarn, 0);
    frame(3400, above(0.5F));
    EXPECT_EQ(core().patternWarn, 1);
    EXPECT_EQ(sound[kSoundWarn], 1);
}

TEST_F(CppStopPattern, StopPhaseBeginsBelowFiveAndLimitsToNinePointFive) {
    enterVelt(2);
    signal(1);
    frame(1000, 20.0F);
    beacon(kCpp, 10400, 0);  // 400 m with the stop phase requested
    frame(1100, 5.0F);
    EXPECT_EQ(core().cppPhase, CppPhase::kStopRequested);  // 5 km/h runs the distance pattern
    const float before = core().cppDistance;
    frame(1200, below(5.0F));
    EXPECT_EQ(core().cppPhase, CppPhase::kStopPhase);
    EXPECT_EQ(sound[kSoundChange], 1);      // phase change chime on line category 2
    EXPECT_EQ(core().cppDistance, before);  // not counted down in that frame
    EXPECT_EQ(frame(1300, 9.5F).brake, 0);
    EXPECT_EQ(frame(1400, above(9.5F)).brake, kEmergency);
    EXPECT_EQ(frame(1500, 3.0F).brake, kEmergency);
    EXPECT_EQ(frame(1600, 0.0F).brake, 0);
}

TEST_F(CppStopPattern, StopPhaseChimesOnlyOnLineCategoryTwo) {
    enterVelt(0);
    signal(1);
    frame(1000, 3.0F);
    beacon(kCpp, 10400, 0);
    frame(1100, 3.0F);
    EXPECT_EQ(core().cppPhase, CppPhase::kStopPhase);
    EXPECT_NE(sound[kSoundChange], 1);
}

TEST_F(CppStopPattern, IdleCaseDropsTheDemandAndARequestedStopPhase) {
    enterVelt(0);
    signal(3);
    frame(1000, 3.0F);
    beacon(kCpp, 10400, 0);  // stop pattern, but the aspect is no stop aspect
    frame(1100, 3.0F);
    EXPECT_EQ(core().cppPhase, CppPhase::kDistance);
    EXPECT_EQ(core().cppDistance, 400.0F);
    EXPECT_EQ(core().cppActive, 1);
}

TEST_F(CppStopPattern, AnySignalReportDisarmsItAndTheOtherCppCases) {
    struct Case {
        std::int32_t lineType;
        std::int32_t aspect;
        std::int32_t metres;
        std::int32_t beaconSignal;
        float kmh;
    };
    // The stop case, the 49 km/h case past its target, the 72 km/h check.
    for (const Case c :
         {Case{0, 1, 10, 0, 20.0F}, Case{2, 5, 0, 2, 60.0F}, Case{0, 3, 5000, 2, 75.0F}}) {
        reload();
        enterVelt(c.lineType);
        signal(c.aspect);
        frame(1000, c.kmh);
        beacon(kCpp, c.metres, c.beaconSignal);
        EXPECT_GT(frame(1100, c.kmh).brake, 0) << c.lineType;
        signal(c.aspect);  // the same aspect again
        EXPECT_EQ(frame(1200, c.kmh).brake, 0) << c.lineType;
    }
}

TEST_F(CppStopPattern, ABeaconThatNoLongerFitsTheAspectReleasesTheBrake) {
    enterVelt(0);
    signal(1);
    frame(1000, 20.0F);
    beacon(kCpp, 10, 0);
    EXPECT_EQ(frame(1100, 20.0F).brake, kEmergency);
    beacon(kCpp, 10, 1);  // signal 1 under aspect 1 is no stop case
    EXPECT_EQ(frame(1200, 20.0F).brake, 0);
}

TEST_F(CppStopPattern, StopPhaseKeepsTheBrakeOfItsFirstFrameThenOnlyLimitsTheSpeed) {
    enterVelt(0);
    signal(1);
    frame(1000, 30.0F);
    beacon(kCpp, 10010, 0);  // 10 m, stop phase requested
    EXPECT_EQ(frame(1100, 30.0F).brake, kEmergency);
    EXPECT_EQ(frame(1200, 0.0F).brake, kEmergency);  // enters the stop phase
    EXPECT_EQ(frame(1300, 0.0F).brake, 0);
    // Creeping on at 8 km/h, within reach of the stop curve and then past the
    // target: no approach warning, no brake.
    EXPECT_EQ(frame(1400, 8.0F).brake, 0);
    EXPECT_NE(sound[kSoundWarn], kPlayOnce);
    EXPECT_EQ(frame(6000, 8.0F).brake, 0);
}

TEST_F(CppStopPattern, CurveAtExactlyTheDistanceBrakes) {
    enterVelt(0);
    signal(2);
    frame(1000, 0.0F);
    // 39 km/h: 1521 / 19.5 = 78 m exactly. One frame of 0 ms keeps 78 m.
    beacon(kCpp, 78, 0);
    EXPECT_EQ(frame(1000, 39.0F).brake, kEmergency);
    frame(2000, 0.0F);
    beacon(kCpp, 78, 0);
    EXPECT_EQ(frame(2000, below(39.0F)).brake, 0);
}

// ------------------------------------------------------- CPP 49 km/h variant

using Cpp49Variant = VeltTest;

TEST_F(Cpp49Variant, BrakesToFortyNineAndReleasesAboveTheFortyTwoCurve) {
    enterVelt(2);
    signal(4);  // 109 km/h check on line category 2
    frame(1000, 80.0F);
    beacon(kCpp, 300, 2);
    // 80 km/h: (6400 - 2401) / 19.5 = 205 m; warning from 205 + 111 = 316 m.
    frame(1100, 80.0F);
    EXPECT_EQ(sound[kSoundWarn], 1);
    EXPECT_EQ(last.brake, 0);
    EXPECT_EQ(runUntilBrake(80.0F, 10000) > 0, true);
    EXPECT_EQ(last.brake, kFullService);
    // Slower: the 42 curve falls below the distance and the brake releases.
    EXPECT_EQ(frame(now + 100, 50.0F).brake, 0);
}

TEST_F(Cpp49Variant, PastTheTargetLimitsToFortyNineWithReleaseBelowFortyTwo) {
    enterVelt(2);
    signal(5);
    beacon(kCpp, 0, 2);
    EXPECT_EQ(frame(1000, 49.0F).brake, 0);
    EXPECT_EQ(frame(1100, above(49.0F)).brake, kFullService);
    EXPECT_EQ(frame(1200, 42.0F).brake, kFullService);
    EXPECT_EQ(frame(1300, below(42.0F)).brake, 0);
}

TEST_F(Cpp49Variant, WarnsOnlyAboveFortyNine) {
    for (const float kmh : {49.0F, above(49.0F)}) {
        reload();
        enterVelt(2);
        signal(5);
        frame(1000, kmh);
        beacon(kCpp, 30, 2);
        frame(1000, kmh);
        EXPECT_EQ(sound[kSoundWarn] == kPlayOnce, kmh > 49.0F) << kmh;
    }
}

TEST_F(Cpp49Variant, PastItsTargetLeavesTheChimeToACcpWarningOfTheSameFrame) {
    enterVelt(2);
    signal(5);
    beacon(kCpp, 0, 2);
    beacon(kCcp, packed(4, 200));  // 20 km/h: at 60 km/h it warns from 238 m
    EXPECT_EQ(frame(1000, 60.0F).brake, kFullService);
    EXPECT_EQ(sound[kSoundWarn], kPlayOnce);
}

TEST_F(Cpp49Variant, AppliesOnLineCategoryTwoOnly) {
    enterVelt(3);
    signal(4);
    beacon(kCpp, 0, 2);
    EXPECT_EQ(frame(1000, 60.0F).brake, 0);
}

// ------------------------------------------------------------------- CCP

using CcpPattern = VeltTest;

TEST_F(CcpPattern, OnLineCategoryZeroBrakesWithEmergencyAndHoldsAtStandstill) {
    enterVelt(0);
    signal(5);
    frame(1000, 90.0F);
    beacon(kCcp, 90800);  // 45 km/h in 800 m
    ASSERT_GT(runUntilBrake(90.0F, 100000), 0);
    EXPECT_EQ(last.brake, kEmergency);
    EXPECT_GT(core().ccpDistance, 0.0F);
    EXPECT_EQ(frame(now + 100, 0.0F).brake, kEmergency);  // ahead: no release
    keyDown(kRecovery);                                   // not at the emergency notch: ignored
    EXPECT_EQ(frame(now + 100, 0.0F).brake, kEmergency);
}

TEST_F(CcpPattern, OnOtherCategoriesBrakesWithServiceAndReleasesAboveTheLowerCurve) {
    enterVelt(1);
    signal(5);  // 68 km/h check on line category 1: stay below it
    frame(1000, 60.0F);
    beacon(kCcp, 50300);  // 25 km/h in 300 m
    ASSERT_GT(runUntilBrake(60.0F, 100000), 0);
    EXPECT_EQ(last.brake, kFullService);
    EXPECT_EQ(frame(now + 100, 30.0F).brake, 0);
}

TEST_F(CcpPattern, PastTheTargetItActsAsALimitFourAboveItsSpeed) {
    enterVelt(3);
    signal(5);
    beacon(kCcp, 90000);  // 45 km/h, target here
    EXPECT_EQ(frame(1000, 49.0F).brake, 0);
    EXPECT_EQ(frame(1100, above(49.0F)).brake, kFullService);
    EXPECT_EQ(frame(1200, 49.0F).brake, 0);
    EXPECT_EQ(frame(1300, -60.0F).brake, 0);  // the limit reads the signed speed
}

TEST_F(CcpPattern, WarnsFiveSecondsAheadOfItsUpperCurve) {
    enterVelt(3);
    signal(5);
    frame(1000, 100.0F);
    beacon(kCcp, 90800);  // upper curve at 100 km/h: (10000 - 49^2) / 19.5 m
    const std::int32_t warned = runUntilSound(kSoundWarn, 100.0F, 60000);
    ASSERT_GT(warned, 0);
    frame(now + 100, 100.0F);
    EXPECT_EQ(sound[kSoundWarn], 1);  // still warning: the chime command stays "play once"
    const std::int32_t braked = runUntilBrake(100.0F, 60000);
    EXPECT_NEAR(braked - warned, 5000, 100);
    EXPECT_EQ(last.brake, kFullService);
}

TEST_F(CcpPattern, ZeroOrNegativeBeaconDisarms) {
    enterVelt(3);
    signal(5);
    beacon(kCcp, 90000);
    EXPECT_EQ(frame(1000, 60.0F).brake, kFullService);
    beacon(kCcp, -5);
    EXPECT_EQ(frame(1100, 60.0F).brake, 0);
    EXPECT_EQ(core().ccpSpeed, 45);
}

// ------------------------------------------------------------------- SPB

using SpbPattern = VeltTest;

TEST_F(SpbPattern, KindZeroBrakesWithServiceAndReleasesAboveTheReleaseCurve) {
    enterVelt(0);
    signal(5);
    frame(1000, 60.0F);
    beacon(kSpb, 100);  // 60 km/h: stop curve 184 m: brakes at once
    EXPECT_EQ(frame(1100, 60.0F).brake, kFullService);
    EXPECT_EQ(sound[kSoundSpbWarn], 1);  // SPB warning chime on line category 0
    doorClose();
    EXPECT_EQ(frame(1200, 20.0F).brake, 0);  // release curve (449 / 19.5) below 100 m
}

TEST_F(SpbPattern, KindOneBrakesWithEmergencyUntilStandstill) {
    enterVelt(0);
    signal(5);
    doorClose();
    frame(1000, 60.0F);
    beacon(kSpb, 10100);
    EXPECT_EQ(frame(1100, 60.0F).brake, kEmergency);
    EXPECT_EQ(frame(1200, 20.0F).brake, kEmergency);
    EXPECT_EQ(frame(1300, 0.0F).brake, 0);
    EXPECT_EQ(core().spbActive, 1);  // doors closed: still armed
}

TEST_F(SpbPattern, OtherKindsBrakeWithServiceReleasedAtStandstill) {
    enterVelt(0);
    signal(5);
    doorClose();
    frame(1000, 60.0F);
    beacon(kSpb, 30100);
    EXPECT_EQ(frame(1100, 60.0F).brake, kFullService);
    EXPECT_EQ(frame(1200, 20.0F).brake, kFullService);
    EXPECT_EQ(frame(1300, 0.0F).brake, 0);
}

TEST_F(SpbPattern, WarningChimesPerLineCategory) {
    for (const std::int32_t lineType : {0, 1, 2, 3}) {
        reload();
        enterVelt(lineType);
        signal(5);
        doorClose();
        frame(1000, 60.0F);
        beacon(kSpb, 500);  // 184 + 83 m reaches 500 m only later
        frame(1100, 60.0F);
        if (lineType == 1 || lineType == 3) {
            EXPECT_EQ(core().spbActive, 0) << lineType;  // not taken on this category
            continue;
        }
        EXPECT_EQ(core().spbWarn, 0) << lineType;
        while (core().spbWarn == 0 && now < 60000) {
            frame(now + 100, 60.0F);
        }
        EXPECT_EQ(sound[kSoundSpbWarn], lineType == 0 ? 1 : 2) << lineType;
        EXPECT_EQ(sound[kSoundWarn], lineType == 2 ? 1 : 2) << lineType;
        frame(now + 100, 60.0F);
        EXPECT_EQ(sound[lineType == 0 ? 7 : 6], 1) << "raised in every warning frame";
    }
}

TEST_F(SpbPattern, DoorsOpenBelowFiveDisarmAndTheDemandDropsOneFrameLater) {
    enterVelt(0);
    signal(5);
    frame(1000, 30.0F);
    beacon(kSpb, 20010);  // kind 2, 10 m; doors count as open from load
    EXPECT_EQ(frame(1100, 30.0F).brake, kFullService);
    EXPECT_EQ(core().spbActive, 1);  // 30 km/h is no stop
    EXPECT_EQ(frame(1150, 5.0F).brake, kFullService);
    EXPECT_EQ(core().spbActive, 1);  // nor is 5 km/h
    EXPECT_EQ(frame(1200, 4.0F).brake, kFullService);
    EXPECT_EQ(core().spbActive, 0);
    EXPECT_EQ(frame(1300, 4.0F).brake, 0);
    doorClose();
    EXPECT_EQ(frame(1400, 30.0F).brake, 0) << "the stop is made: running on is free";
}

TEST_F(SpbPattern, PastTheTargetHoldsUntilStandstillAndDropsTheFrameAfter) {
    enterVelt(0);
    signal(5);
    doorClose();
    frame(1000, 30.0F);
    beacon(kSpb, 10010);
    EXPECT_EQ(frame(1100, 30.0F).brake, kEmergency);
    EXPECT_EQ(frame(2500, 30.0F).brake, kEmergency);  // 11.7 m more: past
    EXPECT_EQ(frame(2600, 10.0F).brake, kEmergency);
    EXPECT_EQ(frame(2700, 0.0F).brake, kEmergency);
    EXPECT_EQ(core().spbActive, 0);
    EXPECT_EQ(frame(2800, 0.0F).brake, 0);
}

TEST_F(SpbPattern, BeaconPassedStandingOrBackwardsIsIgnored) {
    enterVelt(0);
    frame(1000, 0.0F);
    beacon(kSpb, 100);
    frame(1100, -5.0F);
    beacon(kSpb, 100);
    EXPECT_EQ(core().spbActive, 0);
    frame(1200, 0.5F);
    beacon(kSpb, 100);
    EXPECT_EQ(core().spbActive, 1) << "taken at any forward speed";
}

// ------------------------------------------------------------------- CLF

using ClfLimit = VeltTest;

TEST_F(ClfLimit, BrakesAboveFourOverAndReleasesBelowThreeUnder) {
    enterVelt(3);
    signal(5);
    beacon(kClf, 12);  // 60 km/h
    EXPECT_EQ(frame(1000, 64.0F).brake, 0);
    EXPECT_EQ(frame(1100, above(64.0F)).brake, kFullService);
    EXPECT_EQ(frame(1200, 57.0F).brake, kFullService);
    EXPECT_EQ(frame(1300, below(57.0F)).brake, 0);
    EXPECT_EQ(frame(1400, 63.0F).brake, 0);
}

TEST_F(ClfLimit, ReArmingWhileOverTheLimitKeepsTheDemandUntilReleased) {
    enterVelt(2);
    signal(5);
    beacon(kClf, 12);
    frame(1000, 70.0F);
    EXPECT_EQ(last.brake, kFullService);
    beacon(kClf, 10);  // 50 km/h, back to armed
    EXPECT_EQ(frame(1100, 50.0F).brake, kFullService);
    // Over the limit to armed is a change of state, so line 2 chimes.
    EXPECT_EQ(sound[kSoundChange], kPlayOnce);
    EXPECT_EQ(frame(1200, 55.0F).brake, kFullService);
    EXPECT_EQ(frame(1300, 46.0F).brake, 0);
}

TEST_F(ClfLimit, AReleasedBrakeLeavesItArmedSoTheSameBeaconDoesNotChime) {
    enterVelt(2);
    signal(5);
    beacon(kClf, 12);
    EXPECT_EQ(frame(1000, 70.0F).brake, kFullService);
    EXPECT_EQ(frame(1100, 50.0F).brake, 0);
    beacon(kClf, 12);
    frame(1200, 50.0F);
    EXPECT_NE(sound[kSoundChange], kPlayOnce);
}

TEST_F(ClfLimit, OutOfRangeValuesSwitchItOff) {
    enterVelt(3);
    signal(5);
    beacon(kClf, 12);
    EXPECT_EQ(frame(1000, 70.0F).brake, kFullService);
    beacon(kClf, 32);
    EXPECT_EQ(frame(1100, 70.0F).brake, 0);
    beacon(kClf, 3);
    EXPECT_EQ(core().clfSpeed, 15);
    beacon(kClf, 2);
    EXPECT_EQ(core().clfState, ClfState::kOff);
    beacon(kClf, 31);
    EXPECT_EQ(core().clfSpeed, 155);
}

// ------------------------------------------------------ curve boundaries

// Each curve exactly at a whole distance, or a few centimetres short of it.
// The deciding frame comes at the same host time as the beacon, so the
// distance the beacon gave stays whole; a first frame, where given, sets the
// demand to be held or released.
struct CurveBoundary {
    const char* what;
    std::int32_t lineType;
    std::int32_t beaconType;
    std::int32_t optional;
    std::int32_t beaconSignal;
    float brakeFirstKmh;  // 0: no demand before the frame that decides
    float kmh;
    std::int32_t brake;
};

void PrintTo(const CurveBoundary& c, std::ostream* os) { *os << c.what; }

class CurveBoundaries : public VeltTest, public ::testing::WithParamInterface<CurveBoundary> {};

TEST_P(CurveBoundaries, DecideAtTheCurveNotACentimetreAway) {
    const CurveBoundary& c = GetParam();
    enterVelt(c.lineType);
    signal(5);  // no signal check below 120 km/h
    doorClose();
    frame(1000, 60.0F);
    beacon(c.beaconType, c.optional, c.beaconSignal);
    if (c.brakeFirstKmh > 0.0F) {
        ASSERT_GT(frame(1000, c.brakeFirstKmh).brake, 0);
    }
    EXPECT_EQ(frame(1000, c.kmh).brake, c.brake);
}

INSTANTIATE_TEST_SUITE_P(
    Curves, CurveBoundaries,
    ::testing::Values(
        // The 49 curve (v^2 - 49^2) / 19.5: 4.974 m stops short of 5 m, and at
        // 55 km/h it is exactly 32 m, which brakes.
        CurveBoundary{"Cpp49CurveShort", 2, kCpp, 5, 2, 0.0F, 49.98F, 0},
        CurveBoundary{"Cpp49CurveEqualBrakes", 2, kCpp, 32, 2, 0.0F, 55.0F, kFullService},
        // The 42 curve: exactly 576 m at 114 km/h holds the brake; 39.958 m at
        // 40 m releases it.
        CurveBoundary{"Cpp42CurveEqualHolds", 2, kCpp, 576, 2, 120.0F, 114.0F, kFullService},
        CurveBoundary{"Cpp42CurveReleases", 2, kCpp, 40, 2, 60.0F, 50.43F, 0},
        // The stop curve v^2 / 19.5 is exactly 78 m at 39 km/h.
        CurveBoundary{"SpbStopCurveEqualBrakes", 0, kSpb, 78, 0, 0.0F, 39.0F, kFullService},
        // The SPB release curve (v^2 + 49) / 19.5: exactly 10 m at the float
        // 12.083046 km/h holds the brake; 9.972 m releases it.
        CurveBoundary{"SpbReleaseCurveEqualHolds", 0, kSpb, 10, 0, 60.0F, 12.083046F, kFullService},
        CurveBoundary{"SpbReleaseCurveReleases", 0, kSpb, 10, 0, 60.0F, 12.06F, 0},
        // The CCP release curve runs to 3 km/h under its speed: for 20 km/h it
        // is exactly 48 m at 35 km/h, which holds; 39.28 m at 40 m releases.
        CurveBoundary{"CcpReleaseCurveEqualHolds", 3, kCcp, packed(4, 48), 0, 60.0F, 35.0F,
                      kFullService},
        CurveBoundary{"CcpReleaseCurveReleases", 3, kCcp, packed(4, 40), 0, 60.0F, 32.48F, 0}),
    [](const ::testing::TestParamInfo<CurveBoundary>& p) { return p.param.what; });

TEST_F(CcpPattern, WarnsWhenItsUpperCurvePlusFiveSecondsEqualsTheDistance) {
    // 54 km/h towards 20 km/h: the upper curve (54^2 - 24^2) / 19.5 is 120 m
    // and five seconds run 75 m, both exact.
    for (const std::int32_t metres : {195, 196}) {
        reload();
        enterVelt(3);
        signal(5);
        frame(1000, 54.0F);
        beacon(kCcp, packed(4, metres));
        frame(1000, 54.0F);
        EXPECT_EQ(sound[kSoundWarn] == kPlayOnce, metres == 195) << metres << " m";
    }
}

// ---------------------------------------------------------- signal check

struct SignalCase {
    std::int32_t lineType;
    std::int32_t aspect;
    float checkKmh;  // < 0: no check; 0: stop aspect
};

class SignalSpeedCheck : public VeltTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(SignalSpeedCheck, BrakesStrictlyAboveTheCheckSpeed) {
    const SignalCase c = GetParam();
    enterVelt(c.lineType);
    signal(c.aspect);
    if (c.checkKmh < 0.0F) {
        EXPECT_EQ(frame(1000, 300.0F).brake == 0 || core().overspeedCut == 1, true);
        EXPECT_EQ(core().sigDemand, Demand::kNone);
        return;
    }
    if (c.checkKmh == 0.0F) {
        EXPECT_EQ(frame(1000, 0.0F).brake, 0);
        EXPECT_EQ(frame(1100, std::numeric_limits<float>::denorm_min()).brake, kEmergency);
        EXPECT_EQ(frame(1200, -1.0F).brake, kEmergency);
        return;
    }
    EXPECT_EQ(frame(1000, c.checkKmh).brake, 0);
    EXPECT_EQ(frame(1100, above(c.checkKmh)).brake, kFullService);
    EXPECT_EQ(frame(1200, -above(c.checkKmh)).brake, kFullService);  // either direction
}

INSTANTIATE_TEST_SUITE_P(
    EveryCategoryAndIndex, SignalSpeedCheck,
    ::testing::Values(
        SignalCase{1, 0, 0}, SignalCase{1, 1, 29}, SignalCase{1, 2, 49}, SignalCase{1, 3, 68},
        SignalCase{1, 4, 68}, SignalCase{1, 5, 68}, SignalCase{1, 6, 68}, SignalCase{1, 7, 68},
        SignalCase{1, 8, 68}, SignalCase{2, 0, 0}, SignalCase{2, 1, 29}, SignalCase{2, 2, 49},
        SignalCase{2, 3, 79}, SignalCase{2, 4, 109}, SignalCase{2, 5, 120}, SignalCase{2, 7, 120},
        SignalCase{2, 8, 120}, SignalCase{0, 0, 0}, SignalCase{0, 1, 29}, SignalCase{0, 2, 49},
        SignalCase{0, 3, 79}, SignalCase{0, 4, 109}, SignalCase{0, 5, -1}, SignalCase{0, 7, -1},
        SignalCase{0, 8, -1}, SignalCase{5, 3, 79}, SignalCase{9, 4, 109}, SignalCase{9, 8, -1},
        SignalCase{0, 9, 0}, SignalCase{2, -1, 0}, SignalCase{1, 2147483647, 0}));

using SignalCheckDemand = VeltTest;

TEST_F(SignalCheckDemand, EndsWhenTheAspectChangesToOneWithoutACheck) {
    enterVelt(0);
    signal(3);
    EXPECT_EQ(frame(1000, 80.0F).brake, kFullService);
    signal(5);
    EXPECT_EQ(frame(1100, 80.0F).brake, 0);
}

using LineType0Override = VeltTest;

TEST_F(LineType0Override, CppWithSignalTwoChecksSeventyTwoUnderAspectsThreeAndFive) {
    for (const std::int32_t aspect : {3, 5}) {
        reload();
        enterVelt(0);
        signal(aspect);
        beacon(kCpp, 5000, 2);
        EXPECT_EQ(frame(1000, 72.0F).brake, 0) << aspect;
        EXPECT_EQ(frame(1000, above(72.0F)).brake, kFullService) << aspect;
    }
}

TEST_F(LineType0Override, WithoutTheCppAspectThreeChecksSeventyNine) {
    enterVelt(0);
    signal(3);
    EXPECT_EQ(frame(1000, 75.0F).brake, 0);
    beacon(kCpp, 5000, 2);
    EXPECT_EQ(frame(1000, 75.0F).brake, kFullService);
}

TEST_F(LineType0Override, LeavesTheCheckOfAStopCaseAspectAlone) {
    enterVelt(0);
    signal(1);
    beacon(kCpp, 5000, 0);
    EXPECT_EQ(frame(1000, 40.0F).brake, kFullService);  // aspect 1 checks 29 km/h
}

using OverspeedCut = VeltTest;

TEST_F(OverspeedCut, CutsPowerAboveOneTwentyAndRestoresBelowOneSeventeen) {
    enterVelt(0);
    signal(5);
    power(5);
    EXPECT_EQ(frame(1000, 120.0F).power, 5);
    EXPECT_EQ(frame(1100, above(120.0F)).power, 0);
    EXPECT_EQ(sound[kSoundChange], 1);
    EXPECT_EQ(last.brake, 0);  // a power cut, not a brake
    EXPECT_EQ(frame(1200, 117.0F).power, 0);
    EXPECT_EQ(frame(1300, below(117.0F)).power, 5);
    EXPECT_NE(sound[kSoundChange], 1);  // restoring is silent
}

TEST_F(OverspeedCut, OnlyOnLineCategoryZero) {
    enterVelt(3);
    signal(8);
    power(5);
    EXPECT_EQ(frame(1000, 150.0F).power, 5);
}

// ------------------------------------------- section, chimes and timers

using SectionChimes = VeltTest;

TEST_F(SectionChimes, ChangesChimeOnLineCategoryTwoOnly) {
    for (const std::int32_t lineType : {0, 1, 2}) {
        reload();
        beacon(kRoute, lineType * 100);
        frame(1000, 30.0F);
        beacon(kSection, 1);
        frame(1100, 30.0F);
        EXPECT_EQ(sound[kSoundChange] == 1, lineType == 2) << "section start " << lineType;
        signal(2);
        frame(1200, 30.0F);
        EXPECT_EQ(sound[kSoundChange] == 1, lineType == 2) << "aspect change " << lineType;
        signal(2);
        frame(1300, 30.0F);
        EXPECT_NE(sound[kSoundChange], 1) << "same aspect " << lineType;
        beacon(kCpp, 2000, 0);
        frame(1400, 30.0F);
        EXPECT_EQ(sound[kSoundChange] == 1, lineType == 2) << "cpp armed " << lineType;
        beacon(kCpp, 2000, 0);
        frame(1500, 30.0F);
        EXPECT_NE(sound[kSoundChange], 1) << "cpp re-armed " << lineType;
        beacon(kClf, 12);
        frame(1600, 30.0F);
        EXPECT_EQ(sound[kSoundChange] == 1, lineType == 2) << "clf armed " << lineType;
        beacon(kClf, 13);
        frame(1700, 30.0F);
        EXPECT_NE(sound[kSoundChange], 1) << "clf new speed " << lineType;
        beacon(kSection, 0);
        frame(1800, 30.0F);
        EXPECT_EQ(sound[kSoundChange] == 1, lineType == 2) << "section end " << lineType;
    }
}

TEST_F(SectionChimes, SectionBeaconRepeatingTheStateChangesNothing) {
    beacon(kRoute, 200);
    beacon(kSection, 0);
    frame(1000, 0.0F);
    EXPECT_NE(sound[kSoundChange], 1);
}

using VeltTimers = VeltTest;

TEST_F(VeltTimers, KindBlinkComesOnAfterTheDoorsOpenAndEndsAboveOneKilometrePerHour) {
    enterVelt(0);
    signal(5);
    frame(10000, 0.0F);
    beacon(kKindBlink, 5000);
    doorOpen();
    frame(10100, 0.0F);
    EXPECT_EQ(core().kindBlink, 1);
    EXPECT_EQ(core().kindBlinkTimer, 0);
    EXPECT_EQ(core().kindBlinkUntil, 0);
    frame(20000, 1.0F);
    EXPECT_EQ(core().kindBlink, 1);
    frame(20100, above(1.0F));
    EXPECT_EQ(core().kindBlink, 0);
}

TEST_F(VeltTimers, KindBlinkDelayNearTheEndOfTheIntRangeWraps) {
    enterVelt(0);
    frame(2147483000, 0.0F);
    beacon(kKindBlink, 5000);
    doorOpen();  // the deadline wraps to a negative time
    frame(2147483100, 0.0F);
    EXPECT_EQ(core().kindBlink, 0);  // a 32-bit host compares the wrapped value
}

TEST_F(VeltTimers, LinkedDoorStateThreeEndsAfterItsStamp) {
    enterVelt(0);
    frame(5000, 0.0F);
    beacon(kLinkDoor, 1);
    doorOpen();   // state 2 until 5500
    doorClose();  // state 3, stamp 6000
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kDoorsClosed);
    frame(6000, 0.0F);
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kDoorsClosed);
    frame(6001, 0.0F);
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kIdle);
}

TEST_F(VeltTimers, TimersWaitOutsideASection) {
    frame(5000, 0.0F);
    beacon(kLinkDoor, 1);
    doorOpen();
    doorClose();
    frame(9000, 0.0F);
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kDoorsClosed);
    beacon(kSection, 1);
    frame(9100, 0.0F);
    EXPECT_EQ(core().linkDoorState, LinkDoorState::kIdle);
}

// --------------------------------------------------------- hostile frames

using HostileFrames = VeltTest;

TEST_F(HostileFrames, NaNSpeedLeavesEveryDistanceUsable) {
    enterVelt(0);
    signal(1);
    frame(1000, 20.0F);
    beacon(kCpp, 200, 0);
    beacon(kCcp, 90300);
    doorClose();
    beacon(kSpb, 400);
    frame(1100, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(std::isnan(core().cppDistance));
    EXPECT_FALSE(std::isnan(core().ccpDistance));
    EXPECT_FALSE(std::isnan(core().spbDistance));
    // Infinite speed over a zero interval: inf * 0.
    frame(1100, std::numeric_limits<float>::infinity());
    EXPECT_FALSE(std::isnan(core().cppDistance));
    EXPECT_EQ(frame(1200, 20.0F).brake, kEmergency);  // infinity ran past the target
}

TEST_F(HostileFrames, TimeGoingBackGrowsTheDistance) {
    enterVelt(0);
    signal(5);
    frame(10000, 36.0F);
    beacon(kCcp, 90500);
    frame(9000, 36.0F);  // -1000 ms at 10 m/s
    EXPECT_EQ(core().ccpDistance, 510.0F);
}

}  // namespace
}  // namespace velt::test
