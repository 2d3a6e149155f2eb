#include "tools/velt-drive/explain/explainer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "core/beacons.h"
#include "tools/velt-drive/drive/motion.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explaining.h"
#include "tools/velt-drive/explain/panel_codes.h"
#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {

using namespace explaining;

Explainer::Explainer(const Scenario& scenario, Scope scope)
    : scenario_(scenario), scope_(scope), fates_(scenario) {
    const std::size_t slash = scenario.file.find_last_of("/\\");
    file_ = slash == std::string::npos ? scenario.file : scenario.file.substr(slash + 1);
}

CauseRef Explainer::causeOf(const HostEvent& event) const {
    CauseRef cause;
    cause.file = file_;
    cause.positionM = event.positionM;
    if (event.item < 0 && event.source.line > 0) {
        // What the route reported: its own file and line.
        const std::size_t slash = event.source.file.find_last_of("/\\");
        cause.file =
            slash == std::string::npos ? event.source.file : event.source.file.substr(slash + 1);
        cause.line = event.source.line;
        cause.what = event.cause;
        return cause;
    }
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
    beaconItem_ = event != nullptr && event->kind == HostEvent::Kind::Beacon ? event->item : -1;
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
    fates_.frame(before);
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
    // A pattern warns again once its curve has let the warning go to brake;
    // while velt brakes that is no warning of anything to come.
    const bool braking = level_[slot(Check::CppStop)] > 0 || level_[slot(Check::Cpp49)] > 0 ||
                         level_[slot(Check::Ccp)] > 0;
    if (f.velt && a.patternWarn == 1 && patternWarnBefore_ == 0 && !braking) {
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
    const auto notch = [&] { return brakeNotchWords(scenario_, f.record.out.brake); };
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

void Explainer::forgetInterventionsBefore(std::size_t first) {
    for (const int open : {braking_, cut_})
        if (open >= 0) first = std::min(first, static_cast<std::size_t>(open));
    first = std::min(first, interventions_.size());
    if (first == 0) return;
    const auto from = interventions_.begin() + static_cast<std::ptrdiff_t>(first);
    std::vector<Intervention> kept(std::make_move_iterator(from),
                                   std::make_move_iterator(interventions_.end()));
    forgotten_.push_back(std::move(interventions_));
    interventions_ = std::move(kept);
    for (int* open : {&braking_, &cut_})
        if (*open >= 0) *open -= static_cast<int>(first);
}

}  // namespace velt::drive
