#include "tools/velt-drive/explain/explainer.h"

#include <algorithm>
#include <cmath>

#include "core/beacons.h"
#include "core/legacy_rules.h"
#include "core/supervision.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

namespace {

using legacy::BrakeRule;
using legacy::Request;
using legacy::RequestKind;

// A speed that velt compares with exactly 0: a crawl must not read "0 km/h".
std::string kmhNonZero(double value) {
    return value != 0.0 && std::fabs(value) < 0.0005 ? "less than 0.001 km/h" : kmhText(value);
}

// "demo.drive:23 at 300.0 m"; the start of the run when no line is behind it.
std::string where(const CauseRef& cause) {
    if (!cause.known()) return "the start of the run";
    return cause.file + ":" + std::to_string(cause.line) + " at " + metresText(cause.positionM);
}

std::string stateNumber(LegacyState state) { return std::to_string(static_cast<int>(state)); }

const char* stateName(LegacyState state) {
    switch (state) {
        case LegacyState::kNormal: return "normal";
        case LegacyState::kAlarm: return "alarm";
        case LegacyState::kSilencedAlarm: return "silenced alarm";
        case LegacyState::kCheck: return "speed check";
    }
    return "";
}

std::string stateText(LegacyState state) {
    return "legacy state " + stateNumber(state) + " (" + stateName(state) + ")";
}

// The brake rule of a legacy state, in words, from the core's thresholds.
std::string ruleText(LegacyState state, std::int32_t lineType) {
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm:
            return "emergency brake above " + kmhText(legacy::kAlarmBrakeAboveKmh) +
                   ", released below " + kmhText(legacy::kAlarmReleaseBelowKmh);
        case LegacyState::kCheck:
            return "full-service brake above " + kmhText(legacy::kCheckBrakeAboveKmh);
        case LegacyState::kNormal: break;
    }
    if (lineType == legacy::kLineType1)
        return "full-service brake above " + kmhText(legacy::kNormalLine1BrakeAboveKmh) +
               ", released below " + kmhText(legacy::kNormalLine1ReleaseBelowKmh);
    return "no brake";
}

// Why a legacy state's rule asks for no brake at `speed`.
std::string releaseText(LegacyState state, std::int32_t lineType, float speed) {
    const std::string at = kmhText(speed);
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm:
            return stateText(state) + " releases below " + kmhText(legacy::kAlarmReleaseBelowKmh) +
                   ": the train is at " + at;
        case LegacyState::kCheck:
            return stateText(state) + " brakes only above " + kmhText(legacy::kCheckBrakeAboveKmh) +
                   ": the train is at " + at;
        case LegacyState::kNormal: break;
    }
    if (lineType == legacy::kLineType1)
        return stateText(state) + " releases below " +
               kmhText(legacy::kNormalLine1ReleaseBelowKmh) + ": the train is at " + at;
    return stateText(state) + " does not brake on line category " + std::to_string(lineType);
}

std::int32_t delayOf(LegacyState state) {
    return state == LegacyState::kCheck ? legacy::kCheckDelayMs : legacy::kAlarmDelayMs;
}

const char* levelWords(int level) {
    return level >= 2 ? "PROTECTION EMERGENCY BRAKE" : "PROTECTION FULL-SERVICE BRAKE";
}

const char* levelName(int level) { return level >= 2 ? "emergency" : "full service"; }

// The check of an armed CPP pattern, by the beacon's signal: 0 a stop
// pattern, 2 the 49 km/h variant; any other signal is never supervised.
Check cppCheckOf(std::int32_t cppSignal) {
    if (cppSignal == 0) return Check::CppStop;
    if (cppSignal == 2) return Check::Cpp49;
    return Check::None;
}

// The signal speed check in force: the line-0 override, or the table.
struct SignalCheckInForce {
    SignalCheckSpeed check;
    bool override;
};
SignalCheckInForce signalCheckOf(const CVelt& v) {
    if (overridesSignalOnLineType0(v.lineType, v.cppActive, v.signalIndex, v.cppSignal))
        return {checkKmh(kLineType0OverrideKmh), true};
    return {signalCheckSpeed(v.signalIndex, v.lineType), false};
}

std::size_t slot(Check check) { return checkSlot(check); }

}  // namespace

// One frame as the core ran it: the state before and after, and the values
// the frame computed, read from the core.
class Explainer::Frame {
public:
    Frame(const FrameRecord& frameRecord, const CVelt& before, const CVelt& after)
        : record(frameRecord),
          b(before),
          a(after),
          values(after.frameValues()),
          velt(before.veltDefined == 1) {}

    const FrameRecord& record;
    const CVelt& b;
    const CVelt& a;
    const FrameValues values;
    const float& speed = values.speed;        // signed, as the core read it
    const float& absSpeed = values.absSpeed;  // as the core's curves take it
    const std::int32_t& time = values.time;
    const double& warnMargin = values.warnMargin;
    bool velt;  // a Velt frame (else a legacy one)

    [[nodiscard]] float curve(double k) const { return brakingCurve(absSpeed, k); }
};

Explainer::Explainer(const Scenario& scenario, Scope scope) : scenario_(scenario), scope_(scope) {
    const std::size_t slash = scenario.file.find_last_of("/\\");
    file_ = slash == std::string::npos ? scenario.file : scenario.file.substr(slash + 1);
}

CauseRef Explainer::causeOf(const HostEvent& event) const {
    CauseRef cause;
    cause.file = file_;
    cause.positionM = event.positionM;
    if (event.item < 0) {
        cause.what = "the start state";
        return cause;
    }
    const auto item = static_cast<std::size_t>(event.item);
    switch (event.kind) {
        case HostEvent::Kind::Beacon: {
            const BeaconItem& beacon = scenario_.beacons[item];
            const std::string name = beaconTypeName(beacon.type);
            cause.line = beacon.pos.line;
            cause.what =
                name.empty() ? "beacon type " + std::to_string(beacon.type) : name + " beacon";
            break;
        }
        case HostEvent::Kind::Signal:
            cause.line = scenario_.signals[item].pos.line;
            cause.what = "signal aspect " + std::to_string(scenario_.signals[item].aspect);
            break;
        case HostEvent::Kind::Driver:
        case HostEvent::Kind::Release:
        case HostEvent::Kind::Jump:
            cause.line = scenario_.driver[item].pos.line;
            cause.what = "'" + scenario_.driver[item].text + "'";
            break;
    }
    return cause;
}

void Explainer::from(const HostEvent* event) {
    if (delivered_) {
        out_.events.clear();
        delivered_ = false;
        eventsThisFrame_ = 0;
    }
    eventOrdinal_ = event != nullptr ? eventsThisFrame_++ : -1;
    source_ = event != nullptr ? causeOf(*event) : CauseRef{};
    if (event == nullptr) source_.file = file_;
}

