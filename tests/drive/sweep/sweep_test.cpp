// Sweeps and expectations: what a --vary gives or why it is refused, the
// order of the drives, a drive's outcome as it travels between processes,
// and every kind of expectation judged on a real drive.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "tests/drive/drive_recording.h"
#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/sweep/outcome_codec.h"
#include "tools/velt-drive/sweep/sweep.h"
#include "tools/velt-drive/sweep/sweep_report.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_canvas.h"

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
        {"placed@3=10:20:10", "has no target ahead (only CPP, CCP and SPB beacons do)"},
        {"placed@5=50:800:50", "puts the beacon -50 m before its target at 700 m"},
        {"optional@5=0:1.5:0.5", "optional@5 0.5 is not a whole number"},
        {"action@6=10:20:10", "holds no driver action 'at X m'"},
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

// What authors must choose: where a beacon goes (its target left where it
// is), the value it carries, where the driver acts.
TEST(Vary, MovesABeaconButNotItsTargetAndSetsOptionalAndActions) {
    Scenario s = parseScenario(std::string(kCppStop) + "brake 4 at 650 m\n", "s.drive");
    s.beacons[2].distance = 900.0F;
    const Vary placed = parseVary("placed@5=250:250:1", s);
    const Vary optional = parseVary("optional@5=90800:90800:1", s);
    const Vary action = parseVary("action@10=620:620:1", s);
    EXPECT_EQ(optional.unit, "");
    EXPECT_EQ(formatValue(optional, 90800), "90800");
    const Scenario moved = variant(s, {placed, action}, {250.0, 620.0});
    EXPECT_EQ(moved.beacons[2].positionM, 250.0);
    EXPECT_EQ(moved.beacons[2].optional, 450) << "the target stays at 700 m";
    EXPECT_EQ(moved.beacons[2].distance, 750.0F) << "and so does the signal ahead";
    EXPECT_EQ(moved.driver[1].trigger.value, 620.0);
    // The stop-phase flag above the metres is kept.
    s.beacons[2].optional = 10600;
    EXPECT_EQ(variant(s, {placed}, {250.0}).beacons[2].optional, 10450);
    EXPECT_EQ(variant(s, {optional}, {90800.0}).beacons[2].optional, 90800);
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
    ExplainedDrive drive(scenario, nativeLibrary(), Explain::Everything);
    OutcomeRecorder recorder(scenario, drive.explainer());
    drive.run({&recorder});
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
         "the emergency brake at 669.1 m (98.3 s) by the CPP stop pattern came 4.9 s after the "
         "warning at 636.0 m"},
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

// A CCP sweep's margin: the restriction's speed, where it began, and the
// fastest the train ran over it, carried back from each drive's process.
TEST(Restrictions, GiveTheHighestSpeedOverTheRestriction) {
    const Scenario scenario = parseScenario(
        "start speed 60 km/h\nbeacon route at 5 m optional 200\nbeacon section at 10 m optional 1\n"
        "signal 5 at 10 m\nbeacon ccp at 100 m optional 90300\nbeacon ccp at 800 m optional 0  "
        "# velt-drive: allow\nhold 60 km/h\nend at 900 m\nend at 120 s\n",
        "r.drive");
    ExplainedDrive drive(scenario, nativeLibrary(), Explain::Everything);
    OutcomeRecorder recorder(scenario, drive.explainer());
    drive.run({&recorder});
    ASSERT_EQ(recorder.outcome().restrictions.size(), 1u);
    const RestrictionResult& r = recorder.outcome().restrictions[0];
    EXPECT_EQ(r.line, 5);
    EXPECT_EQ(r.limitKmh, 45.0);
    EXPECT_NEAR(r.fromM, 400.0, 1.0);
    ASSERT_TRUE(r.highest);
    EXPECT_GE(r.highest->positionM, r.fromM);
    EXPECT_LE(r.highest->positionM, 800.5) << "not after the cancel at 800 m";
    EXPECT_GT(r.highest->speedKmh, 45.0) << "the hold pushes over the limit";
    EXPECT_LT(r.highest->speedKmh, 50.0) << "velt holds it under the limit + 4 km/h + a frame";
    DriveOutcome back;
    ASSERT_TRUE(decodeOutcome(encodeOutcome(recorder.outcome()), back));
    ASSERT_EQ(back.restrictions.size(), 1u);
    EXPECT_EQ(back.restrictions[0].highest->speedKmh, r.highest->speedKmh);
    EXPECT_EQ(back.restrictions[0].fromM, r.fromM);
}

