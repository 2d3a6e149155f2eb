// The host stand-in: runs a scenario against the plug-in, frame by frame,
// the way a host calls it. The drive is a stream: each frame and each thing
// the host reports is handed once to the consumers (trace, summary, plot,
// checks) and then forgotten, so a drive of any length runs in the same
// memory.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/cab.h"
#include "host/plugin_abi.h"
#include "tools/velt-drive/drive/explanation.h"
#include "tools/velt-drive/plugin/plugin_session.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// The panel and sound indices the plug-in writes, in trace column order.
inline constexpr const auto& kPanelIndices = cab::kPanelWritten;
inline constexpr const auto& kSoundIndices = cab::kSoundWritten;

// A host starts with every sound stopped and every indicator at 0.
inline constexpr std::int32_t kSoundStopped = -10000;

// The sound array a host lends: more than the 31 entries velt writes.
inline constexpr int kHostSoundSize = 256;

// Elapsed time of frame k as a drive counts it: the scenario's frame
// interval, or 60 frames a second.
std::int64_t elapsedAtFrame(int frameMs, std::size_t k);

int panelSlot(int index);  // position of a panel index in kPanelIndices, -1 if absent
int soundSlot(int index);

struct FrameRecord {
    std::size_t number = 0;      // 0 for the first frame
    std::int32_t timeMs = 0;     // as passed to Elapse
    std::int64_t elapsedMs = 0;  // since the first frame
    double positionM = 0.0;
    double speedKmh = 0.0;  // the model's speed; Elapse gets it as a float
    int driverPower = 0;    // the driver's handles as last reported
    int driverBrake = 0;
    int driverReverser = 0;
    bool doorsClosed = true;
    HandleCommand out{};  // what Elapse returned
    std::array<std::int32_t, kPanelIndices.size()> panel{};
    std::array<std::int32_t, kSoundIndices.size()> sound{};
    // What velt-drive's own core says about this frame; null in a black-box
    // drive. Valid while the consumers are handed the frame.
    const CoreFrame* core = nullptr;

    std::int32_t panelAt(int panelIndex) const {
        return panel[static_cast<std::size_t>(panelSlot(panelIndex))];
    }
    std::int32_t soundAt(int soundIndex) const {
        return sound[static_cast<std::size_t>(soundSlot(soundIndex))];
    }
};

// Something the host told the plug-in, reported before the frame `frame`.
struct HostEvent {
    enum class Kind { Beacon, Signal, Driver, Release, Jump };
    Kind kind = Kind::Driver;
    std::size_t frame = 0;
    std::string text;
    int item = -1;           // index into the scenario's beacons, signals or driver actions
    double positionM = 0.0;  // where the train's front was
    // For what a route reports (item -1): the route line it comes from,
    // what it is ("CPP beacon") and, for a signal, the aspect told.
    SourceLocation source;
    std::string cause;
    int value = 0;
};

// A route drive: what became of a station this train stops at.
struct StationVisit {
    enum class State { Ahead, DoorsOpen, Served, Passed };
    State state = State::Ahead;
    std::optional<std::int32_t> arrivalMs;  // when it came to a stand in the window
    double stopErrorM = 0.0;                // front minus the stop position, then
    std::optional<std::int32_t> doorsOpenMs;
    std::optional<std::int32_t> doorsClosedMs;
    std::optional<std::int32_t> departureMs;  // when it moved off again
};

struct DriveEnd {
    std::string reason;
    std::size_t frames = 0;       // frames run
    std::size_t actionsDone = 0;  // driver actions whose turn came
    FrameRecord last;
    // Whether velt-drive's own core ran beside the plug-in (not --black-box);
    // only then are there interventions and patterns.
    bool explained = false;
    // Not empty when the plug-in's outputs differed from velt-drive's own
    // core: the frame and the first differing output, in words. The drive
    // stopped at that frame.
    std::string divergence;
    std::vector<Intervention> interventions;
    std::vector<PatternSpan> patterns;
    // A route drive: one per station of the route, in the route's order.
    std::vector<StationVisit> stationVisits;
};

// Takes the drive as it happens. Calls come in this order: begin, then for
// each frame its events and findings followed by the frame, then end.
class DriveConsumer {
public:
    virtual ~DriveConsumer() = default;

    virtual void begin(int /*emergencyNotch*/) {}
    virtual void event(const HostEvent& /*event*/) {}
    virtual void finding(const Diagnostic& /*finding*/) {}
    virtual void frame(const FrameRecord& /*frame*/) {}
    virtual void end(const DriveEnd& /*end*/) {}
    // Every call the host makes between frames (not Elapse), as it makes
    // it: before frame `frame`, whose time and position these are.
    virtual void hostCall(const HostCall& /*call*/, std::size_t /*frame*/, std::int32_t /*timeMs*/,
                          double /*positionM*/) {}
    // Wants hostCall; a drive hands calls only when some consumer does.
    [[nodiscard]] virtual bool wantsCalls() const { return false; }
};

// What runs beside the plug-in and explains the drive (velt-drive's own
// core, explain/core_twin.h): it mirrors every call and frame, is told which
// host event the calls that follow come from, explains each frame for the
// consumers, and may find that the plug-in is not the velt it mirrors,
// which ends the drive.
class Witness : public CallMirror {
public:
    // The host event the calls that follow come from; null: no line of the
    // scenario (the driver's hold moving a handle, a quick key let go).
    virtual void from(const HostEvent* event) = 0;
    // The frame just run, explained; valid while the consumers are handed it.
    virtual const CoreFrame& explainFrame(const FrameRecord& record) = 0;
    // Empty while the plug-in agrees; else what differed first, in words.
    [[nodiscard]] virtual const std::string& divergence() const = 0;
    // The drive ended at `last`: what the witness knows of it goes into `end`.
    virtual void finish(const FrameRecord& last, DriveEnd& end) = 0;
};

// Runs the drive: Load, SetVehicleSpec, Initialize, the start state, then
// frames until the end condition; Dispose at the end. Every call goes to
// the plug-in and then to the witness, if there is one (none: a black box).
struct RouteDrive;  // route_drive.h

DriveEnd runDrive(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
                  const std::vector<DriveConsumer*>& consumers, const RouteDrive* route = nullptr);

}  // namespace velt::drive
