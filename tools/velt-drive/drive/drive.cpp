#include "tools/velt-drive/drive/drive.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "tools/velt-drive/drive/drive_run.h"
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

std::int64_t elapsedAtFrame(int frameMs, std::size_t k) {
    const auto index = static_cast<std::int64_t>(k);
    if (frameMs > 0) return index * frameMs;
    return index * 1000 / 60;
}

namespace {

// A drive that stands still after the driver's last action ends this long after.
constexpr std::int64_t kStandstillSettleMs = 3000;

}  // namespace

DriveRun::DriveRun(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
                   const std::vector<DriveConsumer*>& consumers, const RouteDrive* route)
    : scenario_(scenario),
      plugin_(plugin, witness),
      witness_(witness),
      consumers_(consumers),
      model_(scenario.vehicle, scenario.start.positionM, scenario.start.speedKmh,
             scenario.start.reverser),
      clockBaseMs_(scenario.start.timeOfDayMs),
      warnedBeacon_(scenario.beacons.size(), false),
      warnedAction_(scenario.driver.size(), false),
      route_(route) {
    for (const DriveConsumer* consumer : consumers)
        callsWanted_ = callsWanted_ || consumer->wantsCalls();
    if (route_ != nullptr) routeSetUp();
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

DriveEnd DriveRun::run() {
    const VehicleParams& vehicle = scenario_.vehicle;
    const StartState& start = scenario_.start;
    for (DriveConsumer* consumer : consumers_) consumer->begin(vehicle.brakeNotches + 1);

    call(HostCallId::Load);
    VehicleSpec spec{};
    spec.brakeNotches = vehicle.brakeNotches;
    if (route_ != nullptr) {
        // What the plug-in does not read, as a host fills it in: the power
        // notches and the cars (the ATS and B67 notches are left at 0).
        spec.unread[0] = vehicle.powerNotches;
        spec.unread[3] = vehicle.cars;
    }
    send(HostCall::vehicleSpec(spec));
    call(HostCallId::Initialize, route_ != nullptr ? route_->track->start().initializeMode : 0);
    if (route_ != nullptr) routeStart();
    // The start state, reported once as a host does when a run begins.
    power_ = start.power;
    brake_ = start.brake;
    reverser_ = start.reverser;
    doorsClosed_ = start.doorsClosed;
    note(HostEvent::Kind::Driver, 0,
         std::string("start: reverser ") +
             (reverser_ > 0 ? "forward" : (reverser_ < 0 ? "backward" : "neutral")) + ", power " +
             std::to_string(power_) + ", brake " + std::to_string(brake_) + ", doors " +
             (doorsClosed_ ? "closed" : "open"),
         -1);
    call(HostCallId::SetReverser, reverser_);
    call(HostCallId::SetPower, power_);
    call(HostCallId::SetBrake, brake_);
    call(doorsClosed_ ? HostCallId::DoorClose : HostCallId::DoorOpen);

    const EndCondition& end = scenario_.end;
    const bool stopEnds = end.whenStopped || (!end.elapsedMs && !end.positionM);
    const std::int64_t limitMs = end.elapsedMs             ? *end.elapsedMs
                                 : routeDriver_ != nullptr ? kRouteTimeLimitMs
                                                           : kDefaultTimeLimitMs;
    // The first frame only reports the start state: its interval is
    // measured from whatever time the plug-in last saw, so nothing that
    // counts distance down is armed before it.
    if (route_ != nullptr) routeFrame(0, 0);
    HandleCommand out = frame(0, 0);
    std::size_t k = 1;
    for (; !diverged(); ++k) {
        const std::int64_t elapsed = elapsedAt(k);
        const double speedBefore = model_.speedKmh();
        stepOut_ = out;
        stepBrake_ = brake_;
        model_.step(out, static_cast<int>(elapsed - elapsedAt(k - 1)));
        stoppedThisStep_ = speedBefore != 0.0 && model_.speedKmh() == 0.0;
        callFrame_ = k;
        if (route_ != nullptr) routeBeacons(k);
        eventsBefore(k, elapsed);
        if (route_ != nullptr) routeFrame(k, elapsed);
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
        if (route_ != nullptr && routeEnds(elapsed)) break;
        if (stopEnds && routeDriver_ == nullptr && nextAction_ >= scenario_.driver.size() &&
            !holding_ && standingSinceMs_ >= 0) {
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
    end_.stationVisits = visits_;
    if (witness_ != nullptr) witness_->finish(record_, end_);
    for (DriveConsumer* consumer : consumers_) consumer->end(end_);
    return end_;
}

HandleCommand DriveRun::frame(std::size_t k, std::int64_t elapsed) {
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

void DriveRun::note(HostEvent::Kind kind, std::size_t frame, std::string text, int item) {
    HostEvent event;
    event.kind = kind;
    event.frame = frame;
    event.text = std::move(text);
    event.item = item;
    event.positionM = model_.positionM();
    if (witness_ != nullptr) witness_->from(&event);
    for (DriveConsumer* consumer : consumers_) consumer->event(event);
}

void DriveRun::warn(SourcePos pos, const std::string& text) {
    const Diagnostic finding = scenario_.warningAt(pos, text);
    for (DriveConsumer* consumer : consumers_) consumer->finding(finding);
}

void DriveRun::eventsBefore(std::size_t k, std::int64_t elapsed) {
    if (!timedSignals_.empty()) timedSignalsDue(k, elapsed);
    while (nextPlaced_ < placed_.size() && model_.positionM() >= placed_[nextPlaced_].positionM) {
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

void DriveRun::timedSignalsDue(std::size_t k, std::int64_t elapsed) {
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

void DriveRun::sendSignal(std::size_t k, std::size_t i) {
    const SignalItem& item = scenario_.signals[i];
    note(HostEvent::Kind::Signal, k, "signal aspect " + std::to_string(item.aspect),
         static_cast<int>(i));
    call(HostCallId::SetSignal, item.aspect);
    aspectReported_ = true;
}

void DriveRun::sendBeacon(std::size_t k, const Placed& placed) {
    const BeaconItem& item = scenario_.beacons[placed.index];
    checkBeaconAsPassed(placed.index);
    BeaconData data{};
    data.type = item.type;
    data.signal = item.signal;
    data.optional = item.optional;
    data.distance = placed.beaconDistance;
    const std::string name = beaconTypeName(item.type);
    std::string text = "beacon " + std::to_string(item.type) +
                       (name.empty() ? "" : " (" + name + ")") + " signal " +
                       std::to_string(item.signal) + " optional " + std::to_string(item.optional);
    note(HostEvent::Kind::Beacon, k, text, static_cast<int>(placed.index));
    send(HostCall::beaconData(data));
}

void DriveRun::checkBeaconAsPassed(std::size_t index) {
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

void DriveRun::warnBeacon(std::size_t index, const std::string& text) {
    if (warnedBeacon_[index]) return;
    warnedBeacon_[index] = true;
    warn(scenario_.beacons[index].pos, text);
}

float DriveRun::beaconDistance(const BeaconItem& item) const {
    if (item.distance) return *item.distance;
    double nearest = std::numeric_limits<double>::infinity();
    for (const SignalItem& signal : scenario_.signals)
        if (signal.trigger.kind == Trigger::Kind::Position && signal.trigger.value > item.positionM)
            nearest = std::min(nearest, signal.trigger.value - item.positionM);
    return static_cast<float>(nearest);
}

DriveEnd runDrive(const Scenario& scenario, const PluginApi& plugin, Witness* witness,
                  const std::vector<DriveConsumer*>& consumers, const RouteDrive* route) {
    return DriveRun(scenario, plugin, witness, consumers, route).run();
}

}  // namespace velt::drive
