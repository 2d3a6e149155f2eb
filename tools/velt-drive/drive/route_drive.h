// Driving a train along a route file as the host does: the host's side
// (beacons as the front passes them, SetSignal when the aspect told
// changes, the station stops with their doors, standing trains) is in the
// frame loop; who works the handles is a RouteDriver. Two drivers come
// with the tool: the timetable driver, a careful person who keeps every
// limit, signal and station (the default of a route drive without driver
// lines), and the limit runner, who runs at the route's limits and leaves
// every signal to the protection (what an audit of the route's signals
// drives).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/plugin_abi.h"
#include "tools/velt-drive/route/signals.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// What a driver sees in a frame, before the frame's calls.
struct RouteView {
    const RouteTrack& track;
    const RouteSignals& signals;
    const VehicleParams& vehicle;
    double positionM = 0.0;
    double speedKmh = 0.0;  // signed
    std::int32_t timeMs = 0;
    HandleCommand protection{};           // what the plug-in returned in the last frame
    const std::int32_t* panel = nullptr;  // the cab's panel as the plug-in last wrote it
    bool doorsOpen = false;
    // The next station this train stops at that is not yet served (the one
    // it stands at while the doors are open); -1 when none is left.
    int nextStop = -1;
    // The protection brought the train to a stand, and no new aspect has
    // been told since, nor has the train moved: a careful driver waits for
    // the signal to change (or draws up in the CPP stop phase).
    bool stoppedByProtection = false;
};

// What the driver does with the handles in this frame.
struct RouteHands {
    int power = 0;
    int brake = 0;
    bool pressConfirm = false;  // the confirm key, down and up again
};

// What a route driver remembers from frame to frame.
struct DriverState {
    bool braking = false;
    bool powering = false;
    std::size_t nextLimit = 0;  // the first route limit not yet behind the front
};

class RouteDriver {
public:
    virtual ~RouteDriver() = default;
    virtual void drive(const RouteView& view, RouteHands& hands) = 0;
    // Names the driver in the summary.
    [[nodiscard]] virtual std::string name() const = 0;
};

// The timetable driver: the lowest of the route's limits over the train and
// the aspect's speed, braking early with the service brake for lower limits
// ahead, the next signal's aspect, a section at stop and the station stops;
// waits at each stop until the doors have closed and the signal allows.
// Confirms when the legacy alarm asks for it, as a careful driver does.
class TimetableDriver : public RouteDriver {
public:
    void drive(const RouteView& view, RouteHands& hands) override;
    [[nodiscard]] std::string name() const override { return "the timetable driver"; }

private:
    DriverState state_;
};

// The limit runner: the highest speed the route's limits allow (braking for
// a lower limit ahead), no braking for aspects, stations or sections at
// stop; presses confirm only when `confirms` and the legacy alarm asks.
class LimitRunner : public RouteDriver {
public:
    explicit LimitRunner(bool confirms) : confirms_(confirms) {}
    void drive(const RouteView& view, RouteHands& hands) override;
    [[nodiscard]] std::string name() const override {
        return confirms_ ? "the limit runner (confirms)" : "the limit runner";
    }

private:
    bool confirms_;
    DriverState state_;
};

// A drive on a route: the track (read once, shared by every drive of it),
// the trains standing on it and who drives.
struct RouteDrive {
    const RouteTrack* track = nullptr;
    // Another train in a section (by number), until a time of day.
    struct Standing {
        int section = 0;
        std::optional<std::int32_t> untilMs;
    };
    std::vector<Standing> standing;
    // Null: the scenario's driver lines, or the timetable driver when it
    // has none.
    RouteDriver* driver = nullptr;
    // End the drive once the protection has brought the train to a stand
    // (its brake on, the driver's off).
    bool endWhenProtectionStops = false;
};

// Where a route ends for a driver: its last element, plus the train.
double routeEndM(const RouteTrack& track);

// The route's side of a scenario with a 'route' line: the track for the
// scenario's train, its standing trains, and the route's stations added to
// the scenario's (at this train's stop, with its window) so that the
// summary and 'at station NAME' see them. Throws DiagnosticError for a
// standing train or a station reference the route does not have.
struct ScenarioRoute {
    RouteTrack track;
    std::vector<RouteDrive::Standing> standing;
};
ScenarioRoute attachRoute(Scenario& scenario, Route route);

}  // namespace velt::drive
