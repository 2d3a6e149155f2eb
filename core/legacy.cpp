// Legacy ATS supervision: the four-state alarm and speed-check machine that
// protects the train outside Velt sections. Signal reports and beacons only
// record requests; the legacy frame turns a request into a state once its
// delay has run, unless the driver acknowledged it with the confirm key, and
// derives the lamps and the brake demand from the state and the speed.
//
// The event operations run in both modes, so requests and the speed-check
// section are kept up to date inside a Velt section too; only the frame is
// tied to the legacy mode.
#include "core/velt.h"
#include "core/wrap.h"

namespace velt {

namespace {

// States of the legacy machine.
constexpr std::int32_t kStateNormal = 0;
constexpr std::int32_t kStateAlarm = 1;
constexpr std::int32_t kStateSilencedAlarm = 2;
constexpr std::int32_t kStateCheck = 3;

// A request waits this long before it takes hold, giving the driver time to
// acknowledge it.
constexpr std::int32_t kAlarmDelayMs = 3000;  // requests of 1 and 2
constexpr std::int32_t kCheckDelayMs = 800;   // requests of 3

// The speed-check section: the second beacon must come at least this long
// after the first.
constexpr std::int32_t kSpeedCheckWindowMs = 500;

// Thresholds of the event operations, km/h.
constexpr float kAspect1AlarmAboveKmh = 25.0F;
constexpr float kAspect3CheckAboveKmh = 75.0F;
constexpr float kAspect4CheckAboveKmh = 105.0F;
constexpr float kBeaconCheckAboveKmh = 68.0F;

// Thresholds of the frame's brake rules, km/h.
constexpr float kTripBrakeAboveKmh = 0.5F;
constexpr float kNormalLine1BrakeAboveKmh = 68.0F;
constexpr float kNormalLine1ReleaseBelowKmh = 67.0F;
constexpr float kAlarmBrakeAboveKmh = 15.0F;
constexpr float kAlarmReleaseBelowKmh = 0.5F;
constexpr float kCheckBrakeAboveKmh = 45.0F;

// The line category where aspects 3 to 7 leave the legacy side alone.
constexpr std::int32_t kLineType1 = 1;

// ---- The request table of a signal report.

enum class RequestKind {
    kNone,     // request and its time stamp stay as they are
    kCancel,   // request 0, without a time stamp
    kStamped,  // request of `state`, time-stamped
};

struct Request {
    RequestKind kind;
    std::int32_t state;
};

constexpr Request kNoRequest{RequestKind::kNone, 0};
constexpr Request kCancelRequest{RequestKind::kCancel, kStateNormal};
constexpr Request kRequestAlarm{RequestKind::kStamped, kStateAlarm};
constexpr Request kRequestSilencedAlarm{RequestKind::kStamped, kStateSilencedAlarm};
constexpr Request kRequestCheck{RequestKind::kStamped, kStateCheck};

enum class LineRule { kAny, kLine1, kLine0Or2 };

// Rows are tried in order and the first that matches decides, so a row for
// "any line" after a line-specific row of the same aspect covers the others.
struct RequestRow {
    std::int32_t aspect;  // kAnyAspect matches every aspect
    LineRule lines;
    bool checksSpeed;
    float aboveKmh;  // read only when checksSpeed
    Request request;
};

constexpr std::int32_t kAnyAspect = -1;

constexpr RequestRow kSignalRequests[] = {
    {0, LineRule::kAny, false, 0.0F, kRequestAlarm},
    {1, LineRule::kAny, true, kAspect1AlarmAboveKmh, kRequestSilencedAlarm},
    {1, LineRule::kAny, false, 0.0F, kRequestCheck},
    {2, LineRule::kAny, false, 0.0F, kRequestCheck},
    {3, LineRule::kLine1, false, 0.0F, kNoRequest},
    {3, LineRule::kAny, true, kAspect3CheckAboveKmh, kRequestCheck},
    {3, LineRule::kAny, false, 0.0F, kCancelRequest},
    {4, LineRule::kLine0Or2, true, kAspect4CheckAboveKmh, kRequestCheck},
    {4, LineRule::kLine0Or2, false, 0.0F, kCancelRequest},
    {4, LineRule::kLine1, false, 0.0F, kNoRequest},
    {4, LineRule::kAny, false, 0.0F, kCancelRequest},
    {5, LineRule::kLine1, false, 0.0F, kNoRequest},
    {5, LineRule::kAny, false, 0.0F, kCancelRequest},
    {7, LineRule::kLine1, false, 0.0F, kNoRequest},
    {7, LineRule::kAny, false, 0.0F, kCancelRequest},
    // Aspects the route does not use are taken as a stop.
    {kAnyAspect, LineRule::kAny, false, 0.0F, kRequestAlarm},
};

bool linesMatch(LineRule rule, std::int32_t lineType) {
    switch (rule) {
        case LineRule::kLine1: return lineType == kLineType1;
        case LineRule::kLine0Or2: return lineType == 0 || lineType == 2;
        case LineRule::kAny: break;
    }
    return true;
}

bool rowMatches(const RequestRow& row, std::int32_t aspect, std::int32_t lineType, float speed) {
    return (row.aspect == kAnyAspect || row.aspect == aspect) && linesMatch(row.lines, lineType) &&
           (!row.checksSpeed || speed > row.aboveKmh);
}

Request requestForAspect(std::int32_t aspect, std::int32_t lineType, float speed) {
    for (const RequestRow& row : kSignalRequests) {
        if (rowMatches(row, aspect, lineType, speed)) {
            return row.request;
        }
    }
    return kNoRequest;  // not reached: the last row matches everything
}

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
        case kStateSilencedAlarm:
            if (delayHasRun(now, v.ats1PendingTime, kAlarmDelayMs)) {
                v.ats1State = kStateSilencedAlarm;
            }
            break;
        case kStateCheck:
            if (delayHasRun(now, v.ats1PendingTime, kCheckDelayMs)) {
                v.ats1State = kStateCheck;
            }
            break;
        case kStateAlarm:
            // A silenced alarm has already warned the driver, so a request
            // of the alarm brings it back without a second warning period.
            if (v.ats1State == kStateSilencedAlarm ||
                delayHasRun(now, v.ats1PendingTime, kAlarmDelayMs)) {
                v.ats1State = kStateAlarm;
            }
            break;
        default: break;  // a request of 0 waits for the confirm key
    }
}

