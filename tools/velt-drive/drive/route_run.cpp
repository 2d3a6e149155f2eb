// The host's side of a route drive: what the track reports as the train
// runs along it (beacons, the aspect told, standing trains, departure
// signals), the station stops with their doors, and the route driver's
// handles.
#include <algorithm>
#include <cmath>

#include "tools/velt-drive/drive/drive_run.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// A route drive whose train stands this long without anything left to do
// (a section ahead at stop that never clears, the doors at a terminal) ends.
constexpr std::int64_t kStuckMs = std::int64_t{10} * 60 * 1000;
// How long the route's driver waits after the protection stopped the train.
constexpr std::int64_t kWaitAfterProtectionStopMs = std::int64_t{60} * 1000;

std::string beaconWords(const BeaconReport& report) {
    const std::string name = beaconTypeName(report.type);
    return "beacon " + std::to_string(report.type) + (name.empty() ? "" : " (" + name + ")") +
           " signal " + std::to_string(report.signal) + " distance " +
           (std::isinf(report.distance) ? std::string("inf")
                                        : metresText(static_cast<double>(report.distance))) +
           " optional " + std::to_string(report.optional);
}

// "file:line" of a route line, as the summary names it.
std::string routeLine(const SourceLocation& where) {
    const std::size_t slash = where.file.find_last_of("/\\");
    return (slash == std::string::npos ? where.file : where.file.substr(slash + 1)) + ":" +
           std::to_string(where.line);
}

HostEvent routeEvent(HostEvent::Kind kind, std::size_t frame, std::string text, double frontM,
                     const SourceLocation& where) {
    HostEvent event;
    event.source = where;
    if (where.line > 0) text += " [" + routeLine(where) + "]";
    event.kind = kind;
    event.frame = frame;
    event.text = std::move(text);
    event.positionM = frontM;
    return event;
}

}  // namespace

void DriveRun::routeSetUp() {
    const RouteTrack& track = *route_->track;
    signals_.emplace(track);
    for (const RouteDrive::Standing& standing : route_->standing)
        signals_->addStandingTrain(standing.section, standing.untilMs);
    visits_.assign(track.route().stations.size(), StationVisit{});
    const StartPlan& start = track.start();
    model_ = VehicleModel(scenario_.vehicle, start.frontM, 0.0, scenario_.start.reverser);
    clockBaseMs_ = start.clockMs;
    routeFrontM_ = start.frontM;
    routeDriver_ = route_->driver;
    if (routeDriver_ == nullptr && scenario_.driver.empty()) routeDriver_ = &timetable_;
    for (std::size_t i = 0; i < visits_.size(); ++i) {
        const StationPlan& plan = track.stationPlan(i);
        if (!plan.stops) continue;
        // Stations behind the start are not this run's.
        if (plan.windowHighM <= start.frontM) {
            visits_[i].state = StationVisit::State::Passed;
        } else if (nextStop_ < 0) {
            nextStop_ = static_cast<int>(i);
        }
    }
    // Scenario beacons and signals before the start are not passed.
    nextPlaced_ = firstPlacedFrom(start.frontM);
}

void DriveRun::routeStart() {
    const RouteTrack& track = *route_->track;
    const double front = track.start().frontM;
    signals_->update(front, static_cast<std::int32_t>(clockBaseMs_));
    const BeaconSpan span = track.beaconsAtStart(front);
    for (std::size_t n = 0; n < span.size(); ++n) routeBeacon(0, span[n], front);
}

void DriveRun::routeBeacons(std::size_t k) {
    const double front = model_.positionM();
    const BeaconSpan span = route_->track->beaconsCrossed(routeFrontM_, front);
    routeFrontM_ = front;
    for (std::size_t n = 0; n < span.size(); ++n) routeBeacon(k, span[n], front);
}

void DriveRun::routeBeacon(std::size_t k, std::size_t beacon, double frontM) {
    const BeaconReport report = signals_->beaconReport(beacon, frontM);
    const std::string name = beaconTypeName(report.type);
    routeNote(routeEvent(HostEvent::Kind::Beacon, k, beaconWords(report), frontM,
                         route_->track->route().beacons[beacon].where),
              name.empty() ? "beacon type " + std::to_string(report.type) : name + " beacon");
    BeaconData data{};
    data.type = report.type;
    data.signal = report.signal;
    data.distance = report.distance;
    data.optional = report.optional;
    send(HostCall::beaconData(data));
}

void DriveRun::routeNote(HostEvent event, std::string cause) {
    event.cause = std::move(cause);
    if (witness_ != nullptr) witness_->from(&event);
    for (DriveConsumer* consumer : consumers_) consumer->event(event);
}

