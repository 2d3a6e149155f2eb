// The explainer, between frames: what each host call changed in the core.
#include <cmath>

#include "core/beacons.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explaining.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

using namespace explaining;

void Explainer::call(const HostCall& call, const CVelt& b, const CVelt& a,
                     const VehicleCache& cache) {
    // What a call changes may change the display without a code changing.
    displayDirty_ = true;
    if (call.id == HostCallId::SetBeaconData && beaconItem_ >= 0)
        fates_.beacon(static_cast<std::size_t>(beaconItem_), source_, b, a);
    if (call.id == HostCallId::SetSignal) fates_.signal(source_, b, a);
    switch (call.id) {
        case HostCallId::Initialize:
            fates_.restart();
            restart();
            return;
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

}  // namespace velt::drive
