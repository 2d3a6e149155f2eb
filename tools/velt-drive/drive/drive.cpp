#include "tools/velt-drive/drive/drive.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/velt-drive/drive/vehicle_model.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

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

// The hold controller coasts in a band around its speed: it powers from
// 1 km/h below until the speed is reached, and brakes from 2 km/h above
// until it is back down, so the handles do not move every frame. The
// notch grows with the gap, the whole range over 10 km/h.
constexpr double kHoldPowerBelowKmh = 1.0;
constexpr double kHoldBrakeAboveKmh = 2.0;
constexpr double kHoldFullGapKmh = 10.0;

std::string clockText(std::int64_t ms) {
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    std::string text = two(ms / 3600000) + ":" + two(ms / 60000 % 60) + ":" + two(ms / 1000 % 60);
    if (ms % 1000 != 0)
        text += "." + formatFixed(static_cast<double>(ms % 1000) / 1000.0, 3).substr(2);
    return text;
}

int notchForGap(double gapKmh, int notches) {
    const auto notch = static_cast<int>(std::ceil(gapKmh / kHoldFullGapKmh * notches));
    return std::clamp(notch, 1, notches);
}

class Drive {
public:
    Drive(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
          const std::vector<DriveConsumer*>& consumers)
        : scenario_(scenario),
          plugin_(plugin, witness),
          witness_(witness),
          consumers_(consumers),
          model_(scenario.vehicle, scenario.start.positionM, scenario.start.speedKmh,
                 scenario.start.reverser),
          clockBaseMs_(scenario.start.timeOfDayMs),
          warnedBeacon_(scenario.beacons.size(), false),
          warnedAction_(scenario.driver.size(), false) {
        panel_.fill(0);
        sound_.fill(kSoundStopped);
        // Beacons and position signals, in the order the train meets them.
        for (std::size_t i = 0; i < scenario.beacons.size(); ++i)
            placed_.push_back({scenario.beacons[i].positionM, false, i, 0.0F});
        for (std::size_t i = 0; i < scenario.signals.size(); ++i) {
            if (scenario.signals[i].trigger.kind == Trigger::Kind::Position) {
                placed_.push_back({scenario.signals[i].trigger.value, true, i, 0.0F});
            } else {
                timedSignals_.push_back(i);
            }
        }
        // At one position, in the order of the scenario's lines.
        std::sort(placed_.begin(), placed_.end(), [&](const Placed& a, const Placed& b) {
            if (a.positionM != b.positionM) return a.positionM < b.positionM;
            return lineOf(a) < lineOf(b);
        });
        for (Placed& placed : placed_)
            if (!placed.isSignal)
                placed.beaconDistance = beaconDistance(scenario.beacons[placed.index]);
        nextPlaced_ = firstPlacedFrom(scenario.start.positionM);
    }

