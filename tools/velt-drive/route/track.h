// The host's rules for a route, as far as they do not change while a train
// runs: which section a position or a beacon stands in, which sections a
// beacon and a departure signal refer to, the stop a train of N cars uses,
// how the run starts, the speed limits over the train's length and the
// speed each aspect allows. Built once per route and train; every query is
// a lookup or a binary search, none allocates. What changes with time (the
// aspects, held signals, standing trains) is in signals.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "tools/velt-drive/route/route.h"

namespace velt::drive {

// A train as the route's rules see it: how many cars, how long each.
struct TrainLength {
    int cars = 1;
    double carLengthM = 20.0;
    // Sections and limits take effect at the first car's front axle, a
    // tenth of a car behind the front; beacons fire at the front itself.
    double frontAxleM() const { return carLengthM / 10.0; }
    double lengthM() const { return static_cast<double>(cars) * carLengthM; }
};

// Below this the host counts a train as standing (at a stop, for the doors).
inline constexpr double kStandingKmh = 0.1;
// A departure signal held at stop may clear this long before the departure.
inline constexpr std::int32_t kDepartureClearLeadMs = 15000;

// The beacons the front passes between two positions, as indices into
// Route::beacons in the order the front meets them.
struct BeaconSpan {
    std::size_t first = 0;
    std::size_t last = 0;  // one past
    bool backward = false;
    std::size_t size() const { return last - first; }
    bool empty() const { return last == first; }
    std::size_t operator[](std::size_t k) const { return backward ? last - 1 - k : first + k; }
};

// One station, for this train.
struct StationPlan {
    bool stops = false;  // this train stops here (a stopping arrival and a stop)
    int stop = -1;       // index into RouteStation::stops for this train's length; -1: none
    double stopM = 0.0;
    double windowLowM = 0.0;  // the front must stand strictly between these
    double windowHighM = 0.0;
    // ForcedRedSignal: the section held at stop (-1: none) and when it may
    // clear: the front has reached `clearFromM` (latched), and the time is
    // at least `clearFromMs` (no condition when empty), unless `neverClears`.
    int heldSection = -1;
    double clearFromM = 0.0;
    std::optional<std::int32_t> clearFromMs;
    bool neverClears = false;

    // The front is inside the stop window (the train stops here when it
    // also stands, below kStandingKmh).
    bool inWindow(double frontM) const { return frontM > windowLowM && frontM < windowHighM; }
};

// Where and when the run begins.
struct StartPlan {
    int station = -1;  // the station it starts at; -1 when the route has none
    double frontM = 0.0;
    std::int32_t clockMs = 0;
    bool clockFromStartTime = false;  // Route.StartTime set the clock
    int initializeMode = 1;           // Initialize's argument
};

class RouteTrack {
public:
    // Keeps its own copy of the route.
    RouteTrack(Route owned, TrainLength train);

    const Route& route() const { return route_; }
    const TrainLength& train() const { return train_; }

    // ---- sections
    int sectionCount() const { return static_cast<int>(begins_.size()); }
    double sectionBeginM(int section) const { return begins_[static_cast<std::size_t>(section)]; }
    // The last section begun at or before a position (0 before the first).
    int sectionAt(double positionM) const;
    // The same, starting the search from a section known to be near.
    int sectionAt(double positionM, int near) const;
    // The section the train counts as in, with its front axle at a
    // position: the last visible section begun at or before it.
    int currentSectionAt(double frontAxleM) const {
        return visibleAtOrBefore(sectionAt(frontAxleM));
    }
    int visibleAtOrBefore(int section) const {
        return lastVisible_[static_cast<std::size_t>(section)];
    }

    // ---- beacons
    // The section a beacon stands in: the last begun at or before it,
    // counting one begun at the same position earlier in the track's order.
    int beaconHomeSection(std::size_t beacon) const { return homes_[beacon]; }
    // The section a beacon reports, or -1 for "the first ahead at stop"
    // (also for a number past the last section).
    int beaconTarget(std::size_t beacon) const { return targets_[beacon]; }
    // Passed by a front moving from one position to another: a beacon fires
    // when the front comes to stand at or beyond it from behind, or behind it
    // from at or beyond.
    BeaconSpan beaconsCrossed(double fromFrontM, double toFrontM) const;
    // Delivered after Initialize, as the host moves the train from 0 to
    // the start: every beacon up to and including the start position.
    BeaconSpan beaconsAtStart(double startFrontM) const;

    // ---- stations and the start
    const StationPlan& stationPlan(std::size_t station) const { return plans_[station]; }
    const StartPlan& start() const { return start_; }

    // ---- speeds
    // The lowest of the route's limits over the train: a lower limit from
    // when the front axle reaches it, a higher one once the rear has passed
    // it. kNoSpeedLimit when none.
    double routeLimitKmh(double frontM) const;
    // The speed an aspect shown on entering a section allows.
    double aspectSpeedKmh(int section, int aspect) const;

private:
    int segmentAt(double positionM) const;

    Route route_;
    TrainLength train_;
    std::vector<double> begins_;
    std::vector<int> orders_;
    std::vector<int> lastVisible_;
    std::vector<double> beaconPositions_;
    std::vector<int> homes_;
    std::vector<int> targets_;
    std::vector<StationPlan> plans_;
    StartPlan start_;
    std::vector<double> limitBegins_;  // limit segments: from each begin to the next
    std::vector<double> limitSpeeds_;
};

// ---- the rules on their own, for the classes here and for tests

// The stop of a station a train of `cars` cars uses: the last one for
// exactly that many cars, else the first with the fewest cars above, else
// the last one. -1 when the station has none.
int stopForCars(const RouteStation& station, int cars);

// The section a station's ForcedRedSignal holds: the first to begin, in
// the track's order, after both the station and its first stop; -1 when
// it holds none.
int heldSectionOf(const Route& route, std::size_t station);

// When doors opened at `openedMs` may close: after the stop duration and
// not before the departure time. None at a terminal, change-ends or jump
// station without a departure time: the run ends there.
std::optional<std::int32_t> doorsMayCloseMs(const RouteStation& station, std::int32_t openedMs);

// A count so large that every list runs out: the last section's, and any
// section's with no occupied section ahead.
inline constexpr int kUnlimitedCount = 1 << 30;

// The aspect a section shows. `count` is 0 while it is occupied or held,
// else one more than the next section's (kUnlimitedCount for the last);
// `nextAspect` is what the next section shows (none for the last).
int sectionAspect(const RouteSection& section, int count, std::optional<int> nextAspect);

}  // namespace velt::drive
