// Sweeps and expectations: what a --vary gives or why it is refused, the
// order of the drives, a drive's outcome as it travels between processes,
// and every kind of expectation judged on a real drive.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/outcome.h"
#include "tools/velt-drive/sweep.h"

namespace velt::drive {
namespace {

// The CPP example: a train held at 25 km/h is warned and then braked to a
// stand at 687.4 m, 12.6 m short of the target at 700 m.
const char kCppStop[] =
    "start speed 25 km/h\n"                        // 1
    "beacon route at 10 m optional 0\n"            // 2
    "beacon section at 20 m optional 1\n"          // 3
    "signal 1 at 20 m\n"                           // 4
    "beacon cpp at 100 m signal 0 optional 600\n"  // 5
    "hold 25 km/h\n"                               // 6
    "station Halt at 690 m\n"                      // 7
    "end when stopped\n"
    "end at 300 s\n";

std::string varyError(const std::string& text) {
    try {
        parseVary(text, parseScenario(kCppStop, "s.drive"));
    } catch (const SweepError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(Vary, RefusesWhatCannotBeSweptAndSaysWhy) {
    const struct {
        const char* vary;
        const char* says;
    } cases[] = {
        {"start-sped=10:20:10", "unknown quantity 'start-sped'; a sweep varies start-speed,"},
        {"start-speed=120:10:10",
         "the range is empty: 120 never reaches 10 in steps of 10; "
         "write 10:120:10, or go down with a negative step"},
        {"start-speed=10:120:0", "the step is 0"},
        {"start-speed=10:120", "expected FROM:TO:STEP after '=', e.g. 10:120:10, found '10:120'"},
        {"start-speed 10:120:10", "expected NAME=FROM:TO:STEP"},
        {"start-speed=1o:120:10", "FROM '1o' is not a number"},
        {"start-speed=100:140:10", "start-speed 140 km/h is above the vehicle's maximum speed"},
        {"emergency-brake=0:2:1", "emergency-brake 0 km/h/s is outside 0.01 to 50 km/h/s"},
        {"frame=10:20:2.5", "frame 12.5 ms is not a whole number of milliseconds"},
        {"beacon@4=10:20:10",
         "beacon@4: line 4 of s.drive holds no beacon; the beacons are on "
         "lines 2, 3, 5"},
        {"signal@5=10:20:10",
         "holds no signal placed by position; the signals placed by "
         "position are on line 4"},
        {"hold@x=10:20:10", "'x' after hold@ is not a line number"},
        {"start-speed,beacon@5=10:20:10", "start-speed is in km/h but beacon@5 in m"},
        {"start-speed=0:100000:0.5", "gives more than 100000 values"},
    };
    for (const auto& c : cases)
        EXPECT_NE(varyError(c.vary).find(c.says), std::string::npos)
            << c.vary << ": " << varyError(c.vary);
}

TEST(Vary, GivesTheValuesAsWrittenInEitherDirection) {
    const Scenario s = parseScenario(kCppStop, "s.drive");
    EXPECT_EQ(parseVary("acceleration=0.1:0.35:0.1", s).values,
              (std::vector<double>{0.1, 0.2, 0.3}));
    EXPECT_EQ(parseVary("start-speed=30:10:-10", s).values, (std::vector<double>{30, 20, 10}));
    const Vary tied = parseVary("start-speed,hold@6=40:40:1", s);
    ASSERT_EQ(tied.quantities.size(), 2u);
    EXPECT_EQ(tied.quantities[1].item, 0u) << "the first driver action";
    const Scenario v = variant(s, {tied, parseVary("beacon@5=150:150:1", s)}, {40.0, 150.0});
    EXPECT_EQ(v.start.speedKmh, 40.0);
    EXPECT_EQ(v.driver[0].speedKmh, 40.0);
    EXPECT_EQ(v.beacons[2].positionM, 150.0);
    EXPECT_EQ(s.beacons[2].positionM, 100.0) << "the base scenario is left as it was";
    try {
        parseVaries({"start-speed=10:20:10", "hold@6,start-speed=10:20:10"}, s);
        FAIL() << "a quantity varied twice was accepted";
    } catch (const SweepError& error) {
        EXPECT_NE(std::string(error.what()).find("start-speed is varied already"),
                  std::string::npos);
    }
}

TEST(Vary, TheFirstQuantityChangesSlowest) {
    const Scenario s = parseScenario(kCppStop, "s.drive");
    const std::vector<Vary> varies =
        parseVaries({"start-speed=10:20:10", "emergency-brake=1:3:1"}, s);
    ASSERT_EQ(combinationCount(varies), 6u);
    EXPECT_EQ(combination(varies, 0), (std::vector<double>{10, 1}));
    EXPECT_EQ(combination(varies, 2), (std::vector<double>{10, 3}));
    EXPECT_EQ(combination(varies, 3), (std::vector<double>{20, 1}));
    EXPECT_EQ(combination(varies, 5), (std::vector<double>{20, 3}));
}

DriveOutcome judged(const std::string& expectations) {
    const Scenario scenario = parseScenario(kCppStop + expectations, "s.drive");
    OutcomeRecorder recorder(scenario);
    PluginSession session(nativePlugin());
    runDrive(scenario, session, {&recorder});
    return recorder.outcome();
}

TEST(Expectations, AreJudgedOnTheDriveWithItsValues) {
    const struct {
        const char* line;
        bool met;
        const char* detail;
    } cases[] = {
        {"expect stop before 700 m", true, "stopped at 687.4 m, 12.6 m short of 700.0 m"},
        {"expect stop before 680 m", false, "reached 680.0 m at 1"},
        {"expect stop between 680 m and 690 m", true, "stopped at 687.4 m"},
        {"expect stop between 690 m and 700 m", false,
         "stopped at 687.4 m, 2.6 m short of 690.0 m"},
        {"expect emergency-brake", true, "the emergency brake at 669.1 m (98.3 s)"},
        {"expect no brake", false, "the emergency brake at 669.1 m"},
        {"expect no service-brake", true, "no full-service brake (the protection braked otherwise"},
        {"expect warning", true, "first warning at 636.0 m (93.4 s)"},
        {"expect warning at least 4 s before brake", true, "warned 4.9 s before the brake"},
        {"expect warning at least 5 s before brake", false,
         "the emergency brake at 669.1 m (98.3 s) came 4.9 s after the warning at 636.0 m"},
        {"expect speed below 30 km/h at 650 m", true, "24.1 km/h at 650.0 m"},
        {"expect speed above 30 km/h at 650 m", false, "24.1 km/h at 650.0 m"},
        {"expect speed below 5 km/h at 800 m", true, "stopped at 687.4 m, short of 800.0 m"},
    };
    std::string lines;
    for (const auto& c : cases) lines += std::string(c.line) + "\n";
    const DriveOutcome outcome = judged(lines);
    ASSERT_EQ(outcome.expectations.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const ExpectationResult& r = outcome.expectations[i];
        EXPECT_EQ(r.met, cases[i].met) << cases[i].line << ": " << r.detail;
        EXPECT_NE(r.detail.find(cases[i].detail), std::string::npos)
            << cases[i].line << ": " << r.detail;
    }
    EXPECT_EQ(outcome.failedExpectations(), 5);
    ASSERT_EQ(outcome.targets.size(), 2u) << "the station and the CPP target";
    EXPECT_NEAR(*outcome.targets[0].offsetM(), -2.6, 0.05) << outcome.targets[0].name;
    EXPECT_NEAR(*outcome.targets[1].offsetM(), -12.6, 0.05) << outcome.targets[1].name;
}

TEST(OutcomeEncoding, CarriesEveryValueAndRefusesACutOffResult) {
    DriveOutcome o = judged("expect stop before 700 m\nexpect no brake\n");
    o.findings.push_back({{3, 1}, "a finding"});
    o.interventions[0].cause = "CPP stop pattern";
    const std::string bytes = encodeOutcome(o);
    DriveOutcome back;
    ASSERT_TRUE(decodeOutcome(bytes, back));
    EXPECT_EQ(encodeOutcome(back), bytes);
    EXPECT_EQ(back.interventions[0].emergency->positionM, o.interventions[0].emergency->positionM);
    EXPECT_EQ(back.targets[1].stop->positionM, o.targets[1].stop->positionM);
    EXPECT_EQ(back.expectations[1].detail, o.expectations[1].detail);
    EXPECT_EQ(back.findings[0].text, "a finding");
    for (const std::size_t cut :
         {std::size_t{0}, std::size_t{7}, bytes.size() / 2, bytes.size() - 1})
        EXPECT_FALSE(decodeOutcome(bytes.substr(0, cut), back)) << "cut at " << cut;
    EXPECT_FALSE(decodeOutcome(bytes + "x", back));
}

}  // namespace
}  // namespace velt::drive
