// The train's motion from its file: the acceleration curve piece by piece,
// where each brake position settles, the stop distance against the closed
// form, the notch delays and the running resistance, each worked by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "tests/drive/train/train_text.h"
#include "tools/velt-drive/train/portable_math.h"
#include "tools/velt-drive/train/train_motion.h"

namespace velt::drive {
namespace {

// No running resistance, so that only the handles move the train.
const std::string kFrictionless = "#PERFORMANCE\n3.6\n0.35\n0\n0\n0\n";

HandleCommand handles(int power, int brake, int reverser = 1) {
    return {brake, power, reverser, 0};
}

TEST(AccelerationCurve, GivesEachPieceAtItsSpeeds) {
    // a0 2, a1 3, v1 30, v2 60, e 2.
    const TrainFile train = trainFrom("#HANDLE\n0\n1\n#ACCELERATION\n2, 3, 30, 60, 2\n");
    ASSERT_EQ(train.acceleration.size(), 1U);
    const struct {
        double speedKmh;
        double expected;
    } cases[] = {
        {0.0, 2.0},         // a0 at standstill
        {15.0, 2.5},        // 2 + (3 - 2) x 15 / 30
        {30.0, 3.0},        // a1 at v1
        {45.0, 2.0},        // 3 x 30 / 45
        {-45.0, 2.0},       // backwards alike
        {60.0, 1.5},        // 3 x 30 / 60, either side of v2
        {90.0, 2.0 / 3.0},  // 3 x 30 x 60 / 90^2
        {120.0, 0.375},     // 3 x 30 x 60 / 120^2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.speedKmh);
        EXPECT_NEAR(curveAccelerationKmhS(train.acceleration[0], c.speedKmh), c.expected, 1e-12);
    }
    // A fractional exponent: 1.5 x 20 x 40^0.5 / 80^1.5.
    const AccelerationCurve fractional{1.5, 1.5, 20.0, 40.0, 1.5};
    EXPECT_NEAR(curveAccelerationKmhS(fractional, 80.0),
                1.5 * 20.0 * std::sqrt(40.0) / (80.0 * std::sqrt(80.0)), 1e-12);
    // v1 above v2: v2 becomes v1, so 3 x 50 / v holds nowhere and 3 x 50 x 50 / v^2 above 50.
    const TrainFile swapped = trainFrom("#HANDLE\n0\n1\n#ACCELERATION\n3, 3, 50, 40, 2\n");
    EXPECT_NEAR(curveAccelerationKmhS(swapped.acceleration[0], 100.0), 3.0 * 50 * 50 / 1e4, 1e-12);
}

TEST(AccelerationCurve, ConvertsTheOldestFormatsExponent) {
    const struct {
        double written;
        double v2Kmh;
        double expected;  // 1 - ln(e) v2 / ln 2.25, kept within 1 and 4
    } cases[] = {
        {1.0, 60.0, 1.0},
        {0.99, 60.0, 1.0 - std::log(0.99) * 60.0 / std::log(2.25)},
        {0.9, 10.0, 1.0 - std::log(0.9) * 10.0 / std::log(2.25)},
        {0.5, 60.0, 4.0},  // 52.3 is above 4
        {2.0, 60.0, 1.0},  // -50.3 is 0 or less
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.written);
        const std::string line =
            "1, 1, 10, " + std::to_string(c.v2Kmh) + ", " + std::to_string(c.written) + "\n";
        const TrainFile oldest =
            readText("#HANDLE\n0\n1\n#ACCELERATION\n" + line, "X1210000").train;
        EXPECT_NEAR(oldest.acceleration.at(0).exponent, c.expected, 1e-12);
        const TrainFile current = trainFrom("#HANDLE\n0\n1\n#ACCELERATION\n" + line);
        EXPECT_EQ(current.acceleration.at(0).exponent, c.written);
    }
}

TEST(PortableMath, AgreesWithTheLibraryToTheLastFewBits) {
    for (int i = 0; i < 52; ++i) {
        const double x = 1e-6 * std::pow(1.7, i);
        SCOPED_TRACE(x);
        EXPECT_NEAR(portableLog(x), std::log(x), 4e-16 * std::max(1.0, std::fabs(std::log(x))));
        const double y = std::log(x) / 3.0;
        EXPECT_NEAR(portableExp(y), std::exp(y), 4e-16 * std::exp(y));
        EXPECT_NEAR(portablePow(x, 1.37), std::pow(x, 1.37), 1e-14 * std::pow(x, 1.37));
    }
    EXPECT_EQ(portablePow(0.3, 2.0), 0.3 * 0.3);
}

struct SettleCase {
    const char* what;
    std::string body;
    int brake;
    double fractionOfD;  // the settled deceleration over #PERFORMANCE 0
};

TEST(TrainMotion, EachBrakePositionSettlesWhereTheHostPutsIt) {
    // Service 440 kPa, emergency 660 kPa: emergency is 1.5 D.
    const std::string pressures = "#PRESSURE\n440\n660\n";
    const std::string hold = "#DEVICE\n0\n0\n0\n0\n1\n";
    const SettleCase cases[] = {
        {"notch 4 of 8", "#HANDLE\n0\n4\n8\n", 4, 4.0 / 8.0},
        {"emergency", "#HANDLE\n0\n4\n8\n", 9, 1.5},
        {"hold brake: value 4 is service 3 of 7", "#HANDLE\n0\n4\n8\n" + hold, 4, 3.0 / 7.0},
        {"hold brake: the hold position", "#HANDLE\n0\n4\n8\n" + hold, 1, 0.0},
        {"hold brake, 1 declared: value 2 is full service", "#HANDLE\n0\n4\n1\n" + hold, 2, 1.0},
        {"automatic air: service", "#BRAKE\n2\n", 2, 1.0},
        {"automatic air: emergency", "#BRAKE\n2\n", 3, 1.5},
    };
    for (const SettleCase& c : cases) {
        SCOPED_TRACE(c.what);
        TrainMotion motion(trainFrom(kFrictionless + pressures + c.body), 0.0, 100.0, 1);
        motion.settle(handles(0, c.brake));
        motion.step(handles(0, c.brake), 1000);
        EXPECT_NEAR(100.0 - motion.speedKmh(), c.fractionOfD * 3.6, 1e-12);
    }
    // Lap holds the automatic air brake where it stands: 1.5 x 300 kPa/s
    // for 0.5 s is 225 kPa, then 225 / 440 D.
    TrainMotion motion(trainFrom(kFrictionless + "#BRAKE\n2\n"), 0.0, 100.0, 1);
    motion.step(handles(0, 2), 500);
    const double before = motion.speedKmh();
    motion.step(handles(0, 1), 1000);
    EXPECT_NEAR(before - motion.speedKmh(), 225.0 / 440.0 * 3.6, 1e-12);
}

struct StopCase {
    const char* what;
    std::string pressures;
    int brake;
    double rampKpaS;  // 1.5 x #MOVE 4, and 0.3 of that for a notched service brake
    double finalKpa;
};

TEST(TrainMotion, StopsWhereTheClosedFormSays) {
    const StopCase cases[] = {
        {"full service", "#PRESSURE\n440\n440\n", 8, 0.3 * 1.5 * 300.0, 440.0},
        {"emergency", "#PRESSURE\n440\n440\n", 9, 1.5 * 300.0, 440.0},
        {"emergency at a higher pressure", "#PRESSURE\n440\n660\n", 9, 1.5 * 300.0, 660.0},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        TrainMotion motion(trainFrom(kFrictionless + c.pressures + "#HANDLE\n0\n4\n8\n"), 0.0, 72.0,
                           1);
        double seconds = 0.0;
        while (motion.speedKmh() > 0.0 && seconds < 60.0) {
            motion.step(handles(0, c.brake), 10);
            seconds += 0.01;
        }
        // The deceleration rises linearly to a = D x final / 440 over T, then holds:
        // speed after the ramp v0 - a T / 2, distance v0 T - a T^2 / 6, then v^2 / 2a.
        const double a = 3.6 * c.finalKpa / 440.0;
        const double rampS = c.finalKpa / c.rampKpaS;
        const double v0 = 72.0;
        const double vAfter = v0 - a * rampS / 2.0;
        const double metres =
            (v0 * rampS - a * rampS * rampS / 6.0) / 3.6 + vAfter * vAfter / (2.0 * a) / 3.6;
        EXPECT_NEAR(motion.positionM(), metres, 1e-3);
        EXPECT_NEAR(seconds, rampS + vAfter / a, 0.011);
    }
}

TEST(TrainMotion, StopsWithinAFrameWhereTheBrakeBringsItToRest) {
    // Emergency settled at D = 3.6 km/h/s from 37 km/h: at rest after 10.28 s,
    // 37^2 / (2 x 3.6) / 3.6 m on, though the frames are a second long.
    TrainMotion motion(trainFrom(kFrictionless + "#HANDLE\n0\n4\n8\n"), 0.0, 37.0, 1);
    motion.settle(handles(0, 9));
    for (int k = 0; k < 11; ++k) motion.step(handles(0, 9), 1000);
    EXPECT_EQ(motion.speedKmh(), 0.0);
    EXPECT_NEAR(motion.positionM(), 37.0 * 37.0 / 7.2 / 3.6, 1e-9);
}

TEST(TrainMotion, MovesTheNotchesOneAtATimeAfterTheirDelays) {
    TrainMotion motion(trainFrom("#HANDLE\n0\n4\n8\n#DELAY\n0.5\n0.25\n0.3\n0.3\n"), 0.0, 0.0, 1);
    // Up: a notch every 0.5 s; down: every 0.25 s.
    for (int k = 1; k <= 16; ++k) {
        motion.step(handles(3, 0), 100);
        EXPECT_EQ(motion.powerNotchInEffect(), std::min(3, k * 100 / 500)) << k * 100 << " ms";
    }
    for (int k = 1; k <= 8; ++k) {
        motion.step(handles(0, 0), 100);
        EXPECT_EQ(motion.powerNotchInEffect(), std::max(0, 3 - k * 100 / 250)) << k * 100 << " ms";
    }
    // The brake: notch 4 after 4 x 0.3 s; emergency at once, and from it
    // the service notch in effect comes down from full service.
    for (int k = 1; k <= 12; ++k) motion.step(handles(0, 4), 100);
    EXPECT_EQ(motion.serviceNotchInEffect(), 4);
    motion.step(handles(0, 9), 10);
    EXPECT_EQ(motion.serviceNotchInEffect(), 8);
    for (int k = 1; k <= 3; ++k) motion.step(handles(0, 0), 100);
    EXPECT_EQ(motion.serviceNotchInEffect(), 7);
}

TEST(TrainMotion, PullsByTheNotchCurveTowardsTheReverser) {
    // Two power notches, one curve: notch 2 has no traction.
    const TrainFile train =
        trainFrom(kFrictionless + "#HANDLE\n0\n2\n#ACCELERATION\n2, 2, 30, 60, 2\n");
    const struct {
        int power;
        int reverser;
        double speedAfter1s;
    } cases[] = {{1, 1, 2.0}, {1, -1, -2.0}, {1, 0, 0.0}, {2, 1, 0.0}, {0, 1, 0.0}};
    for (const auto& c : cases) {
        TrainMotion motion(train, 0.0, 0.0, c.reverser);
        motion.step(handles(c.power, 0, c.reverser), 1000);
        EXPECT_NEAR(motion.speedKmh(), c.speedAfter1s, 1e-12)
            << "power " << c.power << ", reverser " << c.reverser;
    }
}

TEST(TrainMotion, RunsAgainstRollingResistanceAndAirDrag) {
    // Ten cars, 4 x 35 t + 6 x 30 t; the front car meets the air with 0.6 of
    // 2.6 m x 3.6 m, each of the nine behind it with 0.2.
    TrainMotion motion(trainFrom("#PERFORMANCE\n1\n0.35\n0\n0.0025\n1.1\n#CAR\n35\n4\n30\n6\n"),
                       0.0, 100.0, 1);
    motion.step(handles(0, 0), 10);
    // In SI units, g mu + 0.5 rho Cd A v^2 / m in m/s^2; times 3.6 for km/h/s.
    const double v = 100.0 / 3.6;
    const double areaM2 = (0.6 + 9 * 0.2) * 2.6 * 3.6;
    const double accelMS2 = 9.80665 * 0.0025 + 0.5 * 1.225 * 1.1 * areaM2 * v * v / 320000.0;
    EXPECT_NEAR((100.0 - motion.speedKmh()) / 0.01, accelMS2 * 3.6, 1e-9);
}

}  // namespace
}  // namespace velt::drive