void Explainer::say(EventKind kind, std::string text, const CauseRef& cause, Check check) {
    if (delivered_) {
        out_.events.clear();
        delivered_ = false;
        eventsThisFrame_ = 0;
        eventOrdinal_ = -1;
    }
    ExplainedEvent event;
    event.at = at_;
    event.kind = kind;
    event.check = check;
    event.text = std::move(text);
    event.cause = cause;
    event.hostEvent = inFrame_ ? -1 : eventOrdinal_;
    out_.events.push_back(std::move(event));
}

// ---- Calls between frames.

void Explainer::call(const HostCall& call, const CVelt& b, const CVelt& a,
                     const VehicleCache& cache) {
    // What a call changes may change the display without a code changing.
    displayDirty_ = true;
    switch (call.id) {
        case HostCallId::Initialize: restart(); return;
        case HostCallId::SetSignal:
        case HostCallId::SetBeaconData: intake(call, b, a, cache.speedKmh); break;
        case HostCallId::DoorOpen:
        case HostCallId::DoorClose: doors(call, b, a); break;
        case HostCallId::KeyDown: keys(call, b, a, cache); break;
        case HostCallId::SetBrake:
            if (b.sppVolume == snd::kLoopFull && a.sppVolume == snd::kLoopQuiet)
                say(EventKind::Reminder,
                    "station-stop reminder attenuated: the driver's brake at notch " +
                        std::to_string(call.value),
                    source_);
            break;
        default: break;
    }
    legacyRequests(call, b, a, cache);
}

void Explainer::restart() {
    if (framesSeen_) {
        const std::string why =
            "velt was initialized by " + source_.what + " (" + where(source_) + ")";
        if (braking_ >= 0) closeIntervention(braking_, why);
        if (cut_ >= 0) closeIntervention(cut_, why);
        braking_ = cut_ = -1;
        for (const Span span : {Span::Cpp, Span::Ccp, Span::Spb}) closeSpan(span, at_.positionM);
        say(EventKind::Section, "velt initialized: the run starts afresh (" + source_.what + ")",
            source_);
    }
    level_.fill(0);
    aspectReported_ = false;
    routeBy_ = sectionBy_ = aspectBy_ = cppBy_ = ccpBy_ = spbBy_ = clfBy_ = CauseRef{};
    requestBy_ = stateBy_ = windowBy_ = tripBy_ = confirmBy_ = CauseRef{};
    patternWarnBefore_ = spbWarnBefore_ = 0;
}

