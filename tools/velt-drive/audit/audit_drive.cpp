// The drives of an audit on the route. The audit's driver keeps the
// timetable as a careful driver does (the route's limits, the station
// stops, the doors, the departures) but sees every signal as it shows on a
// clear line: he never brakes for an aspect or a section at stop, so only
// velt can stop him short of a standing train. (One who ran through the
// stations too would be stopped by velt's station stop pattern at the first
// of them, and no signal beyond it would ever be tried.)
//
// A drive towards a signal makes the same calls as a drive on the clear
// line until the train comes to the first place where the standing train
// changes what the host reports (AuditedSignal::divergesAtM). So one drive
// runs the clear line and, shortly before each such place, hands a copy of
// itself to a process of its own, in which the train starts standing in
// that signal's section: every signal costs only its approach, not the
// whole route up to it.
#include <algorithm>
#include <functional>
#include <limits>

#include "tools/velt-drive/audit/audit_run.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/sweep/outcome_codec.h"
#include "tools/velt-drive/sweep/process_pool.h"
#include "tools/velt-drive/sweep/vary.h"

namespace velt::drive {

namespace {

// How far a drive that has overrun its signal goes on: far enough to see
// whether velt stops the train in the occupied section, no further.
constexpr double kOverrunWatchM = 1000.0;
// The player keeps the drive from this far before the approach.
constexpr double kPlayerLeadM = 1000.0;
// A drive of the audit ends at the latest after a day.
constexpr std::int64_t kAuditTimeLimitMs = 24LL * 3600 * 1000;

class SignalBlindDriver : public RouteDriver {
public:
    SignalBlindDriver(const RouteTrack& track, bool confirms)
        : clear_(track), confirms_(confirms) {}
    // Called with each frame's view before the driver acts.
    std::function<void(const RouteView&)> onFrame;

