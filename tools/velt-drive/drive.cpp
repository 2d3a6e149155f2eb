#include "tools/velt-drive/drive.h"

#include <algorithm>
#include <limits>

#include "tools/velt-drive/number_format.h"
#include "tools/velt-drive/vehicle_model.h"

namespace velt::drive {

int panelSlot(int index) {
    for (std::size_t i = 0; i < kPanelIndices.size(); ++i)
        if (kPanelIndices[i] == index) return static_cast<int>(i);
    return -1;
}

int soundSlot(int index) {
    for (std::size_t i = 0; i < kSoundIndices.size(); ++i)
        if (kSoundIndices[i] == index) return static_cast<int>(i);
    return -1;
}

namespace {

// A drive that stands still after the driver's last action ends this long after.
constexpr std::int64_t kStandstillSettleMs = 3000;

std::string metres(double value) { return formatFixed(value, 1) + " m"; }

class Drive {
public:
    Drive(const Scenario& scenario, const PluginApi& plugin)
        : scenario_(scenario),
          plugin_(plugin),
          model_(scenario.vehicle, scenario.start.positionM, scenario.start.speedKmh, scenario.start.reverser) {
        panel_.fill(0);
        sound_.fill(kSoundStopped);
        beaconPassed_.assign(scenario.beacons.size(), false);
        signalSent_.assign(scenario.signals.size(), false);
        // Beacons and position signals, in the order the train meets them.
        for (std::size_t i = 0; i < scenario.beacons.size(); ++i) placed_.push_back({scenario.beacons[i].positionM, false, i});
        for (std::size_t i = 0; i < scenario.signals.size(); ++i)
            if (scenario.signals[i].trigger.kind == Trigger::Kind::Position)
                placed_.push_back({scenario.signals[i].trigger.value, true, i});
        // At one position, in the order of the scenario's lines.
        std::sort(placed_.begin(), placed_.end(), [&](const Placed& a, const Placed& b) {
            if (a.positionM != b.positionM) return a.positionM < b.positionM;
            return lineOf(a) < lineOf(b);
        });
    }

    DriveResult run() {
        const VehicleParams& vehicle = scenario_.vehicle;
        const StartState& start = scenario_.start;
        result_.maxServiceNotch = vehicle.brakeNotches;
        result_.emergencyNotch = vehicle.brakeNotches + 1;

        plugin_.load();
        VehicleSpec spec{};
        spec.brakeNotches = vehicle.brakeNotches;
        plugin_.setVehicleSpec(spec);
        plugin_.initialize(0);
        // The start state, reported once as a host does when a run begins.
        power_ = start.power;
        brake_ = start.brake;
        reverser_ = start.reverser;
        doorsClosed_ = start.doorsClosed;
        plugin_.setReverser(reverser_);
        plugin_.setPower(power_);
        plugin_.setBrake(brake_);
        if (doorsClosed_) {
            plugin_.doorClose();
        } else {
            plugin_.doorOpen();
        }

        const bool stopEnds = scenario_.end.whenStopped || (!scenario_.end.elapsedMs && !scenario_.end.positionM);
        const std::int64_t limitMs = scenario_.end.elapsedMs ? *scenario_.end.elapsedMs : kDefaultTimeLimitMs;
        // The first frame only reports the start state: its interval is
        // measured from whatever time the plug-in last saw, so nothing that
        // counts distance down is armed before it.
        note(HostEvent::Kind::Driver, 0,
             std::string("start: reverser ") + (reverser_ > 0 ? "forward" : (reverser_ < 0 ? "backward" : "neutral")) +
                 ", power " + std::to_string(power_) + ", brake " + std::to_string(brake_) + ", doors " +
                 (doorsClosed_ ? "closed" : "open"),
             -1);
        HandleCommand out = frame(0, 0);
        for (std::size_t k = 1;; ++k) {
            const std::int64_t elapsed = elapsedAt(k);
            const std::int64_t previous = elapsedAt(k - 1);
            model_.step(out, static_cast<int>(elapsed - previous));
            eventsBefore(k, elapsed);
            out = frame(k, elapsed);

            const double speed = model_.speedKmh();
            if (speed != 0.0) standingSinceMs_ = -1;
            if (speed == 0.0 && standingSinceMs_ < 0) standingSinceMs_ = elapsed;
            if (scenario_.end.positionM && model_.positionM() >= *scenario_.end.positionM) {
                result_.endReason = "reached the end position " + metres(*scenario_.end.positionM);
                break;
            }
            if (elapsed >= limitMs) {
                result_.endReason = scenario_.end.elapsedMs ? "reached the end time" : "reached the time limit";
                break;
            }
            if (stopEnds && nextAction_ >= scenario_.driver.size() && standingSinceMs_ >= 0) {
                const std::int64_t since = std::max(standingSinceMs_, lastActionMs_);
                if (elapsed - since >= kStandstillSettleMs) {
                    result_.endReason = "stood still after the driver's last action";
                    break;
                }
            }
        }
        plugin_.dispose();
        result_.actionsDone = nextAction_;
        return std::move(result_);
    }

private:
    struct Placed {
        double positionM;
        bool isSignal;
        std::size_t index;
    };

