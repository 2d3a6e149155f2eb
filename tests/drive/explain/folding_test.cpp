// One folding rule for every output: a brake re-applied within a second by
// the same check is one intervention, counted the same by the summary, the
// interventions table, the expectations and the sweep.
#include <gtest/gtest.h>

#include <string>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/explain/folding.h"
#include "tools/velt-drive/outcome/outcome.h"

namespace velt::drive {
namespace {

Intervention brake(Check check, std::int64_t fromMs, std::int64_t toMs, int level = 1) {
    Intervention v;
    v.check = check;
    v.level = v.startLevel = level;
    v.start.elapsedMs = fromMs;
    v.end.elapsedMs = toMs;
    v.start.speedKmh = 80.0;
    v.end.speedKmh = 78.0;
    v.ended = true;
    return v;
}

struct FoldCase {
    const char* name;
    std::vector<Intervention> all;
    std::vector<int> applications;  // of each folded row
};

void PrintTo(const FoldCase& c, std::ostream* os) { *os << c.name; }

const FoldCase kFolds[] = {
    {"WithinASecond", {brake(Check::Signal, 0, 500), brake(Check::Signal, 1500, 2000)}, {2}},
    {"JustOverASecond", {brake(Check::Signal, 0, 500), brake(Check::Signal, 1501, 2000)}, {1, 1}},
    {"AnotherCheck", {brake(Check::Signal, 0, 500), brake(Check::Ccp, 600, 900)}, {1, 1}},
    {"AcrossAPowerCut",
     {brake(Check::Signal, 0, 500), brake(Check::OverspeedCut, 550, 560, 0),
      brake(Check::Signal, 600, 900)},
     {2, 1}},
};

class Fold : public ::testing::TestWithParam<FoldCase> {};

TEST_P(Fold, ReapplicationsOfOneCheck) {
    const FoldCase& c = GetParam();
    const std::vector<FoldedIntervention> rows = foldInterventions(c.all);
    ASSERT_EQ(rows.size(), c.applications.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].applications, c.applications[i]) << i;
    // Every application belongs to the row that holds it.
    const std::vector<std::size_t> of = foldedRows(rows, c.all.size());
    for (std::size_t k = 0; k < c.all.size(); ++k) {
        const Intervention& row = rows[of[k]].intervention;
        EXPECT_EQ(row.check, c.all[k].check) << k;
        EXPECT_LE(row.start.elapsedMs, c.all[k].start.elapsedMs) << k;
        EXPECT_GE(row.end.elapsedMs, c.all[k].end.elapsedMs) << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Rule, Fold, ::testing::ValuesIn(kFolds),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(Fold, ARaiseToEmergencyInALaterApplicationIsKept) {
    const std::vector<FoldedIntervention> rows =
        foldInterventions({brake(Check::Signal, 0, 500), brake(Check::Signal, 900, 1200, 2)});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].intervention.level, 2);
    EXPECT_TRUE(rows[0].intervention.raisedToEmergency);
    EXPECT_EQ(rows[0].intervention.emergencyAt.elapsedMs, 900);
}

// A driver holding 85 km/h under a check of 79 km/h: the brake comes and
// goes every few frames. Every output counts one intervention.
TEST(Fold, EveryOutputCountsAChatteringBrakeOnce) {
    const Scenario scenario = parseScenario(
        "start speed 85 km/h\nbeacon route at 5 m optional 200\nbeacon section at 10 m optional "
        "1\nsignal 3 at 10 m\nhold 85 km/h\nexpect no emergency-brake\nend at 30 s\n",
        "chatter.drive");
    RecordedDrive drive;
    Analysis analysis(scenario);
    ExplainedDrive run(scenario, nativeLibrary(), Explain::Everything);
    OutcomeRecorder outcome(scenario, run.explainer());
    drive.end = run.run({&drive, &analysis, &outcome});
    ASSERT_GT(drive.end.interventions.size(), 10u);  // the applications, as explained
    const TextTable table = interventionTable(drive.end.interventions);
    ASSERT_EQ(table.rows.size(), 1u);
    ASSERT_EQ(outcome.outcome().interventions.size(), 1u);
    const int applications = outcome.outcome().interventions[0].applications;
    EXPECT_EQ(applications, static_cast<int>(drive.end.interventions.size()));
    EXPECT_NE(table.rows[0][7].find("applied " + std::to_string(applications) + " times"),
              std::string::npos)
        << table.rows[0][7];
    const std::string summary = formatSummary(scenario, drive.end, analysis.report());
    std::size_t brakes = 0;
    for (std::size_t at = summary.find("PROTECTION FULL-SERVICE BRAKE"); at != std::string::npos;
         at = summary.find("PROTECTION FULL-SERVICE BRAKE", at + 1))
        ++brakes;
    EXPECT_EQ(brakes, 1u);
    EXPECT_LT(std::count(summary.begin(), summary.end(), '\n'), 60) << summary;
}

}  // namespace
}  // namespace velt::drive
