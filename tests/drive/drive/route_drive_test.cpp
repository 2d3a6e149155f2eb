// Route drives: the calls the host makes as the train runs along a route,
// the timetable driver at stations and limits, and the audit's drive with a
// standing train. Each route is written for one rule; the expected calls
// and places are worked out by hand from the host's rules in the comments.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "core/cab.h"
#include "tests/drive/drive_recording.h"
#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/render/calls_csv.h"

namespace velt::drive {
namespace {

constexpr std::int32_t hms(int h, int m, int s) { return ((h * 60 + m) * 60 + s) * 1000; }

struct Call {
    HostCall call;
    std::size_t frame;
    std::int32_t timeMs;
    double positionM;
};

struct CallLog : DriveConsumer {
    std::vector<Call> calls;
    std::vector<FrameRecord> frames;
    void hostCall(const HostCall& call, std::size_t frame, std::int32_t timeMs,
                  double positionM) override {
        calls.push_back({call, frame, timeMs, positionM});
    }
    [[nodiscard]] bool wantsCalls() const override { return true; }
    void frame(const FrameRecord& frame) override {
        frames.push_back(frame);
        frames.back().core = nullptr;
    }
    [[nodiscard]] std::vector<Call> of(HostCallId id) const {
        std::vector<Call> found;
        for (const Call& c : calls)
            if (c.call.id == id) found.push_back(c);
        return found;
    }
};

// A route read from memory and driven by the timetable driver (or the
// scenario's own lines), with `scenarioText` for the train.
struct RouteRun {
    Scenario scenario;
    std::optional<ScenarioRoute> route;
    DriveEnd end;

