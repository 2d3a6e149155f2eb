// One drive as it runs: the frame loop with what the track reports
// (drive.cpp) and the scripted driver (driver.cpp), which share this state.
// Only those two files include this; the room's interface is drive.h.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/drive/vehicle_model.h"

namespace velt::drive {

class DriveRun {
public:
    DriveRun(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
             const std::vector<DriveConsumer*>& consumers, const RouteDrive* route);

    DriveEnd run();

private:
    struct Placed {
        double positionM;
        bool isSignal;
        std::size_t index;
        float beaconDistance;  // what a beacon reports as `distance`
    };

    struct PendingRelease {
        std::size_t action;
        Release release;
        std::int64_t firedMs;
        bool speedRising;  // for Release::Speed: waiting to reach the speed from below
        bool live;
    };

    enum class HoldMode { Coast, Power, Brake };

    [[nodiscard]] int lineOf(const Placed& placed) const {
        return placed.isSignal ? scenario_.signals[placed.index].pos.line
                               : scenario_.beacons[placed.index].pos.line;
    }

    [[nodiscard]] bool diverged() const {
        return witness_ != nullptr && !witness_->divergence().empty();
    }

    void call(HostCallId id, std::int32_t value = 0) { send(HostCall::of(id, value)); }

    // Every call between frames goes to the plug-in here, and to the
    // consumers that list the calls.
    void send(const HostCall& hostCall) {
        plugin_.call(hostCall);
        if (!callsWanted_) return;
        const auto time = static_cast<std::int32_t>(timeOfDay(elapsedAt(callFrame_)));
        for (DriveConsumer* consumer : consumers_)
            consumer->hostCall(hostCall, callFrame_, time, model_.positionM());
    }

    // ---- a route drive (route_run.cpp)
    void routeSetUp();
    // After Initialize: the beacons from 0 to the start, as the host moves
    // the train there.
    void routeStart();
    // The beacons the front passed since the last frame, either way.
    void routeBeacons(std::size_t k);
    void routeBeacon(std::size_t k, std::size_t beacon, double frontM);
    // Tells the witness and the consumers what the route reports next.
    void routeNote(HostEvent event, std::string cause);
    // The train's sections, SetSignal when the aspect told changed (and in
    // the first frame), the station stops and their doors, the driver.
    void routeFrame(std::size_t k, std::int64_t elapsed);
    void routeStations(std::size_t k, std::int32_t timeMs);
    void routeDriverStep(std::int32_t timeMs);
    [[nodiscard]] bool routeEnds(std::int64_t elapsed);

    [[nodiscard]] std::size_t firstPlacedFrom(double positionM) const {
        const auto at = std::lower_bound(placed_.begin(), placed_.end(), positionM,
                                         [](const Placed& p, double x) { return p.positionM < x; });
        return static_cast<std::size_t>(at - placed_.begin());
    }

    [[nodiscard]] std::int64_t elapsedAt(std::size_t k) const {
        return elapsedAtFrame(scenario_.frameMs, k);
    }

    [[nodiscard]] std::int64_t timeOfDay(std::int64_t elapsed) const {
        return clockBaseMs_ + elapsed;
    }

    HandleCommand frame(std::size_t k, std::int64_t elapsed);

    // Tells what the host is about to report. Every event is noted before
    // the calls it makes, so that velt-drive's own core knows which line of
    // the scenario they come from.
    void note(HostEvent::Kind kind, std::size_t frame, std::string text, int item);

    // The calls that follow come from no line of the scenario: the hold
    // moving the handles, a quick key let go.
    void unannounced() {
        if (witness_ != nullptr) witness_->from(nullptr);
    }

    void warn(SourcePos pos, const std::string& text);

    // Everything that falls due between the previous frame and this one, in
    // the order a host reports it: what the train passed, then the driver.
    void eventsBefore(std::size_t k, std::int64_t elapsed);

    void timedSignalsDue(std::size_t k, std::int64_t elapsed);

    // A driver condition that holds already when its turn comes was most
    // likely written in the wrong place of the script.
    void heldAtTurn(std::size_t index, std::int64_t elapsed);

    static bool isEdge(const Trigger& trigger);

    void sendSignal(std::size_t k, std::size_t i);

    void sendBeacon(std::size_t k, const Placed& placed);

