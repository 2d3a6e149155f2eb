// The signals of a route while one train runs on it: which sections are
// occupied (by this train, by standing trains) or held at stop (departure
// signals), what each section shows, the aspect a plug-in is told for the
// train's current section, and what a beacon reports when the front passes
// it. The aspects are worked out again only when something they depend on
// changes (the train enters or leaves a section, a hold clears, a standing
// train leaves); every other frame is a few comparisons, and nothing
// allocates after construction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "tools/velt-drive/route/track.h"

namespace velt::drive {

// What SetBeaconData carries for one beacon, and which section it spoke of.
struct BeaconReport {
    std::int32_t type = 0;
    std::int32_t signal = 0;
    float distance = 0.0F;  // +infinity when a "first at stop" beacon finds none
    std::int32_t optional = 0;
    int section = -1;  // the section reported; -1 when none
};

class RouteSignals {
public:
    // Every ForcedRedSignal of the route starts held; no standing trains.
    // The track must outlive this object.
    explicit RouteSignals(const RouteTrack& track);

    // Another train stands in `section` (until the time of day `untilMs`,
    // when given). False when the route has no such section.
    bool addStandingTrain(int section, std::optional<std::int32_t> untilMs = std::nullopt);
    // The same for the section that holds a position.
    void addStandingTrainAt(double positionM, std::optional<std::int32_t> untilMs = std::nullopt) {
        addStandingTrain(track_.sectionAt(positionM), untilMs);
    }

    // This train's front is at `frontM` at `timeMs`: its sections, the
    // departure signals it releases, the standing trains that have left.
    // Call once at the start, then once per frame after that frame's
    // beacons (a beacon fires before the train counts as in the section it
    // stands at).
    void update(double frontM, std::int32_t timeMs);

    // The section the train counts as in (never an invisible one).
    int currentSection() const { return current_; }
    // The aspect a plug-in is told for the current section: what it would
    // show if this train were not in it, ignoring a hold on it.
    int pluginAspect() const { return toldAspect(current_); }
    // The aspect a section shows to everyone.
    int shownAspect(int section) const { return aspect_[static_cast<std::size_t>(section)]; }
    // What a section reports to a plug-in: as if this train were absent
    // for the sections it occupies, else what it shows.
    int reportedAspect(int section) const;

    // SetBeaconData's values for a beacon the front passes, with the front
    // at `frontM` (the train's sections as of the last update).
    BeaconReport beaconReport(std::size_t beacon, double frontM) const;

    // The speed the current section's aspect allows, fixed when the front
    // axle entered it.
    double aspectSpeedKmh() const { return aspectSpeedKmh_; }
    int entryAspect() const { return entryAspect_; }
    // The first section ahead of the train showing stop (-1: none): a
    // driver stops short of where it begins.
    int nextStopSection() const;

    bool held(int section) const { return held_[static_cast<std::size_t>(section)] > 0; }
    // Whether a station's ForcedRedSignal has cleared (true when it has none).
    bool holdCleared(std::size_t station) const;

private:
    struct Hold {
        std::size_t station = 0;
        int section = 0;
        double fromM = 0.0;
        std::optional<std::int32_t> fromMs;
        bool neverClears = false;
        bool reached = false;
        bool cleared = false;
    };
    struct Standing {
        int section = 0;
        std::optional<std::int32_t> untilMs;
        bool gone = false;
    };

    int toldAspect(int section) const;
    void recompute();

    const RouteTrack& track_;
    const std::vector<RouteSection>& sections_;
    std::vector<int> held_;    // holds on each section
    std::vector<int> others_;  // standing trains in each section
    std::vector<int> count_;
    std::vector<int> aspect_;
    std::vector<int> nextStop_;  // the first section at or after each showing 0; -1: none
    std::vector<Hold> holds_;
    std::vector<Standing> standing_;
    std::int32_t nextLeaveMs_ = std::numeric_limits<std::int32_t>::max();
    int pendingHolds_ = 0;
    int rear_ =
        1;  // the sections this train occupies, rear_ to front_ (empty before the first update)
    int front_ = 0;
    int current_ = 0;
    bool started_ = false;
    bool dirty_ = true;
    int entryAspect_ = 0;
    double aspectSpeedKmh_ = kNoSpeedLimit;
};

}  // namespace velt::drive
