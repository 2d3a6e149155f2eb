// A route as the host runs it, reduced to what a protection plug-in can
// notice: signal sections, beacons, stations with their stops, speed limits,
// the aspects' speeds and how the run starts. Everything visual is gone.
//
// Positions are metres from the route's origin, after units and include
// offsets; times are ms of the game day. Every element is in the order the
// host takes the track in (by position; equal positions in file order) and
// carries its place in that order (`order`) and the file:line:column of the
// command that made it, in the file where it was written.
#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {

// "No speed limit", for limits and aspect speeds.
inline constexpr double kNoSpeedLimit = std::numeric_limits<double>::infinity();

struct RouteSection {
    // List: the count rule (a0 while occupied, a1 when the next is occupied,
    // ...). Smallest: the smallest aspect above the next section's, else the
    // highest.
    enum class Kind { List, Smallest };
    // The command that began it; Implicit is the first section at 0.
    enum class Origin { Implicit, Section, SectionS, SectionP, Signal };
    double beginM = 0.0;
    std::vector<int> aspects;  // never empty
    Kind kind = Kind::List;
    Origin origin = Origin::Implicit;
    // An invisible section (a signal without an X offset) is never the
    // train's current section.
    bool visible = true;
    int order = -1;  // place in the sorted track; -1 for the implicit section
    SourceLocation where;
};

struct RouteBeacon {
    enum class Origin { Beacon, Transponder, Rain };
    double positionM = 0.0;
    std::int32_t type = 0;
    // The section it reports, counted from the one it stands in: 0 that
    // one, n the n-th ahead, -1 the first ahead at stop. A number past the
    // last section is kept as written and read as -1 when the train passes.
    int section = 0;
    std::int32_t optional = 0;
    Origin origin = Origin::Beacon;
    int order = 0;
    SourceLocation where;
};

struct RouteStop {
    double positionM = 0.0;
    double backwardM = 5.0;  // the window is (position - backward, position + forward)
    double forwardM = 5.0;
    int cars = 0;  // the train length it is for; 0: any
    int direction = 0;
    int order = 0;
    SourceLocation where;
};

struct RouteStation {
    enum class Arrival {
        Any,            // empty: stops, at no set time
        Time,           // stops; `arrivalMs` set
        AllPass,        // P or L
        ThisPasses,     // B: this train passes
        OnlyThisStops,  // S: this train stops
        Dummy,          // D
    };
    enum class Departure {
        Any,         // empty
        Time,        // `departureMs` set
        Terminal,    // T or =
        ChangeEnds,  // C
        Jump,        // J:i, to station `jumpTo`
    };
    enum class Doors { Left, Right, Both, None };
    std::string name;  // bytes as written
    Arrival arrival = Arrival::Any;
    std::optional<std::int32_t> arrivalMs;
    Departure departure = Departure::Any;
    std::optional<std::int32_t> departureMs;  // also for Terminal, ChangeEnds, Jump with a time
    int jumpTo = -1;
    Doors doors = Doors::Both;
    bool forcedRedSignal = false;
    double stopDurationS = 15.0;
    double positionM = 0.0;        // the Track.Sta command
    double blockStartM = 0.0;      // positionM rounded down to a block
    std::vector<RouteStop> stops;  // in track order
    int order = 0;
    SourceLocation where;

    // Whether this train is to stop here: a stopping arrival and a stop.
    bool trainStops() const {
        return (arrival == Arrival::Any || arrival == Arrival::Time ||
                arrival == Arrival::OnlyThisStops) &&
               !stops.empty();
    }
};

struct RouteLimit {
    double positionM = 0.0;
    double speedKmh = kNoSpeedLimit;  // from here on; kNoSpeedLimit where the route wrote 0
    int order = 0;
    SourceLocation where;
};

// Where the route set a route-wide value, when it did.
struct RouteSetting {
    bool set = false;
    SourceLocation where;
};

struct Route {
    enum class Format { Csv, Rw };
    std::string mainFile;
    Format format = Format::Csv;
    std::vector<std::string> files;  // every file read, the main file first

    // What the random choices drew from, and whether there were any.
    std::uint64_t seed = 0;
    bool usedRandom = false;

    std::vector<RouteSection> sections;  // sections[0] is the implicit one at 0 m
    std::vector<RouteBeacon> beacons;
    std::vector<RouteStation> stations;
    std::vector<RouteLimit> limits;

    // km/h an aspect imposes, by aspect; aspects past the end impose none.
    std::vector<double> signalSpeedKmh{0.0, 25.0, 55.0, 75.0};
    RouteSetting signalSpeedSet;
    std::optional<std::int32_t> startTimeMs;  // Route.StartTime
    RouteSetting startTimeSet;
    int changeMode = 1;  // Initialize's argument (Route.Change)
    RouteSetting changeSet;
    double blockLengthM = 25.0;
    int sectionBehavior = 0;  // 1: every Track.Section is of the Smallest kind
    std::vector<double> lengthFactors{1.0};
    double speedFactor = 1.0;
};

}  // namespace velt::drive