    // What velt makes of a beacon depends on the line category and section
    // in force and on the speed it last saw; these mirror what it was told.
    void checkBeaconAsPassed(std::size_t index);

    void warnBeacon(std::size_t index, const std::string& text);

    // A beacon's `distance` is the metres to the next signal placed by
    // position, as far as the scenario tells.
    [[nodiscard]] float beaconDistance(const BeaconItem& item) const;

    [[nodiscard]] bool atStation(const std::string& name) const;

    [[nodiscard]] double absSpeed() const { return std::fabs(model_.speedKmh()); }

    [[nodiscard]] bool triggerHolds(const Trigger& trigger, std::int64_t elapsed) const;

    void setPower(int notch);

    void setBrake(int notch);

    // A later action on the same handle or key takes over from an earlier
    // one's pending release; so does any action from a hold.
    void dropReleasesOf(DriverAction::Kind kind, int key);

    void act(std::size_t k, std::size_t index, std::int64_t elapsed);

    // As a host does when the driver jumps to a station: the plug-in starts
    // afresh, the train stands at the new place, the clock shows the new
    // time (also an earlier one). What lies behind the new place is not
    // passed; what lies ahead is passed when reached, again after a jump back.
    void jump(const DriverAction& action, std::int64_t elapsed);

    void endHold(bool keepPower, bool keepBrake);

    void holdStep();

    void releasesDue(std::size_t k, std::int64_t elapsed);

    const Scenario& scenario_;
    PluginSession plugin_;
    Witness* witness_;  // velt-drive's own core beside the plug-in; null for a black box
    const std::vector<DriveConsumer*>& consumers_;
    VehicleModel model_;
    std::int64_t clockBaseMs_;  // time of day at elapsed 0; a jump moves it
    std::array<std::int32_t, kPanelSize> panel_{};
    std::array<std::int32_t, kHostSoundSize> sound_{};
    std::vector<Placed> placed_;
    std::size_t nextPlaced_ = 0;             // the first placed item not yet passed
    std::vector<std::size_t> timedSignals_;  // signals by time, not yet reported
    std::vector<PendingRelease> releases_;
    std::vector<bool> warnedBeacon_;
    std::vector<bool> warnedAction_;
    std::size_t nextAction_ = 0;
    bool turnSeen_ = false;   // the next action has been looked at
    bool armedSeen_ = false;  // ... and its edge trigger too
    bool armed_ = false;      // ... and its condition has not held since
    bool holding_ = false;
    int holdAction_ = -1;
    HoldMode holdMode_ = HoldMode::Coast;
    bool stoppedThisStep_ = false;
    std::int32_t lineCategory_ = 0;
    bool inSection_ = false;
    bool aspectReported_ = false;
    int sectionWithoutAspect_ = -1;  // a section beacon passed with no aspect yet, until the frame
    float reportedSpeed_ = 0.0F;     // what the last Elapse was told
    std::int64_t lastActionMs_ = 0;
    std::int64_t standingSinceMs_ = -1;
    int power_ = 0;
    int brake_ = 0;
    int reverser_ = 0;
    bool doorsClosed_ = true;
    HandleCommand lastOut_{};
    // What braked the train in the last step: the plug-in's handles and the
    // driver's brake notch then.
    HandleCommand stepOut_{};
    int stepBrake_ = 0;
    bool callsWanted_ = false;
    std::size_t callFrame_ = 0;  // the frame the calls being made come before
    // A route drive: the track's signals as they change, each station's
    // stop, who drives (null: the scenario's lines).
    const RouteDrive* route_ = nullptr;
    std::optional<RouteSignals> signals_;
    std::vector<StationVisit> visits_;
    TimetableDriver timetable_;
    RouteDriver* routeDriver_ = nullptr;
    double routeFrontM_ = 0.0;  // where the beacons have been passed up to
    int nextStop_ = -1;
    int leaving_ = -1;  // the station served last, until the train moves off
    int toldAspect_ = 0;
    bool aspectTold_ = false;
    bool confirmDown_ = false;
    bool movedOff_ = false;
    bool stoppedByProtection_ = false;
    std::int64_t protectionStopMs_ = 0;
    std::int64_t routeStandingSinceMs_ = -1;
    FrameRecord record_;
    DriveEnd end_;
};

}  // namespace velt::drive