void applySpeedCheckTrip(CVelt& v, float speed) {
    if (v.spsTripped == 1) {
        v.brakeDemand = speed > kTripBrakeAboveKmh ? demand::kEmergency : demand::kNone;
    }
}

// Sets the demand above `brakeAbove`, drops it below `releaseBelow`, and
// between the two leaves whatever the frame began with.
void brakeWithHold(CVelt& v, float speed, std::int32_t level, float brakeAbove,
                   float releaseBelow) {
    if (speed > brakeAbove) {
        v.brakeDemand = level;
    } else if (speed < releaseBelow) {
        v.brakeDemand = demand::kNone;
    }
}

void applyStateBrake(CVelt& v, float speed) {
    switch (v.ats1State) {
        case kStateNormal:
            if (v.lineType == kLineType1) {
                brakeWithHold(v, speed, demand::kService, kNormalLine1BrakeAboveKmh,
                              kNormalLine1ReleaseBelowKmh);
            } else {
                v.brakeDemand = demand::kNone;
            }
            v.ats1LampNormal = 1;
            break;
        case kStateAlarm:
        case kStateSilencedAlarm:
            brakeWithHold(v, speed, demand::kEmergency, kAlarmBrakeAboveKmh, kAlarmReleaseBelowKmh);
            v.ats1LampAlarm = 1;
            break;
        case kStateCheck:
            v.brakeDemand = speed > kCheckBrakeAboveKmh ? demand::kService : demand::kNone;
            v.ats1LampCheck = 1;
            break;
        default: break;  // no other state is ever entered
    }
}

}  // namespace

void CVelt::ats1_receive(std::int32_t signal) {
    const std::int32_t aspect = signal == 6 ? 5 : signal;
    applyRequest(*this, requestForAspect(aspect, lineType, *pSpeed));
    // Any proceed report silences a running alarm at once, in either mode;
    // the brake rule of the alarm stays.
    if (aspect != 0 && ats1State == kStateAlarm) {
        ats1State = kStateSilencedAlarm;
    }
}

void CVelt::ats1_beacon(std::int32_t signal) {
    const float speed = *pSpeed;
    if (!(speed > 0.0F)) {
        return;  // passed while standing or running backwards
    }
    if (signal == 0) {
        applyRequest(*this, kRequestAlarm);
    } else if (signal == 2 && lineType != 1 && lineType != 2 && speed > kBeaconCheckAboveKmh) {
        applyRequest(*this, kRequestCheck);
    }
}

void CVelt::ats1_checksps() {
    if (!(*pSpeed > 0.0F)) {
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
    if (ats1State == kStateAlarm && *pSpeed != 0.0F) {
        // Acknowledging a running alarm while moving is not allowed: the
        // attempt itself stops the train.
        brakeDemand = demand::kEmergency;
        sndConfirm = snd::kPlayOnce;
        return;
    }
    if (brakeDemand == demand::kNone) {
        ats1State = kStateNormal;
        ats1Pending = kStateNormal;
    }
    sndConfirm = snd::kPlayOnce;
}

void CVelt::ats1_refresh() {
    const std::int32_t now = *pTime;
    const float speed = *pSpeed;
    ats1LampNormal = 0;
    ats1LampCheck = 0;
    ats1LampAlarm = 0;
    applyLegacyDelays(*this, now);
    applySpeedCheckTrip(*this, speed);
    applyStateBrake(*this, speed);
}

}  // namespace velt