void Explainer::intake(const HostCall& call, const CVelt& b, const CVelt& a, float speed) {
    const bool forward = passedMovingForward(speed);
    const std::string standing = "the train stands or runs backwards";
    if (call.id == HostCallId::SetSignal) {
        const std::int32_t aspect = normaliseAspect(call.value);
        aspectBy_ = source_;
        aspectReported_ = true;
        say(EventKind::Aspect,
            call.value != aspect
                ? "aspect " + std::to_string(call.value) + " stored as " + std::to_string(aspect)
                : "aspect " + std::to_string(aspect) + " stored",
            source_);
        if (b.cppActive != 0) {
            say(EventKind::Pattern,
                "CPP pattern disarmed by the signal report (it was armed by " + where(cppBy_) + ")",
                source_, cppCheckOf(b.cppSignal));
            closeSpan(Span::Cpp, source_.positionM);
            const std::string why =
                "the signal report (" + where(source_) + ") disarmed the CPP pattern";
            releasedBy_[slot(Check::CppStop)] = why;
            releasedBy_[slot(Check::Cpp49)] = why;
        }
        return;
    }
    const BeaconData& beacon = call.beacon;
    const std::int32_t opt = beacon.optional;
    switch (beacon.type) {
        case cab::kBeaconSpp:
            if (!forward) {
                say(EventKind::Reminder, "SPP beacon ignored: " + standing, source_);
            } else if (a.sppActive != 0) {
                say(EventKind::Reminder,
                    std::string("station-stop reminder started: the lamp blinks and the sound "
                                "loops ") +
                        (a.sppVolume == snd::kLoopQuiet ? "attenuated (the brake is applied)"
                                                        : "at full volume"),
                    source_);
            } else {
                say(EventKind::Reminder,
                    std::string("SPP beacon sounds ") +
                        (a.sndSppA == snd::kPlayOnce ? "station chime A" : "station chime B") +
                        " only: optional " + std::to_string(opt) + " on line category " +
                        std::to_string(a.lineType) +
                        " starts no reminder (optional 1 does, on line categories 1 and 2)",
                    source_);
            }
            break;
        case cab::kBeaconCpp: cppBeacon(b, a); break;
        case cab::kBeaconSpeedCheck: speedCheckBeacon(b, a, forward); break;
        case cab::kBeaconCcp:
            if (a.ccpActive != 0) {
                ccpBy_ = source_;
                say(EventKind::Pattern,
                    std::string(b.ccpActive != 0 ? "CCP pattern re-armed" : "CCP pattern armed") +
                        ": " + std::to_string(a.ccpSpeed) + " km/h in " +
                        metresText(a.ccpDistance) + " (at " +
                        metresText(source_.positionM + a.ccpDistance) + ")" +
                        (a.veltDefined == 1 ? "" : "; supervised only inside a Velt section"),
                    source_, Check::Ccp);
                closeSpan(Span::Ccp, source_.positionM);
                openSpan(Span::Ccp, Check::Ccp, source_.positionM + a.ccpDistance,
                         a.ccpSpeed + kCcpDemandMarginKmh);
            } else if (b.ccpActive != 0) {
                say(EventKind::Pattern,
                    "CCP pattern cancelled: optional " + std::to_string(opt) +
                        " is 0 or less (it was armed by " + where(ccpBy_) + ")",
                    source_, Check::Ccp);
                closeSpan(Span::Ccp, source_.positionM);
                releasedBy_[slot(Check::Ccp)] =
                    "the CCP beacon (" + where(source_) + ") cancelled the pattern";
            } else {
                say(EventKind::Pattern,
                    "CCP beacon with optional " + std::to_string(opt) +
                        " (0 or less) cancels nothing: no CCP pattern is armed",
                    source_, Check::Ccp);
            }
            break;
        case cab::kBeaconClf:
            if (a.clfState != ClfState::kOff) {
                clfBy_ = source_;
                say(EventKind::Pattern,
                    std::string(b.clfState != ClfState::kOff ? "CLF limit re-armed: "
                                                             : "CLF limit armed: ") +
                        std::to_string(a.clfSpeed) + " km/h, braking above " +
                        std::to_string(a.clfSpeed + kClfDemandMarginKmh) + " km/h" +
                        (a.veltDefined == 1 ? "" : "; supervised only inside a Velt section"),
                    source_, Check::Clf);
            } else if (b.clfState != ClfState::kOff) {
                say(EventKind::Pattern,
                    "CLF limit switched off: value " + std::to_string(opt) + " is outside " +
                        std::to_string(kClfLowestCode) + " to " + std::to_string(kClfHighestCode) +
                        " (it was armed by " + where(clfBy_) + ")",
                    source_, Check::Clf);
                releasedBy_[slot(Check::Clf)] =
                    "the CLF beacon (" + where(source_) + ") switched the limit off";
            } else {
                say(EventKind::Pattern,
                    "CLF beacon value " + std::to_string(opt) + " is outside " +
                        std::to_string(kClfLowestCode) + " to " + std::to_string(kClfHighestCode) +
                        ": the limit stays off",
                    source_, Check::Clf);
            }
            break;
        case cab::kBeaconSpb:
            if (!forward) {
                say(EventKind::Pattern, "SPB beacon ignored: " + standing, source_, Check::Spb);
            } else if (!takesSpbBeacon(a.lineType)) {
                say(EventKind::Pattern,
                    "SPB beacon ignored: line category " + std::to_string(a.lineType) +
                        " takes no SPB beacon (only 0 and 2 do)",
                    source_, Check::Spb);
            } else {
                spbBy_ = source_;
                say(EventKind::Pattern,
                    std::string(b.spbActive != 0 ? "SPB pattern re-armed" : "SPB pattern armed") +
                        ": kind " + std::to_string(a.spbKind) + " (" +
                        (a.spbKind == 1 ? "emergency brake" : "full-service brake") +
                        "), stop target " + metresText(a.spbDistance) + " ahead (at " +
                        metresText(source_.positionM + a.spbDistance) + ")" +
                        (a.veltDefined == 1 ? "" : "; supervised only inside a Velt section"),
                    source_, Check::Spb);
                closeSpan(Span::Spb, source_.positionM);
                openSpan(Span::Spb, Check::Spb, source_.positionM + a.spbDistance, 0.0);
            }
            break;
        case cab::kBeaconSection:
            if (a.veltDefined != b.veltDefined) {
                sectionBy_ = source_;
                if (a.veltDefined == 1) {
                    // Whether an aspect is known comes clear at the frame:
                    // a report before it still counts.
                    sectionBegan_ = true;
                    say(EventKind::Section,
                        "Velt section begins on line category " + std::to_string(a.lineType),
                        source_);
                } else {
                    say(EventKind::Section,
                        "Velt section ends: legacy ATS supervises from the next frame", source_);
                    const std::string why = "the section ended (" + where(source_) + ")";
                    for (const Check check : kMergeOrder) releasedBy_[slot(check)] = why;
                }
            }
            break;
        case cab::kBeaconRoute:
            routeBy_ = source_;
            say(EventKind::Route,
                "route code " + std::to_string(opt) + ": line category " +
                    std::to_string(a.lineType) + ", selector " + std::to_string(a.routeSelect) +
                    (isFixedRoute(opt) ? ", a fixed route" : "") +
                    (a.lineType < 0 || a.lineType > 2
                         ? "; velt has no rules of its own for this category and applies its "
                           "default ones"
                         : ""),
                source_);
            break;
        case cab::kBeaconDoorLink:
            if (a.linkDoorState == LinkDoorState::kArmed) {
                say(EventKind::DoorLink,
                    std::string("door-link sequence armed: the next door opening shows it") +
                        (b.linkDoorState == LinkDoorState::kDoorsOpened ||
                                 b.linkDoorState == LinkDoorState::kDoorsClosed
                             ? " (the sequence in progress is dropped)"
                             : ""),
                    source_);
            } else if (b.linkDoorState != LinkDoorState::kIdle) {
                say(EventKind::DoorLink, "door-link sequence cancelled", source_);
            }
            break;
        case cab::kBeaconKindBlink:
            if (a.kindBlinkTimer > 0) {
                say(EventKind::KindBlink,
                    "kind-blink delay of " + std::to_string(a.kindBlinkTimer) +
                        " ms armed: the next door opening starts it",
                    source_);
            } else if (b.kindBlinkTimer != 0 || b.kindBlink != 0 || b.kindBlinkUntil != 0) {
                say(EventKind::KindBlink, "kind-blink cancelled", source_);
            }
            break;
        default: break;
    }
}

void Explainer::cppBeacon(const CVelt& b, const CVelt& a) {
    cppBy_ = source_;
    const std::string target = metresText(a.cppDistance) + " ahead (at " +
                               metresText(source_.positionM + a.cppDistance) + ")";
    std::string text =
        std::string(b.cppActive != 0 ? "CPP pattern re-armed" : "CPP pattern armed") + ": signal " +
        std::to_string(a.cppSignal) + ", target " + target +
        (a.cppPhase == CppPhase::kStopRequested ? ", stop phase requested" : "");
    const bool stop = isCppStopCase(a.cppActive, a.signalIndex, a.cppSignal);
    const bool variant49 = isCpp49Case(a.cppActive, a.lineType, a.signalIndex, a.cppSignal);
    if (a.veltDefined != 1) {
        text += "; not supervised outside a Velt section";
    } else if (stop) {
        text += "; a stop pattern under aspect " + std::to_string(a.signalIndex);
    } else if (variant49) {
        text += "; the 49 km/h variant under aspect " + std::to_string(a.signalIndex);
    } else {
        text += "; idle: signal " + std::to_string(a.cppSignal) + " under aspect " +
                std::to_string(a.signalIndex) + " on line category " + std::to_string(a.lineType) +
                " gives no CPP pattern";
    }
    const Check check = variant49 ? Check::Cpp49 : Check::CppStop;
    say(EventKind::Pattern, text, source_, check);
    closeSpan(Span::Cpp, source_.positionM);
    if (a.veltDefined == 1 && (stop || variant49))
        openSpan(Span::Cpp, check, source_.positionM + a.cppDistance,
                 variant49 ? static_cast<double>(kCpp49Kmh) : 0.0);
}