    struct PendingRelease {
        std::size_t action;
        Release release;
        std::int64_t firedMs;
        bool speedRising;  // for Release::Speed: waiting to reach the speed from below
        bool live;
    };

    int lineOf(const Placed& placed) const {
        return placed.isSignal ? scenario_.signals[placed.index].pos.line : scenario_.beacons[placed.index].pos.line;
    }

    std::int64_t elapsedAt(std::size_t k) const {
        const auto index = static_cast<std::int64_t>(k);
        if (scenario_.frameMs > 0) return index * scenario_.frameMs;
        return index * 1000 / 60;
    }

    HandleCommand frame(std::size_t k, std::int64_t elapsed) {
        VehicleState state{};
        state.speed = static_cast<float>(model_.speedKmh());
        state.time = static_cast<std::int32_t>(scenario_.start.timeOfDayMs + elapsed);
        state.current = model_.current(lastOut_);
        const HandleCommand out = plugin_.elapse(state, panel_.data(), sound_.data());
        FrameRecord record;
        record.timeMs = state.time;
        record.elapsedMs = elapsed;
        record.positionM = model_.positionM();
        record.speedKmh = model_.speedKmh();
        record.driverPower = power_;
        record.driverBrake = brake_;
        record.driverReverser = reverser_;
        record.doorsClosed = doorsClosed_;
        record.out = out;
        for (std::size_t i = 0; i < kPanelIndices.size(); ++i)
            record.panel[i] = panel_[static_cast<std::size_t>(kPanelIndices[i])];
        for (std::size_t i = 0; i < kSoundIndices.size(); ++i)
            record.sound[i] = sound_[static_cast<std::size_t>(kSoundIndices[i])];
        result_.frames.push_back(record);
        (void)k;
        lastOut_ = out;
        return out;
    }

    void note(HostEvent::Kind kind, std::size_t frame, std::string text, int item) {
        result_.events.push_back({kind, frame, std::move(text), item});
    }

    // Everything that falls due between the previous frame and this one, in
    // the order a host reports it: what the train passed, then the driver.
    void eventsBefore(std::size_t k, std::int64_t elapsed) {
        const std::int64_t timeOfDay = scenario_.start.timeOfDayMs + elapsed;
        for (std::size_t i = 0; i < scenario_.signals.size(); ++i) {
            const SignalItem& item = scenario_.signals[i];
            if (signalSent_[i]) continue;
            const bool due = (item.trigger.kind == Trigger::Kind::Elapsed && elapsed >= item.trigger.ms) ||
                             (item.trigger.kind == Trigger::Kind::TimeOfDay && timeOfDay >= item.trigger.ms);
            if (due) sendSignal(k, i);
        }
        for (const Placed& placed : placed_) {
            if (model_.positionM() < placed.positionM) break;
            if (placed.isSignal) {
                if (!signalSent_[placed.index]) sendSignal(k, placed.index);
            } else if (!beaconPassed_[placed.index]) {
                sendBeacon(k, placed.index);
            }
        }
        releasesDue(k, elapsed);
        while (nextAction_ < scenario_.driver.size()) {
            const Trigger& trigger = scenario_.driver[nextAction_].trigger;
            const bool holds = triggerHolds(trigger, elapsed);
            if (isEdge(trigger)) {
                // "when ..." means when it becomes true: a condition that
                // already holds at the action's turn must first stop holding.
                if (!turnSeen_) {
                    turnSeen_ = true;
                    armed_ = !holds;
                    if (holds) break;
                }
                if (!holds) armed_ = true;
                if (!armed_ || !holds) break;
            } else if (!holds) {
                break;
            }
            act(k, nextAction_, elapsed);
            ++nextAction_;
            turnSeen_ = false;
        }
    }

