#include "tools/velt-drive/route/track.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace velt::drive {

int stopForCars(const RouteStation& station, int cars) {
    const auto& stops = station.stops;
    if (stops.empty()) return -1;
    int exact = -1;
    int above = -1;
    for (std::size_t i = 0; i < stops.size(); ++i) {
        const int count = stops[i].cars;
        if (count == cars) exact = static_cast<int>(i);
        if (count > cars && (above < 0 || count < stops[static_cast<std::size_t>(above)].cars)) {
            above = static_cast<int>(i);
        }
    }
    if (exact >= 0) return exact;
    if (above >= 0) return above;
    return static_cast<int>(stops.size()) - 1;
}

std::optional<std::int32_t> doorsMayCloseMs(const RouteStation& station, std::int32_t openedMs) {
    using Departure = RouteStation::Departure;
    const std::int32_t afterStop =
        openedMs + static_cast<std::int32_t>(std::floor(station.stopDurationS * 1000.0 + 0.5));
    if (station.departureMs) return std::max(afterStop, *station.departureMs);
    if (station.departure == Departure::Terminal || station.departure == Departure::ChangeEnds ||
        station.departure == Departure::Jump) {
        return std::nullopt;
    }
    return afterStop;
}

int heldSectionOf(const Route& route, std::size_t station) {
    const RouteStation& s = route.stations[station];
    if (!s.forcedRedSignal || s.stops.empty()) return -1;
    const int after = std::max(s.order, s.stops.front().order);
    for (std::size_t i = 1; i < route.sections.size(); ++i) {
        if (route.sections[i].order > after) return static_cast<int>(i);
    }
    return -1;
}

int sectionAspect(const RouteSection& section, int count, std::optional<int> nextAspect) {
    const std::vector<int>& aspects = section.aspects;
    if (count <= 0) return aspects.front();
    if (section.kind == RouteSection::Kind::List) {
        const std::size_t index = std::min(static_cast<std::size_t>(count), aspects.size() - 1);
        return aspects[index];
    }
    const int highest = *std::max_element(aspects.begin(), aspects.end());
    if (!nextAspect) return highest;
    int smallest = highest;
    bool found = false;
    for (const int aspect : aspects) {
        if (aspect > *nextAspect && (!found || aspect < smallest)) {
            smallest = aspect;
            found = true;
        }
    }
    return found ? smallest : highest;
}

RouteTrack::RouteTrack(Route owned, TrainLength train) : route_(std::move(owned)), train_(train) {
    const Route& route = route_;
    const std::size_t sections = route.sections.size();
    begins_.reserve(sections);
    orders_.reserve(sections);
    lastVisible_.reserve(sections);
    for (std::size_t i = 0; i < sections; ++i) {
        const RouteSection& section = route.sections[i];
        begins_.push_back(section.beginM);
        orders_.push_back(section.order);
        lastVisible_.push_back(section.visible || i == 0 ? static_cast<int>(i)
                                                         : lastVisible_.back());
    }

    for (const RouteBeacon& beacon : route.beacons) {
        beaconPositions_.push_back(beacon.positionM);
        // Sections are in the track's order, so those before the beacon in
        // that order are a prefix.
        const auto before = std::lower_bound(orders_.begin() + 1, orders_.end(), beacon.order);
        const int home = static_cast<int>(before - orders_.begin()) - 1;
        homes_.push_back(home);
        int target = -1;
        if (beacon.section >= 0) {
            const long long ahead = static_cast<long long>(home) + beacon.section;
            if (ahead < static_cast<long long>(sections)) target = static_cast<int>(ahead);
        }
        targets_.push_back(target);
    }

    for (std::size_t i = 0; i < route.stations.size(); ++i) {
        const RouteStation& station = route.stations[i];
        StationPlan plan;
        plan.stop = stopForCars(station, train.cars);
        plan.stops = station.trainStops() && plan.stop >= 0;
        if (plan.stop >= 0) {
            const RouteStop& stop = station.stops[static_cast<std::size_t>(plan.stop)];
            plan.stopM = stop.positionM;
            plan.windowLowM = stop.positionM - stop.backwardM;
            plan.windowHighM = stop.positionM + stop.forwardM;
        }
        plan.heldSection = heldSectionOf(route, i);
        plan.clearFromM = std::max(station.blockStartM, plan.windowLowM);
        const bool ends = station.departure == RouteStation::Departure::Terminal ||
                          station.departure == RouteStation::Departure::ChangeEnds ||
                          station.departure == RouteStation::Departure::Jump;
        if (station.departureMs) {
            plan.clearFromMs = *station.departureMs - kDepartureClearLeadMs;
        } else if (ends) {
            plan.neverClears = true;
        } else if (station.arrivalMs) {
            plan.clearFromMs = *station.arrivalMs;
        }
        plans_.push_back(plan);
    }

    // The start: the first station this train stops at, else the last one.
    for (std::size_t i = 0; i < plans_.size() && start_.station < 0; ++i) {
        if (plans_[i].stops) start_.station = static_cast<int>(i);
    }
    if (start_.station < 0 && !plans_.empty()) start_.station = static_cast<int>(plans_.size()) - 1;
    if (start_.station >= 0) {
        const auto index = static_cast<std::size_t>(start_.station);
        const RouteStation& station = route.stations[index];
        start_.frontM = plans_[index].stop >= 0 ? plans_[index].stopM : station.blockStartM;
        if (station.arrivalMs) {
            start_.clockMs = *station.arrivalMs;
        } else if (station.departureMs) {
            start_.clockMs =
                *station.departureMs -
                static_cast<std::int32_t>(std::floor(station.stopDurationS * 1000.0 + 0.5));
        }
    }
    if (route.startTimeMs) {
        start_.clockMs = *route.startTimeMs;
        start_.clockFromStartTime = true;
    }
    start_.initializeMode = route.changeMode;

    // Limits as segments from each limit to the next; a later limit at the
    // same position replaces an earlier one.
    limitBegins_.push_back(-std::numeric_limits<double>::infinity());
    limitSpeeds_.push_back(kNoSpeedLimit);
    for (const RouteLimit& limit : route.limits) {
        if (limit.positionM == limitBegins_.back()) {
            limitSpeeds_.back() = limit.speedKmh;
        } else {
            limitBegins_.push_back(limit.positionM);
            limitSpeeds_.push_back(limit.speedKmh);
        }
    }
}

