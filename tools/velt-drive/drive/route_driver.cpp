// The two route drivers: the timetable driver and the limit runner. Both
// brake for what lies ahead on one curve: a constant deceleration of half
// the full service rate, so that a notch or two is always left in hand and
// an intervention is the protection's verdict, not a late driver's.
#include <algorithm>
#include <cmath>

#include "core/cab.h"
#include "core/display_codes.h"
#include "tools/velt-drive/drive/route_drive.h"

namespace velt::drive {

namespace {

// The share of the full service rate the drivers plan with.
constexpr double kPlannedShare = 0.5;
// They run this far below a limit, and power only further below it.
constexpr double kBelowLimitKmh = 2.0;
constexpr double kPowerBelowKmh = 4.0;
// Where they stop: short of a section at stop by this much (its signal is
// passed when the first car's front axle passes it).
constexpr double kShortOfStopSectionM = 5.0;
// How fast they draw up in the CPP stop phase (it allows 9.5 km/h).
constexpr double kStopPhaseCreepKmh = 8.0;

double ms(double kmh) { return kmh / 3.6; }

// Something ahead: the front must be at `speedKmh` or below from `atM` on.
struct Target {
    double atM;
    double speedKmh;
};

}  // namespace

double routeEndM(const RouteTrack& track) {
    const Route& route = track.route();
    double end = 0.0;
    if (!route.sections.empty()) end = std::max(end, route.sections.back().beginM);
    if (!route.beacons.empty()) end = std::max(end, route.beacons.back().positionM);
    if (!route.limits.empty()) end = std::max(end, route.limits.back().positionM);
    for (std::size_t i = 0; i < route.stations.size(); ++i)
        end = std::max(end, track.stationPlan(i).stopM);
    return end + track.train().lengthM();
}

namespace {

// The handles that keep the train on its targets: the deceleration the
// most pressing target needs, on the service notches; power when there is
// room below the limit in force and nothing to brake for.
class Planner {
public:
    Planner(const RouteView& view, DriverState& state) : view_(view), state_(state) {
        const VehicleParams& v = view.vehicle;
        serviceMs2_ = ms(v.serviceBrakeKmhS);
        speed_ = std::fabs(view.speedKmh);
    }

    void limitNow(double kmh) { now_ = std::min(now_, kmh); }

    void ahead(const Target& target) {
        const double distance = target.atM - view_.positionM;
        const double v = ms(speed_);
        const double vt = ms(target.speedKmh);
        // Within a km/h of a speed to come down to, coasting will do; a
        // stop is met exactly.
        if (v <= vt + (target.speedKmh > 0.0 ? ms(1.0) : 0.0)) return;
        needed_ = std::max(needed_, (v * v - vt * vt) / (2.0 * std::max(distance, 0.05)));
        // The speed the planned curve allows here.
        const double allowed =
            std::sqrt(vt * vt + 2.0 * kPlannedShare * serviceMs2_ * std::max(distance, 0.0));
        curve_ = std::min(curve_, allowed * 3.6);
        if (target.speedKmh <= 0.0 && distance < 1.0) stopNear_ = true;
    }