void Explainer::speedCheckBeacon(const CVelt& b, const CVelt& a, bool forward) {
    const std::int32_t now = *a.pTime;
    if (!forward) {
        say(EventKind::SpeedCheck, "speed-check beacon ignored: the train stands or runs backwards",
            source_, Check::SpeedCheckTrip);
    } else if (b.spsWindowEnd == 0 && a.spsWindowEnd != 0) {
        windowBy_ = source_;
        windowOpenedMs_ = now;
        say(EventKind::SpeedCheck,
            "speed-check window opened: the next speed-check beacon trips the section if it "
            "comes within " +
                secondsText(secondsOf(legacy::kSpeedCheckWindowMs)),
            source_, Check::SpeedCheckTrip);
    } else if (b.spsTripped == 0 && a.spsTripped != 0) {
        tripBy_ = source_;
        // What the trip does now, by the core's own rules: the state's rule
        // overrides it wherever that rule decides.
        const float speed = *a.pSpeed;
        const BrakeRule rule = legacy::stateBrake(a.ats1State, a.lineType, speed);
        std::string effect;
        if (a.veltDefined == 1) {
            effect = "inside this Velt section it does nothing";
        } else if (rule.decides) {
            effect = "now " + stateText(a.ats1State) + " decides: " +
                     (rule.demand == Demand::kNone ? std::string("no brake")
                                                   : levelName(static_cast<int>(rule.demand))) +
                     " at " + kmhText(speed);
        } else {
            effect = "now it brakes";
        }
        say(EventKind::SpeedCheck,
            "speed-check section TRIPPED: this beacon came " +
                secondsText(secondsOf(now - windowOpenedMs_)) + " after the first (" +
                where(windowBy_) + "), within " +
                secondsText(secondsOf(legacy::kSpeedCheckWindowMs)) +
                ". Until velt is initialized, legacy supervision brakes above " +
                kmhText(legacy::kTripBrakeAboveKmh) +
                " wherever the state's own rule leaves the brake open; " + effect,
            source_, Check::SpeedCheckTrip);
    } else {
        say(EventKind::SpeedCheck,
            "speed-check window closed " + std::string(a.spsTripped != 0 ? "" : "in time") +
                ": this beacon came " + secondsText(secondsOf(now - windowOpenedMs_)) +
                " after the first (" + where(windowBy_) + ")",
            source_, Check::SpeedCheckTrip);
    }
}

void Explainer::doors(const HostCall& call, const CVelt& b, const CVelt& a) {
    if (call.id == HostCallId::DoorOpen) {
        if (b.sppActive != 0)
            say(EventKind::Reminder, "station-stop reminder ended: the doors opened", source_);
        if (b.kindBlinkTimer != 0)
            say(EventKind::KindBlink,
                "kind-blink started by the door opening: the selector blinks from the next Velt "
                "frame until the train runs above " +
                    kmhText(kKindBlinkEndKmh),
                source_);
        if (b.linkDoorState == LinkDoorState::kArmed &&
            a.linkDoorState == LinkDoorState::kDoorsOpened)
            say(EventKind::DoorLink,
                "door-link sequence: doors opened; the target shows 29, then 1 from " +
                    secondsText(secondsOf(a.linkDoorTime - *a.pTime)) + " on",
                source_);
        return;
    }
    if (b.linkDoorState == LinkDoorState::kDoorsOpened &&
        a.linkDoorState == LinkDoorState::kDoorsClosed)
        say(EventKind::DoorLink,
            "door-link sequence: doors closed; the target shows 1 for " +
                secondsText(secondsOf(a.linkDoorTime - *a.pTime)),
            source_);
}

void Explainer::keys(const HostCall& call, const CVelt& b, const CVelt& a,
                     const VehicleCache& cache) {
    if (call.value == cab::kKeyRecovery && b.brakeDemand != Demand::kNone) {
        if (a.brakeDemand == Demand::kNone) {
            say(EventKind::Recovery,
                "recovery key: every brake demand cleared; the next frame brakes again where a "
                "check still calls for it",
                source_);
            const std::string why = "the recovery key (" + where(source_) + ")";
            for (const Check check : kMergeOrder) releasedBy_[slot(check)] = why;
        } else {
            say(EventKind::Recovery,
                "recovery key ignored: the brake handle is at notch " +
                    std::to_string(cache.brakeNotch) + ", not the emergency notch " +
                    std::to_string(a.emergencyNotch),
                source_);
        }
    }
    if (call.value == cab::kKeyConfirm && b.brakeDemand == Demand::kNone &&
        a.brakeDemand != Demand::kNone) {
        confirmBy_ = source_;
        confirmedAtSpeed_ = true;
        say(EventKind::Legacy,
            "confirm key pressed in legacy state 1 (alarm) while the train moves (" +
                kmhNonZero(cache.speedKmh) +
                " in the last frame): velt demands the emergency brake for it, and the state "
                "stays 1",
            source_, Check::ConfirmAtSpeed);
    }
}

void Explainer::legacyRequests(const HostCall& call, const CVelt& b, const CVelt& a,
                               const VehicleCache& cache) {
    // The request the call made, by the core's own rules.
    Request request = legacy::kNoRequest;
    if (call.id == HostCallId::SetSignal) {
        request = legacy::requestForAspect(normaliseAspect(call.value), b.lineType, cache.speedKmh);
    } else if (call.id == HostCallId::SetBeaconData && call.beacon.type == cab::kBeaconCpp) {
        if (!passedMovingForward(cache.speedKmh)) {
            say(EventKind::Legacy,
                "no legacy request: the beacon was passed standing or running backwards", source_,
                Check::Legacy);
            return;
        }
        request = legacy::requestForBeacon(call.beacon.signal, b.lineType, cache.speedKmh);
    }
    const std::string inSection =
        a.veltDefined == 1 ? "; inside the Velt section it waits for legacy supervision" : "";
    if (request.kind == RequestKind::kStamped) {
        const LegacyState state = request.state;
        requestBy_ = source_;
        if (state == b.ats1State && b.ats1Pending == b.ats1State) {
            say(EventKind::Legacy,
                "legacy request of state " + stateNumber(state) + ", already in force", source_,
                Check::Legacy);
        } else if (state == b.ats1Pending) {
            say(EventKind::Legacy,
                "legacy request of state " + stateNumber(state) + " (" + stateName(state) +
                    ") renewed: its delay of " + secondsText(secondsOf(delayOf(state))) +
                    " starts again" + inSection,
                source_, Check::Legacy);
        } else {
            say(EventKind::Legacy,
                "legacy request of state " + stateNumber(state) + " (" + stateName(state) +
                    ") made: it takes effect after " + secondsText(secondsOf(delayOf(state))) +
                    " unless the confirm key is pressed" + inSection,
                source_, Check::Legacy);
        }
    } else if (b.ats1Pending != a.ats1Pending && a.ats1Pending == LegacyState::kNormal &&
               b.ats1Pending != b.ats1State) {
        std::string by = "by " + source_.what;
        if (call.id == HostCallId::KeyDown) by = "by the confirm key";
        if (call.id == HostCallId::SetBeaconData) by = "by the section boundary";
        say(EventKind::Legacy,
            "legacy request of state " + stateNumber(b.ats1Pending) + " cancelled " + by +
                " (it was made by " + where(requestBy_) + ")",
            source_, Check::Legacy);
    }
    if (b.ats1State == LegacyState::kAlarm && a.ats1State == LegacyState::kSilencedAlarm) {
        say(EventKind::Legacy,
            "legacy alarm silenced: a proceed report turns state 1 into state 2 at once; it "
            "brakes as before",
            source_, Check::Legacy);
        stateBy_ = source_;
    }
    if (a.ats1State == LegacyState::kNormal && b.ats1State != LegacyState::kNormal) {
        say(EventKind::Legacy,
            "confirm key: " + stateText(b.ats1State) + " acknowledged, back to state 0", source_,
            Check::Legacy);
        stateBy_ = source_;
    } else if (call.id == HostCallId::KeyDown && call.value == cab::kKeyConfirm &&
               b.brakeDemand != Demand::kNone &&
               (b.ats1State != LegacyState::kNormal || b.ats1Pending != b.ats1State)) {
        say(EventKind::Legacy, "confirm key has no effect while the protection brakes", source_,
            Check::Legacy);
    }
}