int RouteTrack::sectionAt(double positionM) const {
    const auto after = std::upper_bound(begins_.begin(), begins_.end(), positionM);
    return after == begins_.begin() ? 0 : static_cast<int>(after - begins_.begin()) - 1;
}

int RouteTrack::sectionAt(double positionM, int near) const {
    const auto index = static_cast<std::size_t>(near);
    if (near >= 0 && index < begins_.size() && begins_[index] <= positionM &&
        (index + 1 == begins_.size() || begins_[index + 1] > positionM)) {
        return near;
    }
    return sectionAt(positionM);
}

BeaconSpan RouteTrack::beaconsCrossed(double fromFrontM, double toFrontM) const {
    auto upTo = [&](double position) {
        return static_cast<std::size_t>(
            std::upper_bound(beaconPositions_.begin(), beaconPositions_.end(), position) -
            beaconPositions_.begin());
    };
    if (toFrontM > fromFrontM) return {upTo(fromFrontM), upTo(toFrontM), false};
    if (toFrontM < fromFrontM) return {upTo(toFrontM), upTo(fromFrontM), true};
    return {};
}

BeaconSpan RouteTrack::beaconsAtStart(double startFrontM) const {
    const auto last =
        std::upper_bound(beaconPositions_.begin(), beaconPositions_.end(), startFrontM);
    return {0, static_cast<std::size_t>(last - beaconPositions_.begin()), false};
}

int RouteTrack::segmentAt(double positionM) const {
    const auto after = std::upper_bound(limitBegins_.begin(), limitBegins_.end(), positionM);
    return static_cast<int>(after - limitBegins_.begin()) - 1;
}

double RouteTrack::routeLimitKmh(double frontM) const {
    const int first = segmentAt(frontM - train_.lengthM());
    const int last = segmentAt(frontM - train_.frontAxleM());
    double lowest = kNoSpeedLimit;
    for (int k = std::max(first, 0); k <= last; ++k) {
        lowest = std::min(lowest, limitSpeeds_[static_cast<std::size_t>(k)]);
    }
    return lowest;
}

double RouteTrack::aspectSpeedKmh(int section, int aspect) const {
    if (section == 0) {
        // The implicit first section: stop at its stop aspect, else free.
        return aspect == route_.sections.front().aspects.front() ? 0.0 : kNoSpeedLimit;
    }
    if (aspect < 0 || static_cast<std::size_t>(aspect) >= route_.signalSpeedKmh.size()) {
        return kNoSpeedLimit;
    }
    return route_.signalSpeedKmh[static_cast<std::size_t>(aspect)];
}

}  // namespace velt::drive