    void hands(RouteHands& hands) {
        const VehicleParams& v = view_.vehicle;
        const double over = speed_ - (now_ - kBelowLimitKmh / 2.0);
        // Begin braking once the curve asks for the planned share; keep on
        // while it asks for a fifth of the service rate.
        const double threshold = (state_.braking ? 0.2 : kPlannedShare * 0.9) * serviceMs2_;
        state_.braking = needed_ >= threshold || over > 0.0;
        hands.power = 0;
        hands.brake = 0;
        if (stopNear_ && speed_ < 3.0) {
            state_.powering = false;
            hands.brake = v.brakeNotches;
            return;
        }
        if (state_.braking) {
            state_.powering = false;
            const double forOver = over > 0.0 ? over / 10.0 * serviceMs2_ : 0.0;
            const double rate = std::max(needed_, forOver);
            const auto notch = static_cast<int>(std::ceil(rate / serviceMs2_ * v.brakeNotches));
            hands.brake = std::clamp(notch, 1, v.brakeNotches);
            return;
        }
        // Power from well below the speed to keep up to it, then coast.
        const double target = std::min(now_, curve_) - kBelowLimitKmh;
        if (speed_ >= target) state_.powering = false;
        if (speed_ < target - kPowerBelowKmh) state_.powering = true;
        if (state_.powering) hands.power = v.powerNotches;
    }

private:
    const RouteView& view_;
    DriverState& state_;
    double serviceMs2_ = 1.0;
    double speed_ = 0.0;
    double now_ = kNoSpeedLimit;
    double curve_ = kNoSpeedLimit;
    double needed_ = 0.0;
    bool stopNear_ = false;
};

// The route's lower limits ahead, from the first not yet behind the front.
void limitsAhead(const RouteView& view, std::size_t& next, Planner& planner) {
    // A limit is met a little below it, so that the train does not reach
    // it on the last metres of the curve.
    const std::vector<RouteLimit>& limits = view.track.route().limits;
    const double axle = view.track.train().frontAxleM();
    while (next < limits.size() && limits[next].positionM + axle <= view.positionM) ++next;
    double reach = 0.0;
    const double v = ms(std::fabs(view.speedKmh));
    // Far enough to brake from this speed on the planned share, and more.
    const double horizon =
        v * v / (2.0 * kPlannedShare * ms(view.vehicle.serviceBrakeKmhS)) + 200.0;
    for (std::size_t i = next; i < limits.size() && reach < horizon; ++i) {
        reach = limits[i].positionM - view.positionM;
        if (std::isfinite(limits[i].speedKmh))
            planner.ahead({limits[i].positionM + view.track.train().frontAxleM(),
                           limits[i].speedKmh - kBelowLimitKmh});
    }
}

bool stopPhase(const RouteView& view) {
    return view.panel != nullptr && view.panel[cab::kPanelDisplayLimit] == display::kLimitStopPhase;
}

bool alarmAsks(const RouteView& view) {
    return view.panel != nullptr && view.panel[cab::kPanelLegacyAlarm] != 0;
}

}  // namespace

void TimetableDriver::drive(const RouteView& view, RouteHands& hands) {
    const RouteTrack& track = view.track;
    const RouteSignals& signals = view.signals;
    Planner planner(view, state_);
    planner.limitNow(track.routeLimitKmh(view.positionM));
    planner.limitNow(signals.aspectSpeedKmh());
    if (stopPhase(view)) planner.limitNow(kStopPhaseCreepKmh);
    limitsAhead(view, state_.nextLimit, planner);
    // The next signal: the speed its aspect will allow from its section on.
    const int current = signals.currentSection();
    for (int s = current + 1; s < track.sectionCount(); ++s) {
        if (!track.route().sections[static_cast<std::size_t>(s)].visible) continue;
        const double speed = track.aspectSpeedKmh(s, signals.shownAspect(s));
        if (speed > 0.0) planner.ahead({track.sectionBeginM(s), speed - kBelowLimitKmh});
        break;
    }
    const int stop = signals.nextStopSection();
    if (stop >= 0) planner.ahead({track.sectionBeginM(stop) - kShortOfStopSectionM, 0.0});
    if (view.nextStop >= 0) {
        const StationPlan& plan = track.stationPlan(static_cast<std::size_t>(view.nextStop));
        planner.ahead({plan.stopM, 0.0});
        // Standing in the window: wait for the doors.
        if (plan.inWindow(view.positionM) && std::fabs(view.speedKmh) < kStandingKmh) {
            hands.power = 0;
            hands.brake = view.vehicle.brakeNotches;
            hands.pressConfirm = alarmAsks(view);
            return;
        }
    } else {
        planner.ahead({routeEndM(track), 0.0});
    }
    if (view.doorsOpen) planner.limitNow(0.0);
    planner.hands(hands);
    // Stopped by the protection: wait for the signal to change, unless the
    // cab shows the CPP stop phase, which lets the train draw up slowly.
    if (view.stoppedByProtection && !stopPhase(view)) {
        hands.power = 0;
        hands.brake = std::max(hands.brake, view.vehicle.brakeNotches);
    }
    // While the protection brakes, power would only fight it.
    if (view.protection.brake > hands.brake) hands.power = 0;
    // The alarm lamp is acknowledged at a stand: pressing the confirm key
    // while a running alarm still moves the train is what velt stops it for,
    // and a driver who did that would creep on from brake to brake.
    hands.pressConfirm = alarmAsks(view) && std::fabs(view.speedKmh) < kStandingKmh;
}

void LimitRunner::drive(const RouteView& view, RouteHands& hands) {
    Planner planner(view, state_);
    planner.limitNow(view.track.routeLimitKmh(view.positionM));
    planner.limitNow(view.vehicle.maxSpeedKmh);
    limitsAhead(view, state_.nextLimit, planner);
    if (view.doorsOpen) planner.limitNow(0.0);
    planner.hands(hands);
    if (view.protection.brake > hands.brake) hands.power = 0;
    hands.pressConfirm = confirms_ && alarmAsks(view);
}

}  // namespace velt::drive