void DriveRun::routeFrame(std::size_t k, std::int64_t elapsed) {
    const RouteTrack& track = *route_->track;
    const auto timeMs = static_cast<std::int32_t>(timeOfDay(elapsed));
    signals_->update(model_.positionM(), timeMs);
    if (stoppedThisStep_ && stepOut_.brake > stepBrake_) {
        stoppedByProtection_ = true;
        protectionStopMs_ = elapsed;
    }
    // A driver stopped by the protection waits for the signal to change,
    // and drives on after a minute when nothing changes (a pattern the
    // route left armed, say).
    if (absSpeed() > 0.0 || elapsed - protectionStopMs_ >= kWaitAfterProtectionStopMs)
        stoppedByProtection_ = false;
    const int aspect = signals_->pluginAspect();
    if (!aspectTold_ || aspect != toldAspect_) {
        aspectTold_ = true;
        toldAspect_ = aspect;
        const RouteSection& section =
            track.route().sections[static_cast<std::size_t>(signals_->currentSection())];
        HostEvent event = routeEvent(HostEvent::Kind::Signal, k,
                                     "signal aspect " + std::to_string(aspect) + " (section " +
                                         std::to_string(signals_->currentSection()) + " from " +
                                         metresText(section.beginM) + ")",
                                     model_.positionM(), section.where);
        event.value = aspect;
        routeNote(std::move(event), "signal aspect " + std::to_string(aspect));
        call(HostCallId::SetSignal, aspect);
        aspectReported_ = true;
        stoppedByProtection_ = false;
    }
    routeStations(k, timeMs);
    if (routeDriver_ != nullptr) routeDriverStep(timeMs);
}

void DriveRun::routeStations(std::size_t k, std::int32_t timeMs) {
    const RouteTrack& track = *route_->track;
    const double front = model_.positionM();
    const double speed = absSpeed();
    if (leaving_ >= 0 && speed > 0.0) {
        visits_[static_cast<std::size_t>(leaving_)].departureMs = timeMs;
        leaving_ = -1;
    }
    while (nextStop_ >= 0) {
        const auto i = static_cast<std::size_t>(nextStop_);
        const RouteStation& station = track.route().stations[i];
        const StationPlan& plan = track.stationPlan(i);
        StationVisit& visit = visits_[i];
        if (visit.state == StationVisit::State::Ahead) {
            if (plan.inWindow(front) && speed < kStandingKmh) {
                visit.arrivalMs = timeMs;
                visit.stopErrorM = front - plan.stopM;
                visit.state = StationVisit::State::DoorsOpen;
                visit.doorsOpenMs = timeMs;
                if (station.doors != RouteStation::Doors::None) {
                    routeNote(routeEvent(HostEvent::Kind::Driver, k,
                                         "station " + station.name + ": doors open", front,
                                         station.where),
                              "station " + station.name);
                    call(HostCallId::DoorOpen);
                    doorsClosed_ = false;
                }
            } else if (front >= plan.windowHighM) {
                visit.state = StationVisit::State::Passed;
            } else {
                return;
            }
        }
        if (visit.state == StationVisit::State::DoorsOpen) {
            const std::optional<std::int32_t> close = doorsMayCloseMs(station, *visit.doorsOpenMs);
            if (!close || timeMs < *close) return;
            visit.doorsClosedMs = timeMs;
            visit.state = StationVisit::State::Served;
            if (station.doors != RouteStation::Doors::None) {
                routeNote(
                    routeEvent(HostEvent::Kind::Driver, k,
                               "station " + station.name + ": doors closed", front, station.where),
                    "station " + station.name);
                call(HostCallId::DoorClose);
                doorsClosed_ = true;
            }
            leaving_ = nextStop_;
        }
        // The next station this train stops at.
        int next = -1;
        for (std::size_t j = i + 1; j < visits_.size() && next < 0; ++j)
            if (track.stationPlan(j).stops && visits_[j].state == StationVisit::State::Ahead)
                next = static_cast<int>(j);
        nextStop_ = next;
    }
}

