// Reading route files: each test a small route written for one rule of the
// host's format, with the model worked out by hand from that rule.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/route/text.h"

namespace velt::drive {
namespace {

using testing::readCsv;
using testing::readFiles;
using testing::RouteFiles;

constexpr std::int32_t hms(int h, int m, int s) { return ((h * 60 + m) * 60 + s) * 1000; }

std::vector<double> limitPositions(const Route& route) {
    std::vector<double> positions;
    for (const RouteLimit& limit : route.limits) positions.push_back(limit.positionM);
    return positions;
}

std::vector<double> limitSpeeds(const Route& route) {
    std::vector<double> speeds;
    for (const RouteLimit& limit : route.limits) speeds.push_back(limit.speedKmh);
    return speeds;
}

TEST(RouteReader, ReadsTheSmallExampleRoute) {
    const Route route = readCsv(
                            "With Track\n"
                            "0, .Sta A;;10.0100;0;L;1, .Stop 1;5;5;0\n"
                            "50, .Section 0;2;4\n"
                            "600, .Beacon 12;0;1;110400, .Limit 60\n"
                            "1000, .Section 0;2;4\n"
                            "1600, .Sta B;10.0300;;0;R, .Stop -1\n"
                            "1700, .Section 0;4\n")
                            .route;
    ASSERT_EQ(route.sections.size(), 4U);
    EXPECT_EQ(route.sections[0].aspects, (std::vector<int>{0, 4})) << "the implicit section";
    EXPECT_EQ(route.sections[2].beginM, 1000.0);
    ASSERT_EQ(route.beacons.size(), 1U);
    EXPECT_EQ(route.beacons[0].positionM, 600.0);
    EXPECT_EQ(route.beacons[0].optional, 110400);
    EXPECT_EQ(route.beacons[0].where.line, 4);
    EXPECT_EQ(route.beacons[0].where.column, 6);
    ASSERT_EQ(route.stations.size(), 2U);
    EXPECT_EQ(route.stations[0].departureMs, hms(10, 1, 0));
    EXPECT_TRUE(route.stations[0].forcedRedSignal);
    EXPECT_EQ(route.stations[1].arrivalMs, hms(10, 3, 0));
    ASSERT_EQ(route.stations[1].stops.size(), 1U);
    EXPECT_EQ(route.stations[1].stops[0].positionM, 1600.0);
    EXPECT_EQ(limitPositions(route), (std::vector<double>{600.0}));
}

// ---- expressions, comments, commands and arguments

struct LimitCase {
    const char* what;
    std::string text;
    std::vector<double> positions;
    std::vector<double> speeds;
};

class LimitsRead : public ::testing::TestWithParam<LimitCase> {};

TEST_P(LimitsRead, AsTheHostReadsThem) {
    const LimitCase& c = GetParam();
    const Route route = readCsv(c.text).route;
    EXPECT_EQ(limitPositions(route), c.positions) << c.what;
    EXPECT_EQ(limitSpeeds(route), c.speeds) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Expressions, LimitsRead,
    ::testing::Values(
        LimitCase{"a comment ends at the next top-level comma",
                  "With Track, 100, .Section 0;2;4 ,; clear ahead, .Limit 60",
                  {100},
                  {60}},
        LimitCase{"a comma inside parentheses does not split",
                  "Track.Limit(70, 1), 5, Track.Limit 8",
                  {0, 5},
                  {70, 8}},
        LimitCase{"command names ignore case",
                  "WITH TRACK\n10, .LIMIT 30, track.limit 40",
                  {10, 10},
                  {30, 40}},
        LimitCase{"Cmd(a), Cmd (a) and Cmd a are one command",
                  "Track.Limit(30), Track.Limit (40), Track.Limit 50",
                  {0, 0, 0},
                  {30, 40, 50}},
        LimitCase{"loose numbers: spaces dropped, the leading number counts",
                  "Track.Limit 80km/h, Track.Limit 1 00, Track.Limit 45.5 (slow)",
                  {0, 0, 0},
                  {80, 100, 45.5}},
        LimitCase{"sorted by position, equal positions in file order",
                  "200, Track.Limit 50, 100, Track.Limit 40, 200, Track.Limit 30",
                  {100, 200, 200},
                  {40, 50, 30}},
        LimitCase{"0 is no limit and a negative limit is dropped",
                  "Track.Limit 0, 10, Track.Limit -20",
                  {0},
                  {kNoSpeedLimit}},
        LimitCase{"UnitOfSpeed scales limits",
                  "Options.UnitOfSpeed 1.609344, Track.Limit 50",
                  {0},
                  {50 * 1.609344}},
        LimitCase{"NUL characters are removed",
                  std::string("10\0"
                              "0, Track.Limit 5",
                              19),
                  {100},
                  {5}},
        LimitCase{"a line may end in CR LF or CR alone",
                  "With Track\r\n10, .Limit 5\r20, .Limit 6\r\n",
                  {10, 20},
                  {5, 6}},
        LimitCase{"$Chr gives a character", "With Track, 10, $Chr(46)Limit 5", {10}, {5}},
        LimitCase{"$Sub stores a value and reads it later",
                  "$Sub(2) = 250, $Sub(2), Track.Limit $Sub(2)",
                  {250},
                  {250}},
        LimitCase{"directives nest, evaluated from the right",
                  "$Sub(0) = 7, $Sub($Sub(0)) = 90, Track.Limit $Sub(7)",
                  {0},
                  {90}},
        LimitCase{"$If takes its block, $Else the other",
                  "$If(0), Track.Limit 10, $Else(), Track.Limit 20, $EndIf(), "
                  "$If(2), Track.Limit 30, $Else(), Track.Limit 40, $EndIf()",
                  {0, 0},
                  {20, 30}},
        LimitCase{"$If blocks nest; a skipped block skips its inner blocks",
                  "$If(0)\n$If(1)\nTrack.Limit 10\n$EndIf()\n$Else()\n$If(0)\nTrack.Limit 20\n"
                  "$Else()\nTrack.Limit 30\n$EndIf()\n$EndIf()",
                  {0},
                  {30}},
        LimitCase{"a skipped block reads no $Sub",
                  "$If(0), Track.Limit $Sub(9), $EndIf(), Track.Limit 1",
                  {0},
                  {1}}));

TEST(RouteReader, ReadsAUtf16FileWithItsByteOrderMark) {
    const std::string text = "10, Track.Sta \xC3\xA9st, Track.Stop";  // "ést" in UTF-8
    std::string utf16 = "\xFF\xFE";
    utf16 += std::string(
        "1\0"
        "0\0"
        ",\0"
        " \0"
        "T\0r\0a\0c\0k\0.\0S\0t\0a\0 \0",
        28);
    utf16 += std::string("\xE9\0s\0t\0", 6);
    utf16 += std::string(",\0 \0T\0r\0a\0c\0k\0.\0S\0t\0o\0p\0", 24);
    const Route route = readFiles({{"u.csv", utf16}}, "u.csv").route;
    ASSERT_EQ(route.stations.size(), 1U) << text;
    EXPECT_EQ(route.stations[0].name, "\xC3\xA9st");
    EXPECT_EQ(route.stations[0].positionM, 10.0);
}

TEST(RouteReader, ReadsArgumentsAsIntegersRoundingHalvesToEven) {
    const Route route = readCsv(
                            "With Track\n"
                            "1, .Beacon 21;0;0;2.5\n"
                            "2, .Beacon 21;0;0;3.5\n"
                            "3, .Beacon 21;0;0;2.7\n"
                            "4, .Beacon 21;0;0;-2.5\n"
                            "5, .Beacon 20.5;0;;1e3\n")
                            .route;
    ASSERT_EQ(route.beacons.size(), 5U);
    EXPECT_EQ(route.beacons[0].optional, 2);
    EXPECT_EQ(route.beacons[1].optional, 4);
    EXPECT_EQ(route.beacons[2].optional, 3);
    EXPECT_EQ(route.beacons[3].optional, -2);
    EXPECT_EQ(route.beacons[4].type, 20);
    EXPECT_EQ(route.beacons[4].section, 0) << "an empty argument takes its default";
    EXPECT_EQ(route.beacons[4].optional, 1000);
}

TEST(RouteReader, BeaconCommandsKeepTheirSectionsAsTheHostReadsThem) {
    const Route route = readCsv(
                            "With Track\n"
                            "10, .Beacon 10;0;-1;5\n"    // next at stop
                            "20, .Beacon 10;0;-4;5\n"    // below -1: the next signal
                            "30, .Beacon -3;0;0;5\n"     // negative type: dropped
                            "40, .Transponder 3;0;77\n"  // the next signal is its 0
                            "50, .Tr 4;2\n"
                            "60, .Beacon 10;0;9\n")  // kept, read as -1 if past the last
                            .route;
    ASSERT_EQ(route.beacons.size(), 5U);
    EXPECT_EQ(route.beacons[0].section, -1);
    EXPECT_EQ(route.beacons[1].section, 1);
    EXPECT_EQ(route.beacons[2].positionM, 40.0);
    EXPECT_EQ(route.beacons[2].type, 3);
    EXPECT_EQ(route.beacons[2].section, 1);
    EXPECT_EQ(route.beacons[2].optional, 77);
    EXPECT_EQ(route.beacons[2].origin, RouteBeacon::Origin::Transponder);
    EXPECT_EQ(route.beacons[3].section, 3);
    EXPECT_EQ(route.beacons[3].optional, 0);
    EXPECT_EQ(route.beacons[4].section, 9);
}

TEST(RouteReader, RainMakesARouteCodeBeaconWhereTheIntensityChanges) {
    const Route route = readCsv(
                            "With Track\n"
                            "0, .Rain 0, 100, .Rain 30, 200, .Rain 30, 300, .Rain 0\n")
                            .route;
    ASSERT_EQ(route.beacons.size(), 2U);
    EXPECT_EQ(route.beacons[0].positionM, 100.0);
    EXPECT_EQ(route.beacons[0].type, 21);
    EXPECT_EQ(route.beacons[0].optional, 30);
    EXPECT_EQ(route.beacons[0].section, -1);
    EXPECT_EQ(route.beacons[0].origin, RouteBeacon::Origin::Rain);
    EXPECT_EQ(route.beacons[1].positionM, 300.0);
    EXPECT_EQ(route.beacons[1].optional, 0);
}

struct SignalCase {
    const char* command;
    std::vector<int> aspects;
    bool visible;
};

class SignalSets : public ::testing::TestWithParam<SignalCase> {};

TEST_P(SignalSets, BeginASectionOfTheSecondKind) {
    const SignalCase& c = GetParam();
    const Route route = readCsv(std::string("With Track\n100, ") + c.command).route;
    ASSERT_EQ(route.sections.size(), 2U) << c.command;
    EXPECT_EQ(route.sections[1].aspects, c.aspects) << c.command;
    EXPECT_EQ(route.sections[1].visible, c.visible) << c.command;
    EXPECT_EQ(route.sections[1].kind, RouteSection::Kind::Smallest) << c.command;
}

INSTANTIATE_TEST_SUITE_P(Types, SignalSets,
                         ::testing::Values(SignalCase{".Signal 1;;3", {0, 2, 3}, true},
                                           SignalCase{".Signal 2;;3", {0, 2}, true},
                                           SignalCase{".Signal -2;;-3", {0, 4}, true},
                                           SignalCase{".Signal 3;;3", {0, 2, 4}, true},
                                           SignalCase{".Signal -3;;3", {0, 2, 4}, true},
                                           SignalCase{".Signal 4;;3", {0, 1, 2, 4}, true},
                                           SignalCase{".Signal -4;;3", {0, 2, 3, 4}, true},
                                           SignalCase{".Signal 5;;3", {0, 1, 2, 3, 4}, true},
                                           SignalCase{".Signal -5;;3", {0, 2, 3, 4, 5}, true},
                                           SignalCase{".Signal 6;;3", {0, 1, 2, 3, 4, 5}, true},
                                           SignalCase{".Signal 0;;3", {0, 2, 3, 4}, true},
                                           SignalCase{".Signal -1;;3", {0, 2, 3}, true},
                                           SignalCase{".Sig -6;;3", {0, 1, 2, 3, 4, 5}, true},
                                           SignalCase{".Signal 9;;3", {0, 2, 3, 4}, true},
                                           SignalCase{".Signal", {0, 4}, false},
                                           SignalCase{".Signal 4;;0", {0, 1, 2, 4}, false}));

TEST(RouteReader, SectionKindsFollowTheCommandAndSectionBehavior) {
    const Route plain = readCsv("With Track\n10, .Section 0;2;4\n20, .SectionS 0;2;4").route;
    EXPECT_EQ(plain.sections[1].kind, RouteSection::Kind::List);
    EXPECT_EQ(plain.sections[2].kind, RouteSection::Kind::Smallest);
    // Options apply to the whole route, wherever they stand.
    const Route smallest =
        readCsv("With Track\n10, .Section 0;2;4\nOptions.SectionBehavior 1").route;
    EXPECT_EQ(smallest.sections[1].kind, RouteSection::Kind::Smallest);
}

// ---- units and positions

TEST(RouteReader, UnitsAreReadBeforeEverythingElse) {
    const Route route = readCsv(
                            "With Track\n"
                            "10, .Limit 30\n"
                            "1:5, .Limit 40\n"
                            "2:0:1, .Limit 50\n"
                            "Options.UnitOfLength 1000;20;1\n"
                            "Options.UnitOfSpeed 2\n")
                            .route;
    EXPECT_EQ(limitPositions(route), (std::vector<double>{10.0, 25.0, 2001.0}));
    EXPECT_EQ(limitSpeeds(route), (std::vector<double>{60.0, 80.0, 100.0}));
    const Route scaled = readCsv("Options.UnitOfLength 20;50\n3, Track.Limit 1").route;
    EXPECT_EQ(limitPositions(scaled), (std::vector<double>{150.0}))
        << "a bare number takes the last factor";
}

TEST(RouteReader, BlockLengthSnapsOnlyTheStationStart) {
    const Route route = readCsv(
                            "Options.BlockLength 40\n"
                            "With Track\n"
                            "130, .Sta A, .Stop, .Beacon 21;0;0;1, .Limit 40, .Section 0;4\n")
                            .route;
    EXPECT_EQ(route.stations[0].positionM, 130.0);
    EXPECT_EQ(route.stations[0].blockStartM, 120.0);
    EXPECT_EQ(route.stations[0].stops[0].positionM, 130.0);
    EXPECT_EQ(route.beacons[0].positionM, 130.0);
    EXPECT_EQ(route.limits[0].positionM, 130.0);
    EXPECT_EQ(route.sections[1].beginM, 130.0);
}

// ---- includes and randomness

TEST(RouteReader, IncludesSpliceFilesFoundFromTheMainFolderWithOffsetsThatAdd) {
    const ReadRoute read = readFiles({{"line/main.csv",
                                       "With Track\n"
                                       "20, .Limit 10\n"
                                       "$Include(parts\\a.csv:1000)\n"
                                       "30, .Limit 20\n"},
                                      {"line/parts/a.csv",
                                       "With Track\n"
                                       "100, .Beacon 21;0;0;3\n"
                                       "$Include(parts/b.csv:50.5)\n"},
                                      {"line/parts/b.csv", "10, .Limit 45\n"}},
                                     "line/main.csv");
    const Route& route = read.route;
    ASSERT_EQ(route.beacons.size(), 1U);
    EXPECT_EQ(route.beacons[0].positionM, 1100.0);
    EXPECT_EQ(route.beacons[0].where.file, "line/parts/a.csv");
    EXPECT_EQ(route.beacons[0].where.line, 2);
    EXPECT_EQ(limitPositions(route), (std::vector<double>{20.0, 30.0, 1060.5}));
    EXPECT_EQ(route.limits[2].where.file, "line/parts/b.csv");
    EXPECT_EQ(route.files,
              (std::vector<std::string>{"line/main.csv", "line/parts/a.csv", "line/parts/b.csv"}));
}

TEST(RouteReader, AnIncludeOffsetIsMetresAddedAfterTheUnits) {
    const Route route = readFiles({{"m.csv", "Options.UnitOfLength 20\n$Include(p.csv:10)"},
                                   {"p.csv", "3, Track.Limit 5"}},
                                  "m.csv")
                            .route;
    EXPECT_EQ(limitPositions(route), (std::vector<double>{70.0}));
}

TEST(RouteReader, AWeightedIncludeNeverTakesAFileOfWeightZero) {
    for (std::uint64_t seed = 1; seed <= 20; ++seed) {
        const Route route = readFiles({{"m.csv", "$Include(a.csv;0;b.csv;3)"},
                                       {"a.csv", "Track.Limit 10"},
                                       {"b.csv", "Track.Limit 20"}},
                                      "m.csv", seed)
                                .route;
        EXPECT_EQ(limitSpeeds(route), (std::vector<double>{20})) << "seed " << seed;
        EXPECT_TRUE(route.usedRandom);
        EXPECT_EQ(route.seed, seed);
    }
}

TEST(RouteReader, RandomChoicesFollowTheSeed) {
    const RouteFiles files{{"m.csv", "Track.Limit $Rnd(1;6), $Include(a.csv;1;b.csv;1)"},
                           {"a.csv", "Track.Limit 10"},
                           {"b.csv", "Track.Limit 20"}};
    std::vector<std::vector<double>> seen;
    for (std::uint64_t seed = 1; seed <= 40; ++seed) {
        const std::vector<double> speeds = limitSpeeds(readFiles(files, "m.csv", seed).route);
        ASSERT_EQ(speeds.size(), 2U);
        EXPECT_GE(speeds[0], 1);
        EXPECT_LE(speeds[0], 6);
        EXPECT_TRUE(speeds[1] == 10 || speeds[1] == 20);
        EXPECT_EQ(speeds, limitSpeeds(readFiles(files, "m.csv", seed).route))
            << "the same seed draws the same route";
        if (std::find(seen.begin(), seen.end(), speeds) == seen.end()) seen.push_back(speeds);
    }
    EXPECT_GE(seen.size(), 6U) << "forty seeds draw more than a handful of routes";
    EXPECT_FALSE(readCsv("Track.Limit 5").route.usedRandom);
}

// ---- stations

struct TimeCase {
    const char* text;
    std::optional<std::int32_t> ms;
};

class TimesOfDay : public ::testing::TestWithParam<TimeCase> {};

TEST_P(TimesOfDay, ReadAsTheHostWritesThem) {
    EXPECT_EQ(routetext::readTimeOfDay(GetParam().text), GetParam().ms) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, TimesOfDay,
    ::testing::Values(TimeCase{"10.0100", hms(10, 1, 0)}, TimeCase{"10.1", hms(10, 1, 0)},
                      TimeCase{"10.30", hms(10, 30, 0)}, TimeCase{"10.3015", hms(10, 30, 15)},
                      TimeCase{"10:30", hms(10, 30, 0)}, TimeCase{"7:05:09", hms(7, 5, 9)},
                      TimeCase{"10", hms(10, 0, 0)}, TimeCase{" 25.00 ", hms(25, 0, 0)},
                      TimeCase{"10h30", std::nullopt}, TimeCase{"", std::nullopt}));

TEST(RouteReader, ReadsStationArrivalsDeparturesAndDoors) {
    const Route route = readCsv(
                            "With Track\n"
                            "100, .Sta P1;P;;0;B\n"
                            "200, .Sta B1;b;T;0;-1\n"
                            "300, .Sta S1;S;10.2000;0;1;0;0;;3\n"
                            "400, .Sta D1;D;C;0;N\n"
                            "500, .Sta J1;;J:2\n"
                            "600, .Sta T1;10.3000;T:10.4000;0;0\n"
                            "700, .Sta X1;L;=;0;;;;;40\n")
                            .route;
    using A = RouteStation::Arrival;
    using D = RouteStation::Departure;
    using Doors = RouteStation::Doors;
    const auto& s = route.stations;
    ASSERT_EQ(s.size(), 7U);
    EXPECT_EQ(s[0].arrival, A::AllPass);
    EXPECT_EQ(s[0].doors, Doors::Both);
    EXPECT_EQ(s[1].arrival, A::ThisPasses);
    EXPECT_EQ(s[1].departure, D::Terminal);
    EXPECT_EQ(s[1].doors, Doors::Left);
    EXPECT_EQ(s[2].arrival, A::OnlyThisStops);
    EXPECT_EQ(s[2].departureMs, hms(10, 20, 0));
    EXPECT_EQ(s[2].doors, Doors::Right);
    EXPECT_EQ(s[2].stopDurationS, 5.0) << "a stop lasts at least 5 s";
    EXPECT_EQ(s[3].arrival, A::Dummy);
    EXPECT_EQ(s[3].departure, D::ChangeEnds);
    EXPECT_EQ(s[3].doors, Doors::None);
    EXPECT_EQ(s[4].departure, D::Jump);
    EXPECT_EQ(s[4].jumpTo, 2);
    EXPECT_EQ(s[5].arrivalMs, hms(10, 30, 0));
    EXPECT_EQ(s[5].departure, D::Terminal);
    EXPECT_EQ(s[5].departureMs, hms(10, 40, 0));
    EXPECT_EQ(s[5].doors, Doors::None);
    EXPECT_EQ(s[6].arrival, A::AllPass);
    EXPECT_EQ(s[6].departure, D::Terminal);
    EXPECT_EQ(s[6].stopDurationS, 40.0);
    for (const RouteStation& station : s) EXPECT_TRUE(station.stops.empty());
}

TEST(RouteReader, RouteCommandsSetSpeedsStartAndInitialize) {
    const Route route = readCsv(
                            "Route.Signal(2) 45\n"
                            "Route.Signal(6) 100\n"
                            "Route.StartTime 9.5930\n"
                            "Route.Change -1\n"
                            "Options.UnitOfSpeed 2\n")
                            .route;
    EXPECT_EQ(route.signalSpeedKmh,
              (std::vector<double>{0, 25, 90, 75, kNoSpeedLimit, kNoSpeedLimit, 200}));
    EXPECT_EQ(route.startTimeMs, hms(9, 59, 30));
    EXPECT_EQ(route.changeMode, -1);
    EXPECT_EQ(route.changeSet.where.line, 4);
    const Route plain = readCsv("").route;
    EXPECT_EQ(plain.signalSpeedKmh, (std::vector<double>{0, 25, 55, 75}));
    EXPECT_EQ(plain.changeMode, 1);
    EXPECT_FALSE(plain.startTimeMs.has_value());
}

// ---- the same route as CSV and RW

// Everything in the model but where it was written.
std::string describeModel(const Route& route) {
    std::ostringstream out;
    for (const RouteSection& s : route.sections) {
        out << "section " << s.beginM << " " << static_cast<int>(s.kind) << " "
            << static_cast<int>(s.origin) << " " << s.visible << " " << s.order << ":";
        for (const int a : s.aspects) out << " " << a;
        out << "\n";
    }
    for (const RouteBeacon& b : route.beacons) {
        out << "beacon " << b.positionM << " " << b.type << " " << b.section << " " << b.optional
            << " " << static_cast<int>(b.origin) << " " << b.order << "\n";
    }
    for (const RouteStation& s : route.stations) {
        out << "station " << s.name << " " << static_cast<int>(s.arrival) << " "
            << s.arrivalMs.value_or(-1) << " " << static_cast<int>(s.departure) << " "
            << s.departureMs.value_or(-1) << " " << s.jumpTo << " " << static_cast<int>(s.doors)
            << " " << s.forcedRedSignal << " " << s.stopDurationS << " " << s.positionM << " "
            << s.blockStartM << " " << s.order << "\n";
        for (const RouteStop& p : s.stops) {
            out << "  stop " << p.positionM << " " << p.backwardM << " " << p.forwardM << " "
                << p.cars << " " << p.direction << " " << p.order << "\n";
        }
    }
    for (const RouteLimit& l : route.limits) {
        out << "limit " << l.positionM << " " << l.speedKmh << " " << l.order << "\n";
    }
    for (const double speed : route.signalSpeedKmh) out << "signal speed " << speed << "\n";
    out << "start " << route.startTimeMs.value_or(-1) << " change " << route.changeMode << " block "
        << route.blockLengthM << " behavior " << route.sectionBehavior << "\n";
    return out.str();
}

TEST(RouteReader, TheSameRouteAsCsvAndAsRwGivesTheSameModel) {
    const Route csv = readFiles({{"line.csv",
                                  "Route.Change 0\n"
                                  "Route.Signal(2) 45\n"
                                  "Route.StartTime 10.0030\n"
                                  "With Track\n"
                                  "0, .Sta A;;10.0100;0;L;1;0;;20, .Stop 1;5;5;0\n"
                                  "50, .Section 0;2;4\n"
                                  "600, .Beacon 12;0;1;110400, .Limit 60 ,; a comment\n"
                                  "1000, .Signal 4;;3, .Tr 3;0;5\n"
                                  "1600, .Sta B;10.0300;T;0;R, .Stop -1;8;8;2\n"
                                  "1700, .Section 0;4, .Rain 20\n"}},
                                "line.csv")
                          .route;
    const Route rw = readFiles({{"line.rw",
                                 "[Route]\n"
                                 "Change = 0\n"
                                 "Signal(2) = 45 ; km/h\n"
                                 "StartTime = 10.0030\n"
                                 "\n"
                                 "[Railway]\n"
                                 "0@Sta(A,,10.0100,0,L,1,0,,20)@Stop(1;5;5;0)\n"
                                 "50@Section(0;2;4)\n"
                                 "600@Beacon(12;0;1;110400)@Limit(60) ; a comment\n"
                                 "1000@Signal(4,,3)@Tr(3;0;5)\n"
                                 "1600@Sta(B;10.0300;T;0;R)@Stop(-1;8;8;2)\n"
                                 "1700@Section(0;4)@Rain(20)\n"}},
                               "line.rw")
                         .route;
    EXPECT_EQ(csv.format, Route::Format::Csv);
    EXPECT_EQ(rw.format, Route::Format::Rw);
    EXPECT_EQ(describeModel(csv), describeModel(rw));
    ASSERT_EQ(rw.beacons.size(), 3U);
    EXPECT_EQ(rw.beacons[1].positionM, 1000.0);
    EXPECT_EQ(rw.beacons[1].where.line, 10);
    EXPECT_EQ(rw.beacons[1].where.column, 19);
    EXPECT_EQ(rw.changeMode, 0);
    EXPECT_EQ(rw.signalSpeedKmh[2], 45.0);
    EXPECT_EQ(rw.stations[0].stopDurationS, 20.0);
}

// ---- errors and warnings

struct ErrorCase {
    const char* what;
    RouteFiles files;
    std::string file;
    int line;
    int column;
    const char* message;
};

class RouteErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(RouteErrors, NameTheFileTheLineAndTheColumn) {
    const ErrorCase& c = GetParam();
    try {
        readFiles(c.files, "m.csv");
        FAIL() << c.what << ": accepted";
    } catch (const DiagnosticError& error) {
        const Diagnostic& d = error.diagnostic();
        EXPECT_EQ(d.severity, Severity::Error) << c.what;
        EXPECT_EQ(d.where.file, c.file) << c.what;
        EXPECT_EQ(d.where.line, c.line) << c.what;
        EXPECT_EQ(d.where.column, c.column) << c.what;
        EXPECT_NE(d.message.find(c.message), std::string::npos) << c.what << ": " << d.message;
        EXPECT_FALSE(d.help.empty()) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Unusable, RouteErrors,
    ::testing::Values(
        ErrorCase{"a binary file",
                  {{"m.csv", "With Track\n0, .Beacon 1\x01;2"}},
                  "m.csv",
                  2,
                  13,
                  "control byte 0x01"},
        ErrorCase{"a missing include",
                  {{"m.csv", "With Track\n  $Include(gone.csv)"}},
                  "m.csv",
                  2,
                  3,
                  "cannot read the included file gone.csv"},
        ErrorCase{
            "an error inside an included file",
            {{"m.csv", "10, Track.Limit 3\n$Include(p.csv)"}, {"p.csv", "\n\n 5x, Track.Limit 4"}},
            "p.csv",
            3,
            2,
            "'5x' is not a track position"},
        ErrorCase{"a negative position",
                  {{"m.csv", "10, Track.Limit 3, -5, Track.Limit 4"}},
                  "m.csv",
                  1,
                  20,
                  "negative"},
        ErrorCase{"a position with arguments",
                  {{"m.csv", "100 200, Track.Limit 4"}},
                  "m.csv",
                  1,
                  1,
                  "takes no arguments"},
        ErrorCase{"a colon position without the factors",
                  {{"m.csv", "1:200, Track.Limit 3"}},
                  "m.csv",
                  1,
                  1,
                  "Options.UnitOfLength gives 1 factor"},
        ErrorCase{"a unit of length of 0",
                  {{"m.csv", "Options.UnitOfLength 1;0"}},
                  "m.csv",
                  1,
                  24,
                  "not a unit"},
        ErrorCase{"$Sub read before it is set",
                  {{"m.csv", "10, Track.Limit $Sub(4)"}},
                  "m.csv",
                  1,
                  17,
                  "$Sub(4) is read before it is set"},
        ErrorCase{"$Rnd the wrong way round",
                  {{"m.csv", "Track.Beacon 20;0;0;$Rnd(5;1)"}},
                  "m.csv",
                  1,
                  21,
                  "low end above its high end"},
        ErrorCase{"a directive left open",
                  {{"m.csv", "10, $Rnd(1;2"}},
                  "m.csv",
                  1,
                  5,
                  "no closing parenthesis"},
        ErrorCase{
            "$Chr out of range", {{"m.csv", "$Chr(300)"}}, "m.csv", 1, 1, "not a character code"},
        ErrorCase{"$EndIf without $If",
                  {{"m.csv", "10, Track.Limit 3\n$EndIf()"}},
                  "m.csv",
                  2,
                  1,
                  "$EndIf without $If"},
        ErrorCase{"$Include among other text",
                  {{"m.csv", "10 $Include(a.csv)"}},
                  "m.csv",
                  1,
                  4,
                  "must stand alone"},
        ErrorCase{"an include of itself",
                  {{"m.csv", "Track.Limit 3, $Include(m.csv)"}},
                  "m.csv",
                  1,
                  16,
                  "includes nest deeper than 32"}));

TEST(RouteReader, AMissingMainFileIsAnErrorNamingIt) {
    try {
        readFiles({}, "nowhere/line.csv");
        FAIL() << "accepted";
    } catch (const DiagnosticError& error) {
        EXPECT_EQ(error.diagnostic().where.file, "nowhere/line.csv");
        EXPECT_EQ(error.diagnostic().where.line, 0);
    }
}

struct WarningCase {
    const char* what;
    const char* text;
    int line;
    int column;
    const char* message;
};

class RouteWarnings : public ::testing::TestWithParam<WarningCase> {};

TEST_P(RouteWarnings, SayWhatIsNotModelledAndWhere) {
    const WarningCase& c = GetParam();
    const ReadRoute read = readCsv(c.text, "w.csv");
    ASSERT_EQ(read.warnings.size(), 1U) << c.what;
    const Diagnostic& d = read.warnings.front();
    EXPECT_EQ(d.severity, Severity::Warning) << c.what;
    EXPECT_EQ(d.where.file, "w.csv") << c.what;
    EXPECT_EQ(d.where.line, c.line) << c.what;
    EXPECT_EQ(d.where.column, c.column) << c.what;
    EXPECT_NE(d.message.find(c.message), std::string::npos) << c.what << ": " << d.message;
}

INSTANTIATE_TEST_SUITE_P(
    NotModelled, RouteWarnings,
    ::testing::Values(
        WarningCase{"a preceding train's interval", "Route.RunInterval 120", 1, 1,
                    "preceding trains are not modelled"},
        WarningCase{"a preceding train's interval, the train's way", "\nTrain.Interval 60", 2, 1,
                    "preceding trains are not modelled"},
        WarningCase{"a preceding train's position", "With Track\n100, .PreTrain 10.0000", 2, 6,
                    "preceding trains are not modelled"},
        WarningCase{"a permissive section", "With Track\n100, .SectionP 0;4", 2, 6,
                    "permissive section is not modelled"},
        WarningCase{"reverse direction", "Options.ReverseDirection 1", 1, 1, "not modelled"},
        WarningCase{"a misspelt beacon command", "With Track\n100, .Beacn 12;0;1;90800", 2, 6,
                    "unknown command .Beacn"},
        WarningCase{"a built-in system's beacon", "With Track\n100, .AtsSn", 2, 6,
                    "built-in systems"},
        WarningCase{"a command with no namespace", "Beacon 12;0;1", 1, 1, "unknown command"},
        WarningCase{"an argument that is no number", "With Track\n10, .Beacon 20;0;0;on", 2, 20,
                    "'on' is not a number"},
        WarningCase{"a '.' command before With", "10, .Limit 3", 1, 5, "before any With"},
        WarningCase{"ForcedRedSignal with nothing to hold", "With Track\n10, .Sta A;;;;;1, .Stop",
                    2, 5, "no signal is held"},
        WarningCase{"an $If left open", "$If(1)\nTrack.Limit 3", 1, 1, "no $EndIf"}));

TEST(RouteReader, SkipsVisualCommandsSilently) {
    const ReadRoute read = readCsv(
        "Structure.Rail(0) rail.b3d, Texture.Background(0) sky.png, Signal(3).Load sig\n"
        "Cycle.Ground(0) 1;2, Route.Comment hello, Train.Folder t, Options.ObjectVisibility 1\n"
        "With Track\n"
        "0, .RailType 0;0, .Ground 0, .FreeObj 0;1;2, .Pole 0;1, .Back 0, .Fog 1;2;3;4;5\n"
        "25, .Curve 600;0, .Pitch 3, .Wall 0;1;2, .Marker a.png;100, .Announce s.wav\n");
    EXPECT_TRUE(read.warnings.empty()) << formatDiagnostic(read.warnings.front());
}

TEST(RouteReader, FoldsRepeatsOfOneWarningIntoTheFirst) {
    const ReadRoute read =
        readCsv("With Track\n10, .Beacn 1\n20, .Beacn 1\n30, .Beacn 1\n40, .Limit 3;x, .Beacn 1");
    ASSERT_EQ(read.warnings.size(), 1U);
    EXPECT_EQ(read.warnings[0].where.line, 2);
    EXPECT_EQ(read.warnings[0].noteWhere.line, 5);
    EXPECT_NE(read.warnings[0].note.find("3 more"), std::string::npos) << read.warnings[0].note;
}

// ---- numbers

struct NumberCase {
    const char* text;
    std::optional<double> loose;
    std::optional<double> strict;
};

class Numbers : public ::testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, ReadLooselyForArgumentsAndStrictlyForPositions) {
    const NumberCase& c = GetParam();
    EXPECT_EQ(routetext::readLooseNumber(c.text), c.loose) << c.text;
    EXPECT_EQ(routetext::readStrictNumber(c.text), c.strict) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Numbers,
    ::testing::Values(NumberCase{"80", 80.0, 80.0}, NumberCase{"80km/h", 80.0, std::nullopt},
                      NumberCase{" 1 2.5 ", 12.5, std::nullopt}, NumberCase{"-0.5", -0.5, -0.5},
                      NumberCase{"+.25", 0.25, 0.25}, NumberCase{"3.", 3.0, 3.0},
                      NumberCase{"2e3", 2000.0, std::nullopt}, NumberCase{"2e", 2.0, std::nullopt},
                      NumberCase{"0.1", 0.1, 0.1}, NumberCase{"10.0100", 10.01, 10.01},
                      NumberCase{"1e999", std::nullopt, std::nullopt},
                      NumberCase{"x1", std::nullopt, std::nullopt},
                      NumberCase{".", std::nullopt, std::nullopt},
                      NumberCase{"", std::nullopt, std::nullopt}));

}  // namespace
}  // namespace velt::drive
