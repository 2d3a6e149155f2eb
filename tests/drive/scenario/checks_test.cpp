// The findings velt-drive reports about a scenario, before the run and
// while it drives: one case per kind of finding, each at the line at fault.
#include <gtest/gtest.h>

#include <string>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/scenario/checks.h"

namespace velt::drive {
namespace {

struct FindingCase {
    const char* what;
    const char* text;  // the scenario; every case ends after 60 s unless it says otherwise
    int line;          // where the finding points, 0 for the file as a whole
    const char* says;  // part of the finding's text
};

class Findings : public ::testing::TestWithParam<FindingCase> {};

TEST_P(Findings, PointAtTheLineAndSayWhatVeltDoesInstead) {
    const FindingCase& c = GetParam();
    const Scenario scenario = parseScenario(c.text, "f.drive");
    RecordedDrive drive;
    recordDrive(scenario, drive);
    std::vector<Diagnostic> all = checkScenario(scenario);
    all.insert(all.end(), drive.findings.begin(), drive.findings.end());
    ASSERT_EQ(all.size(), 1u) << c.what << ": "
                              << (all.empty() ? "none" : all[0].message + " / " + all[1].message);
    EXPECT_EQ(all[0].severity, Severity::Warning) << c.what;
    EXPECT_EQ(all[0].where.file, "f.drive") << c.what;
    EXPECT_EQ(all[0].where.line, c.line) << c.what;
    EXPECT_NE(all[0].message.find(c.says), std::string::npos) << c.what << ": " << all[0].message;
}

INSTANTIATE_TEST_SUITE_P(
    OnePerKind, Findings,
    ::testing::Values(
        FindingCase{"behind the start", "beacon route at -10 m\nend at 60 s\n", 1,
                    "at -10.0 m lies behind the start at 0.0 m: the train never passes it"},
        FindingCase{"past the end", "start speed 30 km/h\nend at 100 m\nbeacon cpp at 150 m\n", 3,
                    "lies past the end at 100.0 m"},
        FindingCase{"end behind the start", "end at -5 m\n", 1,
                    "the end position -5.0 m is not ahead of the start at 0.0 m: the drive ends at "
                    "its first frame"},
        FindingCase{"timed after the end", "signal 3 at 90 s\nend at 60 s\n", 1,
                    "falls due after the end at 60 s"},
        FindingCase{"beacon type velt ignores", "beacon 99 at 5 m\nend at 60 s\n", 1,
                    "velt ignores beacon type 99"},
        FindingCase{"CLF outside its range", "beacon clf at 5 m optional 40\nend at 60 s\n", 1,
                    "CLF value 40 is outside 3 to 31: velt switches the CLF limit off here"},
        // 0 lifts a restriction as documented: only the drive can tell a cancel
        // of nothing (explain/beacon_fates_test.cpp); a negative value is a slip.
        FindingCase{"CCP negative", "beacon ccp at 5 m optional -5\nend at 60 s\n", 1,
                    "CCP value -5 is negative: velt switches the CCP pattern off here"},
        FindingCase{"route category without rules",
                    "beacon route at 5 m optional 350\nend at 60 s\n", 1,
                    "route code 350 selects line category 3"},
        FindingCase{"SPB on line category 1",
                    "start speed 30 km/h\nbeacon route at 5 m optional 100\nbeacon spb at 20 m "
                    "optional 500\n"
                    "end at 60 s\n",
                    3, "velt ignores SPB beacons on line category 1"},
        FindingCase{"SPB passed standing", "beacon spb at 0 m optional 500\nend at 60 s\n", 1,
                    "velt ignores SPB beacons passed while the train stands"},
        FindingCase{"SPP reminder on line category 0",
                    "start speed 30 km/h\nbeacon spp at 20 m optional 1\nend at 60 s\n", 2,
                    "velt starts no station-stop reminder on line category 0"},
        FindingCase{"section with no aspect",
                    "start speed 30 km/h\nbeacon section at 20 m optional 1\nsignal 5 at 30 m\nend "
                    "at 60 s\n",
                    2, "begins before any signal aspect was reported"},
        FindingCase{"vehicle line repeated",
                    "vehicle brake-notches 8\nvehicle brake-notches 6\nend at 60 s\n", 2,
                    "'vehicle brake-notches' is given again (first on line 1): velt-drive uses "
                    "this later value"},
        FindingCase{"start line repeated",
                    "start speed 10 km/h\nstart speed 20 km/h\nend at 60 s\n", 2,
                    "'start speed' is given again (first on line 1)"},
        FindingCase{"edge condition already holding",
                    "start speed 40 km/h\npower 1 when below 50 km/h\nend at 60 s\n", 2,
                    "the speed is already below 50 km/h when this action's turn comes"},
        FindingCase{"place already passed",
                    "start speed 40 km/h\nhorn at 50 m\nhorn at 20 m\nend at 60 s\n", 3,
                    "past 20.0 m, when this action's turn comes: it falls due at once"},
        FindingCase{"no end", "start speed 0 km/h\n", 0, "no 'end' line"},
        FindingCase{"stop expected behind the start",
                    "start position 100 m\nend at 60 s\nexpect stop before 80 m\n", 3,
                    "the train starts at 100.0 m, not short of 80.0 m: this expectation can "
                    "never be met"},
        FindingCase{"speed expected past the end",
                    "end at 60 s\nend at 500 m\nexpect speed above 5 km/h at 600 m\n", 3,
                    "the drive ends at 500.0 m, before the train reaches 600.0 m: this "
                    "expectation can never be met"}));

TEST(Findings, AnAspectReportedBeforeTheNextFrameCountsForTheSection) {
    const Scenario scenario = parseScenario(
        "start speed 30 km/h\nbeacon section at 20 m optional 1\nsignal 5 at 20 m\nend at 60 s\n",
        "f.drive");
    RecordedDrive drive;
    recordDrive(scenario, drive);
    EXPECT_TRUE(drive.findings.empty()) << drive.findings[0].message;
}

}  // namespace
}  // namespace velt::drive