// ---- Pattern spans.

void Explainer::openSpan(Span span, Check check, double targetM, double brakesAboveKmh) {
    PatternSpan pattern;
    pattern.check = check;
    pattern.armedAtM = source_.positionM;
    pattern.targetM = targetM;
    pattern.brakesAboveKmh = brakesAboveKmh;
    pattern.armedBy = source_;
    openSpan_[static_cast<std::size_t>(span)] = static_cast<int>(patterns_.size());
    patterns_.push_back(pattern);
}

void Explainer::closeSpan(Span span, double atM) {
    int& open = openSpan_[static_cast<std::size_t>(span)];
    if (open < 0) return;
    PatternSpan& pattern = patterns_[static_cast<std::size_t>(open)];
    pattern.ended = true;
    pattern.endedAtM = atM;
    open = -1;
}

// ---- Frames.

const CoreFrame& Explainer::frame(const FrameRecord& record, const CVelt& before,
                                  const CVelt& after) {
    if (delivered_) {
        out_.events.clear();
        eventsThisFrame_ = 0;
    }
    at_ = FramePoint{record.number, record.elapsedMs, record.positionM, record.speedKmh};
    for (ExplainedEvent& event : out_.events) event.at = at_;
    framesSeen_ = true;
    inFrame_ = true;
    const Frame f(record, before, after);
    sectionWithoutAspect(f);
    patternsInFrame(f);
    legacyStates(f);
    if (scope_ == Scope::Everything) warnings(f);
    demands(f);
    overspeedCut(f);
    if (scope_ == Scope::Everything) {
        sequences(f);
        display(f);
    }
    inFrame_ = false;

    const CVelt& a = after;
    out_.demands = {static_cast<int>(a.sigDemand), static_cast<int>(a.cppDemand),
                    static_cast<int>(a.ccpDemand), static_cast<int>(a.clfDemand),
                    static_cast<int>(a.spbDemand)};
    out_.cppArmed = a.cppActive != 0;
    out_.ccpArmed = a.ccpActive != 0;
    out_.spbArmed = a.spbActive != 0;
    out_.cppDistanceM = a.cppDistance;
    out_.ccpDistanceM = a.ccpDistance;
    out_.spbDistanceM = a.spbDistance;
    out_.legacyState = static_cast<int>(a.ats1State);
    out_.legacyRequest = static_cast<int>(a.ats1Pending);
    // The stop target the core supervised in this frame: the CPP stop
    // pattern, else the SPB pattern (which may have ended in this very frame).
    out_.stopTarget = Check::None;
    if (f.velt && isCppStopCase(a.cppActive, a.signalIndex, a.cppSignal)) {
        out_.stopTarget = Check::CppStop;
        out_.stopTargetRemainingM = a.cppDistance;
    } else if (f.velt && (a.spbActive != 0 || before.spbActive != 0)) {
        out_.stopTarget = Check::Spb;
        out_.stopTargetRemainingM = a.spbDistance;
    }

    releasedBy_.fill("");
    confirmedAtSpeed_ = false;
    eventOrdinal_ = -1;
    delivered_ = true;
    return out_;
}

void Explainer::sectionWithoutAspect(const Frame& f) {
    if (sectionBegan_ && f.velt && !aspectReported_)
        say(EventKind::Section,
            "no signal has been reported since the run began: the section supervises aspect 0, "
            "a stop aspect, and brakes at once while the train moves",
            sectionBy_, Check::Signal);
    sectionBegan_ = false;
}

void Explainer::patternsInFrame(const Frame& f) {
    if (!f.velt) return;
    const CVelt& a = f.a;
    const CVelt& b = f.b;
    if (b.cppPhase == CppPhase::kStopRequested && a.cppPhase == CppPhase::kStopPhase)
        say(EventKind::Pattern,
            "CPP stop phase: below " + kmhText(kCppStopPhaseEntryKmh) +
                "; from here the train may run on at up to " + kmhText(kCppStopPhaseLimitKmh),
            cppBy_, Check::CppStop);
    if (b.cppPhase != CppPhase::kDistance && a.cppPhase == CppPhase::kDistance && a.cppActive != 0)
        say(EventKind::Pattern,
            "CPP stop phase lost: the pattern gives nothing under aspect " +
                std::to_string(a.signalIndex),
            cppBy_, Check::CppStop);
    spbEndedBy_.clear();
    if (b.spbActive != 0 && a.spbActive == 0) {
        const std::string why =
            a.spbDistance > 0.0F
                ? "the train is below " + kmhText(kSpbDisarmBelowKmh) + " with the doors open, " +
                      metresText(a.spbDistance) + " short of the target"
                : "the train stands " + metresText(-a.spbDistance) + " past the target";
        say(EventKind::Pattern, "SPB pattern ended: " + why, spbBy_, Check::Spb);
        spbEndedBy_ = "the SPB pattern ended in the frame before (" + why + ")";
        closeSpan(Span::Spb, f.record.positionM);
    }
}