    static bool isEdge(const Trigger& trigger) {
        return trigger.kind == Trigger::Kind::SpeedAbove || trigger.kind == Trigger::Kind::SpeedBelow ||
               trigger.kind == Trigger::Kind::Stopped;
    }

    void sendSignal(std::size_t k, std::size_t i) {
        signalSent_[i] = true;
        const SignalItem& item = scenario_.signals[i];
        plugin_.setSignal(item.aspect);
        note(HostEvent::Kind::Signal, k, "signal aspect " + std::to_string(item.aspect), static_cast<int>(i));
    }

    void sendBeacon(std::size_t k, std::size_t i) {
        beaconPassed_[i] = true;
        const BeaconItem& item = scenario_.beacons[i];
        BeaconData data{};
        data.type = item.type;
        data.signal = item.signal;
        data.optional = item.optional;
        data.distance = item.distance ? *item.distance : distanceToNextSignal(item.positionM);
        plugin_.setBeaconData(data);
        const std::string name = beaconTypeName(item.type);
        std::string text = "beacon " + std::to_string(item.type) + (name.empty() ? "" : " (" + name + ")") +
                           " signal " + std::to_string(item.signal) + " optional " + std::to_string(item.optional);
        note(HostEvent::Kind::Beacon, k, text, static_cast<int>(i));
    }

    float distanceToNextSignal(double from) const {
        for (const SignalItem& item : scenario_.signals)
            if (item.trigger.kind == Trigger::Kind::Position && item.trigger.value > from)
                return static_cast<float>(item.trigger.value - from);
        return std::numeric_limits<float>::infinity();
    }

    bool atStation(const std::string& name) const {
        if (model_.speedKmh() != 0.0) return false;
        for (const Station& station : scenario_.stations) {
            if (!name.empty() && station.name != name) continue;
            const double offset = model_.positionM() - station.positionM;
            if (offset <= station.windowM && offset >= -station.windowM) return true;
        }
        return false;
    }

    bool triggerHolds(const Trigger& trigger, std::int64_t elapsed) const {
        const double speed = model_.speedKmh() < 0.0 ? -model_.speedKmh() : model_.speedKmh();
        switch (trigger.kind) {
            case Trigger::Kind::Immediately: return true;
            case Trigger::Kind::Elapsed: return elapsed >= trigger.ms;
            case Trigger::Kind::TimeOfDay: return scenario_.start.timeOfDayMs + elapsed >= trigger.ms;
            case Trigger::Kind::Position: return model_.positionM() >= trigger.value;
            case Trigger::Kind::SpeedAbove: return speed > trigger.value;
            case Trigger::Kind::SpeedBelow: return speed < trigger.value;
            case Trigger::Kind::Stopped: return speed == 0.0;
            case Trigger::Kind::AtStation: return atStation(trigger.station);
            case Trigger::Kind::After: return elapsed >= lastActionMs_ + trigger.ms;
        }
        return false;
    }

    void setPower(int notch) {
        if (notch == power_) return;
        power_ = notch;
        plugin_.setPower(notch);
    }

    void setBrake(int notch) {
        if (notch == brake_) return;
        brake_ = notch;
        plugin_.setBrake(notch);
    }

    // A later action on the same handle or key takes over from an earlier
    // one's pending release.
    void dropReleasesOf(DriverAction::Kind kind, int key) {
        for (PendingRelease& pending : releases_) {
            const DriverAction& owner = scenario_.driver[pending.action];
            if (owner.kind == kind && (kind != DriverAction::Kind::Key || owner.value == key)) pending.live = false;
        }
    }

