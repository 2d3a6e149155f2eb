// The cab's protection display (panel 20 to 23), driven as a host drives the
// plug-in: beacons and signals between frames, and the codes read back from
// the panel after each frame.
#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include "plugin_harness.h"

namespace velt::test {
namespace {

// 10:00:00, a time on every period boundary: mod 500, 1000 and 2000 all 0.
constexpr std::int32_t kBase = 36000000;

struct Shown {
    std::int32_t limit;
    std::int32_t target;
};

class Display : public PluginTest {
protected:
    [[nodiscard]] Shown shown() const { return {limit(), target()}; }

    // A standing train at the base time: the first frame measures its
    // interval from 0, so it must not move.
    void standAtBase() { frame(kBase, 0.0F); }

    // A freshly loaded plug-in, for cases that run one after another in a
    // single test.

    static void clf(std::int32_t code) { beacon(kClf, code); }
    static void ccp(std::int32_t speedKmh, std::int32_t metres) {
        beacon(kCcp, speedKmh / 5 * 10000 + metres);
    }
    static void cpp(std::int32_t metres, std::int32_t beaconSignal, bool stopPhase = false) {
        beacon(kCpp, (stopPhase ? 10000 : 0) + metres, beaconSignal);
    }
};

bool operator==(const Shown& a, const Shown& b) {
    return a.limit == b.limit && a.target == b.target;
}
void PrintTo(const Shown& s, std::ostream* os) {
    *os << "{limit " << s.limit << ", target " << s.target << "}";
}

// ---- Mode

TEST_F(Display, ShowsTheSupervisionInForceOnTheModeElement) {
    struct Case {
        std::int32_t lineType;
        bool velt;
        std::int32_t mode;
    };
    for (const Case c : {Case{0, false, 1}, Case{1, false, 2}, Case{2, false, 2}, Case{5, false, 2},
                         Case{0, true, 3}, Case{1, true, 3}, Case{7, true, 3}}) {
        SCOPED_TRACE(testing::Message() << "line type " << c.lineType << ", velt " << c.velt);
        beacon(kRoute, c.lineType * 100);
        beacon(kSection, c.velt ? 1 : 0);
        frame(kBase, 0.0F);
        EXPECT_EQ(mode(), c.mode);
    }
}

TEST_F(Display, ShowsNoLimitOrTargetInTheLegacyModeWhateverTheVeltStateHolds) {
    // State armed inside a section stays armed outside it, but is not shown.
    enterVelt(0);
    signal(8);
    clf(20);
    ccp(20, 5000);
    standAtBase();
    ASSERT_EQ(target(), 28);
    beacon(kSection, 0);
    for (std::int32_t t = kBase + 100; t <= kBase + 2000; t += 100) {
        frame(t, 0.0F);
        ASSERT_EQ(shown(), (Shown{0, 0})) << "at " << t;
    }
}

// ---- Signal aspect as the restriction in force

struct SignalCase {
    std::int32_t lineType;
    std::int32_t aspect;
    Shown expected;
};

class SignalDisplay : public Display, public testing::WithParamInterface<SignalCase> {};

TEST_P(SignalDisplay, ShowsTheAspectByLineCategory) {
    const SignalCase c = GetParam();
    enterVelt(c.lineType);
    signal(c.aspect);
    standAtBase();
    EXPECT_EQ(shown(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(LineCategory0, SignalDisplay,
                         testing::Values(SignalCase{0, 0, {0, 1}}, SignalCase{0, 1, {5, 0}},
                                         SignalCase{0, 2, {9, 0}}, SignalCase{0, 3, {15, 0}},
                                         SignalCase{0, 4, {20, 0}}, SignalCase{0, 5, {24, 0}},
                                         SignalCase{0, 6, {24, 0}}, SignalCase{0, 7, {25, 0}},
                                         SignalCase{0, 8, {26, 0}}));
INSTANTIATE_TEST_SUITE_P(LineCategory1, SignalDisplay,
                         testing::Values(SignalCase{1, 0, {0, 1}}, SignalCase{1, 1, {5, 0}},
                                         SignalCase{1, 2, {9, 0}}, SignalCase{1, 3, {14, 0}},
                                         SignalCase{1, 4, {14, 0}}, SignalCase{1, 5, {14, 0}},
                                         SignalCase{1, 7, {14, 0}}, SignalCase{1, 8, {14, 0}}));
// Line category 2 hides every aspect above 2.
INSTANTIATE_TEST_SUITE_P(LineCategory2, SignalDisplay,
                         testing::Values(SignalCase{2, 0, {0, 1}}, SignalCase{2, 1, {5, 0}},
                                         SignalCase{2, 2, {9, 0}}, SignalCase{2, 3, {0, 0}},
                                         SignalCase{2, 4, {0, 0}}, SignalCase{2, 5, {0, 0}},
                                         SignalCase{2, 7, {0, 0}}, SignalCase{2, 8, {0, 0}}));
// Categories 3 to 9, and the negative ones a negative route code leaves,
// show only the stop aspect.
INSTANTIATE_TEST_SUITE_P(LineCategories3To9, SignalDisplay,
                         testing::Values(SignalCase{3, 0, {0, 1}}, SignalCase{3, 1, {0, 0}},
                                         SignalCase{3, 2, {0, 0}}, SignalCase{3, 8, {0, 0}},
                                         SignalCase{9, 0, {0, 1}}, SignalCase{9, 4, {0, 0}},
                                         SignalCase{-2, 0, {0, 1}}, SignalCase{-2, 3, {0, 0}},
                                         SignalCase{-1, 1, {0, 0}}));
// An aspect the tables do not know is shown as the stop the supervision
// brakes it as, on line category 2 as well, where an index above 2 would
// otherwise show nothing.
INSTANTIATE_TEST_SUITE_P(UnknownAspects, SignalDisplay,
                         testing::Values(SignalCase{0, 9, {0, 1}}, SignalCase{0, -1, {0, 1}},
                                         SignalCase{1, 100, {0, 1}}, SignalCase{2, 9, {0, 1}},
                                         SignalCase{2, -5, {0, 1}}));

TEST_F(Display, AnUnknownAspectKeepsTheStopShownAgainstAnyRestriction) {
    // Its speed is that of the stop aspect, so no CLF or CCP speed is lower.
    enterVelt(0);
    signal(9);
    clf(3);
    ccp(0, 500);
    standAtBase();
    EXPECT_EQ(shown(), (Shown{0, 1}));
}

// ---- The CPP stop case moves the restriction's code to the target element

struct CppCase {
    std::int32_t lineType;
    std::int32_t aspect;
    std::int32_t beaconSignal;
    Shown expected;
};

class CppStopCaseDisplay : public Display, public testing::WithParamInterface<CppCase> {};

TEST_P(CppStopCaseDisplay, PlacesTheSignalCode) {
    const CppCase c = GetParam();
    enterVelt(c.lineType);
    signal(c.aspect);
    cpp(5000, c.beaconSignal);
    standAtBase();
    EXPECT_EQ(shown(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(All, CppStopCaseDisplay,
                         testing::Values(
                             // Aspects 1 and 2 under a CPP beacon with signal 0: the stop case.
                             CppCase{0, 1, 0, {0, 5}}, CppCase{0, 2, 0, {0, 9}},
                             CppCase{1, 1, 0, {0, 5}}, CppCase{1, 2, 0, {0, 9}},
                             CppCase{2, 1, 0, {0, 5}}, CppCase{2, 2, 0, {0, 9}},
                             // Another beacon signal is no stop case.
                             CppCase{0, 1, 2, {5, 0}}, CppCase{1, 2, 1, {9, 0}},
                             // Line category 0, aspects above 2, beacon signal 2 or less: 27.
                             CppCase{0, 3, 2, {27, 0}}, CppCase{0, 5, 0, {27, 0}},
                             CppCase{0, 8, 1, {27, 0}}, CppCase{0, 3, 3, {15, 0}},
                             // Only on line category 0.
                             CppCase{1, 3, 2, {14, 0}}, CppCase{2, 4, 2, {0, 0}}));

TEST_F(Display, ASignalReportEndsTheCppStopCase) {
    enterVelt(0);
    signal(1);
    cpp(5000, 0);
    standAtBase();
    ASSERT_EQ(shown(), (Shown{0, 5}));
    signal(1);
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{5, 0}));
}

// ---- Choice of the restriction shown

TEST_F(Display, ShowsTheSignalWhenAClfLimitEqualsItsSpeed) {
    enterVelt(0);
    signal(4);  // 105 km/h, code 20
    clf(21);    // 105 km/h, code 21
    standAtBase();
    EXPECT_EQ(shown(), (Shown{20, 0}));
    clf(19);  // 95 km/h
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{19, 0}));
}

TEST_F(Display, ShowsTheSignalWhenAClfLimitEqualsItsSpeedOnLineCategory1) {
    enterVelt(1);
    signal(3);  // 75 km/h, code 14
    clf(15);    // 75 km/h
    standAtBase();
    EXPECT_EQ(shown(), (Shown{14, 0}));
    clf(14);  // 70 km/h: a CLF restriction shows 28
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{28, 0}));
}

TEST_F(Display, ShowsTheClfLimitWhenACcpSpeedEqualsIt) {
    enterVelt(0);
    signal(8);
    clf(20);  // 100 km/h
    ccp(100, 5000);
    standAtBase();
    EXPECT_EQ(shown(), (Shown{20, 0}));
    ccp(95, 5000);
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{0, 28}));
}