void Explainer::warnings(const Frame& f) {
    const CVelt& a = f.a;
    if (f.velt && a.patternWarn == 1 && patternWarnBefore_ == 0) {
        const auto warning = [&](const char* name, const char* curveName, float curve,
                                 float distance, const CauseRef& by, Check check) {
            say(EventKind::Warning,
                std::string("pattern warning: ") + name + ", " + curveName + " " +
                    metresText(curve) + " is within 5 s of running (" + metresText(f.warnMargin) +
                    ") of the remaining " + metresText(distance) + "; armed by " + where(by),
                by, check);
        };
        bool named = false;
        if (isCppStopCase(a.cppActive, a.signalIndex, a.cppSignal) &&
            warnsWithin(f.curve(kStopCurveK), f.warnMargin, a.cppDistance)) {
            warning("CPP stop pattern", "stop curve", f.curve(kStopCurveK), a.cppDistance, cppBy_,
                    Check::CppStop);
            named = true;
        } else if (isCpp49Case(a.cppActive, a.lineType, a.signalIndex, a.cppSignal) &&
                   warnsWithin(f.curve(k49CurveK), f.warnMargin, a.cppDistance)) {
            warning("CPP 49 km/h variant", "49 km/h curve", f.curve(k49CurveK), a.cppDistance,
                    cppBy_, Check::Cpp49);
            named = true;
        }
        const float ccpCurve = f.curve(squared(a.ccpSpeed + kCcpDemandMarginKmh));
        if (a.ccpActive != 0 && warnsWithin(ccpCurve, f.warnMargin, a.ccpDistance)) {
            const std::string curveName =
                "curve to " + std::to_string(a.ccpSpeed + kCcpDemandMarginKmh) + " km/h";
            warning("CCP pattern", curveName.c_str(), ccpCurve, a.ccpDistance, ccpBy_, Check::Ccp);
            named = true;
        }
        if (!named) say(EventKind::Warning, "pattern warning", {}, Check::None);
    }
    if (f.velt && a.spbWarn == 1 && spbWarnBefore_ == 0)
        say(EventKind::Warning,
            "SPB warning: stop curve " + metresText(f.curve(kStopCurveK)) +
                " is within 5 s of running (" + metresText(f.warnMargin) + ") of the remaining " +
                metresText(a.spbDistance) + "; armed by " + where(spbBy_) +
                (a.lineType == 1 ? " (no chime and no display on line category 1)" : ""),
            spbBy_, Check::Spb);
    patternWarnBefore_ = a.patternWarn;
    spbWarnBefore_ = a.spbWarn;
}

std::string Explainer::describeDemand(Check check, const Frame& f, CauseRef& cause) const {
    const CVelt& a = f.a;
    const std::string speed = kmhText(f.absSpeed);
    switch (check) {
        case Check::Signal: {
            const SignalCheckInForce inForce = signalCheckOf(a);
            const std::string aspect = "aspect " + std::to_string(a.signalIndex);
            if (inForce.check.kind == SignalCheck::kStop) {
                if (!aspectReported_) {
                    cause = sectionBy_;
                    return "no signal has been reported since the run began, so the section "
                           "supervises aspect 0, a stop aspect: emergency brake while the train "
                           "moves (" +
                           speed + "); section begun by " + where(sectionBy_);
                }
                cause = aspectBy_;
                return aspect + " is a stop aspect: emergency brake while the train moves (" +
                       speed + "); reported by " + where(aspectBy_);
            }
            const double over = static_cast<double>(f.absSpeed) - inForce.check.kmh;
            if (inForce.override) {
                cause = cppBy_;
                return "the CPP beacon with signal 2 lowers " + aspect + " on line category 0 to " +
                       kmhText(inForce.check.kmh) + "; " + speed + " is " + kmhText(over) +
                       " over; beacon " + where(cppBy_);
            }
            cause = aspectBy_;
            return aspect + " on line category " + std::to_string(a.lineType) + " checks " +
                   kmhText(inForce.check.kmh) + "; " + speed + " is " + kmhText(over) +
                   " over; reported by " + where(aspectBy_);
        }
        case Check::CppStop:
            cause = cppBy_;
            if (a.cppPhase == CppPhase::kStopPhase)
                return "in the stop phase " + speed + " is above " +
                       kmhText(kCppStopPhaseLimitKmh) + "; armed by " + where(cppBy_);
            if (a.cppDistance > 0.0F)
                return "stop curve " + metresText(f.curve(kStopCurveK)) +
                       " reached the remaining " + metresText(a.cppDistance) + "; armed by " +
                       where(cppBy_);
            return metresText(-a.cppDistance) + " past the target, moving forward at " + speed +
                   "; armed by " + where(cppBy_);
        case Check::Cpp49:
            cause = cppBy_;
            if (a.cppDistance > 0.0F)
                return "49 km/h curve " + metresText(f.curve(k49CurveK)) +
                       " reached the remaining " + metresText(a.cppDistance) + "; armed by " +
                       where(cppBy_);
            return speed + " past the target is " +
                   kmhText(static_cast<double>(f.absSpeed) - kCpp49Kmh) + " over " +
                   kmhText(kCpp49Kmh) + "; armed by " + where(cppBy_);
        case Check::Ccp: {
            cause = ccpBy_;
            const std::int32_t above = a.ccpSpeed + kCcpDemandMarginKmh;
            const std::string name = "to " + std::to_string(a.ccpSpeed) + " km/h";
            if (a.ccpDistance > 0.0F)
                return name + ", its curve to " + std::to_string(above) + " km/h " +
                       metresText(f.curve(squared(above))) + " reached the remaining " +
                       metresText(a.ccpDistance) + "; armed by " + where(ccpBy_);
            return name + ", " + kmhText(f.speed) + " past the target is " +
                   kmhText(static_cast<double>(f.speed) - above) + " over " +
                   std::to_string(above) + " km/h; armed by " + where(ccpBy_);
        }
        case Check::Spb:
            cause = spbBy_;
            return "kind " + std::to_string(a.spbKind) + ", stop curve " +
                   metresText(f.curve(kStopCurveK)) + " reached the remaining " +
                   metresText(a.spbDistance) + "; armed by " + where(spbBy_);
        case Check::Clf: {
            cause = clfBy_;
            const std::int32_t above = a.clfSpeed + kClfDemandMarginKmh;
            return std::to_string(a.clfSpeed) + " km/h, " + kmhText(f.speed) + " is " +
                   kmhText(static_cast<double>(f.speed) - above) + " over " +
                   std::to_string(above) + " km/h; armed by " + where(clfBy_);
        }
        case Check::Legacy:
            cause = stateBy_;
            return stateText(a.ats1State) + ", " + ruleText(a.ats1State, a.lineType) + ", at " +
                   kmhText(f.speed) + "; " +
                   (stateBy_.known() ? "requested by " + where(stateBy_)
                                     : std::string("in force since the run began"));
        case Check::SpeedCheckTrip:
            cause = tripBy_;
            return "emergency brake above " + kmhText(legacy::kTripBrakeAboveKmh) + " (" +
                   kmhText(f.speed) + ") until velt is initialized; tripped by " + where(tripBy_);
        case Check::ConfirmAtSpeed:
            cause = confirmBy_;
            return "the key was pressed while the train moved, " + where(confirmBy_);
        case Check::None:
        case Check::OverspeedCut: break;
    }
    return "";
}

