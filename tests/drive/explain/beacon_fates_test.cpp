// What became of each beacon, as velt's own core tells it: for small
// scenarios whose beacons do nothing for a known reason, the fate of the
// beacon on the marked line; beside each, a twin that does take effect, so a
// fate that is always "no effect" fails too.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/explain/beacon_fates.h"

namespace velt::drive {
namespace {

// A Velt section on line category 0 under `aspect`, entered at 40 km/h.
std::string section(int aspect) {
    return "start speed 40 km/h\nbeacon route at 5 m optional 0\nbeacon section at 10 m "
           "optional 1\nsignal " +
           std::to_string(aspect) + " at 10 m\n";
}

struct FateCase {
    const char* name;
    std::string scenario;  // the beacon judged is on the line marked "# <-"
    BeaconFateKind fate;
    const char* reason;  // a piece of the reason
};

void PrintTo(const FateCase& c, std::ostream* os) { *os << c.name; }

const FateCase kFates[] = {
    {"CppBeforeItsSignalReport",
     section(1) + "beacon cpp at 100 m signal 0 optional 300  # <-\nsignal 1 at 100 m\n",
     BeaconFateKind::DisarmedSameFrame, "disarmed in the same frame by the signal report (case"},
    {"CppAfterItsSignalReport",
     section(1) + "signal 1 at 100 m\nbeacon cpp at 100 m signal 0 optional 300  # <-\n",
     BeaconFateKind::TookEffect, ""},
    {"CppIdleUnderAProceedAspect", section(5) + "beacon cpp at 100 m signal 0 optional 300  # <-\n",
     BeaconFateKind::Idle, "idle: signal 0 under aspect 5 on line category 0"},
    {"CppOutsideASection", "start speed 40 km/h\nbeacon cpp at 100 m signal 1 optional 300  # <-\n",
     BeaconFateKind::OutsideSection, "armed outside a Velt section"},
    {"CppReplacedBeforeItWasSupervised",
     section(5) + "beacon cpp at 100 m signal 0 optional 300  # <-\nsignal 1 at 150 m\n",
     BeaconFateKind::Idle, "then disarmed by the signal report (case.drive:6"},
    {"CcpCancellingARestriction",
     section(5) + "beacon ccp at 50 m optional 90800\nbeacon ccp at 100 m optional 0  # <-\n",
     BeaconFateKind::Cancelling, "cancels the CCP restriction armed by case.drive:5"},
    {"CcpCancellingNothing", section(5) + "beacon ccp at 100 m optional 0  # <-\n",
     BeaconFateKind::CancelsNothing, "no CCP restriction is armed"},
    {"CcpArmingInASection", section(5) + "beacon ccp at 100 m optional 90800  # <-\n",
     BeaconFateKind::TookEffect, ""},
    {"CcpReplacedInTheSameFrame",
     section(5) + "beacon ccp at 100 m optional 90800  # <-\nbeacon ccp at 100 m optional 100800\n",
     BeaconFateKind::Replaced, "replaced by the CCP beacon (case.drive:6"},
    {"SpbOnLineCategory1",
     "start speed 40 km/h\nbeacon route at 5 m optional 100\nbeacon section at 10 m optional 1\n"
     "signal 5 at 10 m\nbeacon spb at 100 m optional 10300  # <-\n",
     BeaconFateKind::Ignored, "line category 1 takes no SPB beacon"},
    {"UnknownType", section(5) + "beacon 99 at 100 m  # <-\n", BeaconFateKind::Ignored,
     "does not read beacon type 99"},
    {"PastTheEnd", section(5) + "beacon cpp at 900 m signal 0 optional 300  # <-\n",
     BeaconFateKind::NeverPassed, "never passed"},
};

class BeaconFateOf : public ::testing::TestWithParam<FateCase> {};

TEST_P(BeaconFateOf, TheMarkedBeacon) {
    const FateCase& c = GetParam();
    const std::string text = c.scenario + "end at 400 m\nend at 60 s\n";
    const Scenario scenario = parseScenario(text, "case.drive");
    RecordedDrive drive;
    recordDrive(scenario, drive);
    const auto marked =
        std::find_if(scenario.beacons.begin(), scenario.beacons.end(), [&](const BeaconItem& b) {
            const std::size_t at = text.find("# <-");
            return b.pos.line ==
                   1 + std::count(text.begin(), text.begin() + static_cast<long>(at), '\n');
        });
    ASSERT_NE(marked, scenario.beacons.end());
    const auto item = static_cast<std::size_t>(marked - scenario.beacons.begin());
    ASSERT_EQ(drive.end.beaconFates.size(), scenario.beacons.size());
    const BeaconFate& fate = drive.end.beaconFates[item];
    EXPECT_EQ(fate.kind, c.fate) << fate.reason;
    EXPECT_NE(fate.reason.find(c.reason), std::string::npos) << fate.reason;
    // Every other beacon of these scenarios (route, section, an arming CCP)
    // took effect.
    for (const BeaconFate& other : drive.end.beaconFates)
        if (other.beacon != item && other.line < 5) {
            EXPECT_TRUE(other.tookEffect()) << other.reason;
        }
    // The findings: a warning for a likely mistake, a note for a cancel.
    const std::vector<Diagnostic> findings = beaconFateFindings(scenario, drive.end.beaconFates);
    const auto found = std::find_if(findings.begin(), findings.end(), [&](const Diagnostic& d) {
        return d.where.line == marked->pos.line;
    });
    EXPECT_EQ(found != findings.end(), c.fate != BeaconFateKind::TookEffect);
    if (found != findings.end()) {
        EXPECT_EQ(found->severity,
                  c.fate == BeaconFateKind::Cancelling ? Severity::Note : Severity::Warning);
        EXPECT_EQ(findingName(*found), beaconFateName(c.fate));
    }
}

INSTANTIATE_TEST_SUITE_P(Fates, BeaconFateOf, ::testing::ValuesIn(kFates),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Acknowledgement, AllowCommentsNameTheFindingsOfTheirLine) {
    const Scenario s = parseScenario(
        "beacon ccp at 10 m optional 0  # lifts the limit; velt-drive: allow cancelling\n"
        "beacon ccp at 20 m optional 0  # velt-drive: allow\n"
        "beacon ccp at 30 m optional 0\n",
        "case.drive");
    const auto at = [&](int line, const char* name) {
        return s.warningAt({line, 1}, std::string("x [") + name + "]");
    };
    EXPECT_TRUE(acknowledged(s, at(1, "cancelling")));
    EXPECT_FALSE(acknowledged(s, at(1, "cancels-nothing")));
    EXPECT_TRUE(acknowledged(s, at(2, "cancels-nothing")));
    EXPECT_FALSE(acknowledged(s, at(3, "cancelling")));
    Diagnostic elsewhere = at(1, "cancelling");
    elsewhere.where.file = "other.drive";
    EXPECT_FALSE(acknowledged(s, elsewhere));
}

}  // namespace
}  // namespace velt::drive
