// What velt-drive says about a drive, from its own copy of velt's core: for
// small scenarios whose cause is known, the check, the demand, the scenario
// line and the numbers it names for each intervention, the events it tells
// of hidden state, and that a library differing from the core is caught at
// its first differing frame.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/drive/drive_recording.h"

namespace velt::drive {
namespace {

// The line of the scenario text that contains `piece`, counted from 1.
int lineOf(const std::string& text, const std::string& piece) {
    const std::size_t at = text.find(piece);
    return at == std::string::npos
               ? -1
               : 1 + static_cast<int>(
                         std::count(text.begin(), text.begin() + static_cast<long>(at), '\n'));
}

RecordedDrive explain(const std::string& text) {
    RecordedDrive drive;
    recordDrive(parseScenario(text, "case.drive"), drive);
    return drive;
}

// Every statement of the drive, one per line, for a test to search.
std::string statements(const RecordedDrive& drive) {
    std::string all;
    for (const ExplainedEvent& event : drive.explained) all += event.text + "\n";
    return all;
}

bool has(const std::string& text, const std::string& piece) {
    return text.find(piece) != std::string::npos;
}

// A section on line category `route` under `aspect`, entered at speed.
std::string section(int route, int aspect, int kmh) {
    return "start speed " + std::to_string(kmh) + " km/h\nbeacon route at 5 m optional " +
           std::to_string(route) + "\nbeacon section at 10 m optional 1\nsignal " +
           std::to_string(aspect) + " at 10 m\n";
}

constexpr const char* kFlat =
    "vehicle resistance 0 km/h/s\nvehicle resistance 0 km/h/s at 100 km/h\n";

struct Intervened {
    const char* name;
    std::string scenario;
    Check check;
    int level;              // 0: the overspeed power cut
    const char* causeLine;  // a piece of the scenario line the cause names
    const char* cause;      // a piece of what the check found
    const char* endedBy;    // a piece of what released it
};

void PrintTo(const Intervened& c, std::ostream* os) { *os << c.name; }

const Intervened kChecks[] = {
    {"SignalSpeed", section(200, 3, 85) + "end at 10 s\n", Check::Signal, 1, "signal 3",
     "aspect 3 on line category 2 checks 79 km/h", "no longer above the check speed 79 km/h"},
    {"SectionWithoutSignal",
     "start speed 30 km/h\nbeacon route at 5 m optional 0\nbeacon section at 10 m optional 1\n"
     "end at 20 s\n",
     Check::Signal, 2, "beacon section", "no signal has been reported", "the train stands"},
    {"CppStop",
     section(0, 1, 25) + "beacon cpp at 20 m signal 0 optional 150\nhold 25 km/h\nend at 60 s\n",
     Check::CppStop, 2, "beacon cpp", "stop curve", "standstill"},
    {"Cpp49",
     section(200, 4, 80) + "beacon cpp at 20 m signal 2 optional 300\nhold 80 km/h\nend at 30 s\n",
     Check::Cpp49, 1, "beacon cpp", "49 km/h curve", "beyond the 42 km/h release curve"},
    {"Ccp", section(100, 3, 60) + "beacon ccp at 20 m optional 40400\nhold 60 km/h\nend at 40 s\n",
     Check::Ccp, 1, "beacon ccp", "its curve to 24 km/h", "beyond the release curve to 17 km/h"},
    {"SpbKind1",
     section(0, 5, 50) + "beacon spb at 20 m optional 10300\nhold 50 km/h\nend at 60 s\n",
     Check::Spb, 2, "beacon spb", "kind 1, stop curve", "standstill"},
    {"Clf", section(0, 5, 60) + "beacon clf at 20 m optional 8\nend at 30 s\n", Check::Clf, 1,
     "beacon clf", "over 44 km/h", "is below 37 km/h"},
    {"OverspeedCut", "vehicle max-speed 140 km/h\n" + section(0, 5, 119) + "power 4\nend at 20 s\n",
     Check::OverspeedCut, 0, "beacon route", "is above 120 km/h on line category 0",
     "is below 117 km/h"},
    {"LegacyAlarmMissed",
     "start speed 60 km/h\nbeacon route at 5 m optional 0\nsignal 0 at 20 m\nend at 40 s\n",
     Check::Legacy, 2, "signal 0", "legacy state 1 (alarm), emergency brake above 15 km/h",
     "releases below 0.5 km/h"},
    {"LegacySilencedAlarm",
     "start speed 60 km/h\nbeacon route at 5 m optional 0\nsignal 1 at 20 m\nend at 40 s\n",
     Check::Legacy, 2, "signal 1", "legacy state 2 (silenced alarm)", "releases below 0.5 km/h"},
    {"LegacyCheck",
     "start speed 60 km/h\nbeacon route at 5 m optional 0\nsignal 2 at 20 m\nend at 40 s\n",
     Check::Legacy, 1, "signal 2", "legacy state 3 (speed check), full-service brake above 45 km/h",
     "brakes only above 45 km/h"},
    // Between 67 and 68 km/h on line category 1 the normal state holds the
    // demand, so the tripped section decides it.
    {"SpeedCheckTrip",
     std::string(kFlat) + "start speed 67.5 km/h\nbeacon route at 5 m optional 100\n"
                          "beacon speed-check at 20 m\nbeacon speed-check at 25 m\nend at 20 s\n",
     Check::SpeedCheckTrip, 2, "at 25 m", "until velt is initialized",
     "legacy state 0 (normal) releases below 67 km/h"},
    // The alarm takes effect at 10 km/h, where its rule holds the demand
    // the frame began with (none); the key then demands the brake.
    {"ConfirmAtSpeedInTheAlarm",
     std::string(kFlat) + "start speed 10 km/h\nbeacon route at 5 m optional 0\nsignal 0 at 2 s\n"
                          "key 0 at 6 s\nend at 20 s\n",
     Check::ConfirmAtSpeed, 2, "key 0", "pressed while the train moved",
     "legacy state 1 (alarm) releases below 0.5 km/h"},
};

class EveryCheck : public ::testing::TestWithParam<Intervened> {};

TEST_P(EveryCheck, NamesItsDemandTheLineThatArmedItAndWhatReleasedIt) {
    const Intervened& c = GetParam();
    const RecordedDrive drive = explain(c.scenario);
    ASSERT_FALSE(drive.end.interventions.empty()) << statements(drive);
    const Intervention& first = drive.end.interventions.front();
    EXPECT_EQ(first.check, c.check) << checkName(first.check);
    EXPECT_EQ(first.level, c.level);
    EXPECT_EQ(first.causeRef.line, lineOf(c.scenario, c.causeLine));
    EXPECT_TRUE(has(first.cause, c.cause)) << first.cause;
    EXPECT_TRUE(first.ended);
    EXPECT_TRUE(has(first.endedBy, c.endedBy)) << first.endedBy;
    // The summary says the same where the brake came on.
    const auto brake = std::find_if(drive.explained.begin(), drive.explained.end(),
                                    [](const ExplainedEvent& e) { return e.intervention == 0; });
    ASSERT_NE(brake, drive.explained.end());
    EXPECT_EQ(brake->at.frame, first.start.frame);
    EXPECT_TRUE(has(brake->text, first.cause)) << brake->text;
}

INSTANTIATE_TEST_SUITE_P(Interventions, EveryCheck, ::testing::ValuesIn(kChecks),
                         [](const ::testing::TestParamInfo<Intervened>& p) {
                             return p.param.name;
                         });

TEST(Explanation, TheSpbPatternOfLineCategory2ReleasesAndBrakesAgainUntilTheStop) {
    const RecordedDrive drive = explain(
        section(200, 5, 60) + "beacon spb at 20 m optional 350\nhold 60 km/h\nend at 90 s\n");
    const std::vector<Intervention>& all = drive.end.interventions;
    ASSERT_GE(all.size(), 3u);
    for (std::size_t i = 0; i < all.size(); ++i) {
        EXPECT_EQ(all[i].check, Check::Spb);
        EXPECT_EQ(all[i].level, 1);
        EXPECT_TRUE(
            has(all[i].endedBy, i + 1 < all.size() ? "beyond the SPB release curve" : "standstill"))
            << i << ": " << all[i].endedBy;
    }
}

struct Told {
    const char* name;
    std::string scenario;
    const char* statement;  // a piece of what the summary must say
};

void PrintTo(const Told& c, std::ostream* os) { *os << c.name; }

const Told kHiddenState[] = {
    {"AlarmConfirmedInTime",
     "start speed 60 km/h\nbeacon route at 5 m optional 0\nsignal 0 at 20 m\nkey 0 at 40 m\nend at "
     "20 s\n",
     "legacy request of state 1 cancelled by the confirm key (it was made by case.drive:3"},
    {"AlarmMissed",
     "start speed 60 km/h\nbeacon route at 5 m optional 0\nsignal 0 at 20 m\nend at 10 s\n",
     "legacy state 1 (alarm) takes effect 3 s after its request by case.drive:3"},
    // "when stopped" waits for a frame that told the plug-in speed 0: a
    // key pressed while it still saw the train crawl would brake instead.
    {"AlarmConfirmedAtTheStand",
     "start speed 50 km/h\nbeacon route at 5 m optional 0\nsignal 0 at 20 m\nkey 0 when "
     "stopped\nend at 60 s\n",
     "confirm key: legacy state 1 (alarm) acknowledged, back to state 0"},
    {"SectionBoundaryCancelsARequest",
     section(0, 2, 30) + "beacon section at 30 m optional 0\nend at 10 s\n",
     "legacy request of state 3 cancelled by the section boundary"},
    {"SpeedCheckClosedInTime",
     "start speed 30 km/h\nbeacon speed-check at 10 m\nbeacon speed-check at 30 m\nend at 10 s\n",
     "speed-check window closed in time"},
    {"Aspect6StoredAs5", "start speed 30 km/h\nsignal 6 at 10 m\nend at 5 s\n",
     "aspect 6 stored as 5"},
    {"SpbStanding", "beacon route at 0 m optional 0\nbeacon spb at 0 m optional 300\nend at 1 s\n",
     "SPB beacon ignored: the train stands or runs backwards"},
    {"SpbOnLineCategory1",
     "start speed 30 km/h\nbeacon route at 5 m optional 100\nbeacon spb at 10 m optional 300\nend "
     "at 5 s\n",
     "SPB beacon ignored: line category 1 takes no SPB beacon"},
    {"ClfOutOfRange", "start speed 30 km/h\nbeacon clf at 5 m optional 32\nend at 5 s\n",
     "CLF beacon value 32 is outside 3 to 31: the limit stays off"},
    {"CcpOfZero", "start speed 30 km/h\nbeacon ccp at 5 m optional 0\nend at 5 s\n",
     "CCP beacon with optional 0 (0 or less) cancels nothing"},
    {"CcpCancelled",
     "start speed 30 km/h\nbeacon ccp at 5 m optional 90800\nbeacon ccp at 10 m optional -5\nend "
     "at 5 s\n",
     "CCP pattern cancelled: optional -5 is 0 or less"},
    {"SppStanding", "beacon route at 0 m optional 100\nbeacon spp at 0 m optional 1\nend at 1 s\n",
     "SPP beacon ignored: the train stands or runs backwards"},
    {"LegacyBeaconStanding", "beacon cpp at 0 m signal 0\nend at 1 s\n",
     "no legacy request: the beacon was passed standing or running backwards"},
    {"CppOutsideASection",
     "start speed 30 km/h\nbeacon cpp at 10 m signal 0 optional 200\nend at 5 s\n",
     "not supervised outside a Velt section"},
    {"KindBlink",
     section(0, 5, 20) +
         "beacon kind-blink at 15 m optional 5000\nbrake 8 at 20 m until stopped\n"
         "doors open when stopped\ndoors close after 2 s\npower 4 after 1 s\nend at 40 s\n",
     "kind-blink indication off: the train runs above 1 km/h"},
};

class HiddenState : public ::testing::TestWithParam<Told> {};

TEST_P(HiddenState, BecomesAnEventOfTheSummary) {
    const Told& c = GetParam();
    const std::string all = statements(explain(c.scenario));
    EXPECT_TRUE(has(all, c.statement)) << all;
}

INSTANTIATE_TEST_SUITE_P(Events, HiddenState, ::testing::ValuesIn(kHiddenState),
                         [](const ::testing::TestParamInfo<Told>& p) { return p.param.name; });

// What the summary used to guess from beacons it now takes from the core.
TEST(Explanation, StatesATargetOnlyWhereTheCoreSupervisedOne) {
    const std::string legacy =
        "start speed 50 km/h\nbeacon route at 10 m optional 0\n"
        "beacon cpp at 100 m signal 0\nkey 0 when stopped\nend at 60 s\n";
    const auto stopLine = [](const RecordedDrive& drive) {
        for (const ReportLine& line : drive.report.lines)
            if (line.text.rfind("train stopped", 0) == 0) return line.text;
        return std::string("no stop");
    };
    EXPECT_EQ(stopLine(explain(legacy)), "train stopped");
    const RecordedDrive cpp =
        explain(section(0, 1, 25) +
                "beacon cpp at 20 m signal 0 optional 150\nhold 25 km/h\nend at 60 s\n");
    EXPECT_TRUE(has(stopLine(cpp), "short of the CPP stop target at 170.")) << stopLine(cpp);
}

TEST(Explanation, ACancelledCcpEndsItsCurveWhereItWasCancelled) {
    const RecordedDrive drive =
        explain(section(2, 5, 40) +
                "beacon ccp at 20 m optional 90800\nbeacon ccp at 60 m optional 0\nend at 10 s\n");
    ASSERT_EQ(drive.end.patterns.size(), 1u);
    EXPECT_TRUE(drive.end.patterns[0].ended);
    EXPECT_NEAR(drive.end.patterns[0].endedAtM, 60.0, 1.0);
}

TEST(Explanation, TellsTheDoorLinkFromAStopAspect) {
    RecordedDrive drive;
    recordDrive(readScenario(std::string(VELT_SCENARIO_DIR) + "/station-stop-door-link.drive"),
                drive);
    const std::string all = statements(drive);
    EXPECT_TRUE(has(all, "display target 29 (door link, doors opened)")) << all;
    EXPECT_TRUE(has(all, "display target 1 (door link, doors closed)")) << all;
    EXPECT_FALSE(has(all, "(stop aspect)")) << all;
}

TEST(CoreTwin, StopsAtTheFirstFrameInWhichTheLibraryDiffersAndNamesTheOutput) {
    PluginLibrary flipping;
    ASSERT_TRUE(flipping.open(VELT_FLIPPING_PLUGIN_PATH)) << flipping.error();
    RecordedDrive drive;
    recordDrive(parseScenario(section(0, 5, 30) + "end at 10 s\n", "flip.drive"), drive, flipping);
    EXPECT_EQ(drive.end.frames, 101u);
    EXPECT_EQ(drive.end.divergence.rfind("frame 100 (1.666 s): panel[22] is ", 0), 0u)
        << drive.end.divergence;
    EXPECT_TRUE(
        has(drive.end.divergence, " from the plug-in " + std::string(VELT_FLIPPING_PLUGIN_PATH)))
        << drive.end.divergence;
    EXPECT_TRUE(
        has(drive.end.divergence, "from velt-drive's own core: the library is not the velt"))
        << drive.end.divergence;
}

// The words a drive prints say what happened: a CCP pattern that brakes a
// train at 60 km/h to a stand is warned of once, power does not "come back"
// under the brake when the driver's notch goes to 0, and a legacy request
// inside a section says that it never takes effect.
TEST(Messages, SayWhatHappened) {
    const RecordedDrive drive = explain(
        section(0, 5, 60) + "beacon ccp at 50 m optional 90200\nhold 60 km/h\nend at 60 s\n");
    const std::string all = statements(drive);
    std::size_t warnings = 0;
    for (std::size_t at = all.find("pattern warning:"); at != std::string::npos;
         at = all.find("pattern warning:", at + 1))
        ++warnings;
    EXPECT_EQ(warnings, 1u) << all;
    bool braking = false;
    for (const ReportLine& line : drive.report.lines) {
        if (has(line.text, "PROTECTION")) braking = true;
        if (has(line.text, "protection brake released")) braking = false;
        EXPECT_FALSE(braking && line.text == "power back") << "at " << line.at.elapsedMs << " ms";
        if (braking && has(line.text, "pattern warning chime")) {
            EXPECT_TRUE(has(line.text, "while the protection brakes")) << line.text;
        }
    }
    const RecordedDrive legacy = explain(section(0, 1, 20) + "end at 5 s\n");
    EXPECT_TRUE(has(statements(legacy), "inside the Velt section it never takes effect"))
        << statements(legacy);
}

}  // namespace
}  // namespace velt::drive