std::string Explainer::describeRelease(Check check, const Frame& f) const {
    if (!releasedBy_[slot(check)].empty()) return releasedBy_[slot(check)];
    const CVelt& a = f.a;
    const std::string speed = kmhText(f.speed);
    if (!f.velt) {
        // Legacy supervision decides: by the state's rule, else by the trip.
        const BrakeRule state = legacy::stateBrake(a.ats1State, a.lineType, f.speed);
        if (state.decides) return releaseText(a.ats1State, a.lineType, f.speed);
        return "the tripped section brakes only above " + kmhText(legacy::kTripBrakeAboveKmh) +
               ": the train is at " + kmhText(f.speed);
    }
    switch (check) {
        case Check::Signal: {
            const SignalCheckInForce inForce = signalCheckOf(a);
            if (inForce.check.kind == SignalCheck::kStop) return "the train stands";
            if (inForce.check.kind == SignalCheck::kNone)
                return "aspect " + std::to_string(a.signalIndex) +
                       " has no check speed on line category " + std::to_string(a.lineType);
            return kmhText(f.absSpeed) + " is no longer above the check speed " +
                   kmhText(inForce.check.kmh) + " of aspect " + std::to_string(a.signalIndex);
        }
        case Check::CppStop:
            if (!isCppStopCase(a.cppActive, a.signalIndex, a.cppSignal))
                return "aspect " + std::to_string(a.signalIndex) + " gives no CPP stop pattern";
            if (a.cppDistance > 0.0F || a.cppPhase == CppPhase::kStopPhase)
                return "standstill (the CPP stop pattern lets go only at a stand)";
            return f.speed < 0.0F ? "running backwards past the target"
                                  : "standstill past the target";
        case Check::Cpp49:
            if (!isCpp49Case(a.cppActive, a.lineType, a.signalIndex, a.cppSignal))
                return "aspect " + std::to_string(a.signalIndex) + " gives no 49 km/h variant";
            if (a.cppDistance > 0.0F)
                return "the remaining " + metresText(a.cppDistance) +
                       " is beyond the 42 km/h release curve " + metresText(f.curve(k42CurveK));
            return kmhText(f.absSpeed) + " is below " + kmhText(kCpp49ReleaseKmh);
        case Check::Ccp: {
            if (a.ccpActive == 0) return "the CCP pattern was cancelled";
            const std::int32_t to = a.ccpSpeed - kCcpReleaseMarginKmh;
            if (a.ccpDistance > 0.0F)
                return "the remaining " + metresText(a.ccpDistance) +
                       " is beyond the release curve to " + std::to_string(to) + " km/h (" +
                       metresText(f.curve(squared(to))) + ")";
            if (a.lineType == 0) return "standstill past the CCP target";
            return speed + " past the target is no longer above " +
                   std::to_string(a.ccpSpeed + kCcpDemandMarginKmh) + " km/h";
        }
        case Check::Spb:
            if (!spbEndedBy_.empty()) return spbEndedBy_;
            if (f.absSpeed == 0.0F) return "standstill";
            return "the remaining " + metresText(a.spbDistance) +
                   " is beyond the SPB release curve " + metresText(f.curve(kSpbReleaseCurveK));
        case Check::Clf:
            if (a.clfState == ClfState::kOff) return "the CLF limit was switched off";
            return speed + " is below " + std::to_string(a.clfSpeed - kClfReleaseMarginKmh) +
                   " km/h";
        default: break;
    }
    return "the train is at " + speed;
}

void Explainer::demands(const Frame& f) {
    const CVelt& a = f.a;
    std::array<int, kChecks> now{};
    if (f.velt) {
        now[slot(Check::Signal)] = static_cast<int>(a.sigDemand);
        now[slot(isCpp49Case(a.cppActive, a.lineType, a.signalIndex, a.cppSignal)
                     ? Check::Cpp49
                     : Check::CppStop)] = static_cast<int>(a.cppDemand);
        now[slot(Check::Ccp)] = static_cast<int>(a.ccpDemand);
        now[slot(Check::Clf)] = static_cast<int>(a.clfDemand);
        now[slot(Check::Spb)] = static_cast<int>(a.spbDemand);
    } else {
        // The state's rule, the trip, or the demand the frame began with.
        const int demand = static_cast<int>(a.brakeDemand);
        const BrakeRule state = legacy::stateBrake(a.ats1State, a.lineType, f.speed);
        const BrakeRule trip = legacy::speedCheckTripBrake(a.spsTripped == 1, f.speed);
        if (state.decides) {
            now[slot(Check::Legacy)] = demand;
        } else if (trip.decides) {
            now[slot(Check::SpeedCheckTrip)] = demand;
        } else if (demand > 0) {
            // Held: the demand the frame began with, and whoever held it.
            if (*std::max_element(level_.begin(), level_.end()) == demand) {
                now = level_;
            } else {
                now[slot(confirmedAtSpeed_ ? Check::ConfirmAtSpeed : Check::Legacy)] = demand;
            }
        }
    }
    const auto anyOf = [](const std::array<int, kChecks>& levels) {
        return std::any_of(levels.begin(), levels.end(), [](int l) { return l > 0; });
    };
    const bool was = anyOf(level_);
    const bool is = anyOf(now);
    // The check that brakes hardest, the first in merge order at a tie.
    Check primary = Check::None;
    int top = 0;
    for (const Check check : kMergeOrder)
        if (now[slot(check)] > top) {
            top = now[slot(check)];
            primary = check;
        }
    // Words are built only for a frame that has something to say: most
    // frames change nothing, and a sweep explains millions of them.
    const auto notch = [&] { return " (brake notch " + std::to_string(f.record.out.brake) + ")"; };
    if (!was && is) {
        CauseRef cause;
        const std::string text = describeDemand(primary, f, cause);
        beginIntervention(primary, top, text, cause);
        say(EventKind::Brake, levelWords(top) + notch() + ", " + checkName(primary) + ": " + text,
            cause, primary);
        out_.events.back().level = top;
        out_.events.back().intervention = braking_;
    }
    const auto stillBraking = [&] {
        std::string names;
        for (const Check check : kMergeOrder)
            if (now[slot(check)] > 0)
                names += (names.empty() ? "" : ", ") + std::string(checkName(check));
        return names;
    };
    for (const Check check : kMergeOrder) {
        const int before = level_[slot(check)];
        const int after = now[slot(check)];
        if (!was || !is || after == before) continue;
        if (after > before) {
            CauseRef cause;
            const std::string text = describeDemand(check, f, cause);
            Intervention& intervention = interventions_[static_cast<std::size_t>(braking_)];
            const bool raised = after > *std::max_element(level_.begin(), level_.end());
            intervention.level = std::max(intervention.level, after);
            if (after == 2 && !intervention.raisedToEmergency && intervention.startLevel < 2) {
                intervention.raisedToEmergency = true;
                intervention.emergencyAt = at_;
            }
            say(EventKind::Brake,
                (raised ? std::string(levelWords(after)) + notch() + ", raised by the "
                        : std::string("also braking (") + levelName(after) + "), ") +
                    checkName(check) + ": " + text,
                cause, check);
            out_.events.back().level = after;
            out_.events.back().intervention = braking_;
        } else if (after == 0) {
            say(EventKind::Release,
                std::string(checkName(check)) + " lets go: " + describeRelease(check, f) +
                    "; still braking: " + stillBraking(),
                {}, check);
            out_.events.back().intervention = braking_;
        }
    }
    if (was && !is) {
        std::string why;
        Check last = Check::None;
        for (const Check check : kMergeOrder)
            if (level_[slot(check)] > 0 && last == Check::None) last = check;
        why = describeRelease(last, f);
        say(EventKind::Release,
            std::string("protection brake released, ") + checkName(last) + ": " + why, {}, last);
        out_.events.back().intervention = braking_;
        closeIntervention(braking_, why);
        braking_ = -1;
    }
    level_ = now;
}