void DriveRun::routeDriverStep(std::int32_t timeMs) {
    // The confirm key goes up in the frame after it went down.
    if (confirmDown_) {
        unannounced();
        call(HostCallId::KeyUp, cab::kKeyConfirm);
        confirmDown_ = false;
    }
    RouteView view{*route_->track, *signals_, scenario_.vehicle};
    view.positionM = model_.positionM();
    view.speedKmh = model_.speedKmh();
    view.timeMs = timeMs;
    view.protection = lastOut_;
    view.panel = panel_.data();
    view.doorsOpen = !doorsClosed_;
    view.nextStop = nextStop_;
    view.stoppedByProtection = stoppedByProtection_;
    RouteHands hands{power_, brake_, false};
    routeDriver_->drive(view, hands);
    unannounced();
    const int emergency = scenario_.vehicle.brakeNotches + 1;
    setBrake(std::clamp(hands.brake, 0, emergency));
    setPower(std::clamp(hands.power, 0, scenario_.vehicle.powerNotches));
    if (hands.pressConfirm) {
        call(HostCallId::KeyDown, cab::kKeyConfirm);
        confirmDown_ = true;
    }
}

bool DriveRun::routeEnds(std::int64_t elapsed) {
    if (routeDriver_ == nullptr) return false;
    const RouteTrack& track = *route_->track;
    if (model_.positionM() >= routeEndM(track)) {
        end_.reason = "reached the end of the route at " + metresText(routeEndM(track));
        return true;
    }
    const double speed = absSpeed();
    if (speed != 0.0) {
        movedOff_ = true;
        routeStandingSinceMs_ = -1;
        return false;
    }
    if (routeStandingSinceMs_ < 0) routeStandingSinceMs_ = elapsed;
    // The step that brought the train to a stand braked harder than the
    // driver did: the protection stopped it.
    if (route_->endWhenProtectionStops && stoppedThisStep_ && stepOut_.brake > stepBrake_) {
        end_.reason =
            "the protection brought the train to a stand at " + metresText(model_.positionM());
        return true;
    }
    // At the terminal: its doors have been open for the stop.
    if (nextStop_ >= 0) {
        const auto i = static_cast<std::size_t>(nextStop_);
        const RouteStation& station = track.route().stations[i];
        const StationVisit& visit = visits_[i];
        if (visit.state == StationVisit::State::DoorsOpen &&
            !doorsMayCloseMs(station, *visit.doorsOpenMs) &&
            timeOfDay(elapsed) - *visit.doorsOpenMs >=
                static_cast<std::int64_t>(std::llround(station.stopDurationS * 1000.0))) {
            end_.reason = "stands at the terminal " + station.name;
            return true;
        }
    }
    if (nextStop_ < 0 && movedOff_) {
        end_.reason = "stands after the last station it stops at";
        return true;
    }
    if (elapsed - routeStandingSinceMs_ >= kStuckMs) {
        end_.reason = "stood for " + secondsText(secondsOf(kStuckMs), 0) + " at " +
                      metresText(model_.positionM()) + " and could not go on";
        return true;
    }
    return false;
}

ScenarioRoute attachRoute(Scenario& scenario, Route route) {
    ScenarioRoute attached{RouteTrack(std::move(route), TrainLength{scenario.vehicle.cars,
                                                                    scenario.vehicle.carLengthM}),
                           {}};
    const RouteTrack& track = attached.track;
    const Route& read = track.route();
    if (scenario.placedStart.line > 0)
        scenario.findings.push_back(scenario.warningAt(
            scenario.placedStart,
            "the route says where and when the train starts (standing, at its first stop): "
            "velt-drive uses the route's start, not this line"));
    for (std::size_t i = 0; i < read.stations.size(); ++i) {
        const RouteStation& station = read.stations[i];
        const StationPlan& plan = track.stationPlan(i);
        if (!plan.stops) continue;
        Station item;
        item.name = station.name;
        item.positionM = plan.stopM;
        item.windowM = std::max(plan.stopM - plan.windowLowM, plan.windowHighM - plan.stopM);
        item.source = station.where;
        scenario.stations.push_back(item);
    }
    for (const auto& ref : scenario.stationRefs) {
        const std::string& name = ref.first;
        const bool found = std::any_of(scenario.stations.begin(), scenario.stations.end(),
                                       [&](const Station& s) { return s.name == name; });
        if (!found)
            throw scenarioError(
                scenario.file, ref.second,
                "the route has no station named '" + name + "' at which this train stops");
    }
    for (const OccupiedItem& item : scenario.occupied) {
        int section = item.section ? *item.section : track.sectionAt(item.positionM);
        if (section >= track.sectionCount())
            throw scenarioError(scenario.file, item.pos,
                                "the route has sections 0 to " +
                                    std::to_string(track.sectionCount() - 1) + ", not " +
                                    std::to_string(section));
        attached.standing.push_back({section, item.untilMs});
    }
    return attached;
}

}  // namespace velt::drive
