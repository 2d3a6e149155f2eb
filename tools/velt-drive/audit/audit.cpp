#include "tools/velt-drive/audit/audit.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "tools/velt-drive/explain/folding.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// Whether a held departure signal stands between a beacon and a signal,
// still at stop when the train passes the beacon: a beacon looking for the
// first section at stop then finds it, whatever stands beyond.
bool heldBetween(const RouteTrack& track, double beaconM, int section) {
    const std::size_t stations = track.route().stations.size();
    for (std::size_t i = 0; i < stations; ++i) {
        const StationPlan& plan = track.stationPlan(i);
        if (plan.heldSection > 0 && plan.heldSection < section &&
            track.sectionBeginM(plan.heldSection) > beaconM && plan.clearFromM > beaconM)
            return true;
    }
    return false;
}

double divergesAtM(const RouteTrack& track, const AuditedSignal& s) {
    double at = s.approachFromM;
    const std::vector<RouteBeacon>& beacons = track.route().beacons;
    for (std::size_t b = 0; b < beacons.size() && beacons[b].positionM < at; ++b) {
        const int target = track.beaconTarget(b);
        const bool changed = target >= 0 ? target >= s.approachSection && target <= s.section
                                         : !heldBetween(track, beacons[b].positionM, s.section);
        if (changed) at = beacons[b].positionM;
    }
    return at;
}

}  // namespace

std::size_t StillFoldable::operator()(const std::vector<Intervention>& all, std::int64_t lastMs) {
    // The rows as the fold chains them. Nothing is copied: a handed-off
    // drive may come after tens of thousands of re-applications.
    for (; read_ < all.size(); ++read_) {
        const std::size_t c = checkSlot(all[read_].check);
        if (!seen_[c] || !reapplies(all[last_[c]], all[read_])) rowStart_[c] = read_;
        last_[c] = read_;
        seen_[c] = true;
    }
    std::size_t first = all.size();
    for (std::size_t c = 0; c < kCheckCount; ++c) {
        if (!seen_[c]) continue;
        const Intervention& end = all[last_[c]];
        if (!end.ended || lastMs - end.end.elapsedMs <= kReappliedWithinMs)
            first = std::min(first, rowStart_[c]);
    }
    return first;
}

std::size_t firstStillFoldable(const std::vector<Intervention>& all, std::int64_t lastMs) {
    StillFoldable foldable;
    return foldable(all, lastMs);
}

std::vector<AuditedSignal> signalSections(const RouteTrack& track) {
    const std::vector<RouteSection>& sections = track.route().sections;
    const std::size_t count = sections.size();
    // Each section's aspect with the line clear, from the last one back.
    std::vector<int> clear(count);
    for (std::size_t k = count; k-- > 0;) {
        const std::optional<int> next =
            k + 1 < count ? std::optional<int>(clear[k + 1]) : std::nullopt;
        clear[k] = sectionAspect(sections[k], kUnlimitedCount, next);
    }
    std::vector<AuditedSignal> signals;
    for (std::size_t n = 1; n < count; ++n) {
        AuditedSignal s;
        s.section = static_cast<int>(n);
        s.positionM = sections[n].beginM;
        s.where = sections[n].where;
        // The aspects behind the standing train, walking back until one
        // shows what it shows on a clear line.
        int aspect = sectionAspect(sections[n], 0,
                                   n + 1 < count ? std::optional<int>(clear[n + 1]) : std::nullopt);
        std::size_t from = n - 1;
        for (std::size_t k = n; k-- > 0;) {
            aspect = sectionAspect(sections[k], static_cast<int>(n - k), aspect);
            if (k == n - 1) s.aspectBehind = aspect;
            if (aspect == clear[k] && k < n - 1) break;
            from = k;
        }
        s.approachFromM = sections[from].beginM;
        s.approachSection = static_cast<int>(from);
        s.divergesAtM = divergesAtM(track, s);
        s.behindStart = s.positionM <= track.start().frontM;
        signals.push_back(std::move(s));
    }
    return signals;
}