    DriveEnd run() {
        const VehicleParams& vehicle = scenario_.vehicle;
        const StartState& start = scenario_.start;
        for (DriveConsumer* consumer : consumers_) consumer->begin(vehicle.brakeNotches + 1);

        call(HostCallId::Load);
        VehicleSpec spec{};
        spec.brakeNotches = vehicle.brakeNotches;
        plugin_.call(HostCall::vehicleSpec(spec));
        call(HostCallId::Initialize);
        // The start state, reported once as a host does when a run begins.
        power_ = start.power;
        brake_ = start.brake;
        reverser_ = start.reverser;
        doorsClosed_ = start.doorsClosed;
        note(HostEvent::Kind::Driver, 0,
             std::string("start: reverser ") +
                 (reverser_ > 0 ? "forward" : (reverser_ < 0 ? "backward" : "neutral")) +
                 ", power " + std::to_string(power_) + ", brake " + std::to_string(brake_) +
                 ", doors " + (doorsClosed_ ? "closed" : "open"),
             -1);
        call(HostCallId::SetReverser, reverser_);
        call(HostCallId::SetPower, power_);
        call(HostCallId::SetBrake, brake_);
        call(doorsClosed_ ? HostCallId::DoorClose : HostCallId::DoorOpen);

        const EndCondition& end = scenario_.end;
        const bool stopEnds = end.whenStopped || (!end.elapsedMs && !end.positionM);
        const std::int64_t limitMs = end.elapsedMs ? *end.elapsedMs : kDefaultTimeLimitMs;
        // The first frame only reports the start state: its interval is
        // measured from whatever time the plug-in last saw, so nothing that
        // counts distance down is armed before it.
        HandleCommand out = frame(0, 0);
        std::size_t k = 1;
        for (; !diverged(); ++k) {
            const std::int64_t elapsed = elapsedAt(k);
            const double speedBefore = model_.speedKmh();
            model_.step(out, static_cast<int>(elapsed - elapsedAt(k - 1)));
            stoppedThisStep_ = speedBefore != 0.0 && model_.speedKmh() == 0.0;
            eventsBefore(k, elapsed);
            out = frame(k, elapsed);
            if (diverged()) break;

            const double speed = model_.speedKmh();
            if (speed != 0.0) standingSinceMs_ = -1;
            if (speed == 0.0 && standingSinceMs_ < 0) standingSinceMs_ = elapsed;
            if (end.positionM && model_.positionM() >= *end.positionM) {
                end_.reason = "reached the end position " + metresText(*end.positionM);
                break;
            }
            if (elapsed >= limitMs) {
                end_.reason = end.elapsedMs
                                  ? "reached the end time"
                                  : "reached the time limit of " + secondsText(secondsOf(limitMs)) +
                                        " (the scenario has no 'end at ... s')";
                break;
            }
            if (stopEnds && nextAction_ >= scenario_.driver.size() && !holding_ &&
                standingSinceMs_ >= 0) {
                const std::int64_t since = std::max(standingSinceMs_, lastActionMs_);
                if (elapsed - since >= kStandstillSettleMs) {
                    end_.reason = "stood still after the driver's last action";
                    break;
                }
            }
        }
        if (diverged()) {
            end_.reason = "the plug-in's outputs differ from velt-drive's own core";
        } else {
            call(HostCallId::Dispose);
        }
        end_.frames = k + 1;
        end_.actionsDone = nextAction_;
        end_.last = record_;
        if (witness_ != nullptr) witness_->finish(record_, end_);
        for (DriveConsumer* consumer : consumers_) consumer->end(end_);
        return end_;
    }

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

    void call(HostCallId id, std::int32_t value = 0) { plugin_.call(HostCall::of(id, value)); }

    [[nodiscard]] std::size_t firstPlacedFrom(double positionM) const {
        const auto at = std::lower_bound(placed_.begin(), placed_.end(), positionM,
                                         [](const Placed& p, double x) { return p.positionM < x; });
        return static_cast<std::size_t>(at - placed_.begin());
    }

    [[nodiscard]] std::int64_t elapsedAt(std::size_t k) const {
        const auto index = static_cast<std::int64_t>(k);
        if (scenario_.frameMs > 0) return index * scenario_.frameMs;
        return index * 1000 / 60;
    }

    [[nodiscard]] std::int64_t timeOfDay(std::int64_t elapsed) const {
        return clockBaseMs_ + elapsed;
    }

    HandleCommand frame(std::size_t k, std::int64_t elapsed) {
        VehicleState state{};
        state.speed = static_cast<float>(model_.speedKmh());
        state.time = static_cast<std::int32_t>(timeOfDay(elapsed));
        state.current = model_.current(lastOut_);
        const HandleCommand out = plugin_.elapse(state, panel_.data(), sound_.data());
        reportedSpeed_ = state.speed;
        FrameRecord& record = record_;
        record.number = k;
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
        if (witness_ != nullptr) record.core = &witness_->explainFrame(record);
        for (DriveConsumer* consumer : consumers_) consumer->frame(record);
        lastOut_ = out;
        return out;
    }

    // Tells what the host is about to report. Every event is noted before
    // the calls it makes, so that velt-drive's own core knows which line of
    // the scenario they come from.
    void note(HostEvent::Kind kind, std::size_t frame, std::string text, int item) {
        const HostEvent event{kind, frame, std::move(text), item, model_.positionM()};
        if (witness_ != nullptr) witness_->from(&event);
        for (DriveConsumer* consumer : consumers_) consumer->event(event);
    }

    // The calls that follow come from no line of the scenario: the hold
    // moving the handles, a quick key let go.
    void unannounced() {
        if (witness_ != nullptr) witness_->from(nullptr);
    }

