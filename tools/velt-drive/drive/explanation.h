// What velt-drive's own copy of the protection core tells about a drive:
// every thing the protection did, each with the check and the scenario line
// behind it (events), and every intervention from its start to its end.
// Plain data, filled while the drive runs; the summary, the events CSV, the
// trace, the plot and any report read it and derive nothing from outputs.
// A black-box drive (a plug-in other than this velt) has none of it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace velt::drive {

// Where and when something happened: the frame and the train's state in it.
struct FramePoint {
    std::size_t frame = 0;
    std::int64_t elapsedMs = 0;
    double positionM = 0.0;
    double speedKmh = 0.0;
};

// The scenario line behind something: the beacon or signal report the
// train passed, or the driver's action. A line of 0 means nothing in the
// scenario: the state velt starts a run with.
struct CauseRef {
    std::string file;        // the scenario's file name, without directories
    int line = 0;            // its line
    double positionM = 0.0;  // where the train's front was when the host reported it
    std::string what;        // "CPP beacon", "signal aspect 1", "key 0"

    bool known() const { return line > 0; }
};

// A check of the protection, as an intervention or a warning names it. Its
// name, its CSV word and its rank in the merge: explain/check_table.h.
enum class Check {
    None,
    Signal,          // Velt signal speed check: a stop aspect or a check speed
    CppStop,         // CPP stop pattern: its distance pattern or its stop phase
    Cpp49,           // CPP 49 km/h variant
    Ccp,             // CCP speed-restriction pattern
    Spb,             // SPB stop pattern
    Clf,             // CLF fixed limit
    OverspeedCut,    // power cut above 120 km/h on line category 0 (no brake)
    Legacy,          // legacy state 0 (line category 1), 1, 2 or 3 and its brake rule
    SpeedCheckTrip,  // a speed-check section passed too fast
    ConfirmAtSpeed,  // the confirm key pressed while moving in legacy state 1
};

enum class EventKind {
    Brake,       // an intervention begins, or another check brakes within it
    Release,     // a check lets go; the intervention ends when the last one does
    PowerCut,    // the overspeed cut takes power away, or gives it back
    Warning,     // a pattern's approach warning begins
    Section,     // a Velt section begins or ends
    Route,       // line category and selector from a route beacon
    Aspect,      // the aspect the protection stores from a signal report
    Pattern,     // CPP, CCP, SPB or CLF armed, re-armed, cancelled, ignored, ended
    Legacy,      // a legacy request made, renewed, cancelled or taking effect
    SpeedCheck,  // a speed-check window opened, closed in time, or tripped
    Recovery,    // the recovery key
    KindBlink,   // the kind-blink delay armed, started, shown, ended
    DoorLink,    // the door-link sequence armed and run
    Reminder,    // the station-stop reminder started, attenuated, ended; station chimes
    Display,     // a display element's code, steady or blinking
};

struct ExplainedEvent {
    FramePoint at;  // the frame in which the host saw it
    EventKind kind = EventKind::Pattern;
    Check check = Check::None;
    int level = 0;          // Brake: 1 full service, 2 emergency
    int intervention = -1;  // Brake, Release, PowerCut: index into the interventions
    std::string text;       // the whole statement, as the summary prints it
    CauseRef cause;         // the scenario line behind it
    // The host event of the same frame it answers (0 for the first reported
    // before the frame, and so on); -1 for what the frame itself decided.
    int hostEvent = -1;
};

// A stretch in which the protection braked (or, for the overspeed cut,
// took power away) without a break.
struct Intervention {
    FramePoint start;
    FramePoint end;  // where it ended; the last frame if it had not
    bool ended = false;
    Check check = Check::None;  // the check that began it
    int level = 0;              // strongest demand: 1 full service, 2 emergency; 0 a power cut
    int startLevel = 0;         // the demand it began with
    bool raisedToEmergency = false;
    FramePoint emergencyAt;  // where it was raised to emergency, if it was
    std::string cause;    // what the check found: "stop curve 32.0 m reached the remaining 31.9 m"
    CauseRef causeRef;    // the beacon, signal report or key behind that check
    std::string endedBy;  // "standstill", "the recovery key (x.drive:31 at 250.0 m)"
};

