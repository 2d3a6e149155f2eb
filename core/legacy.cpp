// Legacy ATS supervision: the four-state alarm and speed-check machine that
// protects the train outside Velt sections. Signal reports and beacons only
// record requests; the legacy frame turns a request into a state once its
// delay has run, unless the driver acknowledged it with the confirm key, and
// derives the lamps and the brake demand from the state and the speed.
//
// The event operations run in both modes, so requests and the speed-check
// section are kept up to date inside a Velt section too; only the frame is
// tied to the legacy mode.
#include "core/beacons.h"
#include "core/legacy_rules.h"
#include "core/states.h"
#include "core/velt.h"
#include "core/wrap.h"

namespace velt {

namespace {

using namespace legacy;

void applyRequest(CVelt& v, const Request& request) {
    switch (request.kind) {
        case RequestKind::kStamped:
            v.ats1Pending = request.state;
            v.ats1PendingTime = *v.pTime;
            break;
        case RequestKind::kCancel: v.ats1Pending = request.state; break;
        case RequestKind::kNone: break;
    }
}

// ---- Steps of the legacy frame.

// Deadlines wrap as the 32-bit host build computes them and are compared as
// signed ints, so no time the host sends can overflow.
bool delayHasRun(std::int32_t now, std::int32_t since, std::int32_t delayMs) {
    return now >= wrapAdd(since, delayMs);
}

void applyLegacyDelays(CVelt& v, std::int32_t now) {
    if (v.ats1Pending == v.ats1State) {
        return;
    }
    switch (v.ats1Pending) {
        case LegacyState::kSilencedAlarm:
            if (delayHasRun(now, v.ats1PendingTime, kAlarmDelayMs)) {
                v.ats1State = LegacyState::kSilencedAlarm;
            }
            break;
        case LegacyState::kCheck:
            if (delayHasRun(now, v.ats1PendingTime, kCheckDelayMs)) {
                v.ats1State = LegacyState::kCheck;
            }
            break;
        case LegacyState::kAlarm:
            // A silenced alarm has already warned the driver, so a request
            // of the alarm brings it back without a second warning period.
            if (v.ats1State == LegacyState::kSilencedAlarm ||
                delayHasRun(now, v.ats1PendingTime, kAlarmDelayMs)) {
                v.ats1State = LegacyState::kAlarm;
            }
            break;
        case LegacyState::kNormal:
            break;  // a request of the normal state waits for the confirm key
    }
}

void applyBrakeRule(CVelt& v, BrakeRule rule) {
    if (rule.decides) {
        v.brakeDemand = rule.demand;
    }
}

void lightStateLamp(CVelt& v) {
    switch (v.ats1State) {
        case LegacyState::kNormal: v.ats1LampNormal = 1; break;
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm: v.ats1LampAlarm = 1; break;
        case LegacyState::kCheck: v.ats1LampCheck = 1; break;
    }
}

}  // namespace

void CVelt::ats1_receive(std::int32_t signal) {
    const std::int32_t aspect = normaliseAspect(signal);
    applyRequest(*this, requestForAspect(aspect, lineType, *pSpeed));
    // Any proceed report silences a running alarm at once, in either mode;
    // the brake rule of the alarm stays.
    if (aspect != 0 && ats1State == LegacyState::kAlarm) {
        ats1State = LegacyState::kSilencedAlarm;
    }
}

void CVelt::ats1_beacon(std::int32_t signal) {
    const float speed = *pSpeed;
    if (!passedMovingForward(speed)) {
        return;
    }
    applyRequest(*this, requestForBeacon(signal, lineType, speed));
}

void CVelt::ats1_checksps() {
    if (!passedMovingForward(*pSpeed)) {
        return;
    }
    const std::int32_t now = *pTime;
    if (spsWindowEnd > 0) {
        // The window stays open until the next beacon; only that beacon can
        // tell whether the section was run too fast.
        if (now < spsWindowEnd) {
            spsTripped = 1;
        }
        spsWindowEnd = 0;
    } else {
        spsWindowEnd = wrapAdd(now, kSpeedCheckWindowMs);
    }
}

void CVelt::ats1_confirm() {
    if (ats1State == LegacyState::kAlarm && *pSpeed != 0.0F) {
        // Acknowledging a running alarm while moving is not allowed: the
        // attempt itself stops the train.
        brakeDemand = Demand::kEmergency;
        sndConfirm = snd::kPlayOnce;
        return;
    }
    if (brakeDemand == Demand::kNone) {
        ats1State = LegacyState::kNormal;
        ats1Pending = LegacyState::kNormal;
    }
    sndConfirm = snd::kPlayOnce;
}

void CVelt::ats1_refresh(const FrameValues& f) {
    ats1LampNormal = 0;
    ats1LampCheck = 0;
    ats1LampAlarm = 0;
    applyLegacyDelays(*this, f.time);
    applyBrakeRule(*this, speedCheckTripBrake(spsTripped == 1, f.speed));
    applyBrakeRule(*this, stateBrake(ats1State, lineType, f.speed));
    lightStateLamp(*this);
}

}  // namespace velt
