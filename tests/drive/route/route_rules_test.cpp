// The host's rules for a route: sections, aspects, beacons, stations, the
// start, speed limits and standing trains. Each route is written for one
// rule; the expected values are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/route/signals.h"
#include "tools/velt-drive/route/track.h"

namespace velt::drive {
namespace {

using testing::readCsv;

constexpr std::int32_t hms(int h, int m, int s) { return ((h * 60 + m) * 60 + s) * 1000; }
constexpr float kInfinity = std::numeric_limits<float>::infinity();
constexpr TrainLength kOneCar{1, 20.0};  // front axle 2 m behind the front

RouteTrack trackOf(const std::string& csv, TrainLength train = kOneCar) {
    return {readCsv(csv).route, train};
}

// ---- the section a beacon reports, and what it reports

// Sections: 0 implicit {0,4} at 0; 1 {0,1,2,3} at 100; 2 {0,1,2,3} at 500;
// 3 {0,2,4} at 900; 4 {0,4} at 1300, the last.
const char* const kSectionRoute =
    "With Track\n"
    "0, .Beacon 21;0;0;205\n"  // b0
    "100, .Beacon 10;0;0;0\n"  // b1: before the section at 100, so in section 0
    "100, .Section 0;1;2;3\n"
    "100, .Beacon 10;0;0;0\n"   // b2: after it, so in section 1
    "300, .Beacon 10;0;1;0\n"   // b3: section 1 + 1 = 2
    "300, .Beacon 10;0;2;0\n"   // b4: 3
    "300, .Beacon 10;0;-1;0\n"  // b5: the first ahead at stop
    "300, .Beacon 10;0;7;0\n"   // b6: 1 + 7 is past the last: as -1
    "300, .Beacon 10;0;-5;0\n"  // b7: below -1 is 1: section 2
    "500, .Section 0;1;2;3\n"
    "900, .Section 0;2;4\n"
    "1300, .Section 0;4\n";

TEST(RouteSections, BeaconsStandInTheLastSectionBegunBeforeThemInTrackOrder) {
    const RouteTrack track = trackOf(kSectionRoute);
    const std::vector<int> homes{0, 0, 1, 1, 1, 1, 1, 1};
    const std::vector<int> targets{0, 0, 1, 2, 3, -1, -1, 2};
    for (std::size_t i = 0; i < homes.size(); ++i) {
        EXPECT_EQ(track.beaconHomeSection(i), homes[i]) << "beacon " << i;
        EXPECT_EQ(track.beaconTarget(i), targets[i]) << "beacon " << i;
    }
}

struct ReportCase {
    const char* what;
    int standingIn;  // -1: none
    double frontM;
    std::size_t beacon;
    int signal;
    float distance;
};

class BeaconReports : public ::testing::TestWithParam<ReportCase> {};

TEST_P(BeaconReports, CarryTheSectionsAspectAndDistance) {
    const ReportCase& c = GetParam();
    const RouteTrack track = trackOf(kSectionRoute);
    RouteSignals signals(track);
    if (c.standingIn >= 0) {
        ASSERT_TRUE(signals.addStandingTrain(c.standingIn));
    }
    signals.update(c.frontM, hms(10, 0, 0));
    const BeaconReport report = signals.beaconReport(c.beacon, c.frontM);
    EXPECT_EQ(report.type, 10) << c.what;
    EXPECT_EQ(report.signal, c.signal) << c.what;
    EXPECT_EQ(report.distance, c.distance) << c.what;
}

// With the line clear, the front at 300 (axle 298, in section 1): section 4
// is the last (4), 3 runs past its list (4), 2 likewise (3); section 1 holds
// this train, so it reports what it would show without it (3).
// With a train standing in section 3: 3 shows 0, 2 has count 1 (1), and
// section 1, count 2, would show 2.
INSTANTIATE_TEST_SUITE_P(
    SectionRule, BeaconReports,
    ::testing::Values(
        ReportCase{"1: the next section", -1, 300, 3, 3, 200.0F},
        ReportCase{"2: the one after", -1, 300, 4, 4, 600.0F},
        ReportCase{"-1 with nothing at stop ahead", -1, 300, 5, 0, kInfinity},
        ReportCase{"past the last, with nothing at stop", -1, 300, 6, 0, kInfinity},
        ReportCase{"below -1 reads as 1", -1, 300, 7, 3, 200.0F},
        ReportCase{"1 with a train in section 3", 3, 300, 3, 1, 200.0F},
        ReportCase{"2 names the occupied section", 3, 300, 4, 0, 600.0F},
        ReportCase{"-1 finds the occupied section", 3, 300, 5, 0, 600.0F},
        ReportCase{"past the last finds it too", 3, 300, 6, 0, 600.0F},
        // The front at 100: the axle (98) is still in section 0.
        ReportCase{"0 before the section at its position: the train's own section", -1, 100, 1, 4,
                   -100.0F},
        ReportCase{"0 after the section at its position: that section, not yet entered", -1, 100, 2,
                   3, 0.0F},
        ReportCase{"the same with a train in section 3 (count 2)", 3, 100, 2, 2, 0.0F},
        ReportCase{"0 read at a front 0.25 m past the beacon", -1, 300.25, 3, 3, 199.75F}));

// ---- the aspects

// Sections: 1 {0,1,3,5} list at 200; 2 {0,2,3,4} smallest at 400; 3 {0,5}
// at 600; 4 {0,3} at 800, the last. The train's front at 300 (section 1).
const char* const kAspectRoute =
    "With Track\n"
    "200, .Section 0;1;3;5\n"
    "400, .SectionS 0;2;3;4\n"
    "600, .Section 0;5\n"
    "800, .Section 0;3\n";

struct AspectCase {
    const char* what;
    int standingIn;
    int told;           // the aspect a plug-in is told for section 1
    int shownSection2;  // what section 2 shows to everyone
};

class Aspects : public ::testing::TestWithParam<AspectCase> {};

TEST_P(Aspects, FollowTheCountAndTheSmallestRule) {
    const AspectCase& c = GetParam();
    const RouteTrack track = trackOf(kAspectRoute);
    RouteSignals signals(track);
    if (c.standingIn >= 0) signals.addStandingTrain(c.standingIn);
    signals.update(300, hms(10, 0, 0));
    EXPECT_EQ(signals.currentSection(), 1) << c.what;
    EXPECT_EQ(signals.pluginAspect(), c.told) << c.what;
    EXPECT_EQ(signals.shownAspect(1), 0) << c.what << ": this train's section is at stop";
    EXPECT_EQ(signals.shownAspect(2), c.shownSection2) << c.what;
}

// Clear: 4 shows 3 (last), 3 shows 5, 2: nothing of its above 5, so its
// highest, 4; 1: count unlimited, its last entry 5.
// In 2: 1 has count 1: 1. In 3: 2 shows the smallest above 0, 2; 1 has
// count 2: 3. In 4: 3 has count 1: 5; 2 has none above 5: 4; 1 has count 3: 5.
// In 1, with this train: without this train it is still occupied: 0.
INSTANTIATE_TEST_SUITE_P(AsIfThisTrainWereAbsent, Aspects,
                         ::testing::Values(AspectCase{"a clear line", -1, 5, 4},
                                           AspectCase{"a train in section 2", 2, 1, 0},
                                           AspectCase{"a train in section 3", 3, 3, 2},
                                           AspectCase{"a train in section 4", 4, 5, 4},
                                           AspectCase{"another train in this train's section", 1, 0,
                                                      4}));

TEST(RouteAspects, AnInvisibleSectionIsNeverTheCurrentOne) {
    // 1 {0,2,4} at 200; 2 {0,1,2,4} at 400 with no X offset: invisible;
    // 3 {0,4} at 600, the last.
    const RouteTrack track = trackOf(
        "With Track\n"
        "200, .Section 0;2;4\n"
        "400, .Signal 4\n"
        "600, .Section 0;4\n");
    RouteSignals signals(track);
    // Axle at 298: section 1, everything clear ahead: its last entry.
    signals.update(300, 0);
    EXPECT_EQ(signals.currentSection(), 1);
    EXPECT_EQ(signals.pluginAspect(), 4);
    // Axle at 448: in section 2, which does not count; section 1 now has
    // its next section occupied by this train: a1 = 2.
    signals.update(450, 0);
    EXPECT_EQ(signals.currentSection(), 1);
    EXPECT_EQ(signals.pluginAspect(), 2);
    // Front at 601, axle at 599: still not in section 3.
    signals.update(601, 0);
    EXPECT_EQ(signals.currentSection(), 1);
    // Axle at 600: the train enters the visible section 3, the last (4).
    signals.update(602, 0);
    EXPECT_EQ(signals.currentSection(), 3);
    EXPECT_EQ(signals.pluginAspect(), 4);
}

TEST(RouteAspects, TheAspectSpeedIsFixedWhenTheFrontAxleEntersTheSection) {
    // Route.Signal(2) 45 replaces 55; aspect 4 has no speed.
    const RouteTrack track = trackOf(
        "Route.Signal(2) 45\n"
        "With Track\n"
        "200, .Section 0;2;4\n"
        "400, .Section 0;2;4\n"
        "600, .Section 0;4\n");
    RouteSignals signals(track);
    signals.addStandingTrain(3, hms(10, 1, 0));
    // In the implicit section: it tells 4 (count 2, last entry), no speed.
    signals.update(100, hms(10, 0, 0));
    EXPECT_EQ(signals.pluginAspect(), 4);
    EXPECT_EQ(signals.aspectSpeedKmh(), kNoSpeedLimit);
    // Entering section 1 with 3 occupied: section 2 has count 1, so
    // section 1 has count 2: its last entry, 4.
    signals.update(203, hms(10, 0, 10));
    EXPECT_EQ(signals.entryAspect(), 4);
    // Entering section 2 with 3 still occupied: a1 = 2, 45 km/h.
    signals.update(403, hms(10, 0, 30));
    EXPECT_EQ(signals.pluginAspect(), 2);
    EXPECT_EQ(signals.aspectSpeedKmh(), 45.0);
    // The standing train leaves at 10:01: the aspect clears, the speed stays.
    signals.update(450, hms(10, 1, 0));
    EXPECT_EQ(signals.pluginAspect(), 4);
    EXPECT_EQ(signals.aspectSpeedKmh(), 45.0);
    // Section 3 entered at 4: no speed.
    signals.update(603, hms(10, 1, 20));
    EXPECT_EQ(signals.aspectSpeedKmh(), kNoSpeedLimit);
}

TEST(RouteAspects, TheImplicitFirstSectionStopsOnlyAtItsStopAspect) {
    const RouteTrack track = trackOf("Route.Signal(4) 30\nRoute.Signal(0) 10");
    EXPECT_EQ(track.aspectSpeedKmh(0, 0), 0.0);
    EXPECT_EQ(track.aspectSpeedKmh(0, 4), kNoSpeedLimit);
}

TEST(RouteAspects, StandingTrainsLeaveAtTheirTime) {
    const RouteTrack track = trackOf("With Track\n200, .Section 0;2;4\n400, .Section 0;4\n");
    RouteSignals signals(track);
    EXPECT_FALSE(signals.addStandingTrain(3));
    signals.addStandingTrainAt(450, hms(10, 5, 0));
    EXPECT_EQ(signals.shownAspect(2), 0) << "at once, before the next update";
    signals.update(100, hms(10, 4, 59));
    EXPECT_EQ(signals.shownAspect(2), 0);
    EXPECT_EQ(signals.shownAspect(1), 2);
    EXPECT_EQ(signals.nextStopSection(), 2);
    signals.update(100, hms(10, 5, 0));
    EXPECT_EQ(signals.shownAspect(2), 4);
    EXPECT_EQ(signals.shownAspect(1), 4);
    EXPECT_EQ(signals.nextStopSection(), -1);
}

// ---- beacons along the way

TEST(RouteBeacons, FireWhenTheFrontPassesThemEitherWay) {
    // Beacons 0 and 1 at 100, 2 at 200.
    const RouteTrack track =
        trackOf("With Track\n100, .Beacon 1;0;0;1, .Beacon 1;0;0;2\n200, .Beacon 1;0;0;3\n");
    auto fired = [&](double from, double to) {
        std::vector<std::size_t> indices;
        const BeaconSpan span = track.beaconsCrossed(from, to);
        for (std::size_t k = 0; k < span.size(); ++k) indices.push_back(span[k]);
        return indices;
    };
    using V = std::vector<std::size_t>;
    EXPECT_EQ(fired(50, 100), (V{0, 1})) << "reaching a beacon passes it";
    EXPECT_EQ(fired(100, 150), V{});
    EXPECT_EQ(fired(150, 250), (V{2}));
    EXPECT_EQ(fired(250, 100), (V{2})) << "backwards, standing on 100 is still past it";
    EXPECT_EQ(fired(100, 99.5), (V{1, 0})) << "backwards, in the order the front meets them";
    EXPECT_EQ(fired(50, 50), V{});
    EXPECT_EQ(track.beaconsAtStart(100).size(), 2U);
    EXPECT_EQ(track.beaconsAtStart(99.9).size(), 0U);
}

// ---- stations

struct StopCase {
    int cars;
    int stop;
    double positionM;
};

class StopsByLength : public ::testing::TestWithParam<StopCase> {};

// Stops written for 0 cars at 100, 4 at 200, 8 at 400, 6 at 300, 4 at 250
// and 2 at 150; the station takes them in track order.
TEST_P(StopsByLength, TheLastExactElseTheFewestAboveElseTheLast) {
    const StopCase& c = GetParam();
    const Route route = readCsv(
                            "With Track\n"
                            "50, .Sta A\n"
                            "100, .Stop 1;5;5;0\n"
                            "200, .Stop 1;5;5;4\n"
                            "400, .Stop 1;5;5;8\n"
                            "300, .Stop 1;5;5;6\n"
                            "250, .Stop 1;5;5;4\n"
                            "150, .Stop 1;5;5;2\n")
                            .route;
    // The stops are in track order: 0@100, 2@150, 4@200, 4@250, 6@300, 8@400.
    const int index = stopForCars(route.stations[0], c.cars);
    EXPECT_EQ(index, c.stop) << c.cars << " cars";
    const RouteTrack track(route, TrainLength{c.cars, 20.0});
    EXPECT_EQ(track.stationPlan(0).stopM, c.positionM) << c.cars << " cars";
}

INSTANTIATE_TEST_SUITE_P(Cars, StopsByLength,
                         ::testing::Values(StopCase{4, 3, 250.0},  // the later of two for 4
                                           StopCase{5, 4, 300.0},  // 6 is the fewest above 5
                                           StopCase{3, 2, 200.0},  // 4: the first of the two
                                           StopCase{1, 1, 150.0}, StopCase{0, 0, 100.0},
                                           StopCase{9, 5, 400.0}));  // none above: the last

TEST(RouteStations, TheStopWindowIsTheStopLessAndPlusItsTolerances) {
    const RouteTrack track = trackOf("With Track\n90, .Sta A\n100, .Stop 1;3;7\n");
    EXPECT_TRUE(track.stationPlan(0).stops);
    EXPECT_EQ(track.stationPlan(0).windowLowM, 97.0);
    EXPECT_EQ(track.stationPlan(0).windowHighM, 107.0);
    EXPECT_FALSE(track.stationPlan(0).inWindow(97.0)) << "the window is open at both ends";
    EXPECT_TRUE(track.stationPlan(0).inWindow(97.1));
    EXPECT_TRUE(track.stationPlan(0).inWindow(106.9));
    EXPECT_FALSE(track.stationPlan(0).inWindow(107.0));
    const RouteTrack passes = trackOf("With Track\n90, .Sta A;P\n100, .Stop\n200, .Sta B\n");
    EXPECT_FALSE(passes.stationPlan(0).stops);
    EXPECT_FALSE(passes.stationPlan(1).stops) << "a station without a stop is passed";
}

TEST(RouteStations, DoorsStayOpenForTheStopAndUntilTheDeparture) {
    // Stops of 20 s (one at a terminal without a departure time); doors
    // opened at 10:00:00.
    const Route route = readCsv(
                            "With Track\n"
                            "100, .Sta A;;10.0100;;;;;;20, .Stop\n"
                            "200, .Sta B;;10.0000;;;;;;20, .Stop\n"
                            "300, .Sta C;;;;;;;;20, .Stop\n"
                            "400, .Sta D;;T;;;;;;20, .Stop\n"
                            "500, .Sta E;;T:10.0005;;;;;;20, .Stop\n")
                            .route;
    const std::int32_t opened = hms(10, 0, 0);
    EXPECT_EQ(doorsMayCloseMs(route.stations[0], opened), hms(10, 1, 0)) << "the departure";
    EXPECT_EQ(doorsMayCloseMs(route.stations[1], opened), hms(10, 0, 20)) << "the stop";
    EXPECT_EQ(doorsMayCloseMs(route.stations[2], opened), hms(10, 0, 20)) << "no departure time";
    EXPECT_EQ(doorsMayCloseMs(route.stations[3], opened), std::nullopt) << "the run ends";
    EXPECT_EQ(doorsMayCloseMs(route.stations[4], opened), hms(10, 0, 20));
}

// Station A at 100 (departure 10:01:00, ForcedRedSignal); a section at 100
// between the station and its stop; the stop at 150 (window 145..155); the
// section at 150 after the stop is the one held. Sections: 0 implicit,
// 1 at 100, 2 at 150, 3 at 800.
const char* const kHeldRoute =
    "With Track\n"
    "100, .Sta A;10.0000;10.0100;0;B;1\n"
    "100, .Section 0;2;4\n"
    "150, .Stop 1;5;5\n"
    "150, .Section 0;2;4\n"
    "800, .Section 0;4\n";

TEST(RouteStations, ForcedRedSignalHoldsTheFirstSectionAfterTheStationAndItsStop) {
    const RouteTrack track = trackOf(kHeldRoute);
    EXPECT_EQ(track.stationPlan(0).heldSection, 2);
    RouteSignals signals(track);
    // Standing at the stop (front 150, axle 148: section 1) before 10:00:45.
    signals.update(150, hms(10, 0, 44));
    EXPECT_TRUE(signals.held(2));
    EXPECT_EQ(signals.shownAspect(2), 0);
    EXPECT_EQ(signals.pluginAspect(), 2) << "a1 of section 1: never 0 through SetSignal";
    EXPECT_EQ(signals.nextStopSection(), 2);
    // 15 s before the departure: clear.
    signals.update(150, hms(10, 0, 45));
    EXPECT_FALSE(signals.held(2));
    EXPECT_TRUE(signals.holdCleared(0));
    EXPECT_EQ(signals.pluginAspect(), 4);
    EXPECT_EQ(signals.nextStopSection(), -1);
}

struct HoldCase {
    const char* what;
    std::vector<std::pair<double, std::int32_t>> moves;  // front, time
    bool cleared;
};

class HoldClearing : public ::testing::TestWithParam<HoldCase> {};

TEST_P(HoldClearing, NeedsTheStopReachedAndTheTime) {
    const HoldCase& c = GetParam();
    const RouteTrack track = trackOf(kHeldRoute);
    RouteSignals signals(track);
    for (const auto& [front, time] : c.moves) signals.update(front, time);
    EXPECT_EQ(signals.holdCleared(0), c.cleared) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, HoldClearing,
    ::testing::Values(
        HoldCase{"short of the window, in time", {{144.9, hms(10, 1, 0)}}, false},
        HoldCase{"at the window's back edge, in time", {{145.0, hms(10, 1, 0)}}, true},
        HoldCase{"past the stop, in time: no upper bound", {{400.0, hms(10, 1, 0)}}, true},
        HoldCase{"in the window, too early", {{150.0, hms(10, 0, 44)}}, false},
        HoldCase{"reached earlier, backed away, then in time",
                 {{150.0, hms(10, 0, 0)}, {120.0, hms(10, 0, 45)}},
                 true}));

TEST(RouteStations, AHoldWithoutADepartureTimeFollowsTheStationsKind) {
    // A terminal without a departure time never clears; a plain station
    // without one clears at its arrival time; with neither, on position
    // alone. Sections: 1 {0,2,4} at 50, 2 {0,4} at 300 (the one held).
    const std::string head = "With Track\n50, .Section 0;2;4\n100, .Sta A;";
    const std::string tail = ";0;B;1\n200, .Stop\n300, .Section 0;4\n";
    const RouteTrack terminal = trackOf(head + "10.00;T" + tail);
    const RouteTrack arrival = trackOf(head + "10.00;" + tail);
    const RouteTrack untimed = trackOf(head + ";" + tail);
    ASSERT_EQ(terminal.stationPlan(0).heldSection, 2);
    RouteSignals t(terminal);
    RouteSignals a(arrival);
    RouteSignals u(untimed);
    for (RouteSignals* s : {&t, &a, &u}) s->update(200, hms(9, 59, 59));
    EXPECT_FALSE(t.holdCleared(0));
    EXPECT_FALSE(a.holdCleared(0));
    EXPECT_TRUE(u.holdCleared(0));
    for (RouteSignals* s : {&t, &a}) s->update(200, hms(12, 0, 0));
    EXPECT_FALSE(t.holdCleared(0));
    EXPECT_TRUE(a.holdCleared(0));
    EXPECT_EQ(t.pluginAspect(), 2) << "section 1 with the held section next: a1";
    // A train that has run into the held section is told its aspect as if
    // neither it nor the hold were there: the last section's all-clear.
    t.update(310, hms(12, 0, 0));
    EXPECT_EQ(t.currentSection(), 2);
    EXPECT_EQ(t.shownAspect(2), 0);
    EXPECT_EQ(t.pluginAspect(), 4);
}

// ---- the start

struct StartCase {
    const char* what;
    const char* route;
    int station;
    double frontM;
    std::int32_t clockMs;
    int mode;
};

class Starts : public ::testing::TestWithParam<StartCase> {};

TEST_P(Starts, AtTheFirstStationWhereTheTrainStops) {
    const StartCase& c = GetParam();
    const RouteTrack track = trackOf(c.route);
    EXPECT_EQ(track.start().station, c.station) << c.what;
    EXPECT_EQ(track.start().frontM, c.frontM) << c.what;
    EXPECT_EQ(track.start().clockMs, c.clockMs) << c.what;
    EXPECT_EQ(track.start().initializeMode, c.mode) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Stations, Starts,
    ::testing::Values(
        StartCase{"the departure less the 15 s stop",
                  "With Track\n0, .Sta A;;10.0100, .Stop\n500, .Sta B;10.0300, .Stop", 0, 0.0,
                  hms(10, 0, 45), 1},
        StartCase{"the arrival time, and a passed station skipped",
                  "With Track\n0, .Sta A;P, .Stop\n480, .Sta B;10.0300;10.0400\n500, .Stop", 1,
                  500.0, hms(10, 3, 0), 1},
        StartCase{"the departure less a longer stop",
                  "With Track\n70, .Sta A;;10.0100;;;;;;40\n75, .Stop", 0, 75.0, hms(10, 0, 20), 1},
        StartCase{"no stopping station: the last one",
                  "With Track\n0, .Sta A;P, .Stop\n270, .Sta B;P;8.00", 1, 250.0, hms(7, 59, 45),
                  1},
        StartCase{"Route.StartTime and Route.Change",
                  "Route.StartTime 6.30\nRoute.Change 0\nWith Track\n0, .Sta A;7.00, .Stop", 0, 0.0,
                  hms(6, 30, 0), 0},
        StartCase{"no station at all", "Track.Limit 40", -1, 0.0, 0, 1}));

// ---- speed limits

TEST(RouteLimits, ALowerLimitHoldsFromTheFrontAxleAHigherOneOnceTheTrainHasPassed) {
    // Two cars of 20 m: the axle 2 m behind the front, the rear 40 m.
    const RouteTrack track =
        trackOf("With Track\n100, .Limit 60\n300, .Limit 90\n500, .Limit 0\n700, .Limit 40\n",
                TrainLength{2, 20.0});
    struct Case {
        double frontM;
        double limitKmh;
    };
    const Case cases[] = {
        {101.9, kNoSpeedLimit},  // axle 99.9: not yet at the 60
        {102.0, 60.0},           // axle at 100
        {320.0, 60.0},           // axle past 300, the rear (280) still on the 60
        {339.9, 60.0},           // rear 299.9
        {340.0, 90.0},           // rear at 300: the whole train has passed
        {530.0, 90.0},           // rear 490: the 90 still holds
        {545.0, kNoSpeedLimit},  // rear 505: no limit
        {701.5, kNoSpeedLimit},  // axle 699.5: not at the 40 yet
        {702.5, 40.0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(track.routeLimitKmh(c.frontM), c.limitKmh) << "front at " << c.frontM;
    }
}

TEST(RouteLimits, OfTwoLimitsAtOnePositionTheLaterCounts) {
    const RouteTrack track = trackOf("With Track\n100, .Limit 30, .Limit 50\n");
    EXPECT_EQ(track.routeLimitKmh(200), 50.0);
}

}  // namespace
}  // namespace velt::drive