const char* verdictWord(Verdict verdict) {
    switch (verdict) {
        case Verdict::Stopped: return "stopped";
        case Verdict::Overran: return "overran";
        case Verdict::NotReached: return "not-reached";
    }
    return "";
}

namespace {

// The explanation's cause names its route line already.
std::string causeText(const InterventionOutcome& i) {
    return std::string(checkName(i.explained.check)) + ": " + i.explained.cause;
}

void takeCause(SignalResult& result, const InterventionOutcome& i) {
    result.check = i.explained.check;
    result.cause = i.explained.cause;
    result.causeRef = i.explained.causeRef;
}

// The intervention that brought the train to a stand: the last that braked.
const InterventionOutcome* lastBrake(const std::vector<InterventionOutcome>& interventions) {
    for (auto i = interventions.rbegin(); i != interventions.rend(); ++i)
        if (i->brake()) return &*i;
    return nullptr;
}

}  // namespace

SignalResult judgeSignal(const AuditedSignal& signal, const SignalDrive& drive) {
    SignalResult result;
    result.signal = signal;
    if (signal.behindStart) {
        result.why = "the run starts at this signal or past it (the train's front at " +
                     metresText(drive.last.positionM) + ")";
        return result;
    }
    if (!drive.failure.empty()) {
        result.why = "the drive could not be run: " + drive.failure;
        return result;
    }
    if (drive.approach) result.approachKmh = drive.approach->speedKmh;
    const bool standing = drive.stoppedByProtection && drive.last.speedKmh == 0.0;
    if (standing) result.stopM = drive.last.positionM;

    if (drive.passed) {
        result.verdict = Verdict::Overran;
        result.overrunKmh = drive.passed->speedKmh;
        const double past = std::max(drive.furthestM, drive.last.positionM) - signal.positionM;
        result.marginM = -past;
        // The first brake on the approach is what velt made of the signal.
        const InterventionOutcome* first = nullptr;
        for (const InterventionOutcome& i : drive.interventions)
            if (i.brake() && (!drive.approach || i.explained.end.frame >= drive.approach->frame)) {
                first = &i;
                break;
            }
        if (first != nullptr) takeCause(result, *first);
        result.why = "passed the signal at " + kmhText(drive.passed->speedKmh, 1) + " and " +
                     (standing ? "stood " + metresText(past) + " past it"
                               : "was still running " + metresText(past) + " past it") +
                     "; " +
                     (first != nullptr ? "velt braked (" + causeText(*first) + ")"
                                       : std::string("velt never braked on the approach"));
        return result;
    }
    const InterventionOutcome* brake = lastBrake(drive.interventions);
    if (standing && drive.last.positionM >= signal.approachFromM) {
        result.verdict = Verdict::Stopped;
        result.marginM = signal.positionM - drive.last.positionM;
        if (brake != nullptr) takeCause(result, *brake);
        result.why = "stood " + metresText(*result.marginM) + " short of the signal" +
                     (brake != nullptr ? " (" + causeText(*brake) + ")" : "");
        return result;
    }
    result.verdict = Verdict::NotReached;
    if (standing) {
        if (brake != nullptr) takeCause(result, *brake);
        result.why = "velt stopped the train at " + metresText(drive.last.positionM) +
                     ", before the approach to this signal (from " +
                     metresText(signal.approachFromM) + ")" +
                     (brake != nullptr ? ": " + causeText(*brake) : "");
    } else {
        result.why = "the drive ended at " + metresText(drive.last.positionM) + " before the " +
                     "signal: " + drive.endReason;
    }
    return result;
}

// ---- the beacon ledger

std::string ignoredTypeWhy(std::int32_t type) {
    if (!beaconTypeName(type).empty()) return "";
    return "velt reads no beacon of type " + std::to_string(type);
}

namespace {

// A statement without its numbers: "CPP pattern armed: signal #, target # m
// ahead (at # m)", so that the same thing done at another speed or
// distance counts as the same fate.
std::string withoutNumbers(const std::string& text) {
    std::string out;
    bool inNumber = false;
    for (const char c : text) {
        const bool digit = std::isdigit(static_cast<unsigned char>(c)) != 0;
        if (digit || (inNumber && c == '.')) {
            if (!inNumber) out += '#';
            inNumber = true;
        } else {
            inNumber = false;
            out += c;
        }
    }
    return out;
}

}  // namespace

