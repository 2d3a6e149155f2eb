// What the audit decides without driving: the sections it drives against
// and their approach, the verdict on a drive, and how the beacon ledger
// adds up the drives. Values worked out by hand in the comments.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/audit/audit.h"
#include "tools/velt-drive/audit/audit_report.h"

namespace velt::drive {
namespace {

RouteTrack trackOf(const std::string& csv) { return {testing::readCsv(csv).route, TrainLength{}}; }

// Section 1 {0,2,4} at 1000; 2 {0,1,2,3,4} at 2000; 3 {0,4} at 3000.
TEST(AuditPlan, EverySectionButTheFirstWithTheAspectBehindAndWhereItsApproachBegins) {
    const RouteTrack track = trackOf(
        "With Track\n"
        "1000, .Section 0;2;4\n"
        "2000, .Section 0;1;2;3;4\n"
        "3000, .Section 0;4\n");
    const std::vector<AuditedSignal> signals = signalSections(track);
    ASSERT_EQ(signals.size(), 3U);
    // Section 1 occupied: the implicit section {0,4} behind shows 4, its
    // clear aspect, yet it is the one behind: the approach starts at 0.
    EXPECT_EQ(signals[0].aspectBehind, 4);
    EXPECT_EQ(signals[0].approachFromM, 0.0);
    // Section 2 occupied: section 1 shows 2 (lowered from 4), section 0
    // shows 4 (as clear): the approach is section 1, from 1000 m.
    EXPECT_EQ(signals[1].aspectBehind, 2);
    EXPECT_EQ(signals[1].approachFromM, 1000.0);
    EXPECT_EQ(signals[1].where.line, 3);
    // Section 3 occupied: section 2 shows 1, section 1 shows 4 as clear.
    EXPECT_EQ(signals[2].aspectBehind, 1);
    EXPECT_EQ(signals[2].approachFromM, 2000.0);
    EXPECT_EQ(signals[2].positionM, 3000.0);
}

InterventionOutcome brake(Check check, std::size_t startFrame, std::size_t endFrame, int line) {
    InterventionOutcome i;
    i.explained.check = check;
    i.explained.level = 2;
    i.explained.start.frame = startFrame;
    i.explained.end.frame = endFrame;
    i.explained.cause = "stop curve reached";
    i.explained.causeRef = {"r.csv", line, 0.0, "CPP beacon"};
    return i;
}

TEST(AuditVerdict, StoppedOverranOrNotReachedWithTheCheckThatActed) {
    AuditedSignal signal;
    signal.positionM = 3000.0;
    signal.approachFromM = 2000.0;
    const FramePoint approach{100, 0, 2000.0, 95.0};
    struct Case {
        const char* name;
        SignalDrive drive;
        Verdict verdict;
        Check check;
        std::optional<double> margin;
        const char* says;
    };
    SignalDrive stopped;
    stopped.approach = approach;
    stopped.last = {400, 0, 2950.0, 0.0};
    stopped.stoppedByProtection = true;
    stopped.interventions = {brake(Check::Signal, 101, 150, 0), brake(Check::CppStop, 300, 400, 7)};
    SignalDrive overran = stopped;
    overran.passed = FramePoint{380, 0, 3000.5, 31.0};
    overran.furthestM = 3040.0;
    overran.last = {420, 0, 3040.0, 0.0};
    SignalDrive unbraked;
    unbraked.approach = approach;
    unbraked.passed = FramePoint{380, 0, 3000.5, 95.0};
    unbraked.furthestM = 3500.0;
    unbraked.last = {600, 0, 3500.0, 95.0};
    SignalDrive early = stopped;
    early.approach.reset();
    early.last = {90, 0, 1500.0, 0.0};
    SignalDrive ended;
    ended.last = {90, 0, 1200.0, 0.0};
    ended.endReason = "the route ends";
    const Case cases[] = {
        // The last brake brought it to a stand, 50 m short.
        {"stopped", stopped, Verdict::Stopped, Check::CppStop, 50.0, "stood 50.0 m short"},
        // The first brake on the approach is the one named; 40 m past.
        {"overran", overran, Verdict::Overran, Check::Signal, -40.0,
         "passed the signal at 31.0 km/h"},
        {"never braked", unbraked, Verdict::Overran, Check::None, -500.0,
         "velt never braked on the approach"},
        {"stopped before the approach", early, Verdict::NotReached, Check::CppStop, std::nullopt,
         "before the approach to this signal (from 2000.0 m)"},
        {"drive ended", ended, Verdict::NotReached, Check::None, std::nullopt, "the route ends"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const SignalResult r = judgeSignal(signal, c.drive);
        EXPECT_EQ(r.verdict, c.verdict);
        EXPECT_EQ(r.marginM, c.margin);
        EXPECT_EQ(r.check, c.check);
        EXPECT_NE(r.why.find(c.says), std::string::npos) << r.why;
    }
    EXPECT_EQ(judgeSignal(signal, stopped).causeRef.line, 7);
}

TEST(AuditLedger, CountsDrivesPerFateAndSaysWhyABeaconWasNeverUsed) {
    Route route;
    // CPP, armed in two drives alike but for the numbers; SPB, ignored; a
    // type velt does not read; a CPP beyond every drive.
    for (const auto& [at, type] : {std::pair{100.0, 10}, {200.0, 15}, {300.0, 7}, {5000.0, 10}}) {
        RouteBeacon b;
        b.positionM = at;
        b.type = type;
        route.beacons.push_back(b);
    }
    BeaconLedger ledger(route);
    ledger.addDrive(1000.0, {{0, "CPP pattern armed: signal 0, target 600.0 m ahead"},
                             {1, "SPB beacon ignored: line category 1 takes no SPB beacon"}});
    ledger.addDrive(1200.0, {{0, "CPP pattern armed: signal 4, target 599.5 m ahead"},
                             {0, "CPP pattern armed: signal 4, target 599.5 m ahead"}});
    const std::vector<BeaconLedgerRow> rows = ledger.rows();
    ASSERT_EQ(rows.size(), 4U);
    ASSERT_EQ(rows[0].fates.size(), 1U);
    EXPECT_EQ(rows[0].fates[0].drives, 2U);
    EXPECT_EQ(rows[0].passedIn, 2U);
    EXPECT_TRUE(rows[0].used);
    // Ignored in every drive that passed it: never used, and why.
    EXPECT_FALSE(rows[1].used);
    EXPECT_EQ(rows[1].unusedWhy, "SPB beacon ignored: line category 1 takes no SPB beacon");
    EXPECT_EQ(rows[2].unusedWhy, "ignored: velt reads no beacon of type 7");
    EXPECT_EQ(rows[3].unusedWhy, "never passed: no drive of the audit reached it");
}

TEST(AuditCsv, OneRowPerSignalWithItsVerdictWord) {
    AuditResult result;
    SignalResult s;
    s.signal = {2, 2000.0, {"routes/r.csv", 5, 1}, 2, 1000.0};
    s.verdict = Verdict::Overran;
    s.approachKmh = 95.04;
    s.check = Check::CppStop;
    s.marginM = -12.34;
    result.signals.push_back(s);
    s.verdict = Verdict::NotReached;
    s.check = Check::None;
    s.approachKmh.reset();
    s.marginM.reset();
    result.signals.push_back(s);
    EXPECT_EQ(formatAuditCsv(result), std::string(kAuditCsvHeader) +
                                          "\n2,2000.0,r.csv:5,2,95.0,cpp-stop,,-12.3,overran\n"
                                          "2,2000.0,r.csv:5,2,,,,,not-reached\n");
}

}  // namespace
}  // namespace velt::drive