    void warn(SourcePos pos, const std::string& text) {
        const Diagnostic finding = scenario_.warningAt(pos, text);
        for (DriveConsumer* consumer : consumers_) consumer->finding(finding);
    }

    // Everything that falls due between the previous frame and this one, in
    // the order a host reports it: what the train passed, then the driver.
    void eventsBefore(std::size_t k, std::int64_t elapsed) {
        if (!timedSignals_.empty()) timedSignalsDue(k, elapsed);
        while (nextPlaced_ < placed_.size() &&
               model_.positionM() >= placed_[nextPlaced_].positionM) {
            const Placed& placed = placed_[nextPlaced_++];
            if (placed.isSignal) {
                sendSignal(k, placed.index);
            } else {
                sendBeacon(k, placed);
            }
        }
        if (!releases_.empty()) releasesDue(k, elapsed);
        if (holding_ && stoppedThisStep_) {
            // The hold never stops the train itself: a stand means the
            // protection or the track stopped it, and a driver would not
            // drive on from there.
            note(HostEvent::Kind::Release, k, "driver: hold ended, the train stopped", holdAction_);
            endHold(false, false);
        }
        while (nextAction_ < scenario_.driver.size()) {
            const DriverAction& action = scenario_.driver[nextAction_];
            const Trigger& trigger = action.trigger;
            const bool holds = triggerHolds(trigger, elapsed);
            if (!turnSeen_) {
                turnSeen_ = true;
                if (holds) heldAtTurn(nextAction_, elapsed);
            }
            if (isEdge(trigger)) {
                // "when ..." means when it becomes true: a condition that
                // already holds at the action's turn must first stop holding.
                if (!armedSeen_) {
                    armedSeen_ = true;
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
            armedSeen_ = false;
        }
        if (holding_) holdStep();
        if (sectionWithoutAspect_ >= 0) {
            if (!aspectReported_) {
                const auto beacon = static_cast<std::size_t>(sectionWithoutAspect_);
                warnBeacon(beacon,
                           "this Velt section begins before any signal aspect was reported: velt "
                           "supervises it as a "
                           "stop aspect and brakes at once while the train moves; report the "
                           "aspect first");
            }
            sectionWithoutAspect_ = -1;
        }
    }

    void timedSignalsDue(std::size_t k, std::int64_t elapsed) {
        const std::int64_t clock = timeOfDay(elapsed);
        std::size_t kept = 0;
        for (const std::size_t i : timedSignals_) {
            const Trigger& trigger = scenario_.signals[i].trigger;
            const bool due = (trigger.kind == Trigger::Kind::Elapsed && elapsed >= trigger.ms) ||
                             (trigger.kind == Trigger::Kind::TimeOfDay && clock >= trigger.ms);
            if (due) {
                sendSignal(k, i);
            } else {
                timedSignals_[kept++] = i;
            }
        }
        timedSignals_.resize(kept);
    }

    // A driver condition that holds already when its turn comes was most
    // likely written in the wrong place of the script.
    void heldAtTurn(std::size_t index, std::int64_t elapsed) {
        const DriverAction& action = scenario_.driver[index];
        const Trigger& t = action.trigger;
        const std::string turn = "when this action's turn comes";
        std::string text;
        switch (t.kind) {
            case Trigger::Kind::SpeedAbove:
                text = "the speed is already above " + kmhText(t.value) + " " + turn +
                       ": velt-drive waits until it falls to " + kmhText(t.value) +
                       " and rises above it again";
                break;
            case Trigger::Kind::SpeedBelow:
                text = "the speed is already below " + kmhText(t.value) + " " + turn +
                       ": velt-drive waits until it rises to " + kmhText(t.value) +
                       " and falls below it again";
                break;
            case Trigger::Kind::Stopped:
                text = "the train already stands " + turn +
                       ": velt-drive waits until it moves and stops again";
                break;
            case Trigger::Kind::Position:
                text = "the train is already at " + metresText(model_.positionM()) + ", past " +
                       metresText(t.value) + ", " + turn + ": it falls due at once";
                break;
            case Trigger::Kind::Elapsed:
                if (t.ms < lastActionMs_)
                    text = "its time " + secondsText(secondsOf(t.ms)) + " has passed " + turn +
                           " at " + secondsText(secondsOf(elapsed)) + ": it falls due at once";
                break;
            case Trigger::Kind::TimeOfDay:
                if (index > 0 && t.ms < timeOfDay(lastActionMs_))
                    text = "its time " + clockText(t.ms) + " has passed " + turn + " at " +
                           clockText(timeOfDay(elapsed)) + ": it falls due at once";
                break;
            default: break;
        }
        if (text.empty() || warnedAction_[index]) return;
        warnedAction_[index] = true;
        warn(action.pos, text);
    }

    static bool isEdge(const Trigger& trigger) {
        return trigger.kind == Trigger::Kind::SpeedAbove ||
               trigger.kind == Trigger::Kind::SpeedBelow || trigger.kind == Trigger::Kind::Stopped;
    }

    void sendSignal(std::size_t k, std::size_t i) {
        const SignalItem& item = scenario_.signals[i];
        note(HostEvent::Kind::Signal, k, "signal aspect " + std::to_string(item.aspect),
             static_cast<int>(i));
        call(HostCallId::SetSignal, item.aspect);
        aspectReported_ = true;
    }

    void sendBeacon(std::size_t k, const Placed& placed) {
        const BeaconItem& item = scenario_.beacons[placed.index];
        checkBeaconAsPassed(placed.index);
        BeaconData data{};
        data.type = item.type;
        data.signal = item.signal;
        data.optional = item.optional;
        data.distance = placed.beaconDistance;
        const std::string name = beaconTypeName(item.type);
        std::string text =
            "beacon " + std::to_string(item.type) + (name.empty() ? "" : " (" + name + ")") +
            " signal " + std::to_string(item.signal) + " optional " + std::to_string(item.optional);
        note(HostEvent::Kind::Beacon, k, text, static_cast<int>(placed.index));
        plugin_.call(HostCall::beaconData(data));
    }

    // What velt makes of a beacon depends on the line category and section
    // in force and on the speed it last saw; these mirror what it was told.
    void checkBeaconAsPassed(std::size_t index) {
        const BeaconItem& item = scenario_.beacons[index];
        std::string text;
        const bool standing = !(reportedSpeed_ > 0.0F);
        if (item.type == cab::kBeaconRoute) lineCategory_ = lineTypeOfRoute(item.optional);
        if (item.type == cab::kBeaconSection) {
            const bool begins = item.optional > 0 && !inSection_;
            inSection_ = item.optional > 0;
            // An aspect reported before the next frame still counts.
            if (begins && !aspectReported_) sectionWithoutAspect_ = static_cast<int>(index);
        }
        const std::string category = "line category " + std::to_string(lineCategory_);
        if (item.type == cab::kBeaconSpb) {
            if (standing) {
                text = "velt ignores SPB beacons passed while the train stands or runs backwards";
            } else if (lineCategory_ != 0 && lineCategory_ != 2) {
                text = "velt ignores SPB beacons on " + category;
            }
        }
        if (item.type == cab::kBeaconSpp) {
            if (standing) {
                text = "velt ignores SPP beacons passed while the train stands or runs backwards";
            } else if (item.optional == 1 && lineCategory_ != 1 && lineCategory_ != 2) {
                text = "velt starts no station-stop reminder on " + category +
                       ": the SPP beacon only sounds " +
                       (lineCategory_ == 0 ? "station chime A" : "station chime B");
            }
        }
        if (!text.empty()) warnBeacon(index, text);
    }

    void warnBeacon(std::size_t index, const std::string& text) {
        if (warnedBeacon_[index]) return;
        warnedBeacon_[index] = true;
        warn(scenario_.beacons[index].pos, text);
    }

    // A beacon's `distance` is the metres to the next signal placed by
    // position, as far as the scenario tells.
    [[nodiscard]] float beaconDistance(const BeaconItem& item) const {
        if (item.distance) return *item.distance;
        double nearest = std::numeric_limits<double>::infinity();
        for (const SignalItem& signal : scenario_.signals)
            if (signal.trigger.kind == Trigger::Kind::Position &&
                signal.trigger.value > item.positionM)
                nearest = std::min(nearest, signal.trigger.value - item.positionM);
        return static_cast<float>(nearest);
    }

    [[nodiscard]] bool atStation(const std::string& name) const {
        if (model_.speedKmh() != 0.0) return false;
        return std::any_of(scenario_.stations.begin(), scenario_.stations.end(),
                           [&](const Station& station) {
                               const double offset = model_.positionM() - station.positionM;
                               return (name.empty() || station.name == name) &&
                                      offset <= station.windowM && offset >= -station.windowM;
                           });
    }

    [[nodiscard]] double absSpeed() const { return std::fabs(model_.speedKmh()); }

    [[nodiscard]] bool triggerHolds(const Trigger& trigger, std::int64_t elapsed) const {
        switch (trigger.kind) {
            case Trigger::Kind::Immediately: return true;
            case Trigger::Kind::Elapsed: return elapsed >= trigger.ms;
            case Trigger::Kind::TimeOfDay: return timeOfDay(elapsed) >= trigger.ms;
            case Trigger::Kind::Position: return model_.positionM() >= trigger.value;
            case Trigger::Kind::SpeedAbove: return absSpeed() > trigger.value;
            case Trigger::Kind::SpeedBelow: return absSpeed() < trigger.value;
            // A driver acts on a stand the cab has shown: the plug-in must
            // have been told speed 0 too, or a key pressed now reaches it
            // while it still sees the train rolling.
            case Trigger::Kind::Stopped: return absSpeed() == 0.0 && reportedSpeed_ == 0.0F;
            case Trigger::Kind::AtStation: return atStation(trigger.station);
            case Trigger::Kind::After: return elapsed >= lastActionMs_ + trigger.ms;
        }
        return false;
    }

    void setPower(int notch) {
        if (notch == power_) return;
        power_ = notch;
        call(HostCallId::SetPower, notch);
    }

    void setBrake(int notch) {
        if (notch == brake_) return;
        brake_ = notch;
        call(HostCallId::SetBrake, notch);
    }

    // A later action on the same handle or key takes over from an earlier
    // one's pending release; so does any action from a hold.
    void dropReleasesOf(DriverAction::Kind kind, int key) {
        for (PendingRelease& pending : releases_) {
            const DriverAction& owner = scenario_.driver[pending.action];
            if (owner.kind == kind && (kind != DriverAction::Kind::Key || owner.value == key))
                pending.live = false;
        }
    }

    void act(std::size_t k, std::size_t index, std::int64_t elapsed) {
        const DriverAction& action = scenario_.driver[index];
        lastActionMs_ = elapsed;
        note(action.kind == DriverAction::Kind::Jump ? HostEvent::Kind::Jump
                                                     : HostEvent::Kind::Driver,
             k, "driver: " + action.text, static_cast<int>(index));
        if (holding_) {
            // The next action ends a hold; the handle it sets is its own,
            // and a new hold takes both over in this frame.
            const bool holdsOn = action.kind == DriverAction::Kind::Hold;
            endHold(holdsOn || action.kind == DriverAction::Kind::Power,
                    holdsOn || action.kind == DriverAction::Kind::Brake);
            dropReleasesOf(DriverAction::Kind::Hold, 0);
        }
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
                    call(HostCallId::SetReverser, reverser_);
                }
                break;
            case DriverAction::Kind::Key:
                dropReleasesOf(action.kind, action.value);
                call(HostCallId::KeyDown, action.value);
                break;
            case DriverAction::Kind::DoorsOpen:
                doorsClosed_ = false;
                call(HostCallId::DoorOpen);
                break;
            case DriverAction::Kind::DoorsClose:
                doorsClosed_ = true;
                call(HostCallId::DoorClose);
                break;
            case DriverAction::Kind::Horn: call(HostCallId::HornBlow); break;
            case DriverAction::Kind::Hold:
                holding_ = true;
                holdAction_ = static_cast<int>(index);
                holdMode_ = HoldMode::Coast;
                break;
            case DriverAction::Kind::Jump: jump(action, elapsed); break;
        }
        Release release = action.release;
        // A key is let go in the next frame unless it is held for a time.
        if (action.kind == DriverAction::Kind::Key && release.kind == Release::Kind::None) {
            release.kind = Release::Kind::Duration;
            release.ms = 0;
        }
        if (release.kind != Release::Kind::None)
            releases_.push_back({index, release, elapsed, absSpeed() < release.value, true});
    }

