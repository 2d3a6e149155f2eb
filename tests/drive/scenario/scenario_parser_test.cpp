// The scenario format: what a well-formed file gives, and for every kind of
// mistake the message and the place an author is pointed to.
#include <gtest/gtest.h>

#include <string>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {
namespace {

TEST(ScenarioParser, ReadsAWholeScenario) {
    const Scenario s = parseScenario(
        "# comment line\n"
        "vehicle power-notches 5\n"
        "vehicle brake-notches 7     # trailing comment\n"
        "vehicle resistance 0.1 km/h/s\n"
        "vehicle resistance 0.5 km/h/s at 100 km/h\n"
        "start time 07:30:15.250\n"
        "start speed 40 km/h\n"
        "frame 20 ms\n"
        "beacon ccp at 400 m optional 90800\n"
        "beacon 10 at 120.5 m signal 2 optional 600 distance 50 m\n"
        "signal 3 at 12 s\n"
        "station \"North Quay\" at 900 m window 10 m\n"
        "power 4 until 80 km/h\n"
        "brake emergency at 1200 m\n"
        "key 0 at 10:00:01 for 2 s\n"
        "doors open at station \"North Quay\"\n"
        "doors close after 20 s\n"
        "brake 3 when below 5 km/h until stopped\n"
        "end at 300 s\n",
        "a/b/route.drive");
    EXPECT_EQ(s.name, "route");
    EXPECT_EQ(s.vehicle.powerNotches, 5);
    EXPECT_DOUBLE_EQ(s.vehicle.dragPerKmh2, 0.4 / 10000.0);
    EXPECT_EQ(s.start.timeOfDayMs, (7 * 3600 + 30 * 60 + 15) * 1000 + 250);
    EXPECT_EQ(s.frameMs, 20);
    ASSERT_EQ(s.beacons.size(), 2u);
    EXPECT_EQ(s.beacons[0].type, 12);
    EXPECT_EQ(s.beacons[0].optional, 90800);
    EXPECT_EQ(s.beacons[1].signal, 2);
    EXPECT_EQ(s.beacons[1].distance.value_or(0.0f), 50.0f);
    ASSERT_EQ(s.signals.size(), 1u);
    EXPECT_EQ(s.signals[0].trigger.kind, Trigger::Kind::Elapsed);
    EXPECT_EQ(s.signals[0].trigger.ms, 12000);
    ASSERT_EQ(s.stations.size(), 1u);
    EXPECT_EQ(s.stations[0].name, "North Quay");
    ASSERT_EQ(s.driver.size(), 6u);
    EXPECT_EQ(s.driver[0].release.kind, Release::Kind::Speed);
    EXPECT_EQ(s.driver[1].value, 8) << "emergency is one notch above the service notches";
    EXPECT_EQ(s.driver[1].trigger.kind, Trigger::Kind::Position);
    EXPECT_EQ(s.driver[2].trigger.kind, Trigger::Kind::TimeOfDay);
    EXPECT_EQ(s.driver[2].release.ms, 2000);
    EXPECT_EQ(s.driver[3].trigger.station, "North Quay");
    EXPECT_EQ(s.driver[4].trigger.kind, Trigger::Kind::After);
    EXPECT_EQ(s.driver[5].release.kind, Release::Kind::Stopped);
    EXPECT_EQ(s.driver[5].text, "brake 3 when below 5 km/h until stopped");
    EXPECT_EQ(*s.end.elapsedMs, 300000);
}

struct BadCase {
    const char* what;
    const char* text;
    int line;
    int column;
    const char* message;
};

class ScenarioErrors : public ::testing::TestWithParam<BadCase> {};

TEST_P(ScenarioErrors, NameTheLineTheColumnAndTheFault) {
    const BadCase& bad = GetParam();
    try {
        parseScenario(bad.text, "x.drive");
        FAIL() << bad.what << ": accepted";
    } catch (const DiagnosticError& error) {
        const Diagnostic& d = error.diagnostic();
        EXPECT_EQ(d.severity, Severity::Error) << bad.what;
        EXPECT_EQ(d.where.file, "x.drive") << bad.what;
        EXPECT_EQ(d.where.line, bad.line) << bad.what;
        EXPECT_EQ(d.where.column, bad.column) << bad.what;
        EXPECT_EQ(d.message, bad.message) << bad.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryKindOfMistake, ScenarioErrors,
    ::testing::Values(
        BadCase{"unknown statement", "\n  fullspeed ahead\n", 2, 3, "unknown word 'fullspeed'"},
        BadCase{"unknown clause", "power 2 soon\n", 1, 9, "unknown word 'soon'"},
        BadCase{"unknown vehicle field", "vehicle mass 40 t\n", 1, 9,
                "unknown vehicle field 'mass'"},
        BadCase{"unknown beacon type", "beacon magnet at 5 m\n", 1, 8,
                "unknown beacon type 'magnet'"},
        BadCase{"missing value", "brake\n", 1, 6, "missing brake notch"},
        BadCase{"missing value before a comment", "key   # confirm\n", 1, 4, "missing key number"},
        BadCase{"missing unit", "beacon cpp at 300\n", 1, 18, "missing unit 'm' after 300"},
        BadCase{"wrong unit", "start speed 45 m\n", 1, 16,
                "expected unit 'km/h' after 45, found 'm'"},
        BadCase{"malformed number", "beacon cpp at 3o0 m\n", 1, 15,
                "expected a number for beacon position, found '3o0'"},
        BadCase{"exponent", "start position 1e3 m\n", 1, 16,
                "expected a number for start position, found '1e3'"},
        BadCase{"unit against the number", "beacon cpp at 900m\n", 1, 15,
                "expected a number for beacon position, found '900m'; write the number and its "
                "unit apart: '900 m'"},
        BadCase{"type in capitals is a name", "beacon CPP at 9 x\n", 1, 17,
                "expected unit 'm' after 9, found 'x'"},
        BadCase{"malformed integer", "beacon cpp at 5 m optional 6.5\n", 1, 28,
                "expected an integer for beacon optional value, found '6.5'"},
        BadCase{"malformed time of day", "start time 25:00\n", 1, 12,
                "expected a time of day HH:MM[:SS[.mmm]], found '25:00'"},
        BadCase{"key out of range", "key 16 at 2 s\n", 1, 5,
                "key number 16 is out of range 0 to 15"},
        BadCase{"aspect out of range", "signal -1 at 2 s\n", 1, 8,
                "signal aspect -1 is out of range 0 to 255"},
        BadCase{"frame out of range", "frame 0 ms\n", 1, 7,
                "frame interval 0 is out of range 1 to 1000"},
        BadCase{"brake notch beyond the vehicle", "vehicle brake-notches 8\n\nbrake 10\n", 3, 1,
                "brake notch 10 is out of range 0 to 9"},
        BadCase{"power notch beyond the vehicle", "power 5\nvehicle power-notches 4\n", 1, 1,
                "power notch 5 is out of range 0 to 4"},
        BadCase{"station never defined", "doors open at station Nowhere\n", 1, 23,
                "no station named 'Nowhere'"},
        BadCase{"until for doors", "doors open until 5 km/h\n", 1, 12,
                "'until' has no meaning for 'doors'"},
        BadCase{"two triggers", "power 1 at 5 s at 9 m\n", 1, 16,
                "the action already has a time or place ('at')"},
        BadCase{"unterminated name", "station \"Dock at 5 m\n", 1, 9, "unterminated quoted name"},
        BadCase{"trailing word", "end when stopped now\n", 1, 18, "unexpected 'now'"},
        BadCase{"a number too long for any range", "start speed 99999999999999999999999 km/h\n", 1,
                13, "start speed 99999999999999999999999 is out of range 0 to 500"},
        BadCase{"an integer beyond 32 bits", "beacon 10 at 5 m optional 99999999999\n", 1, 27,
                "beacon optional value 99999999999 is out of range -2147483648 to 2147483647"},
        BadCase{"a fractional bound", "end at 0 s\n", 1, 8,
                "end time 0 is out of range 0.001 to 86400"},
        BadCase{"hold at a stand", "hold 0 km/h\n", 1, 6,
                "speed to hold 0 is out of range 1 to 500"},
        BadCase{"jump without its clock", "jump to 100 m\n", 1, 14,
                "missing 'at' and the time of day after the jump position"},
        BadCase{"until for a jump", "jump to 5 m at 10:00 until 9 m\n", 1, 22,
                "'until' has no meaning for 'jump'"},
        BadCase{"unknown expectation", "expect derailment\n", 1, 8,
                "unknown expectation 'derailment'; expected 'stop', 'speed', 'warning', "
                "'brake', 'emergency-brake', 'service-brake' or 'no'"},
        BadCase{"stop range the wrong way round", "expect stop between 700 m and 650 m\n", 1, 31,
                "the farthest stop position is before the nearest; write the nearer position "
                "first"},
        BadCase{"speed without its place", "expect speed below 30 km/h\n", 1, 27,
                "missing 'at' and the position after the speed"},
        BadCase{"warning lead without its unit", "expect warning at least 4 before brake\n", 1, 27,
                "expected unit 's' after 4, found 'before'"},
        BadCase{"a control byte", "horn\n\nhorn\x01\n", 3, 5,
                "not a text file (byte 0x01): a scenario is plain text, see "
                "docs/scenario-format.md"}));

TEST(ScenarioParser, KeepsQuotedHashesAndReadsHoldAndJump) {
    const Scenario s = parseScenario(
        "station \"East #2\" at 900 m # the second platform\n"
        "doors open at station \"East #2\"   # here\n"
        "hold 45.5 km/h until 800 m after 2 s\n"
        "jump to 1200 m at 09:15:30 when stopped\n",
        "q.drive");
    ASSERT_EQ(s.driver.size(), 3u);
    EXPECT_EQ(s.stations[0].name, "East #2");
    EXPECT_EQ(s.driver[0].text, "doors open at station \"East #2\"");
    EXPECT_EQ(s.driver[1].kind, DriverAction::Kind::Hold);
    EXPECT_EQ(s.driver[1].speedKmh, 45.5);
    EXPECT_EQ(s.driver[1].release.kind, Release::Kind::Position);
    EXPECT_EQ(s.driver[1].trigger.kind, Trigger::Kind::After);
    EXPECT_EQ(s.driver[2].kind, DriverAction::Kind::Jump);
    EXPECT_EQ(s.driver[2].positionM, 1200.0);
    EXPECT_EQ(s.driver[2].clockMs, (9 * 3600 + 15 * 60 + 30) * 1000);
    EXPECT_EQ(s.driver[2].trigger.kind, Trigger::Kind::Stopped);
}

TEST(ScenarioParser, ReadsEveryFormOfExpectation) {
    const Scenario s = parseScenario(
        "expect stop before 700 m\n"
        "expect stop between 650 m and 700 m   # at the platform\n"
        "expect no emergency-brake\n"
        "expect service-brake\n"
        "expect warning at least 4.5 s before brake\n"
        "expect speed above 30 km/h at 650 m\n",
        "x.drive");
    using K = Expectation::Kind;
    ASSERT_EQ(s.expectations.size(), 6u);
    const Expectation* e = s.expectations.data();
    EXPECT_EQ(e[0].kind, K::StopBefore);
    EXPECT_EQ(e[0].positionM, 700.0);
    EXPECT_EQ(e[1].kind, K::StopBetween);
    EXPECT_EQ(e[1].untilM, 700.0);
    EXPECT_EQ(e[1].text, "stop between 650 m and 700 m");
    EXPECT_EQ(e[2].kind, K::Never);
    EXPECT_EQ(e[2].event, Expectation::Event::EmergencyBrake);
    EXPECT_EQ(e[3].kind, K::Happens);
    EXPECT_EQ(e[3].event, Expectation::Event::ServiceBrake);
    EXPECT_EQ(e[4].seconds, 4.5);
    EXPECT_EQ(e[5].kind, K::SpeedAbove);
    EXPECT_EQ(e[5].speedKmh, 30.0);
    EXPECT_EQ(e[5].pos.line, 6);
}

TEST(ScenarioParser, TheFirstEndThatHoldsWins) {
    const Scenario s =
        parseScenario("end at 90 s\nend at 30 s\nend at 500 m\nend at 700 m\n", "e.drive");
    EXPECT_EQ(*s.end.elapsedMs, 30000);
    EXPECT_EQ(*s.end.positionM, 500.0);
}

TEST(ScenarioFile, ThatCannotBeOpenedIsNamed) {
    try {
        readScenario("/nonexistent/dir/x.drive");
        FAIL() << "accepted";
    } catch (const DiagnosticError& error) {
        EXPECT_EQ(formatDiagnostic(error.diagnostic()),
                  "/nonexistent/dir/x.drive: error: cannot open the scenario file\n");
    }
}

}  // namespace
}  // namespace velt::drive
