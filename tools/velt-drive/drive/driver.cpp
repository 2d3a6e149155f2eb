// The scripted driver of a drive: when each action falls due, what it
// does to the handles, keys and doors, holds and releases.
#include <algorithm>
#include <cmath>

#include "tools/velt-drive/drive/drive_run.h"
#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

// The hold controller coasts in a band around its speed: it powers from
// 1 km/h below until the speed is reached, and brakes from 2 km/h above
// until it is back down, so the handles do not move every frame. The
// notch grows with the gap, the whole range over 10 km/h.
constexpr double kHoldPowerBelowKmh = 1.0;
constexpr double kHoldBrakeAboveKmh = 2.0;
constexpr double kHoldFullGapKmh = 10.0;

int notchForGap(double gapKmh, int notches) {
    const auto notch = static_cast<int>(std::ceil(gapKmh / kHoldFullGapKmh * notches));
    return std::clamp(notch, 1, notches);
}

}  // namespace

void DriveRun::heldAtTurn(std::size_t index, std::int64_t elapsed) {
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
                text = "its time " + secondsText(secondsOf(t.ms)) + " has passed " + turn + " at " +
                       secondsText(secondsOf(elapsed)) + ": it falls due at once";
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

bool DriveRun::isEdge(const Trigger& trigger) {
    return trigger.kind == Trigger::Kind::SpeedAbove || trigger.kind == Trigger::Kind::SpeedBelow ||
           trigger.kind == Trigger::Kind::Stopped;
}

bool DriveRun::atStation(const std::string& name) const {
    if (model_.speedKmh() != 0.0) return false;
    return std::any_of(scenario_.stations.begin(), scenario_.stations.end(),
                       [&](const Station& station) {
                           const double offset = model_.positionM() - station.positionM;
                           return (name.empty() || station.name == name) &&
                                  offset <= station.windowM && offset >= -station.windowM;
                       });
}

bool DriveRun::triggerHolds(const Trigger& trigger, std::int64_t elapsed) const {
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

void DriveRun::setPower(int notch) {
    if (notch == power_) return;
    power_ = notch;
    call(HostCallId::SetPower, notch);
}

void DriveRun::setBrake(int notch) {
    const int value = model_.brakeValue(notch);
    if (value == brake_) return;
    brake_ = value;
    call(HostCallId::SetBrake, value);
}

void DriveRun::dropReleasesOf(DriverAction::Kind kind, int key) {
    for (PendingRelease& pending : releases_) {
        const DriverAction& owner = scenario_.driver[pending.action];
        if (owner.kind == kind && (kind != DriverAction::Kind::Key || owner.value == key))
            pending.live = false;
    }
}

void DriveRun::act(std::size_t k, std::size_t index, std::int64_t elapsed) {
    const DriverAction& action = scenario_.driver[index];
    lastActionMs_ = elapsed;
    note(action.kind == DriverAction::Kind::Jump ? HostEvent::Kind::Jump : HostEvent::Kind::Driver,
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
            // The hold moves both handles: an end still pending from an
            // earlier power or brake action would take them from it.
            dropReleasesOf(DriverAction::Kind::Power, 0);
            dropReleasesOf(DriverAction::Kind::Brake, 0);
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

void DriveRun::jump(const DriverAction& action, std::int64_t elapsed) {
    call(HostCallId::Initialize);
    model_ = Motion(scenario_, action.positionM, 0.0, reverser_);
    clockBaseMs_ = action.clockMs - elapsed;
    nextPlaced_ = firstPlacedFrom(action.positionM);
    lineCategory_ = 0;
    aspectReported_ = false;
    inSection_ = false;
    standingSinceMs_ = elapsed;
}

void DriveRun::endHold(bool keepPower, bool keepBrake) {
    holding_ = false;
    if (!keepPower) setPower(0);
    if (!keepBrake) setBrake(0);
}

void DriveRun::holdStep() {
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

void DriveRun::releasesDue(std::size_t k, std::int64_t elapsed) {
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
            case Release::Kind::Position: due = model_.positionM() >= pending.release.value; break;
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

}  // namespace velt::drive