TEST_F(Display, ShowsTheSignalWhenACcpSpeedEqualsItsSpeed) {
    enterVelt(0);
    signal(4);  // 105 km/h
    ccp(105, 5000);
    standAtBase();
    EXPECT_EQ(shown(), (Shown{20, 0}));
    ccp(100, 5000);
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{0, 28}));
}

// Every aspect keeps its code against a restriction of its own speed; one
// speed step lower, the restriction is shown (28 on line category 1).
TEST_F(Display, ShowsTheSignalOfEveryAspectAgainstACcpSpeedEqualToIt) {
    struct Case {
        std::int32_t aspect;
        std::int32_t speedKmh;
        std::int32_t code;
    };
    for (const Case c : {Case{1, 25, 5}, Case{2, 45, 9}, Case{3, 75, 14}, Case{4, 105, 14},
                         Case{5, 120, 14}, Case{7, 130, 14}, Case{8, 160, 14}}) {
        for (const std::int32_t lower : {0, 5}) {
            SCOPED_TRACE(testing::Message() << "aspect " << c.aspect << ", " << lower << " below");
            reload();
            enterVelt(1);
            signal(c.aspect);
            ccp(c.speedKmh - lower, 5000);
            standAtBase();
            EXPECT_EQ(shown(), (Shown{lower == 0 ? c.code : 28, 0}));
        }
    }
}