TEST(OutcomeEncoding, CarriesEveryValueAndRefusesACutOffResult) {
    DriveOutcome o = judged("expect stop before 700 m\nexpect no brake\n");
    o.findings.push_back(diagnosticAt(Severity::Warning, {"s.drive", 3, 1}, "a finding"));
    o.interventions[0].explained.endedBy = "standstill, with a comma";
    const std::string bytes = encodeOutcome(o);
    DriveOutcome back;
    ASSERT_TRUE(decodeOutcome(bytes, back));
    EXPECT_EQ(encodeOutcome(back), bytes);
    EXPECT_EQ(back.interventions[0].emergency()->positionM,
              o.interventions[0].emergency()->positionM);
    EXPECT_EQ(back.interventions[0].explained.check, Check::CppStop);
    EXPECT_EQ(back.interventions[0].explained.causeRef.line, 5);
    EXPECT_EQ(back.targets[1].stop->positionM, o.targets[1].stop->positionM);
    EXPECT_EQ(back.expectations[1].detail, o.expectations[1].detail);
    EXPECT_EQ(formatDiagnostic(back.findings[0]), "s.drive:3:1: warning: a finding\n");
    for (const std::size_t cut :
         {std::size_t{0}, std::size_t{7}, bytes.size() / 2, bytes.size() - 1})
        EXPECT_FALSE(decodeOutcome(bytes.substr(0, cut), back)) << "cut at " << cut;
    EXPECT_FALSE(decodeOutcome(bytes + "x", back));
}

// A drive replayed frame by frame, 100 ms apart, without the plug-in: where
// the train is and whether a warning chime plays; the interventions are
// given as the explanation would tell them at the end.
struct Step {
    double positionM;
    double speedKmh;
    bool warning = false;
};

DriveOutcome replay(const std::string& scenarioText, const std::vector<Step>& steps,
                    const std::vector<Intervention>& interventions = {}) {
    const Scenario scenario = parseScenario(scenarioText, "r.drive");
    OutcomeRecorder recorder(scenario);
    recorder.begin(9);
    FrameRecord frame;
    frame.sound.fill(kSoundStopped);
    for (std::size_t k = 0; k < steps.size(); ++k) {
        frame.number = k;
        frame.elapsedMs = static_cast<std::int64_t>(k) * 100;
        frame.positionM = steps[k].positionM;
        frame.speedKmh = steps[k].speedKmh;
        frame.sound[static_cast<std::size_t>(soundSlot(6))] = steps[k].warning ? 1 : 2;
        recorder.frame(frame);
    }
    DriveEnd end;
    end.last = frame;
    end.frames = steps.size();
    end.interventions = interventions;
    recorder.end(end);
    return recorder.outcome();
}

// An intervention from frame `from` to `to`, 100 ms apart, as explained.
Intervention span(std::size_t from, std::size_t to, int level, Check check,
                  std::optional<std::size_t> emergencyFrom = std::nullopt) {
    Intervention i;
    i.start = {from, static_cast<std::int64_t>(from) * 100, 100.0, 40.0};
    i.end = {to, static_cast<std::int64_t>(to) * 100, 100.0, 40.0};
    i.ended = true;
    i.level = i.startLevel = level;
    i.check = check;
    if (emergencyFrom) {
        i.level = 2;
        i.raisedToEmergency = true;
        i.emergencyAt = {*emergencyFrom, 0, 100.0, 40.0};
    }
    return i;
}

