// What the audit decides without driving: the sections it drives against
// and their approach, the verdict on a drive, and how the beacon ledger
// adds up the drives. Values worked out by hand in the comments.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/audit/audit.h"
#include "tools/velt-drive/audit/audit_report.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/folding.h"

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

// ---- a drive handed off from the clear line

// One application of a brake, frames numbered in milliseconds.
Intervention applied(Check check, std::int64_t fromMs, std::int64_t toMs, bool ended = true) {
    Intervention i;
    i.check = check;
    i.level = 1;
    i.start = {static_cast<std::size_t>(fromMs), fromMs, 0.0, 0.0};
    i.end = {static_cast<std::size_t>(toMs), toMs, 0.0, 0.0};
    i.ended = ended;
    i.cause = "from " + std::to_string(fromMs);
    return i;
}

// The rows a drive handed off at `atMs` reports: those ending there or later.
std::string rowsFrom(const std::vector<Intervention>& all, std::int64_t atMs) {
    std::string out;
    for (const FoldedIntervention& row : foldInterventions(all))
        if (row.intervention.end.elapsedMs >= atMs)
            out += std::string(checkName(row.intervention.check)) + " " + row.intervention.cause +
                   " x" + std::to_string(row.applications) + "; ";
    return out;
}

TEST(AuditHandOff, TheInterventionsKeptFoldAsTheWholeDriveDoes) {
    const std::int64_t at = 100000;  // the hand-off
    struct Case {
        const char* name;
        std::vector<Intervention> before, after;
        std::size_t first;  // the first still foldable
    };
    std::vector<Intervention> chain;  // a signal check re-applied every 1.5 s up to the hand-off
    for (std::int64_t t = 10000; t < at; t += 1500)
        chain.push_back(applied(Check::Signal, t, t + 700));
    // A stale row first, and another check's row amid the chain.
    std::vector<Intervention> between = chain;
    between.insert(between.begin() + 3, applied(Check::Ccp, 13750, 13800));
    between.insert(between.begin(), applied(Check::CppStop, 1000, 2000));
    const Case cases[] = {
        {"nothing yet", {}, {applied(Check::Signal, at + 10, at + 500)}, 0},
        {"a live chain is kept whole", chain, {applied(Check::Signal, at + 100, at + 900)}, 0},
        {"another check amid it", between, {applied(Check::Signal, at + 100, at + 900)}, 1},
        {"a stale row is dropped",
         {applied(Check::CppStop, 1000, 2000), applied(Check::Signal, 98000, 99500)},
         {applied(Check::Signal, at + 400, at + 800)},
         1},
        {"all stale",
         {applied(Check::Signal, 1000, 2000), applied(Check::Ccp, 5000, 6000)},
         {applied(Check::Signal, at + 400, at + 800)},
         2},
        // Until it ends, an open one ends where it began, long ago.
        {"an open one stays",
         {applied(Check::Ccp, 1000, 1000, false), applied(Check::Signal, 3000, 3500)},
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t first = firstStillFoldable(c.before, at - 16);
        EXPECT_EQ(first, c.first);
        // Asked along the way, as the clear line does at each hand-off.
        StillFoldable along;
        const auto half = static_cast<std::ptrdiff_t>(c.before.size() / 2);
        along(std::vector<Intervention>(c.before.begin(), c.before.begin() + half), 0);
        EXPECT_EQ(along(c.before, at - 16), first);
        std::vector<Intervention> whole = c.before;
        whole.insert(whole.end(), c.after.begin(), c.after.end());
        std::vector<Intervention> tail(c.before.begin() + static_cast<std::ptrdiff_t>(first),
                                       c.before.end());
        tail.insert(tail.end(), c.after.begin(), c.after.end());
        EXPECT_EQ(rowsFrom(tail, at - 16), rowsFrom(whole, at - 16));
    }
}

TEST(AuditResultStatus, ExitsOneOnAnOverrunOrABrakeOnTheClearLine) {
    const auto result = [](Verdict verdict, bool clearBrake, const char* clearFailure) {
        AuditResult r;
        SignalResult s;
        s.verdict = verdict;
        r.signals = {SignalResult{}, s};
        if (clearBrake) r.clearLine.interventions.emplace_back();
        r.clearLine.failure = clearFailure;
        return r;
    };
    EXPECT_FALSE(result(Verdict::Stopped, false, "").failed());
    EXPECT_FALSE(result(Verdict::NotReached, false, "").failed());
    EXPECT_TRUE(result(Verdict::Overran, false, "").failed());
    EXPECT_TRUE(result(Verdict::Stopped, true, "").failed());
    EXPECT_TRUE(result(Verdict::Stopped, false, "the plug-in diverged").failed());
}

// Each signal on the strip and in the table opens its own drive, with its
// verdict; the table puts findings first, and a drive without data (never
// driven) has no player entry.
TEST(AuditPage, EachSignalCarriesItsVerdictAndOpensItsOwnDrive) {
    Route route;
    AuditResult result;
    const Verdict verdicts[] = {Verdict::Stopped, Verdict::Overran, Verdict::NotReached};
    for (std::size_t i = 0; i < 3; ++i) {
        SignalResult s;
        s.signal.section = static_cast<int>(i) + 1;
        s.signal.positionM = 1000.0 * static_cast<double>(i + 1);
        s.verdict = verdicts[i];
        s.why = "why " + std::to_string(i);
        s.drive = i;
        result.signals.push_back(s);
    }
    const std::vector<AuditPlayerDrive> drives = {{"{\"d\":0}", 7}, {"{\"d\":1}", 9}, {"", 0}, {}};
    const std::string page = renderAuditPage(route, result, drives, "t");
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::string word = verdictWord(verdicts[i]);
        EXPECT_NE(page.find("data-drive=\"" + std::to_string(i) + "\" data-verdict=\"" + word),
                  std::string::npos);
        EXPECT_NE(
            page.find("<tr class=\"drive " + word + "\" data-drive=\"" + std::to_string(i) + "\">"),
            std::string::npos);
    }
    const auto row = [&](const char* word) {
        return page.find("<tr class=\"drive " + std::string(word));
    };
    EXPECT_LT(row("overran"), row("not-reached"));
    EXPECT_LT(row("not-reached"), row("stopped"));
    EXPECT_NE(page.find(R"(id="drive-0" data-seek="7")"), std::string::npos);
    EXPECT_NE(page.find(R"(id="drive-1" data-seek="9")"), std::string::npos);
    EXPECT_EQ(page.find(R"(id="drive-2")"), std::string::npos);
    // The player opens on the first finding that has a drive: the overrun.
    EXPECT_NE(page.find(R"(<script type="application/json" id="drive-data">{"d":1})"),
              std::string::npos);
}

}  // namespace
}  // namespace velt::drive
