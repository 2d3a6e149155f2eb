// The rules the core headers offer to tools are the rules the frame applies:
// a tool that reads the core's state after a frame and computes with the
// same functions must name the frame in which a pattern warned and braked,
// and the demand of the signal check.
#include <ostream>

#include "core/beacons.h"
#include "core/supervision.h"
#include "plugin_harness.h"

namespace velt::test {
namespace {

struct Approach {
    const char* name;
    std::int32_t lineType;
    std::int32_t aspect;
    std::int32_t beaconType;
    std::int32_t optional;
    std::int32_t beaconSignal;
    float speedKmh;
    double curveK;       // the curve that brakes
    float warnAboveKmh;  // the pattern warns only above this speed
    float CVelt::*distance;
    Demand CVelt::*demand;
    Demand level;
};

void PrintTo(const Approach& a, std::ostream* os) { *os << a.name; }

const Approach kApproaches[] = {
    {"CppStop", 0, 1, kCpp, 600, 0, 25.0F, kStopCurveK, kCppWarnMinimumKmh, &CVelt::cppDistance,
     &CVelt::cppDemand, Demand::kEmergency},
    {"Cpp49", 2, 4, kCpp, 300, 2, 80.0F, k49CurveK, kCpp49Kmh, &CVelt::cppDistance,
     &CVelt::cppDemand, Demand::kService},
    {"Ccp", 1, 8, kCcp, packed(4, 400), 0, 60.0F, squared(20 + kCcpDemandMarginKmh),
     static_cast<float>(20 + kCcpDemandMarginKmh), &CVelt::ccpDistance, &CVelt::ccpDemand,
     Demand::kService},
};

class RuleApi : public PluginTest, public ::testing::WithParamInterface<Approach> {};

TEST_P(RuleApi, PredictsTheFramesInWhichAPatternWarnsAndBrakes) {
    const Approach& a = GetParam();
    enterVelt(a.lineType);
    signal(a.aspect);
    frame(1000, a.speedKmh);
    beacon(a.beaconType, a.optional, a.beaconSignal);
    int warnings = 0;
    for (int k = 0; k < 2000 && core().*a.demand == Demand::kNone; ++k) {
        next(a.speedKmh);
        const float distance = core().*a.distance;
        const float curve = brakingCurve(a.speedKmh, a.curveK);
        const bool reached = curve >= distance;
        const bool warns = !reached && a.speedKmh > a.warnAboveKmh &&
                           warnsWithin(curve, warnMarginMetres(a.speedKmh), distance);
        ASSERT_EQ(core().*a.demand == a.level, reached) << "frame at " << now;
        ASSERT_EQ(core().patternWarn == 1, warns) << "frame at " << now;
        warnings += warns ? 1 : 0;
    }
    EXPECT_EQ(core().*a.demand, a.level);
    EXPECT_GT(warnings, 40);  // about five seconds of 100 ms frames
}

INSTANTIATE_TEST_SUITE_P(Patterns, RuleApi, ::testing::ValuesIn(kApproaches),
                         [](const ::testing::TestParamInfo<Approach>& p) { return p.param.name; });

TEST(RuleApiSignalCheck, PredictsTheSignalDemandOfEveryAspectAndLineCategory) {
    for (std::int32_t lineType = 0; lineType <= 3; ++lineType) {
        for (std::int32_t aspect = -1; aspect <= 9; ++aspect) {
            const SignalCheckSpeed check = signalCheckSpeed(normaliseAspect(aspect), lineType);
            for (const float speed : {0.0F, above(check.kmh), 130.0F}) {
                loadFresh();
                startPlugin();
                enterVelt(lineType);
                signal(aspect);
                TestHost host;
                host.frame(1000, speed);
                const Demand expected = check.kind == SignalCheck::kStop
                                            ? (speed > 0.0F ? Demand::kEmergency : Demand::kNone)
                                        : check.kind == SignalCheck::kSpeed && speed > check.kmh
                                            ? Demand::kService
                                            : Demand::kNone;
                EXPECT_EQ(core().sigDemand, expected)
                    << "line " << lineType << " aspect " << aspect << " at " << speed;
            }
        }
    }
}

}  // namespace
}  // namespace velt::test