    // As a host does when the driver jumps to a station: the plug-in starts
    // afresh, the train stands at the new place, the clock shows the new
    // time (also an earlier one). What lies behind the new place is not
    // passed; what lies ahead is passed when reached, again after a jump back.
    void jump(const DriverAction& action, std::int64_t elapsed) {
        call(HostCallId::Initialize);
        model_ = VehicleModel(scenario_.vehicle, action.positionM, 0.0, reverser_);
        clockBaseMs_ = action.clockMs - elapsed;
        nextPlaced_ = firstPlacedFrom(action.positionM);
        lineCategory_ = 0;
        aspectReported_ = false;
        inSection_ = false;
        standingSinceMs_ = elapsed;
    }

    void endHold(bool keepPower, bool keepBrake) {
        holding_ = false;
        if (!keepPower) setPower(0);
        if (!keepBrake) setBrake(0);
    }

    void holdStep() {
        unannounced();
        const double target = scenario_.driver[static_cast<std::size_t>(holdAction_)].speedKmh;
        const double speed = absSpeed();
        if ((holdMode_ == HoldMode::Power && speed >= target) ||
            (holdMode_ == HoldMode::Brake && speed <= target))
            holdMode_ = HoldMode::Coast;
        // No driver powers against the protection's brake.
        if (lastOut_.brake > brake_) holdMode_ = HoldMode::Coast;
        if (holdMode_ == HoldMode::Coast && lastOut_.brake <= brake_) {
            if (speed < target - kHoldPowerBelowKmh) holdMode_ = HoldMode::Power;
            if (speed > target + kHoldBrakeAboveKmh) holdMode_ = HoldMode::Brake;
        }
        const VehicleParams& v = scenario_.vehicle;
        setPower(holdMode_ == HoldMode::Power ? notchForGap(target - speed, v.powerNotches) : 0);
        setBrake(holdMode_ == HoldMode::Brake ? notchForGap(speed - target, v.brakeNotches) : 0);
    }

