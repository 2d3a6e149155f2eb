#include "tools/velt-drive/sweep/outcome_codec.h"

#include "tools/velt-drive/explain/check_table.h"

namespace velt::drive {

std::string encodeOutcome(const DriveOutcome& o) {
    ByteWriter out;
    out.number(o.stops.size());
    for (const FramePoint& p : o.stops) out.point(p);
    out.number(o.targets.size());
    for (const TargetResult& t : o.targets) {
        out.text(t.name);
        out.number(static_cast<std::uint64_t>(t.line));
        out.real(t.positionM);
        out.maybe(t.stop);
        out.maybe(t.reached);
        out.text(t.file);
    }
    out.number(o.restrictions.size());
    for (const RestrictionResult& r : o.restrictions) {
        out.number(static_cast<std::uint64_t>(r.line));
        out.real(r.fromM);
        out.real(r.limitKmh);
        out.maybe(r.highest);
        out.text(r.file);
    }
    out.maybe(o.firstWarning);
    out.number(o.interventions.size());
    for (const InterventionOutcome& i : o.interventions) {
        const Intervention& e = i.explained;
        out.point(e.start);
        out.point(e.end);
        out.number(e.ended ? 1 : 0);
        out.number(static_cast<std::uint64_t>(e.check));
        out.number(static_cast<std::uint64_t>(e.level));
        out.text(e.cause);
        out.text(e.causeRef.file);
        out.number(static_cast<std::uint64_t>(e.causeRef.line));
        out.real(e.causeRef.positionM);
        out.text(e.causeRef.what);
        out.text(e.endedBy);
        out.number(static_cast<std::uint64_t>(e.startLevel));
        out.number(e.raisedToEmergency ? 1 : 0);
        out.point(e.emergencyAt);
        out.number(static_cast<std::uint64_t>(i.applications));
        out.maybe(i.warning);
    }
    out.number(o.expectations.size());
    for (const ExpectationResult& e : o.expectations) {
        out.number(e.met ? 1 : 0);
        out.text(e.detail);
    }
    out.number(o.findings.size());
    for (const Diagnostic& f : o.findings) {
        out.number(static_cast<std::uint64_t>(f.severity));
        out.text(f.where.file);
        out.number(static_cast<std::uint64_t>(f.where.line));
        out.number(static_cast<std::uint64_t>(f.where.column));
        out.text(f.message);
    }
    out.point(o.last);
    out.text(o.endReason);
    out.number(o.frames);
    out.text(o.divergence);
    return out.take();
}

bool decodeOutcome(const std::string& bytes, DriveOutcome& o) {
    ByteReader in(bytes);
    o = DriveOutcome{};
    constexpr std::size_t kPointBytes = 32;
    o.stops.resize(in.count(kPointBytes));
    for (FramePoint& p : o.stops) p = in.point();
    o.targets.resize(in.count(kPointBytes));
    for (TargetResult& t : o.targets) {
        t.name = in.text();
        t.line = static_cast<int>(in.number());
        t.positionM = in.real();
        t.stop = in.maybe();
        t.reached = in.maybe();
        t.file = in.text();
    }
    o.restrictions.resize(in.count(18));
    for (RestrictionResult& r : o.restrictions) {
        r.line = static_cast<int>(in.number());
        r.fromM = in.real();
        r.limitKmh = in.real();
        r.highest = in.maybe();
        r.file = in.text();
    }
    o.firstWarning = in.maybe();
    o.interventions.resize(in.count(kPointBytes));
    for (InterventionOutcome& i : o.interventions) {
        Intervention& e = i.explained;
        e.start = in.point();
        e.end = in.point();
        e.ended = in.number() != 0;
        const std::uint64_t check = in.number();
        e.check = check < kCheckCount ? static_cast<Check>(check) : Check::None;
        e.level = static_cast<int>(in.number() & 3U);
        e.cause = in.text();
        e.causeRef.file = in.text();
        e.causeRef.line = static_cast<int>(in.number());
        e.causeRef.positionM = in.real();
        e.causeRef.what = in.text();
        e.endedBy = in.text();
        e.startLevel = static_cast<int>(in.number() & 3U);
        e.raisedToEmergency = in.number() != 0;
        e.emergencyAt = in.point();
        i.applications = static_cast<int>(in.number());
        i.warning = in.maybe();
    }
    o.expectations.resize(in.count(16));
    for (ExpectationResult& e : o.expectations) {
        e.met = in.number() != 0;
        e.detail = in.text();
    }
    o.findings.resize(in.count(40));
    for (Diagnostic& f : o.findings) {
        const std::uint64_t severity = in.number();
        f.severity = severity <= static_cast<std::uint64_t>(Severity::Note)
                         ? static_cast<Severity>(severity)
                         : Severity::Warning;
        f.where.file = in.text();
        f.where.line = static_cast<int>(in.number());
        f.where.column = static_cast<int>(in.number());
        f.message = in.text();
    }
    o.last = in.point();
    o.endReason = in.text();
    o.frames = static_cast<std::size_t>(in.number());
    o.divergence = in.text();
    return in.ok();
}

}  // namespace velt::drive