// A distance pattern as the core held it, from where it was armed to where
// it ended (cancelled, replaced, disarmed) or the end of the drive.
struct PatternSpan {
    Check check = Check::None;  // CppStop, Cpp49, Ccp or Spb
    double armedAtM = 0.0;
    double targetM = 0.0;
    double brakesAboveKmh = 0.0;  // the speed the curve ends at: 0 for a stop, CCP's speed + 4
    bool ended = false;
    double endedAtM = 0.0;
    CauseRef armedBy;
};

// What became of a beacon of the scenario: whether velt took it into
// effect and, when it did not, why. A drive keeps one per beacon line, in
// the scenario's order; `check` and the summary list those that did nothing.
enum class BeaconFateKind {
    TookEffect,         // it armed, set or cancelled something velt then used
    NeverPassed,        // the drive ended (or started) without the train passing it
    Ignored,            // velt does not read it: its type, or passed standing or backwards
    DisarmedSameFrame,  // a signal report in the same frame disarmed what it armed
    Idle,               // armed, but under the aspect in force it gives no pattern
    OutsideSection,     // armed outside a Velt section and never supervised inside one
    Replaced,           // replaced or cancelled by a later beacon before it was supervised
    Cancelling,         // it cancels the restriction another beacon armed: intended, as a rule
    CancelsNothing,     // a cancel with nothing armed to cancel
};

struct BeaconFate {
    std::size_t beacon = 0;  // index into the scenario's beacons
    int line = 0;            // its scenario line
    double positionM = 0.0;
    BeaconFateKind kind = BeaconFateKind::NeverPassed;
    std::string reason;  // "disarmed in the same frame by the signal report (x.drive:12 ...)"
    CauseRef by;         // the line that disarmed, replaced or was cancelled by it, if any

    [[nodiscard]] bool tookEffect() const { return kind == BeaconFateKind::TookEffect; }
};

// The short name of a fate, as `# velt-drive: allow NAME` acknowledges it
// ("disarmed", "idle", "outside-section", ...); "" for TookEffect.
inline const char* beaconFateName(BeaconFateKind kind) {
    switch (kind) {
        case BeaconFateKind::TookEffect: break;
        case BeaconFateKind::NeverPassed: return "never-passed";
        case BeaconFateKind::Ignored: return "ignored";
        case BeaconFateKind::DisarmedSameFrame: return "disarmed";
        case BeaconFateKind::Idle: return "idle";
        case BeaconFateKind::OutsideSection: return "outside-section";
        case BeaconFateKind::Replaced: return "replaced";
        case BeaconFateKind::Cancelling: return "cancelling";
        case BeaconFateKind::CancelsNothing: return "cancels-nothing";
    }
    return "";
}

// The core's state after a frame, for the trace, and the events since the
// frame before. A frame record of a black-box drive has none.
struct CoreFrame {
    // The demands of the five Velt checks (signal, CPP, CCP, CLF, SPB):
    // 0 none, 1 full service, 2 emergency.
    std::array<int, 5> demands{};
    bool cppArmed = false;
    bool ccpArmed = false;
    bool spbArmed = false;
    float cppDistanceM = 0.0F;  // metres left to each armed pattern's target
    float ccpDistanceM = 0.0F;
    float spbDistanceM = 0.0F;
    int legacyState = 0;
    int legacyRequest = 0;  // the state requested; it takes hold after its delay
    // The stop target the core supervised in this frame (the CPP stop
    // pattern, else the SPB pattern), and the metres left to it; negative
    // past it. None outside a section and without such a pattern.
    Check stopTarget = Check::None;
    float stopTargetRemainingM = 0.0F;
    std::vector<ExplainedEvent> events;
};

}  // namespace velt::drive