TEST(Interventions, EachBrakeHasTheFirstWarningSinceTheBrakeBeforeItLetGo) {
    std::vector<Step> steps(60, Step{100.0, 40.0});
    steps[1].warning = true;   // 0.2 s before the first brake
    steps[5].warning = true;   // while it brakes: for that brake
    steps[20].warning = true;  // after its release: for the next brake
    const DriveOutcome o = replay(
        "expect warning at least 1 s before brake\nexpect no emergency-brake\n"
        "expect service-brake\n",
        steps,
        {span(3, 12, 1, Check::Signal, 10), span(15, 16, 0, Check::OverspeedCut),
         span(30, 39, 1, Check::Ccp),
         span(48, 50, 1, Check::Ccp),    // 0.9 s after the CCP let go: the same one again
         span(52, 53, 1, Check::Clf)});  // another check: an intervention of its own
    ASSERT_EQ(o.interventions.size(), 4u);
    const InterventionOutcome& first = o.interventions[0];
    EXPECT_EQ(first.emergency()->frame, 10u);
    EXPECT_EQ(first.warning->frame, 1u);
    EXPECT_FALSE(o.interventions[1].brake());
    EXPECT_FALSE(o.interventions[1].warning.has_value()) << "a power cut is no brake";
    const InterventionOutcome& ccp = o.interventions[2];
    EXPECT_EQ(ccp.warning->frame, 20u);
    EXPECT_EQ(ccp.applications, 2);
    EXPECT_EQ(ccp.explained.end.frame, 50u);
    EXPECT_EQ(o.interventions[3].applications, 1);
    EXPECT_FALSE(o.interventions[3].warning.has_value());
    EXPECT_EQ(o.firstWarning->frame, 1u);
    EXPECT_EQ(o.expectations[0].detail,
              "the full-service brake at 100.0 m (0.3 s) by the signal speed check came 0.2 s "
              "after the warning at 100.0 m");
    EXPECT_FALSE(o.expectations[1].met);
    EXPECT_EQ(o.expectations[1].detail,
              "the full-service brake at 100.0 m (0.3 s) by the signal speed check");
    EXPECT_EQ(o.expectations[2].detail,
              "3 times, first the full-service brake at 100.0 m (0.3 s) by the signal speed "
              "check");
}

// A station's stop: the first within 500 m of it, unless the train stopped
// short of its window (braked at a signal) and later drew up nearer; a
// train standing at it as the drive begins (a route's first station) has
// stopped there. The station's window is 25 m.
TEST(Targets, AStationIsMeasuredAtTheStopThatServedIt) {
    const struct {
        const char* what;
        std::vector<Step> steps;
        std::optional<double> offsetM;
        std::size_t stops;
    } cases[] = {
        {"a stop 580 m short is not for it", {{50, 50}, {420, 0}, {600, 10}, {990, 0}}, -10.0, 2},
        {"braked 250 m short, then drawn up", {{50, 50}, {750, 0}, {800, 10}, {999, 0}}, -1.0, 2},
        {"braked 250 m short, and the drive ends", {{50, 50}, {750, 0}}, -250.0, 1},
        {"stopped in the window, then moved on",
         {{50, 50}, {1020, 0}, {1030, 5}, {1100, 0}},
         20.0,
         2},
        {"standing at it from the start", {{1000, 0}, {1010, 20}, {1300, 20}}, 0.0, 0},
        {"standing 40 m short at the start", {{960, 0}, {990, 10}, {1005, 0}}, 5.0, 1},
        {"never stopped", {{50, 50}, {1200, 50}}, std::nullopt, 0},
    };
    for (const auto& c : cases) {
        const DriveOutcome o = replay("station Halt at 1000 m\n", c.steps);
        ASSERT_EQ(o.targets.size(), 1u) << c.what;
        EXPECT_EQ(o.targets[0].name, "station Halt");
        EXPECT_EQ(o.targets[0].offsetM(), c.offsetM) << c.what;
        EXPECT_EQ(o.stops.size(), c.stops) << c.what;
    }
}