    void act(std::size_t k, std::size_t index, std::int64_t elapsed) {
        const DriverAction& action = scenario_.driver[index];
        lastActionMs_ = elapsed;
        note(HostEvent::Kind::Driver, k, "driver: " + action.text, static_cast<int>(index));
        const double speed = model_.speedKmh() < 0.0 ? -model_.speedKmh() : model_.speedKmh();
        switch (action.kind) {
            case DriverAction::Kind::Power:
                dropReleasesOf(action.kind, 0);
                setPower(action.value);
                break;
            case DriverAction::Kind::Brake:
                dropReleasesOf(action.kind, 0);
                setBrake(action.value);
                break;
            case DriverAction::Kind::Reverser:
                if (action.value != reverser_) {
                    reverser_ = action.value;
                    plugin_.setReverser(reverser_);
                }
                break;
            case DriverAction::Kind::Key:
                dropReleasesOf(action.kind, action.value);
                plugin_.keyDown(action.value);
                break;
            case DriverAction::Kind::DoorsOpen:
                doorsClosed_ = false;
                plugin_.doorOpen();
                break;
            case DriverAction::Kind::DoorsClose:
                doorsClosed_ = true;
                plugin_.doorClose();
                break;
            case DriverAction::Kind::Horn: plugin_.hornBlow(0); break;
        }
        Release release = action.release;
        // A key is let go in the next frame unless it is held for a time.
        if (action.kind == DriverAction::Kind::Key && release.kind == Release::Kind::None) {
            release.kind = Release::Kind::Duration;
            release.ms = 0;
        }
        if (release.kind != Release::Kind::None)
            releases_.push_back({index, release, elapsed, speed < release.value, true});
    }

    void releasesDue(std::size_t k, std::int64_t elapsed) {
        const double speed = model_.speedKmh() < 0.0 ? -model_.speedKmh() : model_.speedKmh();
        for (PendingRelease& pending : releases_) {
            if (!pending.live || elapsed == pending.firedMs) continue;
            bool due = false;
            switch (pending.release.kind) {
                case Release::Kind::None: break;
                case Release::Kind::Speed:
                    due = pending.speedRising ? speed >= pending.release.value : speed <= pending.release.value;
                    break;
                case Release::Kind::Position: due = model_.positionM() >= pending.release.value; break;
                case Release::Kind::Stopped: due = speed == 0.0; break;
                case Release::Kind::Duration: due = elapsed - pending.firedMs >= pending.release.ms; break;
            }
            if (!due) continue;
            pending.live = false;
            const DriverAction& action = scenario_.driver[pending.action];
            std::string text;
            if (action.kind == DriverAction::Kind::Power) {
                setPower(0);
                text = "driver: power 0 (end of '" + action.text + "')";
            } else if (action.kind == DriverAction::Kind::Brake) {
                setBrake(0);
                text = "driver: brake 0 (end of '" + action.text + "')";
            } else if (action.kind == DriverAction::Kind::Key) {
                plugin_.keyUp(action.value);
                // Quick presses are not worth a line of their own.
                if (pending.release.ms == 0) continue;
                text = "driver: key " + std::to_string(action.value) + " released";
            }
            note(HostEvent::Kind::Release, k, text, static_cast<int>(pending.action));
        }
        releases_.erase(std::remove_if(releases_.begin(), releases_.end(),
                                       [](const PendingRelease& pending) { return !pending.live; }),
                        releases_.end());
    }

    const Scenario& scenario_;
    const PluginApi& plugin_;
    VehicleModel model_;
    std::array<std::int32_t, kPanelSize> panel_{};
    std::array<std::int32_t, 256> sound_{};
    std::vector<bool> beaconPassed_;
    std::vector<bool> signalSent_;
    std::vector<Placed> placed_;
    std::vector<PendingRelease> releases_;
    std::size_t nextAction_ = 0;
    bool turnSeen_ = false;  // the next action's edge trigger has been looked at
    bool armed_ = false;     // ... and its condition has not held since
    std::int64_t lastActionMs_ = 0;
    std::int64_t standingSinceMs_ = -1;
    int power_ = 0;
    int brake_ = 0;
    int reverser_ = 0;
    bool doorsClosed_ = true;
    HandleCommand lastOut_{};
    DriveResult result_;
};

}  // namespace

DriveResult runDrive(const Scenario& scenario, const PluginApi& plugin) { return Drive(scenario, plugin).run(); }

}  // namespace velt::drive