    void releasesDue(std::size_t k, std::int64_t elapsed) {
        const double speed = absSpeed();
        for (PendingRelease& pending : releases_) {
            if (!pending.live || elapsed == pending.firedMs) continue;
            bool due = false;
            switch (pending.release.kind) {
                case Release::Kind::None: break;
                case Release::Kind::Speed:
                    due = pending.speedRising ? speed >= pending.release.value
                                              : speed <= pending.release.value;
                    break;
                case Release::Kind::Position:
                    due = model_.positionM() >= pending.release.value;
                    break;
                case Release::Kind::Stopped: due = speed == 0.0; break;
                case Release::Kind::Duration:
                    due = elapsed - pending.firedMs >= pending.release.ms;
                    break;
            }
            if (!due) continue;
            pending.live = false;
            const DriverAction& action = scenario_.driver[pending.action];
            const auto released = [&](const std::string& text) {
                note(HostEvent::Kind::Release, k, text, static_cast<int>(pending.action));
            };
            if (action.kind == DriverAction::Kind::Power) {
                released("driver: power 0 (end of '" + action.text + "')");
                setPower(0);
            } else if (action.kind == DriverAction::Kind::Brake) {
                released("driver: brake 0 (end of '" + action.text + "')");
                setBrake(0);
            } else if (action.kind == DriverAction::Kind::Hold) {
                released("driver: power 0, brake 0 (end of '" + action.text + "')");
                endHold(false, false);
            } else if (action.kind == DriverAction::Kind::Key) {
                // Quick presses are not worth a line of their own.
                if (pending.release.ms == 0) {
                    unannounced();
                } else {
                    released("driver: key " + std::to_string(action.value) + " released");
                }
                call(HostCallId::KeyUp, action.value);
            }
        }
        releases_.erase(std::remove_if(releases_.begin(), releases_.end(),
                                       [](const PendingRelease& pending) { return !pending.live; }),
                        releases_.end());
    }

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
    FrameRecord record_;
    DriveEnd end_;
};

}  // namespace

DriveEnd runDrive(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
                  const std::vector<DriveConsumer*>& consumers) {
    return Drive(scenario, plugin, witness, consumers).run();
}

}  // namespace velt::drive
