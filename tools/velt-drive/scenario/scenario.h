// A scripted drive: the vehicle, where and when it starts, what lies along
// the track, what the driver does and when the drive ends.
// docs/scenario-format.md describes the text form that readScenario takes in.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {

// Where in the scenario file a value came from, for messages.
struct SourcePos {
    int line = 0;
    int column = 0;
};

// A scenario that cannot be used: the error at `pos` of `file` (line 0: the
// file as a whole), to be thrown.
DiagnosticError scenarioError(const std::string& file, SourcePos pos, const std::string& text);

// The range a quantity of a scenario may take, in its unit; a sweep keeps
// the values it gives a quantity within the same range.
struct QuantityRange {
    double low;
    double high;
};
inline constexpr QuantityRange kTrackRangeM{-1.0e6, 1.0e6};
inline constexpr QuantityRange kStartSpeedRangeKmh{0.0, 500.0};
inline constexpr QuantityRange kHoldSpeedRangeKmh{1.0, 500.0};
inline constexpr QuantityRange kRateRangeKmhS{0.01, 50.0};
inline constexpr QuantityRange kFrameRangeMs{1.0, 1000.0};

// The simple vehicle of vehicle_model.h. Rates are in km/h per second.
struct VehicleParams {
    int powerNotches = 4;
    int brakeNotches = 8;           // service notches; emergency is one above
    double accelerationKmhS = 2.5;  // at the highest power notch
    double serviceBrakeKmhS = 3.5;  // at the highest service notch
    double emergencyBrakeKmhS = 4.5;
    double resistanceKmhS = 0.05;  // at standstill
    double dragPerKmh2 = 0.00003;  // further resistance per (km/h)^2
    double maxSpeedKmh = 130.0;    // traction gives nothing above this
    // The train's length, which a route's stops and limits read.
    int cars = 1;
    double carLengthM = 20.0;
};

struct StartState {
    std::int32_t timeOfDayMs = 10 * 3600 * 1000;
    double positionM = 0.0;
    double speedKmh = 0.0;
    int power = 0;
    int brake = 0;
    int reverser = 1;
    bool doorsClosed = true;
};

// When a driver action or a timed track event falls due.
struct Trigger {
    enum class Kind {
        Immediately,  // as soon as the action's turn comes
        Elapsed,      // ms since the start of the drive
        TimeOfDay,    // ms of the game day
        Position,     // the train's front reaches a position
        SpeedAbove,   // speed strictly above
        SpeedBelow,   // speed strictly below
        Stopped,      // speed exactly 0
        AtStation,    // standing still at a station (any, or the named one)
        After,        // ms after the previous driver action fell due
    };
    Kind kind = Kind::Immediately;
    std::int64_t ms = 0;
    double value = 0.0;   // metres or km/h
    std::string station;  // for AtStation; empty: any station
};

// When a handle that an action set goes back to 0, or a held key is let go.
struct Release {
    enum class Kind { None, Speed, Position, Stopped, Duration };
    Kind kind = Kind::None;
    double value = 0.0;   // km/h for Speed, metres for Position
    std::int64_t ms = 0;  // for Duration
};

struct DriverAction {
    enum class Kind { Power, Brake, Reverser, Key, DoorsOpen, DoorsClose, Horn, Hold, Jump };
    Kind kind = Kind::Power;
    int value = 0;             // notch, reverser position or key number
    double speedKmh = 0.0;     // Hold: the speed to keep
    double positionM = 0.0;    // Jump: where the train is put
    std::int32_t clockMs = 0;  // Jump: the time of day from then on
    Trigger trigger;
    Release release;
    SourcePos pos;
    std::string text;  // the line as written, for the summary
};

struct BeaconItem {
    double positionM = 0.0;
    std::int32_t type = 0;
    std::int32_t signal = 0;
    std::int32_t optional = 0;
    std::optional<float> distance;  // default: metres to the next signal placed by position
    SourcePos pos;
};