    RouteRun(const std::string& routeText, const std::string& scenarioText, CallLog& log,
             const std::string& name = "r.csv") {
        scenario = parseScenario(scenarioText, "s.drive");
        scenario.routeFile = name;
        route.emplace(attachRoute(scenario, testing::readFiles({{name, routeText}}, name).route));
        RouteDrive drive;
        drive.track = &route->track;
        drive.standing = route->standing;
        end = ExplainedDrive(scenario, nativeLibrary(), Explain::Everything, &drive).run({&log});
    }
};

// Sections: implicit {0,4}; {0,2,4} at 300; {0,4} at 600; {0,3} at 900 (the
// last the train enters); {0,4} at 1600. Station A at 0 (stop 0, departure
// 10:00:30), B at 1500 (stop 1500). The plug-in is told each section's
// all-clear aspect on entering it: 4 in the first frame; 300 and 600 also
// show 4, so nothing is said; 3 once the front axle (2 m behind the front)
// passes 900. The route-code beacon at 0 reaches the plug-in after
// Initialize and before that first SetSignal.
const char* const kAspectRoute =
    "With Track\n"
    "0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0, .Beacon 21;0;0;205\n"
    "300, .Section 0;2;4\n"
    "600, .Section 0;4\n"
    "900, .Section 0;3\n"
    "1500, .Sta B;10.0300;;0;L;0, .Stop 1;5;5;0\n"
    "1600, .Section 0;4\n";

TEST(RouteDrive, SetSignalComesInTheFirstFrameAndThenOnlyWhenTheAspectChanges) {
    CallLog log;
    const RouteRun run(kAspectRoute, "", log);
    const std::vector<Call> signals = log.of(HostCallId::SetSignal);
    ASSERT_EQ(signals.size(), 2U);
    EXPECT_EQ(signals[0].call.value, 4);
    EXPECT_EQ(signals[0].frame, 0U);
    EXPECT_EQ(signals[1].call.value, 3);
    EXPECT_GE(signals[1].positionM, 902.0);
    EXPECT_LT(signals[1].positionM, 903.0);
    // Load, SetVehicleSpec (8 brake notches, 4 power notches, 1 car),
    // Initialize(1): the route sets no Route.Change. Then the start beacon.
    ASSERT_GE(log.calls.size(), 4U);
    EXPECT_EQ(log.calls[1].call.spec.unread[3], 1);
    EXPECT_EQ(log.calls[2].call.id, HostCallId::Initialize);
    EXPECT_EQ(log.calls[2].call.value, 1);
    EXPECT_EQ(log.calls[3].call.id, HostCallId::SetBeaconData);
    EXPECT_EQ(log.calls[3].call.beacon.type, 21);
    EXPECT_EQ(log.calls[3].call.beacon.optional, 205);
    // Within a frame, no beacon after its SetSignal.
    for (std::size_t i = 1; i < log.calls.size(); ++i) {
        if (log.calls[i].call.id == HostCallId::SetBeaconData &&
            log.calls[i - 1].call.id == HostCallId::SetSignal) {
            EXPECT_NE(log.calls[i].frame, log.calls[i - 1].frame) << "call " << i;
        }
    }
    // Doors at A (start) and at B; the drive ends standing at B.
    EXPECT_EQ(log.of(HostCallId::DoorOpen).size(), 2U);
    ASSERT_EQ(run.end.stationVisits.size(), 2U);
    const StationVisit& b = run.end.stationVisits[1];
    ASSERT_TRUE(b.arrivalMs.has_value());
    EXPECT_LT(std::fabs(b.stopErrorM), 5.0);
    // Departure from A no earlier than 10:00:30.
    ASSERT_TRUE(run.end.stationVisits[0].departureMs.has_value());
    EXPECT_GE(*run.end.stationVisits[0].departureMs, hms(10, 0, 30));
}

// Station A at 10 m (arrival 10:00:00, departure 10:02:00, ForcedRedSignal),
// in the section {0,2,4} at 0; the section at 60 is the first after the
// station and its stop: held. Start: front at 10, clock 10:00:00. The
// plug-in is told its section's aspect with the next at stop, a1 = 2; the
// beacon at 5 (section -1) reports the held section: signal 0, 60 - 10 =
// 50 m. The hold clears at 10:01:45 (departure less 15 s; the front is at
// the stop): SetSignal(4) then, the train still standing at 10 m. The
// doors close at the departure, 10:02:00, and only then does it move.
const char* const kHeldRoute =
    "With Track\n"
    "0, .Section 0;2;4\n"
    "5, .Beacon 10;0;-1;600\n"
    "10, .Sta A;10.0000;10.0200;0;B;1, .Stop 1;5;5;0\n"
    "60, .Section 0;2;4\n"
    "800, .Sta B;10.0400;;0;B;0, .Stop 1;5;5;0\n"
    "900, .Section 0;4\n";

TEST(RouteDrive, AHeldDepartureSignalClearsAtItsTimeAndTheTrainLeavesWithTheDoors) {
    CallLog log;
    const RouteRun run(kHeldRoute, "", log);
    const std::vector<Call> beacons = log.of(HostCallId::SetBeaconData);
    ASSERT_FALSE(beacons.empty());
    EXPECT_EQ(beacons[0].call.beacon.signal, 0);
    EXPECT_FLOAT_EQ(beacons[0].call.beacon.distance, 50.0F);
    const std::vector<Call> signals = log.of(HostCallId::SetSignal);
    ASSERT_GE(signals.size(), 2U);
    EXPECT_EQ(signals[0].call.value, 2);
    EXPECT_EQ(signals[0].timeMs, hms(10, 0, 0));
    EXPECT_EQ(signals[1].call.value, 4);
    EXPECT_GE(signals[1].timeMs, hms(10, 1, 45));
    EXPECT_LT(signals[1].timeMs, hms(10, 1, 45) + 20);
    EXPECT_DOUBLE_EQ(signals[1].positionM, 10.0);
    for (const FrameRecord& frame : log.frames) {
        if (frame.timeMs < hms(10, 2, 0)) {
            ASSERT_EQ(frame.positionM, 10.0) << frame.timeMs;
        }
    }
    ASSERT_TRUE(run.end.stationVisits[1].arrivalMs.has_value());
}

// Stops written for 2 cars at 450, any length at 500, 6 cars at 520 (the
// last in track order). 2 cars: the exact one, 450. 4 cars: none exact,
// the fewest above is 6: 520. 8 cars: none exact, none above: the last
// defined, 520. 1 car: the fewest above, 2 cars: 450.
struct CarsCase {
    int cars;
    double stopM;
};

class StopByCars : public ::testing::TestWithParam<CarsCase> {};

TEST_P(StopByCars, TheTrainStopsAtTheStopForItsLength) {
    const CarsCase c = GetParam();
    CallLog log;
    const RouteRun run(
        "With Track\n"
        "0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0\n"
        "400, .Sta B;10.0300;;0;R;0\n"
        "450, .Stop 1;5;5;2\n"
        "500, .Stop 1;5;5;0\n"
        "520, .Stop 1;5;5;6\n"
        "700, .Section 0;4\n",
        "vehicle cars " + std::to_string(c.cars) + "\n", log);
    ASSERT_EQ(run.end.stationVisits.size(), 2U);
    const StationVisit& b = run.end.stationVisits[1];
    ASSERT_TRUE(b.arrivalMs.has_value()) << c.cars << " cars";
    EXPECT_NEAR(run.end.last.positionM, c.stopM, 5.0) << c.cars << " cars";
    EXPECT_EQ(log.of(HostCallId::DoorOpen).size(), 2U);
}

INSTANTIATE_TEST_SUITE_P(Cars, StopByCars,
                         ::testing::Values(CarsCase{1, 450}, CarsCase{2, 450}, CarsCase{4, 520},
                                           CarsCase{8, 520}));

// Four cars of 20 m: 80 m. A limit of 40 km/h from 200 m, lifted at 400 m:
// the train keeps it until its rear passes 400, with the front at 480.
TEST(RouteDrive, AHigherLimitHoldsUntilTheWholeTrainHasPassedIt) {
    CallLog log;
    const RouteRun run(
        "With Track\n"
        "0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0\n"
        "200, .Limit 40\n"
        "400, .Limit 0\n"
        "2500, .Sta B;10.0500;;0;R;0, .Stop 1;5;5;0\n"
        "2600, .Section 0;4\n",
        "vehicle cars 4\n", log);
    double fastestInside = 0.0;
    double fastestAfter = 0.0;
    for (const FrameRecord& frame : log.frames) {
        if (frame.positionM >= 202.0 && frame.positionM < 480.0)
            fastestInside = std::max(fastestInside, frame.speedKmh);
        if (frame.positionM >= 480.0 && frame.positionM < 800.0)
            fastestAfter = std::max(fastestAfter, frame.speedKmh);
    }
    EXPECT_LE(fastestInside, 40.0);
    EXPECT_GT(fastestAfter, 45.0);
    EXPECT_TRUE(run.end.stationVisits[1].arrivalMs.has_value());
}

// The same route as CSV (with a part included at an offset of 1000 m) and
// as RW: the host makes the same calls, byte for byte.
TEST(RouteDrive, TheSameRouteAsCsvAndAsRwGivesTheSameCalls) {
    const auto callsOf = [](const testing::RouteFiles& files, const std::string& main) {
        Scenario scenario = parseScenario("", "s.drive");
        ScenarioRoute route = attachRoute(scenario, testing::readFiles(files, main).route);
        RouteDrive drive;
        drive.track = &route.track;
        std::FILE* out = std::tmpfile();
        EXPECT_NE(out, nullptr);
        if (out == nullptr) return std::string();
        CallsWriter calls(out);
        ExplainedDrive(scenario, nativeLibrary(), Explain::Nothing, &drive).run({&calls});
        std::string text;
        std::rewind(out);
        for (int c = std::fgetc(out); c != EOF; c = std::fgetc(out)) text += static_cast<char>(c);
        EXPECT_EQ(std::fclose(out), 0);
        return text;
    };
    const std::string csv = callsOf({{"main.csv",
                                      "Route.Change -1\n"
                                      "With Track\n"
                                      "0, .Sta A;;10.0030;0;L;1, .Stop 1;5;5;0\n"
                                      "50, .Section 0;2;4, .Beacon 10;0;1;600\n"
                                      "$Include(far.csv:1000)\n"},
                                     {"far.csv",
                                      "With Track\n"
                                      "0, .Beacon 12;0;0;110400, .Limit 60\n"
                                      "200, .Section 0;1;4\n"
                                      "600, .Sta B;10.0300;;0;R, .Stop 1;5;5;0\n"
                                      "700, .Section 0;4\n"}},
                                    "main.csv");
    const std::string rw = callsOf({{"main.rw",
                                     "[Route]\n"
                                     "Change = -1\n"
                                     "[Railway]\n"
                                     "0@Sta(A;;10.0030;0;L;1)@Stop(1;5;5;0)\n"
                                     "50@Section(0;2;4)@Beacon(10;0;1;600)\n"
                                     "1000@Beacon(12;0;0;110400)@Limit(60)\n"
                                     "1200@Section(0;1;4)\n"
                                     "1600@Sta(B;10.0300;;0;R)@Stop(1;5;5;0)\n"
                                     "1700@Section(0;4)\n"}},
                                   "main.rw");
    EXPECT_NE(csv.find("Initialize,-1"), std::string::npos);
    EXPECT_NE(csv.find("SetBeaconData,12,4,"), std::string::npos);
    EXPECT_GT(csv.size(), 500U);
    EXPECT_EQ(csv, rw);
}

// The audit's drive: a CPP beacon at 1000 m reports the section at 1600
// (section 1 from its own at 100). With another train standing there, the
// section at 100 {0,1,2,4} tells its a1 = 1 and the beacon reports signal 0: velt's
// stop pattern (600 m on) brings the limit runner, who never brakes for
// signals, to a stand short of 1600. With the line clear the section at
// 100 tells 4, the beacon reports 4, and the runner reaches the route's end.
TEST(RouteDrive, TheLimitRunnerIsStoppedByTheProtectionOnlyWhenASectionIsOccupied) {
    Scenario scenario = parseScenario("", "s.drive");
    const ScenarioRoute route =
        attachRoute(scenario, testing::readCsv("With Track\n"
                                               "0, .Sta A;;10.0030;0;B;0, .Stop 1;5;5;0\n"
                                               "0, .Beacon 21;0;0;0, .Limit 70\n"
                                               "10, .Beacon 20;0;0;1\n"
                                               "100, .Section 0;1;2;4\n"
                                               "1000, .Beacon 10;0;1;600\n"
                                               "1600, .Section 0;1;4\n"
                                               "2000, .Section 0;4\n")
                                  .route);
    for (const int section : {2, -1}) {
        LimitRunner runner(false);
        CallLog log;
        const DriveEnd end = driveRouteWithStandingTrain(
            scenario, route.track, nativeLibrary(), section, runner, Explain::Everything, {&log});
        if (section >= 0) {
            EXPECT_NE(end.reason.find("protection brought the train to a stand"), std::string::npos)
                << end.reason;
            EXPECT_LT(end.last.positionM, 1600.0);
            EXPECT_GT(end.last.positionM, 1000.0);
            EXPECT_FALSE(end.interventions.empty());
        } else {
            EXPECT_NE(end.reason.find("end of the route"), std::string::npos) << end.reason;
        }
    }
}

// A careful driver acknowledges the legacy alarm lamp at a stand, never
// while the train still moves (velt answers that with the emergency brake).
TEST(RouteDrive, TheTimetableDriverConfirmsTheAlarmOnlyAtAStand) {
    const ReadRoute read = testing::readCsv(
        "With Track\n"
        "0, .Sta A;;10.0100;0;L;1, .Stop 1;5;5;0\n"
        "50, .Section 0;2;4\n"
        "3000, .Sta B;10.0500;;0;R, .Stop 1;5;5;0\n");
    const RouteTrack track(read.route, TrainLength{});
    const RouteSignals signals(track);
    const VehicleParams vehicle;
    std::array<std::int32_t, 256> panel{};
    panel[cab::kPanelLegacyAlarm] = 1;
    for (const double speed : {40.0, 0.3, 0.0}) {
        TimetableDriver driver;
        RouteView view{track, signals, vehicle};
        view.positionM = 1000.0;
        view.speedKmh = speed;
        view.panel = panel.data();
        view.nextStop = 1;
        RouteHands hands;
        driver.drive(view, hands);
        EXPECT_EQ(hands.pressConfirm, speed < kStandingKmh) << speed << " km/h";
    }
}

// ---- the example route: first station to terminal, one intervention
// (the CPP beacon that gives 650 m for 700 m), every stop served.
TEST(RouteDrive, TheExampleRouteRunsToItsTerminalWithOneExplainedIntervention) {
    const std::string dir = std::string(VELT_SCENARIO_DIR) + "/examples/routes/";
    Scenario scenario = readScenario(dir + "valley-line.drive");
    ScenarioRoute route = attachRoute(scenario, readRoute(scenario.routeFile).route);
    RouteDrive drive;
    drive.track = &route.track;
    drive.standing = route.standing;
    const DriveEnd end =
        ExplainedDrive(scenario, nativeLibrary(), Explain::Everything, &drive).run({});
    EXPECT_NE(end.reason.find("terminal Dunmere"), std::string::npos) << end.reason;
    ASSERT_EQ(end.interventions.size(), 1U);
    EXPECT_EQ(end.interventions[0].causeRef.file, "valley-east.csv");
    EXPECT_EQ(end.interventions[0].causeRef.line, 4);
    for (const StationVisit& visit : end.stationVisits) {
        ASSERT_TRUE(visit.arrivalMs.has_value());
        EXPECT_LT(std::fabs(visit.stopErrorM), 5.0);
    }
}

}  // namespace
}  // namespace velt::drive