// A route drive takes targets from two files: the route's station and CCP
// beacon, and the scenario's own CCP beacon on the same line number (4).
// Each is its own target or restriction, named by its file and line.
TEST(Targets, ARouteLineAndAScenarioLineOfTheSameNumberStayApart) {
    const char* const route =
        "With Track\n"
        "0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0\n"  // 2
        "0, .Beacon 21;0;0;0, .Limit 80\n"
        "300, .Beacon 12;0;0;120300\n"  // 4: 60 km/h from 600 m
        "20, .Beacon 20;0;0;1\n"
        "60, .Section 0;4\n"
        "2000, .Sta B;10.0500;;0;R;0, .Stop 1;5;5;0\n"  // 7
        "2100, .Section 0;4\n";
    Scenario scenario = parseScenario(
        "# the scenario's own restriction, on the line\n"
        "# number of the route's CCP beacon:\n"
        "#\n"
        "beacon ccp at 1200 m optional 90300  # 4: 45 km/h from 1500 m\n",
        "dir/s.drive");
    scenario.routeFile = "r.csv";
    ScenarioRoute attached =
        attachRoute(scenario, testing::readFiles({{"r.csv", route}}, "r.csv").route);
    RouteDrive on;
    on.track = &attached.track;
    ExplainedDrive drive(scenario, nativeLibrary(), Explain::Everything, &on);
    OutcomeRecorder recorder(scenario, drive.explainer());
    drive.run({&recorder});
    const DriveOutcome& o = recorder.outcome();

    std::vector<std::string> restrictions;
    for (const RestrictionResult& r : o.restrictions)
        restrictions.push_back(sourceText(r.file, r.line) + " " + formatFixed(r.fromM, 0));
    EXPECT_EQ(restrictions, (std::vector<std::string>{"r.csv:4 600", "s.drive:4 1500"}));
    std::vector<std::string> stations;
    for (const TargetResult& t : o.targets)
        if (t.name.rfind("station ", 0) == 0)
            stations.push_back(t.name + " " + sourceText(t.file, t.line));
    EXPECT_EQ(stations, (std::vector<std::string>{"station A r.csv:2", "station B r.csv:7"}));

    // Carried back from a sweep's process with its file, and shown with it.
    SweepDrive swept;
    swept.values = {80.0};
    ASSERT_TRUE(decodeOutcome(encodeOutcome(o), swept.outcome));
    const SweepResult result{scenario, parseVaries({"start-speed=80:80:1"}, scenario), {swept}};
    const std::string table = formatSweepTable(result);
    for (const char* column : {"station A (r.csv:2) m", "station B (r.csv:7) m",
                               "highest over CCP 60 km/h (r.csv:4), from m",
                               "highest over CCP 45 km/h (s.drive:4), from m"})
        EXPECT_NE(table.find(column), std::string::npos) << column << " in\n" << table;
    const std::string plot = renderSweepPlot(result);
    for (const char* label : {"station A (r.csv:2)", "station B (r.csv:7)"})
        EXPECT_NE(plot.find(label), std::string::npos) << label << " in the plot";
    const std::string csv = formatSweepCsv(result);
    for (const char* column :
         {",station_b_r.csv_line7_m,", ",ccp_r.csv_line4_kmh,", ",ccp_line4_kmh,"})
        EXPECT_NE(csv.find(column), std::string::npos) << column << " in\n" << csv;
}

// A sweep's outcome made up: where the train stopped against the one stop
// target at 700 m, or no stop (nullopt), or a drive that did not run.
SweepDrive madeUp(std::vector<double> values, std::optional<double> stopM, bool met,
                  const std::string& failure = "") {
    SweepDrive drive;
    drive.values = std::move(values);
    drive.failure = failure;
    DriveOutcome& o = drive.outcome;
    TargetResult target{"CPP target", 5, 700.0, std::nullopt, std::nullopt, "s.drive"};
    if (stopM) {
        const FramePoint at{10, 1000, *stopM, 0.0};
        o.stops.push_back(at);
        target.stop = at;
        o.last = at;
    } else {
        target.reached = FramePoint{9, 900, 700.0, 31.0};
        o.last = {20, 2000, 800.0, 30.0};
    }
    o.targets.push_back(target);
    o.expectations.push_back({met, met ? "fine" : "the drive's values, with a comma"});
    return drive;
}