// A signal aspect the host reports, when the train passes a position or at a
// time.
struct SignalItem {
    std::int32_t aspect = 0;
    Trigger trigger;  // Position, Elapsed or TimeOfDay
    SourcePos pos;
};

struct Station {
    std::string name;
    double positionM = 0.0;  // stopping point of the train's front
    double windowM = 25.0;   // counts as at the station within this many metres
    SourcePos pos;
    SourceLocation source;  // a route's station: the route line that made it
};

// What the author expects of the drive, judged once it has ended (and for
// every drive of a sweep).
struct Expectation {
    enum class Kind {
        StopBefore,   // the train comes to a stand short of `positionM`, never having reached it
        StopBetween,  // ... with its front from `positionM` to `untilM`
        Never,        // `event` never happens
        Happens,      // `event` happens at least once
        WarningLead,  // every protection brake comes at least `seconds` after a warning
        SpeedBelow,   // the speed where the front reaches `positionM` is below `speedKmh`
        SpeedAbove,   // ... above `speedKmh`
    };
    // A protection brake of either kind, or one of them, or a warning chime.
    enum class Event { Brake, EmergencyBrake, ServiceBrake, Warning };
    Kind kind = Kind::Never;
    Event event = Event::Brake;
    double positionM = 0.0;
    double untilM = 0.0;
    double seconds = 0.0;
    double speedKmh = 0.0;
    SourcePos pos;
    std::string text;  // what follows 'expect', as written
};

// Another train standing on a route: in a section by number or in the
// section that holds a position, until a time of day (for ever when none).
struct OccupiedItem {
    std::optional<int> section;
    double positionM = 0.0;
    std::optional<std::int32_t> untilMs;
    SourcePos pos;
};

struct EndCondition {
    std::optional<std::int64_t> elapsedMs;
    std::optional<double> positionM;
    bool whenStopped = false;
};

struct Scenario {
    std::string file;
    std::string name;  // the file name without directories and extension
    VehicleParams vehicle;
    StartState start;
    int frameMs = 0;                  // 0: 60 frames a second, 16 or 17 ms each
    std::vector<BeaconItem> beacons;  // in file order
    std::vector<SignalItem> signals;
    std::vector<Station> stations;
    std::vector<DriverAction> driver;
    std::vector<Expectation> expectations;
    // 'route FILE': the track comes from the host's route file (the path as
    // the scenario's folder resolves it); empty for a scenario of its own.
    std::string routeFile;
    SourcePos routePos;
    std::vector<OccupiedItem> occupied;
    SourcePos placedStart;  // the first 'start time', 'start position' or 'start speed' line
    // 'at station NAME' references, checked against the route's stations
    // once the route is read (a scenario without a route checks them itself).
    std::vector<std::pair<std::string, SourcePos>> stationRefs;
    EndCondition end;
    SourcePos endTimePos, endPositionPos;  // the 'end at' lines that set them
    // What the parser alone noticed, e.g. a repeated line: warnings, each
    // saying what is wrong and what happens instead.
    std::vector<Diagnostic> findings;

    // A place in this scenario's file.
    [[nodiscard]] SourceLocation at(SourcePos pos) const { return {file, pos.line, pos.column}; }
    // A warning at a place in this scenario's file.
    [[nodiscard]] Diagnostic warningAt(SourcePos pos, std::string message) const {
        return diagnosticAt(Severity::Warning, at(pos), std::move(message));
    }
};

// Drives without an end condition stop when the train stands still after
// the driver's last action, and at the latest after this long.
inline constexpr std::int64_t kDefaultTimeLimitMs = 2 * 3600 * 1000;
// A route's driver runs the whole timetable: a longer limit.
inline constexpr std::int64_t kRouteTimeLimitMs = std::int64_t{24} * 3600 * 1000;

// Reads a scenario from text; `file` is only used in messages and for the
// name. Throws DiagnosticError, also for text that is not plain text.
Scenario parseScenario(const std::string& text, const std::string& file);

// Reads the file and parses it. Throws DiagnosticError (line 0 when the
// file cannot be read).
Scenario readScenario(const std::string& file);

}  // namespace velt::drive
