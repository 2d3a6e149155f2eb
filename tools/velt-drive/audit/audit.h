// The audit of a route: for every signal section, a drive in which another
// train stands in it, so that its signal shows stop, and a driver who does
// not react to signals; the verdict is whether velt stopped the train short
// of the standing train. Beside those, one drive of the timetable with
// every signal clear, in which any intervention is a finding, and the
// ledger of what velt did with each beacon across all the drives.
//
// This file holds what the audit decides, as plain data and pure
// functions: which sections it drives, how a drive is judged, how the
// beacons' fates add up. Running the drives is audit_run.h; the table, the
// CSV and the page are audit_report.h.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/outcome/outcome.h"
#include "tools/velt-drive/route/track.h"

namespace velt::drive {

// How the audit's driver treats velt: never reacting to a signal, or
// pressing the confirm key whenever velt asks for it (what a real driver
// does under legacy supervision).
enum class AuditDriver { NonReacting, Confirming };

// One signal section to drive against.
struct AuditedSignal {
    int section = 0;
    double positionM = 0.0;  // where the section begins: where its signal stands
    SourceLocation where;    // the command that began it
    // What the section behind shows while this one is occupied.
    int aspectBehind = 0;
    // Where the approach begins: the first of the sections behind whose
    // aspect the standing train lowers (at least the one directly behind).
    double approachFromM = 0.0;
    int approachSection = 0;
    // The first place where a drive towards this signal may differ from
    // one on the clear line: the approach, or a beacon before it that
    // reports a section the standing train changes (it reports another
    // aspect, or, looking for the first section at stop, finds this one).
    // Until there, both drives make the same calls.
    double divergesAtM = 0.0;
    // The run starts at the signal or past it: no train comes towards it.
    bool behindStart = false;
};

// A drive towards a signal is handed off from the clear line this far
// before its first difference: more than a frame's run at any speed.
inline constexpr double kHandOffLeadM = 5.0;

// The first of a drive's interventions so far that a drive handed off from
// it when `lastMs` had elapsed may still fold a re-application into (see
// explain/folding.h): the first application of each check's last row, if
// that row is still open or ended within kReappliedWithinMs. Every row
// before it ended earlier and stays as it is; all.size() when none.
std::size_t firstStillFoldable(const std::vector<Intervention>& all, std::int64_t lastMs);

// The same for one drive as it goes on: each call reads only the
// interventions added since the last (those before are closed for good,
// since a check brakes again only after it let go), so that a drive
// handing off hundreds of copies does not read its whole explanation for
// each.
class StillFoldable {
public:
    std::size_t operator()(const std::vector<Intervention>& all, std::int64_t lastMs);

private:
    // By check: where its last row began, and that row's last application.
    std::array<std::size_t, kCheckCount> rowStart_{};
    std::array<std::size_t, kCheckCount> last_{};
    std::array<bool, kCheckCount> seen_{};
    std::size_t read_ = 0;
};

// Every section of the route but the implicit first one, in track order.
std::vector<AuditedSignal> signalSections(const RouteTrack& track);

// What one drive came to, as the audit's recorder saw it.
struct SignalDrive {
    std::optional<FramePoint> approach;  // the front reached the approach's beginning
    std::optional<FramePoint> passed;    // the front passed the occupied section's beginning
    double furthestM = 0.0;              // the front's furthest position
    FramePoint last;                     // where the drive ended
    bool stoppedByProtection = false;    // it ended because velt's brake stopped the train
    std::string endReason;
    std::vector<InterventionOutcome> interventions;
    std::string failure;  // not empty when the drive could not be run
};

enum class Verdict { Stopped, Overran, NotReached };

// "stopped", "overran", "not-reached": the CSV's words.
const char* verdictWord(Verdict verdict);

struct SignalResult {
    AuditedSignal signal;
    Verdict verdict = Verdict::NotReached;
    std::optional<double> approachKmh;  // the speed where the approach began
    // The check that intervened (None when velt never braked) and its cause
    // as the explanation gives it, with the route line behind it.
    Check check = Check::None;
    std::string cause;
    CauseRef causeRef;
    std::optional<double> stopM;  // where the front came to a stand, if it did
    // Metres short of the occupied section (negative: past its beginning).
    std::optional<double> marginM;
    std::optional<double> overrunKmh;  // the speed as the front passed the beginning
    std::string why;                   // in words, for the table and the page
    std::size_t drive = 0;             // index of the drive behind it

    [[nodiscard]] bool finding() const {
        return verdict == Verdict::Overran ||
               (verdict == Verdict::NotReached && !signal.behindStart);
    }
};

SignalResult judgeSignal(const AuditedSignal& signal, const SignalDrive& drive);

// ---- the beacon ledger

// What velt did with a beacon in one drive: the explanation's statements
// whose cause is that beacon.
struct BeaconEvent {
    std::size_t beacon = 0;  // index into Route::beacons
    std::string text;
};

struct LedgerFate {
    std::string text;        // the first statement of this kind
    std::size_t drives = 0;  // in how many drives velt did this
};

struct BeaconLedgerRow {
    std::size_t beacon = 0;
    std::size_t passedIn = 0;       // drives in which the front passed it
    std::vector<LedgerFate> fates;  // what velt did with it, most frequent first
    // Whether velt did anything with it but ignore it; if not, why.
    bool used = false;
    std::string unusedWhy;
    [[nodiscard]] bool neverUsed() const { return !used; }
};

// Finds the route beacon a host event of a route drive came from, by the
// place it was written and, for a file included more than once, by where
// the front was when it fired.
class BeaconIndex {
public:
    explicit BeaconIndex(const Route& route);
    // -1 when no beacon was written there.
    [[nodiscard]] int find(const SourceLocation& where, double frontM) const;

private:
    const Route& route_;
    std::map<std::string, std::vector<std::size_t>> byPlace_;
};

// Adds the beacons' statements of one drive that got as far as `furthestM`.
class BeaconLedger {
public:
    explicit BeaconLedger(const Route& route);
    void addDrive(double furthestM, const std::vector<BeaconEvent>& events);
    [[nodiscard]] std::vector<BeaconLedgerRow> rows() const;

private:
    struct Kind {
        std::string text;
        std::size_t drives = 0;
    };
    const Route& route_;
    std::vector<std::size_t> passed_;
    std::vector<std::map<std::string, Kind>> kinds_;  // by the statement without its numbers
};

// Why velt takes no notice of a beacon of this type, or "" when it reads it.
std::string ignoredTypeWhy(std::int32_t type);

// ---- the whole audit

struct ClearLineResult {
    bool ran = false;
    std::string failure;
    FramePoint last;
    std::string endReason;
    std::vector<InterventionOutcome> interventions;  // each a finding
};

struct AuditResult {
    std::vector<SignalResult> signals;  // in track order
    ClearLineResult clearLine;
    std::vector<BeaconLedgerRow> ledger;

    [[nodiscard]] std::size_t overruns() const;
    // Exit status 1: a signal overrun, or velt braking a train on a clear line.
    [[nodiscard]] bool failed() const {
        return overruns() > 0 || !clearLine.interventions.empty() || !clearLine.failure.empty();
    }
};

// Findings first (overruns, then signals not reached), each group in track order.
std::vector<std::size_t> findingsFirst(const std::vector<SignalResult>& signals);

}  // namespace velt::drive