TEST_F(Display, ComparesTheCcpSpeedWithTheClfLimitOnceTheClfHasWon) {
    // The CCP speed is below the signal's but not below the CLF limit.
    enterVelt(0);
    signal(8);       // 160 km/h
    clf(20);         // 100 km/h
    ccp(105, 5000);  // 105 km/h
    standAtBase();
    EXPECT_EQ(shown(), (Shown{20, 0}));
}

TEST_F(Display, ShowsTheSignalAgainOnceTheClfLimitIsCancelled) {
    enterVelt(0);
    signal(8);
    clf(20);
    standAtBase();
    ASSERT_EQ(shown(), (Shown{20, 0}));
    clf(0);
    frame(kBase + 100, 0.0F);
    EXPECT_EQ(shown(), (Shown{26, 0}));
}

struct RestrictionCase {
    std::int32_t lineType;
    std::int32_t aspect;
    bool ccpNotClf;
    Shown expected;
};

class RestrictionDisplay : public Display, public testing::WithParamInterface<RestrictionCase> {};

// Each restriction below the aspect's speed, standing in the first second of
// a two-second period.
TEST_P(RestrictionDisplay, ShowsTheRestrictionByLineCategory) {
    const RestrictionCase c = GetParam();
    enterVelt(c.lineType);
    signal(c.aspect);
    if (c.ccpNotClf) {
        ccp(10, 5000);
    } else {
        clf(3);  // 15 km/h, code 3
    }
    standAtBase();
    EXPECT_EQ(shown(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    All, RestrictionDisplay,
    testing::Values(RestrictionCase{0, 8, false, {3, 0}}, RestrictionCase{1, 8, false, {28, 0}},
                    RestrictionCase{2, 1, false, {0, 0}}, RestrictionCase{3, 8, false, {0, 0}},
                    RestrictionCase{0, 8, true, {0, 28}}, RestrictionCase{1, 8, true, {28, 0}},
                    RestrictionCase{2, 1, true, {0, 0}}, RestrictionCase{4, 8, true, {0, 0}}));

TEST_F(Display, ShowsTheClfSpeedOnTheTargetInTheCppStopCase) {
    enterVelt(0);
    signal(1);  // 25 km/h
    cpp(5000, 0);
    clf(3);  // 15 km/h
    standAtBase();
    EXPECT_EQ(shown(), (Shown{0, 3}));
}

// ---- Speed codes

TEST_F(Display, ShowsClfSpeedsAsSpeedCodes) {
    struct Case {
        std::int32_t speedKmh;
        std::int32_t code;
    };
    // Beacons carry speeds in 5 km/h steps; 134 km/h, the top of the band
    // shown as 25, is set on the armed limit directly.
    for (const Case c :
         {Case{15, 3}, Case{125, 25}, Case{130, 25}, Case{134, 25}, Case{135, 27}, Case{155, 31}}) {
        SCOPED_TRACE(testing::Message() << c.speedKmh << " km/h");
        reload();
        enterVelt(0);
        signal(8);
        clf(c.speedKmh / 5);
        core().clfSpeed = c.speedKmh;
        standAtBase();
        EXPECT_EQ(shown(), (Shown{c.code, 0}));
    }
}

TEST_F(Display, AlternatesTheCcpSignAndItsSpeedEverySecondWithoutAFixedRoute) {
    enterVelt(0);
    signal(8);
    ccp(130, 5000);
    const std::vector<std::pair<std::int32_t, std::int32_t>> timeAndTarget = {
        {0, 28}, {999, 28}, {1000, 25}, {1999, 25}, {2000, 28}};
    for (const auto& [offset, code] : timeAndTarget) {
        frame(kBase + offset, 0.0F);
        EXPECT_EQ(shown(), (Shown{0, code})) << "at +" << offset << " ms";
    }
}

TEST_F(Display, ShowsTheCcpSignSteadilyOnAFixedRoute) {
    beacon(kRoute, 1008);  // line category 0, fixed route
    beacon(kSection, 1);
    signal(8);
    ccp(130, 5000);
    for (const std::int32_t offset : {0, 999, 1000, 1999}) {
        frame(kBase + offset, 0.0F);
        EXPECT_EQ(shown(), (Shown{0, 28})) << "at +" << offset << " ms";
    }
}

// ---- Overspeed cut and CPP stop phase

TEST_F(Display, BlinksTheOverspeedCutAtItsFastPhaseEdgesAndHidesTheStopAspect) {
    enterVelt(0);
    signal(0);
    clf(20);
    standAtBase();
    frame(kBase + 100, 121.0F);
    const std::vector<std::pair<std::int32_t, std::int32_t>> timeAndLimit = {
        {249, 0}, {250, 1}, {499, 1}, {500, 0}, {749, 0}, {750, 1}};
    for (const auto& [offset, code] : timeAndLimit) {
        frame(kBase + 1000 + offset, 121.0F);
        EXPECT_EQ(shown(), (Shown{code, 0})) << "at +" << offset << " ms";
    }
}

TEST_F(Display, ShowsTheStopPhaseOnTheLimitAndItsBrakingOnTheTarget) {
    for (const std::int32_t lineType : {0, 1, 2, 3}) {
        SCOPED_TRACE(testing::Message() << "line type " << lineType);
        reload();
        enterVelt(lineType);
        signal(1);
        cpp(5000, 0, true);
        standAtBase();  // below 5 km/h: the stop phase is reached
        EXPECT_EQ(shown(), (Shown{2, 0}));
        frame(kBase + 100, 10.0F);  // above 9.5 km/h in the stop phase: emergency
        ASSERT_EQ(last.brake, kServiceNotches + 1);
        EXPECT_EQ(shown(), (Shown{0, 29}));
    }
}

// ---- Blink phases of the warnings

// Arranges a CCP approach warning: 20 km/h in 220 m, running at 60 km/h,
// which is within five seconds of the curve but short of it.
class Warning : public Display {
protected:
    void warnOn(std::int32_t lineType, std::int32_t aspect, std::int32_t route = -1) {
        beacon(kRoute, route >= 0 ? route : lineType * 100);
        beacon(kSection, 1);
        signal(aspect);
        doorClose();
        standAtBase();
        ccp(20, 220);
    }
    void spbAhead(std::int32_t metres, std::int32_t kind = 0) {
        beacon(kSpb, kind * 10000 + metres);
    }
    // A frame at 60 km/h at the given offset from the base.
    void runTo(std::int32_t offset) { frame(kBase + offset, 60.0F); }
};

TEST_F(Warning, BlinksNineWithTheHalfSecondPhaseOnLineCategory1) {
    warnOn(1, 8);
    const std::vector<std::pair<std::int32_t, std::int32_t>> timeAndAux = {
        {499, 0}, {500, 9}, {999, 9}, {1000, 0}, {1499, 0}, {1500, 9}};
    for (const auto& [offset, code] : timeAndAux) {
        runTo(offset);
        ASSERT_EQ(core().patternWarn, 1) << "the arrangement must warn at +" << offset;
        EXPECT_EQ(aux(), code) << "at +" << offset << " ms";
    }
    EXPECT_EQ(last.brake, 0);
}

TEST_F(Warning, BlinksNineOnEveryLineCategoryButCategory0) {
    for (const std::int32_t lineType : {2, 3, 9}) {
        SCOPED_TRACE(testing::Message() << "line type " << lineType);
        reload();
        warnOn(lineType, 8);
        runTo(300);
        EXPECT_EQ(aux(), 0);
        runTo(600);
        ASSERT_EQ(core().patternWarn, 1);
        EXPECT_EQ(aux(), 9);
    }
}

TEST_F(Warning, IsNotShownUnderABrakeDemand) {
    for (const std::int32_t lineType : {0, 1, 2}) {
        SCOPED_TRACE(testing::Message() << "line type " << lineType);
        reload();
        warnOn(lineType, 1);  // aspect 1 checks 29 km/h: service brake at 60
        runTo(600);
        ASSERT_EQ(core().patternWarn, 1);
        ASSERT_GT(last.brake, 0);
        EXPECT_EQ(aux(), 0);
    }
}

TEST_F(Warning, BlinksEightOnLineCategory0WithTheHalfSecondPhaseOrTheFastOneOnAFixedRoute) {
    struct Case {
        std::int32_t route;
        std::int32_t offset;  // 300: only the fast phase is on; 600: only the half-second one
        std::int32_t aux;
    };
    for (const Case c :
         {Case{0, 300, 0}, Case{0, 600, 8}, Case{1000, 300, 8}, Case{1000, 600, 0}}) {
        SCOPED_TRACE(testing::Message() << "route " << c.route << " at +" << c.offset);
        reload();
        warnOn(0, 8, c.route);
        runTo(c.offset);
        ASSERT_EQ(core().patternWarn, 1);
        EXPECT_EQ(aux(), c.aux);
    }
}

TEST_F(Warning, WithTheSpbPatternOnLineCategory0BlinksEvenUnderABrakeDemandAndOnAFixedRoute) {
    struct Case {
        std::int32_t route;
        std::int32_t offset;
        std::int32_t aux;
    };
    for (const Case c :
         {Case{0, 300, 0}, Case{0, 600, 8}, Case{1000, 300, 0}, Case{1000, 600, 8}}) {
        SCOPED_TRACE(testing::Message() << "route " << c.route << " at +" << c.offset);
        reload();
        warnOn(0, 1, c.route);  // braking at 60 under aspect 1
        frame(kBase + 10, 60.0F);
        spbAhead(9999);
        runTo(c.offset);
        ASSERT_EQ(core().patternWarn, 1);
        ASSERT_GT(last.brake, 0);
        EXPECT_EQ(aux(), c.aux);
    }
}

// ---- SPB pattern

class SpbDisplay : public Warning {
protected:
    // Armed at 60 km/h with the doors closed, so it stays armed.
    void armSpb(std::int32_t lineType, std::int32_t metres, std::int32_t kind) {
        enterVelt(lineType);
        signal(8);
        doorClose();
        standAtBase();
        frame(kBase + 10, 60.0F);
        spbAhead(metres, kind);
    }
};

TEST_F(SpbDisplay, ShowsTheKindSteadilyOnLineCategory0) {
    struct Case {
        std::int32_t kind;
        std::int32_t aux;
    };
    for (const Case c : {Case{0, 10}, Case{1, 11}, Case{2, 10}}) {
        SCOPED_TRACE(testing::Message() << "kind " << c.kind);
        reload();
        armSpb(0, 9999, c.kind);
        for (const std::int32_t offset : {300, 600, 1000}) {
            runTo(offset);
            EXPECT_EQ(aux(), c.aux) << "at +" << offset;
        }
    }
}

TEST_F(SpbDisplay, BlinksTheKindWithTheHalfSecondPhaseWhileItWarnsOnLineCategory0) {
    // 250 m at 60 km/h: within five seconds of the stop curve, short of it.
    for (const std::int32_t kind : {0, 1}) {
        SCOPED_TRACE(testing::Message() << "kind " << kind);
        reload();
        armSpb(0, 250, kind);
        runTo(499);
        ASSERT_EQ(core().spbWarn, 1);
        EXPECT_EQ(aux(), 0);
        runTo(500);
        EXPECT_EQ(aux(), kind == 1 ? 11 : 10);
        EXPECT_EQ(last.brake, 0);
    }
}

TEST_F(SpbDisplay, ShowsOnLineCategory2OnlyWhileItWarns) {
    armSpb(2, 9999, 0);
    runTo(600);
    EXPECT_EQ(aux(), 0);

    reload();
    armSpb(2, 250, 0);
    runTo(499);
    ASSERT_EQ(core().spbWarn, 1);
    EXPECT_EQ(aux(), 0);
    runTo(500);
    EXPECT_EQ(aux(), 9);
}

// ---- Route selector

TEST_F(Display, ShowsTheRouteSelectorOnLineCategory0WithNothingElseToShow) {
    struct Case {
        std::int32_t route;
        std::int32_t aux;
    };
    for (const Case c : {Case{0, 14}, Case{5, 19}, Case{8, 22}, Case{105, 0}, Case{200, 0}}) {
        SCOPED_TRACE(testing::Message() << "route " << c.route);
        beacon(kRoute, c.route);
        beacon(kSection, 1);
        signal(8);
        frame(kBase, 0.0F);
        EXPECT_EQ(aux(), c.aux);
    }
}

TEST_F(Display, HidesTheRouteSelectorOnAFixedRoute) {
    beacon(kRoute, 1005);
    beacon(kSection, 1);
    standAtBase();
    EXPECT_EQ(aux(), 0);
}

TEST_F(Display, ShowsASelectorPositionBelowTheCycleByTheSameRule) {
    // -7 is line category 0, selector -7: the code is still position + 14.
    beacon(kRoute, -7);
    beacon(kSection, 1);
    standAtBase();
    ASSERT_EQ(panel[kPanelSelector], -7);
    EXPECT_EQ(aux(), 7);
}

TEST_F(Display, KindBlinkAtANegativeTimeNegatesTheSelectorCodeInsteadOfOverflowing) {
    beacon(kRoute, 3);
    beacon(kSection, 1);
    frame(-1000, 0.0F);
    beacon(kKindBlink, 5000);
    doorOpen();
    frame(-740, 0.0F);  // -740 mod 500 = -240: fast phase 0
    EXPECT_EQ(aux(), 0);
    frame(-760, 0.0F);  // -760 mod 500 = -260: fast phase -1
    EXPECT_EQ(aux(), -17);
}

TEST_F(Display, BlinksTheRouteSelectorAtTheFastPhaseEdgesWhileTheKindBlinkIsOn) {
    beacon(kRoute, 3);
    beacon(kSection, 1);
    beacon(kKindBlink, 5000);
    standAtBase();
    ASSERT_EQ(aux(), 17);
    doorOpen();
    const std::vector<std::pair<std::int32_t, std::int32_t>> timeAndAux = {
        {249, 0}, {250, 17}, {499, 17}, {500, 0}};
    for (const auto& [offset, code] : timeAndAux) {
        frame(kBase + offset, 0.0F);
        EXPECT_EQ(aux(), code) << "at +" << offset << " ms";
    }
    // Running off ends the indication.
    frame(kBase + 600, 2.0F);
    frame(kBase + 1000, 2.0F);
    EXPECT_EQ(aux(), 17);
}

// ---- Legacy display

TEST_F(Display, ShowsTheLegacyStateOnTheAuxElement) {
    struct Case {
        const char* what;
        std::int32_t lineType;
        std::int32_t aspect;  // requested on the first frame, -1 for none
        float speedKmh;       // of the last frame
        std::int32_t aux;
    };
    for (const Case c : {
             Case{"state 0 on line category 0", 0, -1, 0.0F, 0},
             Case{"state 0 on line category 2", 2, -1, 0.0F, 0},
             Case{"state 0 on line category 1", 1, -1, 0.0F, 6},
             Case{"state 0 on line category 1, braking", 1, -1, 70.0F, 7},
             Case{"state 1", 0, 0, 0.0F, 2},
             Case{"state 1, braking", 2, 0, 20.0F, 3},
             Case{"state 3", 0, 2, 0.0F, 4},
             Case{"state 3, braking", 1, 2, 50.0F, 5},
         }) {
        SCOPED_TRACE(c.what);
        reload();
        beacon(kRoute, c.lineType * 100);
        standAtBase();
        if (c.aspect >= 0) {
            signal(c.aspect);
        }
        frame(kBase + 3000, 0.0F);
        frame(kBase + 3100, c.speedKmh);
        EXPECT_EQ(mode(), c.lineType == 0 ? 1 : 2);
        EXPECT_EQ(shown(), (Shown{0, 0}));
        EXPECT_EQ(aux(), c.aux);
    }
}

TEST_F(Display, ShowsLegacyState2LikeState1) {
    // Aspect 1 above 25 km/h requests state 2.
    beacon(kRoute, 100);
    standAtBase();
    frame(kBase + 100, 30.0F);
    signal(1);
    frame(kBase + 3100, 0.0F);
    ASSERT_EQ(core().ats1State, LegacyState::kSilencedAlarm);
    EXPECT_EQ(aux(), 2);
    frame(kBase + 3200, 20.0F);
    EXPECT_EQ(aux(), 3);
}

}  // namespace
}  // namespace velt::test