void Explainer::beginIntervention(Check check, int level, const std::string& cause,
                                  const CauseRef& ref) {
    Intervention intervention;
    intervention.start = at_;
    intervention.end = at_;
    intervention.check = check;
    intervention.level = level;
    intervention.startLevel = level;
    intervention.cause = cause;
    intervention.causeRef = ref;
    if (check == Check::OverspeedCut) {
        cut_ = static_cast<int>(interventions_.size());
    } else {
        braking_ = static_cast<int>(interventions_.size());
    }
    interventions_.push_back(std::move(intervention));
}

void Explainer::closeIntervention(int index, const std::string& endedBy) {
    Intervention& intervention = interventions_[static_cast<std::size_t>(index)];
    intervention.end = at_;
    intervention.ended = true;
    intervention.endedBy = endedBy;
}

void Explainer::overspeedCut(const Frame& f) {
    const CVelt& a = f.a;
    if (f.b.overspeedCut == 0 && a.overspeedCut != 0) {
        const std::string text = kmhText(f.absSpeed) + " is above " + kmhText(kOverspeedCutKmh) +
                                 " on line category 0; line category set by " + where(routeBy_);
        beginIntervention(Check::OverspeedCut, 0, text, routeBy_);
        say(EventKind::PowerCut, "OVERSPEED POWER CUT: " + text, routeBy_, Check::OverspeedCut);
        out_.events.back().intervention = cut_;
    } else if (f.b.overspeedCut != 0 && a.overspeedCut == 0 && cut_ >= 0) {
        const std::string why = kmhText(f.absSpeed) + " is below " + kmhText(kOverspeedRestoreKmh);
        say(EventKind::PowerCut, "overspeed power cut ends: " + why, {}, Check::OverspeedCut);
        out_.events.back().intervention = cut_;
        closeIntervention(cut_, why);
        cut_ = -1;
    }
}

void Explainer::legacyStates(const Frame& f) {
    if (f.velt) return;
    const CVelt& a = f.a;
    const CVelt& b = f.b;
    if (a.ats1State == b.ats1State) return;
    if (b.ats1State == LegacyState::kSilencedAlarm && a.ats1State == LegacyState::kAlarm) {
        say(EventKind::Legacy,
            "legacy state 1 (alarm) again at once: a request of the alarm brings a silenced "
            "alarm back without a delay; " +
                ruleText(a.ats1State, a.lineType),
            requestBy_, Check::Legacy);
    } else {
        say(EventKind::Legacy,
            stateText(a.ats1State) + " takes effect " +
                secondsText(secondsOf(f.time - a.ats1PendingTime)) + " after its request by " +
                where(requestBy_) + ", not confirmed: " + ruleText(a.ats1State, a.lineType),
            requestBy_, Check::Legacy);
    }
    stateBy_ = requestBy_;
}

void Explainer::sequences(const Frame& f) {
    if (!f.velt) return;
    const CVelt& a = f.a;
    const CVelt& b = f.b;
    if (b.kindBlink == 0 && a.kindBlink != 0)
        say(EventKind::KindBlink,
            "kind-blink indication on: the selector code blinks until the train runs above " +
                kmhText(kKindBlinkEndKmh));
    if (b.kindBlink != 0 && a.kindBlink == 0)
        say(EventKind::KindBlink,
            "kind-blink indication off: the train runs above " + kmhText(kKindBlinkEndKmh));
    if (b.linkDoorState == LinkDoorState::kDoorsClosed && a.linkDoorState == LinkDoorState::kIdle)
        say(EventKind::DoorLink, "door-link sequence ended");
}

void Explainer::display(const Frame& f) {
    const CVelt& a = f.a;
    const CVelt& b = f.b;
    const bool changed = !displayShown_ || a.dispMode != b.dispMode || a.dispLimit != b.dispLimit ||
                         a.dispTarget != b.dispTarget || a.dispAux != b.dispAux;
    if (!changed && !displayDirty_ && !displayInputsChanged(b, a)) return;
    displayDirty_ = false;
    displayShown_ = true;
    const DisplayLook looks = displayLook(a, f.time);
    for (std::size_t e = 0; e < looks.size(); ++e) {
        const std::string text =
            describeLook(kFirstDisplayPanel + static_cast<int>(e), looks[e], a);
        if (text == look_[e]) continue;
        look_[e] = text;
        say(EventKind::Display, text);
    }
}

bool Explainer::displayInputsChanged(const CVelt& b, const CVelt& a) {
    // The fields the display reads besides the time; anything else that
    // changes leaves the display as it is.
    return b.veltDefined != a.veltDefined || b.lineType != a.lineType ||
           b.signalIndex != a.signalIndex || b.linkDoorState != a.linkDoorState ||
           b.overspeedCut != a.overspeedCut || b.cppPhase != a.cppPhase ||
           b.clfState != a.clfState || b.clfSpeed != a.clfSpeed || b.ccpActive != a.ccpActive ||
           b.ccpSpeed != a.ccpSpeed || b.cppActive != a.cppActive || b.cppSignal != a.cppSignal ||
           b.brakeDemand != a.brakeDemand || b.routeFlag != a.routeFlag ||
           b.routeSelect != a.routeSelect || b.patternWarn != a.patternWarn ||
           b.spbActive != a.spbActive || b.spbWarn != a.spbWarn || b.spbKind != a.spbKind ||
           b.kindBlink != a.kindBlink || b.ats1State != a.ats1State;
}

void Explainer::finish(const FrameRecord& last) {
    at_ = FramePoint{last.number, last.elapsedMs, last.positionM, last.speedKmh};
    for (const int open : {braking_, cut_}) {
        if (open < 0) continue;
        interventions_[static_cast<std::size_t>(open)].end = at_;
    }
    for (const Span span : {Span::Cpp, Span::Ccp, Span::Spb}) {
        const int open = openSpan_[static_cast<std::size_t>(span)];
        if (open >= 0) patterns_[static_cast<std::size_t>(open)].endedAtM = last.positionM;
    }
}

}  // namespace velt::drive