    void drive(const RouteView& view, RouteHands& hands) override {
        if (onFrame) onFrame(view);
        clear_.update(view.positionM, view.timeMs);
        const RouteView seen{view.track,     clear_,       view.vehicle,    view.positionM,
                             view.speedKmh,  view.timeMs,  view.protection, view.panel,
                             view.doorsOpen, view.nextStop};
        careful_.drive(seen, hands);
        if (!confirms_) hands.pressConfirm = false;
    }
    [[nodiscard]] std::string name() const override {
        return confirms_ ? "the audit's driver (blind to signals, confirms)"
                         : "the audit's driver (blind to signals)";
    }

private:
    RouteSignals clear_;  // the line as it would be without the standing train
    TimetableDriver careful_;
    bool confirms_;
};

AuditWatch watchFor(const AuditedSignal& signal) {
    AuditWatch watch;
    watch.approachFromM = signal.approachFromM;
    watch.signalM = signal.positionM;
    watch.playerFromM = signal.approachFromM - kPlayerLeadM;
    return watch;
}

// Where a drive that has passed the signal ends: the end of the occupied
// section, at most kOverrunWatchM past its beginning.
double overrunEndM(const RouteTrack& track, const AuditedSignal& signal) {
    double endM = signal.positionM + kOverrunWatchM;
    if (signal.section + 1 < track.sectionCount())
        endM = std::min(endM, track.sectionBeginM(signal.section + 1));
    return std::max(endM, signal.positionM + 1.0);
}

Scenario auditScenario(const Scenario& base) {
    Scenario scenario = base;
    scenario.end.elapsedMs = kAuditTimeLimitMs;
    return scenario;
}

}  // namespace

AuditDriveRecord driveForAudit(const Scenario& base, const RouteTrack& track,
                               const BeaconIndex& beacons, const AuditedSignal* signal,
                               AuditDriver driver, const PluginLibrary& plugin) {
    Scenario scenario = auditScenario(base);
    RouteDrive route;
    route.track = &track;
    TimetableDriver timetable;
    SignalBlindDriver blind(track, driver == AuditDriver::Confirming);
    route.driver = &timetable;
    // The clear line keeps no stretch for the player: the whole timetable
    // would outweigh every signal's drive on the page together.
    AuditWatch watch;
    watch.playerFromM = std::numeric_limits<double>::infinity();
    if (signal != nullptr) {
        watch = watchFor(*signal);
        scenario.end.positionM = overrunEndM(track, *signal);
        route.standing.push_back({signal->section, std::nullopt});
        route.driver = &blind;
        route.endWhenProtectionStops = true;
    }
    // Only the interventions and what velt made of each beacon.
    ExplainedDrive drive(scenario, plugin, Explain::Interventions, &route);
    AuditRecorder recorder(scenario, drive.explainer(), beacons, watch);
    drive.run({&recorder});
    return recorder.take();
}

std::string driveSpine(const Scenario& base, const RouteTrack& track, const BeaconIndex& beacons,
                       const std::vector<AuditedSignal>& signals,
                       const std::vector<std::size_t>& order, AuditDriver driver,
                       const PluginLibrary& plugin, int width) {
    Scenario scenario = auditScenario(base);
    SignalBlindDriver blind(track, driver == AuditDriver::Confirming);
    RouteDrive route;
    route.track = &track;
    route.driver = &blind;
    ExplainedDrive drive(scenario, plugin, Explain::Interventions, &route);
    // The clear line keeps no stretch for the player; each copy its own.
    AuditWatch none;
    none.playerFromM = std::numeric_limits<double>::infinity();
    AuditRecorder recorder(scenario, drive.explainer(), beacons, none);
#if defined(_WIN32)
    (void)signals;
    (void)order;
    (void)width;
    drive.run({&recorder});
    return {};
#else
    // Each copy's result goes on to the audit as it ends: the clear line
    // holds none of them, so no later copy inherits (and frees) them.
    bool sent = true;
    ForkedJobs jobs(width, [&](std::size_t id, const PoolJob& job) {
        ByteWriter out;
        out.number(id);
        out.text(job.bytes);
        out.text(job.failure);
        sent = sendPartOfResult(out.take()) && sent;
    });
    std::size_t next = 0;
    bool handedOff = false;
    StillFoldable foldable;
    blind.onFrame = [&](const RouteView& view) {
        while (!handedOff && next < order.size() &&
               view.positionM >= signals[order[next]].divergesAtM - kHandOffLeadM) {
            const AuditedSignal& signal = signals[order[next]];
            // A copy needs only the clear line's interventions that its own
            // may still fold into; the others would be copied and folded
            // again at its end, as many as the route's first stretch has
            // applications.
            const std::size_t keepFrom =
                foldable(drive.explainer()->interventions(), recorder.last().elapsedMs);
            if (!jobs.fork(order[next++])) continue;
            // The copy: from here on another train stands in the section.
            // The view's signals are the drive's own, lent for reading; this
            // is the one place that changes them during a drive.
            handedOff = true;
            drive.forgetInterventionsBefore(keepFrom);
            const_cast<RouteSignals&>(view.signals).addStandingTrain(signal.section);
            recorder.watch(watchFor(signal));
            scenario.end.positionM = overrunEndM(track, signal);
            route.endWhenProtectionStops = true;
        }
    };
    drive.run({&recorder});
    if (handedOff) jobs.finish(encodeAuditDrive(recorder.take()));
    jobs.collect();
    if (!sent) throw SweepError("cannot pass the handed-off drives' results on");
    // The signals the clear line never came near end with it; its
    // statements about beacons are each copy's up to its hand-off.
    const std::string unreached = encodeAuditDrive(recorder.take());
    ByteWriter out;
    out.number(signals.size());
    out.text(unreached);
    out.text("");
    for (; next < order.size(); ++next) {
        out.number(order[next]);
        out.text(unreached);
        out.text("");
    }
    return out.take();
#endif
}

}  // namespace velt::drive
