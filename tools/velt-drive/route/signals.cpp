#include "tools/velt-drive/route/signals.h"

#include <limits>

namespace velt::drive {

RouteSignals::RouteSignals(const RouteTrack& track)
    : track_(track), sections_(track.route().sections) {
    const auto count = static_cast<std::size_t>(track.sectionCount());
    held_.assign(count, 0);
    others_.assign(count, 0);
    count_.assign(count, 0);
    aspect_.assign(count, 0);
    nextStop_.assign(count + 1, -1);
    const auto& stations = track.route().stations;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const StationPlan& plan = track.stationPlan(i);
        if (plan.heldSection < 0) continue;
        Hold hold;
        hold.station = i;
        hold.section = plan.heldSection;
        hold.fromM = plan.clearFromM;
        hold.fromMs = plan.clearFromMs;
        hold.neverClears = plan.neverClears;
        holds_.push_back(hold);
        ++held_[static_cast<std::size_t>(hold.section)];
        ++pendingHolds_;
    }
    recompute();
}

bool RouteSignals::addStandingTrain(int section, std::optional<std::int32_t> untilMs) {
    if (section < 0 || section >= track_.sectionCount()) return false;
    standing_.push_back({section, untilMs, false});
    ++others_[static_cast<std::size_t>(section)];
    if (untilMs && *untilMs < nextLeaveMs_) nextLeaveMs_ = *untilMs;
    recompute();
    return true;
}

void RouteSignals::update(double frontM, std::int32_t timeMs) {
    const TrainLength& train = track_.train();
    const int front = track_.sectionAt(frontM - train.frontAxleM(), front_);
    const int rear = track_.sectionAt(frontM - train.lengthM(), rear_);
    if (front != front_ || rear != rear_) {
        front_ = front;
        rear_ = rear;
        dirty_ = true;
    }

    if (pendingHolds_ > 0) {
        for (Hold& hold : holds_) {
            if (hold.cleared || hold.neverClears) continue;
            // Reaching the stop is latched: the train need not stand, and
            // running past it does not undo it.
            if (!hold.reached && frontM >= hold.fromM) hold.reached = true;
            if (hold.reached && (!hold.fromMs || timeMs >= *hold.fromMs)) {
                hold.cleared = true;
                --held_[static_cast<std::size_t>(hold.section)];
                --pendingHolds_;
                dirty_ = true;
            }
        }
    }

    if (timeMs >= nextLeaveMs_) {
        nextLeaveMs_ = std::numeric_limits<std::int32_t>::max();
        for (Standing& other : standing_) {
            if (other.gone || !other.untilMs) continue;
            if (timeMs >= *other.untilMs) {
                other.gone = true;
                --others_[static_cast<std::size_t>(other.section)];
                dirty_ = true;
            } else if (*other.untilMs < nextLeaveMs_) {
                nextLeaveMs_ = *other.untilMs;
            }
        }
    }

    if (dirty_) recompute();

    const int current = track_.visibleAtOrBefore(front_);
    if (!started_ || current != current_) {
        started_ = true;
        current_ = current;
        entryAspect_ = toldAspect(current_);
        aspectSpeedKmh_ = track_.aspectSpeedKmh(current_, entryAspect_);
    }
}

// Every section's count and aspect, from the last one back: a section is
// at 0 while occupied or held, else one more than the next (unlimited for
// the last), and shows what its kind makes of that.
void RouteSignals::recompute() {
    dirty_ = false;
    const int n = track_.sectionCount();
    for (int j = n - 1; j >= 0; --j) {
        const auto i = static_cast<std::size_t>(j);
        const bool blocked = held_[i] > 0 || others_[i] > 0 || (j >= rear_ && j <= front_);
        std::optional<int> next;
        if (j + 1 < n) next = aspect_[i + 1];
        if (blocked) {
            count_[i] = 0;
        } else if (j + 1 == n || count_[i + 1] >= kUnlimitedCount) {
            count_[i] = kUnlimitedCount;
        } else {
            count_[i] = count_[i + 1] + 1;
        }
        aspect_[i] = sectionAspect(sections_[i], count_[i], next);
    }
    nextStop_[static_cast<std::size_t>(n)] = -1;
    for (int j = n - 1; j >= 0; --j) {
        const auto i = static_cast<std::size_t>(j);
        nextStop_[i] = aspect_[i] == 0 ? j : nextStop_[i + 1];
    }
}

int RouteSignals::toldAspect(int section) const {
    const auto i = static_cast<std::size_t>(section);
    const RouteSection& s = sections_[i];
    if (others_[i] > 0) return sectionAspect(s, 0, std::nullopt);
    if (section + 1 >= track_.sectionCount()) {
        return sectionAspect(s, kUnlimitedCount, std::nullopt);
    }
    const int next = count_[i + 1];
    return sectionAspect(s, next >= kUnlimitedCount ? kUnlimitedCount : next + 1, aspect_[i + 1]);
}

int RouteSignals::reportedAspect(int section) const {
    if (section >= rear_ && section <= front_) return toldAspect(section);
    return shownAspect(section);
}

BeaconReport RouteSignals::beaconReport(std::size_t beacon, double frontM) const {
    const RouteBeacon& b = track_.route().beacons[beacon];
    BeaconReport report;
    report.type = b.type;
    report.optional = b.optional;
    int target = track_.beaconTarget(beacon);
    if (target < 0) {
        // The first section ahead of the train's front axle at stop.
        target = front_ + 1 < track_.sectionCount()
                     ? nextStop_[static_cast<std::size_t>(front_) + 1]
                     : -1;
        if (target < 0) {
            report.signal = 0;
            report.distance = std::numeric_limits<float>::infinity();
            return report;
        }
    }
    report.section = target;
    report.signal = reportedAspect(target);
    report.distance = static_cast<float>(track_.sectionBeginM(target) - frontM);
    return report;
}

int RouteSignals::nextStopSection() const {
    return front_ + 1 < track_.sectionCount() ? nextStop_[static_cast<std::size_t>(front_) + 1]
                                              : -1;
}

bool RouteSignals::holdCleared(std::size_t station) const {
    for (const Hold& hold : holds_) {
        if (hold.station == station) return hold.cleared;
    }
    return true;
}

}  // namespace velt::drive
