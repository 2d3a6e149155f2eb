// Synthetic routes with one known fault each, audited end to end against
// the plug-in: each fault must be flagged at its signal and nothing else
// anywhere. The routes: a station at 0 m, the first signal there, then a
// signal every 1000 m (sections 2 to 5 at 1000 to 4000 m, each 0;2;4),
// a terminal at 4800 m. Each approach (the section before a signal, at
// aspect 2 while the signal is at stop) has a CPP beacon 30 m into it that
// reports the next section, with its target 10 m short of the signal: at
// the 49 km/h the signal check allows under aspect 2, the stop curve
// (49^2 / 19.5 = 123 m) brakes the train to a stand some 50 m short.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tools/velt-drive/audit/audit_run.h"
#include "tools/velt-drive/route/reader.h"
#include "tools/velt-drive/sweep/process_pool.h"

namespace velt::drive {
namespace {

struct Beacon {
    int at;
    int type;
    int section;
    int optional;
};

// The route's text: route code (line category) at 5 m, the Velt section
// at 10 m, the limit, and the beacons given.
std::string routeText(int routeCode, int limitKmh, const std::vector<Beacon>& beacons) {
    std::string text =
        "With Track\n"
        "0, .Sta A;;10.0000;0;L;0, .Stop 1;5;5;0, .Section 0;2;4, .Limit " +
        std::to_string(limitKmh) + "\n" + "5, .Beacon 21;0;0;" + std::to_string(routeCode) +
        "\n10, .Beacon 20;0;0;1\n";
    for (int m = 1000; m <= 4000; m += 1000) text += std::to_string(m) + ", .Section 0;2;4\n";
    for (const Beacon& b : beacons)
        text += std::to_string(b.at) + ", .Beacon " + std::to_string(b.type) + ";0;" +
                std::to_string(b.section) + ";" + std::to_string(b.optional) + "\n";
    return text + "4800, .Sta B;10.1000;T;0;L;0, .Stop 1;5;5;0\n";
}

// The CPP beacon of the approach to the signal at `signalM`.
Beacon cppFor(int signalM) { return {signalM - 970, 10, 1, 930}; }

std::vector<Beacon> everySignalProtected() {
    return {cppFor(1000), cppFor(2000), cppFor(3000), cppFor(4000)};
}

// The route's file, written for the test and removed with this object.
struct RouteFile {
    explicit RouteFile(const std::string& name, const std::string& text)
        : dir(std::filesystem::temp_directory_path() / ("velt-audit-test-" + name)) {
        std::filesystem::create_directories(dir);
        std::ofstream(path()) << text;
        base.file = path();
        base.name = name;
    }
    ~RouteFile() { std::filesystem::remove_all(dir); }
    RouteFile(const RouteFile&) = delete;
    RouteFile& operator=(const RouteFile&) = delete;
    [[nodiscard]] std::string path() const { return (dir / "route.csv").string(); }
    std::filesystem::path dir;
    Scenario base;
};

AuditResult audit(const std::string& name, const std::string& text) {
    const RouteFile file(name, text);
    const RouteTrack track(readRoute(file.path()).route, TrainLength{});
    AuditOptions options;
    options.jobs = 2;
    return runAudit(file.base, track, VELT_PLUGIN_PATH, options).result;
}

// The verdict of every signal, by section: 1 at 0 m (where the run
// starts, never reached), 2 to 5 at 1000 to 4000 m.
std::string verdicts(const AuditResult& result) {
    std::string out;
    for (const SignalResult& s : result.signals)
        out += std::to_string(s.signal.section) + ":" + verdictWord(s.verdict) + " ";
    return out;
}

const char* const kAllStopped = "1:not-reached 2:stopped 3:stopped 4:stopped 5:stopped ";

TEST(AuditRoutes, ACorrectRouteHasNoFinding) {
    const AuditResult r = audit("correct", routeText(0, 90, everySignalProtected()));
    EXPECT_EQ(verdicts(r), kAllStopped);
    for (const SignalResult& s : r.signals) {
        if (s.verdict != Verdict::Stopped) continue;
        EXPECT_EQ(s.check, Check::CppStop) << s.why;
        EXPECT_GT(*s.marginM, 10.0) << s.why;
    }
    EXPECT_TRUE(r.clearLine.ran);
    EXPECT_EQ(r.clearLine.failure, "");
    EXPECT_TRUE(r.clearLine.interventions.empty());
    EXPECT_FALSE(r.failed());
    for (const BeaconLedgerRow& row : r.ledger) EXPECT_FALSE(row.neverUsed()) << row.unusedWhy;
}

TEST(AuditRoutes, EachFaultIsFlaggedAtItsSignalAndNowhereElse) {
    struct Fault {
        const char* name;
        int routeCode;
        int limitKmh;
        std::function<void(std::vector<Beacon>&)> make;
        const char* verdicts;
        const char* ledger;  // why the ledger says velt never used a beacon, if it does
    };
    const Fault faults[] = {
        // No beacon protects the approach to the signal at 3000 m.
        {"unprotected", 0, 90, [](std::vector<Beacon>& b) { b.erase(b.begin() + 2); },
         "1:not-reached 2:stopped 3:stopped 4:overran 5:stopped ", nullptr},
        // It reports the section after the signal's, which shows clear.
        {"wrong-section", 0, 90, [](std::vector<Beacon>& b) { b[2].section = 2; },
         "1:not-reached 2:stopped 3:stopped 4:overran 5:stopped ", nullptr},
        // 40 m before the signal: no train running at 49 km/h stops in that.
        {"too-close", 0, 90,
         [](std::vector<Beacon>& b) {
             b[2] = {2960, 10, 1, 30};
         },
         "1:not-reached 2:stopped 3:stopped 4:overran 5:stopped ", nullptr},
        // An SPB stop pattern on line category 1, which takes none.
        {"ignored-type", 100, 60,
         [](std::vector<Beacon>& b) {
             b[2] = {2030, 15, 0, 10930};
         },
         "1:not-reached 2:stopped 3:stopped 4:overran 5:stopped ",
         "SPB beacon ignored: line category 1 takes no SPB beacon (only 0 and 2 do)"},
    };
    for (const Fault& fault : faults) {
        SCOPED_TRACE(fault.name);
        std::vector<Beacon> beacons = everySignalProtected();
        fault.make(beacons);
        const AuditResult r =
            audit(fault.name, routeText(fault.routeCode, fault.limitKmh, beacons));
        EXPECT_EQ(verdicts(r), fault.verdicts);
        EXPECT_EQ(r.overruns(), 1U);
        EXPECT_TRUE(r.clearLine.interventions.empty());
        EXPECT_TRUE(r.failed());  // exit status 1
        // Only the faulty beacon stands out in the ledger, and says why.
        std::string unused;
        for (const BeaconLedgerRow& row : r.ledger)
            if (row.neverUsed()) unused += row.unusedWhy + "\n";
        EXPECT_EQ(unused, fault.ledger != nullptr ? std::string(fault.ledger) + "\n" : "");
    }
}

// Each signal's drive is handed off from the clear line before its first
// difference: it must come to what a drive of its own from the start does.
TEST(AuditRoutes, ADriveHandedOffFromTheClearLineIsTheDriveFromTheStart) {
    std::vector<Beacon> beacons = everySignalProtected();
    beacons[1] = {1985, 10, -1, 905};  // a stop-seeking beacon: the hand-off comes before it
    const std::string text = routeText(0, 90, beacons);
    const AuditResult handedOff = audit("hand-off", text);
    const RouteFile file("own", text);
    const RouteTrack track(readRoute(file.path()).route, TrainLength{});
    const BeaconIndex index(track.route());
    const std::vector<AuditedSignal> signals = signalSections(track);
    // Every signal's drive from the start, then the clear line's.
    const std::vector<PoolJob> own = runDrivesApart(
        VELT_PLUGIN_PATH, signals.size() + 1, {}, [&](const PluginLibrary& plugin, std::size_t i) {
            return encodeAuditDrive(driveForAudit(file.base, track, index,
                                                  i < signals.size() ? &signals[i] : nullptr,
                                                  AuditDriver::NonReacting, plugin));
        });
    BeaconLedger ledger(track.route());
    ASSERT_EQ(handedOff.signals.size(), signals.size());
    for (std::size_t i = 1; i < signals.size(); ++i) {
        SCOPED_TRACE(i);
        AuditDriveRecord record;
        ASSERT_TRUE(decodeAuditDrive(own[i].bytes, record)) << own[i].failure;
        const SignalResult alone = judgeSignal(signals[i], record.drive);
        EXPECT_EQ(handedOff.signals[i].verdict, alone.verdict);
        EXPECT_EQ(handedOff.signals[i].marginM, alone.marginM);
        EXPECT_EQ(handedOff.signals[i].why, alone.why);
    }
    // What velt did with each beacon, before and after the hand-off, adds up
    // as the drives from the start do, in the audit's order.
    for (const std::size_t i :
         {signals.size(), std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4}}) {
        AuditDriveRecord record;
        ASSERT_TRUE(decodeAuditDrive(own[i].bytes, record));
        ledger.addDrive(record.drive.furthestM, record.beacons);
    }
    const std::vector<BeaconLedgerRow> alone = ledger.rows();
    ASSERT_EQ(handedOff.ledger.size(), alone.size());
    for (std::size_t b = 0; b < alone.size(); ++b) {
        SCOPED_TRACE(b);
        EXPECT_EQ(handedOff.ledger[b].passedIn, alone[b].passedIn);
        ASSERT_EQ(handedOff.ledger[b].fates.size(), alone[b].fates.size());
        for (std::size_t f = 0; f < alone[b].fates.size(); ++f) {
            EXPECT_EQ(handedOff.ledger[b].fates[f].text, alone[b].fates[f].text);
            EXPECT_EQ(handedOff.ledger[b].fates[f].drives, alone[b].fates[f].drives);
        }
    }
}

}  // namespace
}  // namespace velt::drive