namespace {

std::string placeKey(const SourceLocation& where) {
    return where.file + ":" + std::to_string(where.line) + ":" + std::to_string(where.column);
}

}  // namespace

BeaconIndex::BeaconIndex(const Route& route) : route_(route) {
    for (std::size_t b = 0; b < route.beacons.size(); ++b)
        byPlace_[placeKey(route.beacons[b].where)].push_back(b);
}

int BeaconIndex::find(const SourceLocation& where, double frontM) const {
    const auto found = byPlace_.find(placeKey(where));
    if (found == byPlace_.end()) return -1;
    // The one the front is nearest to: it fires as the front passes it.
    std::size_t best = found->second.front();
    for (const std::size_t b : found->second)
        if (std::abs(route_.beacons[b].positionM - frontM) <
            std::abs(route_.beacons[best].positionM - frontM))
            best = b;
    return static_cast<int>(best);
}

BeaconLedger::BeaconLedger(const Route& route)
    : route_(route), passed_(route.beacons.size()), kinds_(route.beacons.size()) {}

void BeaconLedger::addDrive(double furthestM, const std::vector<BeaconEvent>& events) {
    for (std::size_t b = 0; b < route_.beacons.size(); ++b)
        if (route_.beacons[b].positionM <= furthestM) ++passed_[b];
    std::vector<std::pair<std::size_t, std::string>> seen;
    for (const BeaconEvent& event : events) {
        if (event.beacon >= kinds_.size()) continue;
        std::string key = withoutNumbers(event.text);
        const std::pair<std::size_t, std::string> once{event.beacon, key};
        if (std::find(seen.begin(), seen.end(), once) != seen.end()) continue;
        seen.push_back(once);
        Kind& kind = kinds_[event.beacon][key];
        if (kind.drives++ == 0) kind.text = event.text;
    }
}

std::vector<BeaconLedgerRow> BeaconLedger::rows() const {
    std::vector<BeaconLedgerRow> rows;
    for (std::size_t b = 0; b < route_.beacons.size(); ++b) {
        BeaconLedgerRow row;
        row.beacon = b;
        row.passedIn = passed_[b];
        for (const auto& entry : kinds_[b])
            row.fates.push_back({entry.second.text, entry.second.drives});
        std::stable_sort(
            row.fates.begin(), row.fates.end(),
            [](const LedgerFate& a, const LedgerFate& c) { return a.drives > c.drives; });
        // A beacon whose every statement is that velt ignored it is unused too.
        row.used = std::any_of(row.fates.begin(), row.fates.end(), [](const LedgerFate& f) {
            return f.text.find(" ignored") == std::string::npos;
        });
        if (!row.used) {
            const std::string ignored = ignoredTypeWhy(route_.beacons[b].type);
            if (!row.fates.empty())
                row.unusedWhy = row.fates.front().text;
            else if (row.passedIn == 0)
                row.unusedWhy = "never passed: no drive of the audit reached it";
            else if (!ignored.empty())
                row.unusedWhy = "ignored: " + ignored;
            else
                row.unusedWhy = "passed in " + std::to_string(row.passedIn) +
                                " drives; velt did nothing with it";
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// ---- the whole audit

std::size_t AuditResult::overruns() const {
    return static_cast<std::size_t>(
        std::count_if(signals.begin(), signals.end(),
                      [](const SignalResult& s) { return s.verdict == Verdict::Overran; }));
}

std::vector<std::size_t> findingsFirst(const std::vector<SignalResult>& signals) {
    std::vector<std::size_t> order;
    for (const Verdict verdict : {Verdict::Overran, Verdict::NotReached, Verdict::Stopped})
        for (std::size_t i = 0; i < signals.size(); ++i)
            if (signals[i].verdict == verdict) order.push_back(i);
    return order;
}

}  // namespace velt::drive