std::vector<std::string> csvRow(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
            fields.back() += '"';
            ++i;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

TEST(SweepReport, ShowsEachDriveAndListsTheFailuresWithTheirValues) {
    const Scenario s =
        parseScenario(std::string(kCppStop) + "expect stop before 700 m\n", "s.drive");
    const std::vector<Vary> varies = parseVaries({"start-speed,hold@6=10:110:10"}, s);
    std::vector<SweepDrive> drives;
    drives.push_back(madeUp({10}, 687.4, true));
    // Warned 5 s before a CPP brake that turned to emergency, applied three times.
    InterventionOutcome cpp{span(600, 650, 1, Check::CppStop, 620), FramePoint{550, 55000}, 3};
    cpp.explained.start.positionM = 650.0;
    cpp.explained.emergencyAt.positionM = 660.0;
    cpp.explained.causeRef = {"s.drive", 5, 100.0, "CPP beacon"};
    cpp.explained.cause = "stop curve 40.0 m reached the remaining 39.9 m";
    drives.back().outcome.interventions.push_back(cpp);
    drives.push_back(madeUp({20}, 703.0, false));
    drives.push_back(madeUp({30}, std::nullopt, false));
    drives.push_back(
        madeUp({40}, std::nullopt, false, "the drive's process was ended by signal 6"));
    for (int v = 50; v <= 110; v += 10) drives.push_back(madeUp({double(v)}, 705.0, false));
    const SweepResult result{s, varies, drives};

    // The terminal table with each run of blanks as one.
    std::string table;
    for (const char c : formatSweepTable(result))
        if (c != ' ' || table.empty() || table.back() != ' ') table += c;
    for (const char* row :
         {"\n 10 687.4 12.6 short 5.0 CPP stop pattern: full service at 650.0, emergency at 660.0 "
          "s.drive:5 1 met\n",
          "\nFAIL 20 703.0 3.0 past - - - 0 failed: line 10 'stop before 700 m'\n",
          "\nFAIL 30 no stop ran past at 31 - - - 0 failed: line 10 'stop before 700 m'\n",
          "\nFAIL 40 did not run\n"})
        EXPECT_NE(table.find(row), std::string::npos) << row << " in\n" << table;

    const std::string failures = formatSweepFailures(result);
    EXPECT_NE(failures.find(
                  "s.drive:10:1: error: expectation not met in 9 of 11 drives: stop before 700 m\n"
                  "  note: start-speed,hold@6 20 km/h: the drive's values, with a comma\n"),
              std::string::npos)
        << failures;
    EXPECT_NE(failures.find("  note: and 1 more (the table has them all)\n"), std::string::npos);
    EXPECT_NE(
        failures.find("start-speed,hold@6 40 km/h: the drive's process was ended by signal 6"),
        std::string::npos);

    const std::string csv = formatSweepCsv(result);
    std::vector<std::vector<std::string>> rows;
    for (std::size_t from = 0; from < csv.size();) {
        const std::size_t end = csv.find('\n', from);
        rows.push_back(csvRow(csv.substr(from, end - from)));
        from = end + 1;
    }
    ASSERT_EQ(rows.size(), 12u);
    for (const auto& row : rows) EXPECT_EQ(row.size(), rows[0].size());
    EXPECT_EQ(rows[0][1], "start-speed,hold@6_kmh");
    EXPECT_EQ(rows[0][4], "cpp_target_line5_offset_m");
    EXPECT_EQ(rows[2][4], "3.000");
    EXPECT_EQ(rows[3][5], "31.000") << "the speed it ran past at";
    const auto verdicts =
        std::find(rows[0].begin(), rows[0].end(), "expectations") - rows[0].begin();
    EXPECT_EQ(rows[2][static_cast<std::size_t>(verdicts)],
              "FAILED: stop before 700 m: the drive's values, with a comma");
    EXPECT_EQ(rows[4].back(), "the drive's process was ended by signal 6");
    const auto column = [&](const char* name) {
        return static_cast<std::size_t>(std::find(rows[0].begin(), rows[0].end(), name) -
                                        rows[0].begin());
    };
    EXPECT_EQ(rows[1][column("first_check")], "cpp-stop");
    EXPECT_EQ(rows[1][column("first_cause_file")], "s.drive");
    EXPECT_EQ(rows[1][column("first_cause_line")], "5");
    EXPECT_EQ(rows[1][column("warning_lead_s")], "5.000");
    EXPECT_EQ(rows[1][column("interventions")],
              "#1 60.000 s 650.0 m 40.0 km/h to 65.000 s 100.0 m, CPP stop pattern, full service "
              "at 650.0, emergency at 660.0, s.drive:5 (stop curve 40.0 m reached the remaining "
              "39.9 m), applied 3 times, ended by ");
}

// An overrun (a stop expectation failed) is a filled dot, a drive that only
// failed its warning expectation a ring.
TEST(SweepPlot, TellsAnOverrunFromAMissedWarning) {
    const Scenario s =
        parseScenario(std::string(kCppStop) +
                          "expect stop before 700 m\nexpect warning at least 9 s before brake\n",
                      "s.drive");
    const std::vector<Vary> varies = parseVaries({"start-speed=10:20:10"}, s);
    std::vector<SweepDrive> drives = {madeUp({10}, 695.0, true), madeUp({20}, 703.0, false)};
    drives[0].outcome.expectations.push_back({false, "warned 5 s before"});
    drives[1].outcome.expectations.push_back({true, "fine"});
    const std::string svg = renderSweepPlot({s, varies, drives});
    const std::string failed = palette::kFailed;
    const auto drawn = [&](const char* fill) {
        std::size_t n = 0;
        const std::string piece = std::string("fill=\"") + fill + "\" stroke=\"" + failed;
        for (std::size_t i = svg.find(piece); i != std::string::npos; i = svg.find(piece, i + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(drawn("white"), 2u) << "the warning-only drive and the legend's ring";
    EXPECT_EQ(drawn(failed.c_str()), 2u) << "the overrun and the legend's dot";
}

TEST(SweepPlot, PutsEachDriveOfAGridInItsColumnAndRow) {
    const Scenario s =
        parseScenario(std::string(kCppStop) + "expect stop before 700 m\n", "s.drive");
    const std::vector<Vary> varies =
        parseVaries({"start-speed=10:20:10", "emergency-brake=1:2:1"}, s);
    const std::vector<SweepDrive> drives = {
        madeUp({10, 1}, 695.0, true), madeUp({10, 2}, 703.0, false),
        madeUp({20, 1}, std::nullopt, false), madeUp({20, 2}, 690.0, false, "not run")};
    const std::string svg = renderSweepPlot({s, varies, drives});
    // Where each cell's label stands.
    const auto at = [&](const std::string& label) {
        const std::size_t end = svg.find(">" + label + "</text>");
        const std::size_t start = svg.rfind("<text x=\"", end);
        EXPECT_NE(end, std::string::npos) << label;
        return std::pair<double, double>{std::stod(svg.substr(start + 9)),
                                         std::stod(svg.substr(svg.find("y=\"", start) + 3))};
    };
    const auto shortOf = at("-5.0");    // start-speed 10, emergency-brake 1
    const auto past = at("+3.0");       // 10, 2
    const auto noStop = at("no stop");  // 20, 1
    const auto notRun = at("not run");  // 20, 2
    EXPECT_EQ(shortOf.first, past.first) << "one start speed, one column";
    EXPECT_GT(shortOf.second, past.second) << "the larger brake rate higher up";
    EXPECT_GT(noStop.first, shortOf.first);
    EXPECT_EQ(noStop.second, shortOf.second);
    EXPECT_EQ(notRun.first, noStop.first);
    std::size_t outlined = 0;
    for (std::size_t i = svg.find("stroke-width=\"2\""); i != std::string::npos;
         i = svg.find("stroke-width=\"2\"", i + 1))
        ++outlined;
    EXPECT_EQ(outlined, 3u + 1u) << "the three failed cells and the legend's";
}

}  // namespace
}  // namespace velt::drive
