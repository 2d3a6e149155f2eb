// The rules of the legacy ATS as constants and a table: which state a signal
// report requests, how long a request waits before it takes hold, and the
// speed each state brakes above. legacy.cpp runs the machine over them; a
// tool that explains a legacy brake reads the same numbers.
#pragma once

#include <cstdint>

#include "core/states.h"

namespace velt::legacy {

// A request waits this long before it takes hold, giving the driver time to
// acknowledge it.
inline constexpr std::int32_t kAlarmDelayMs = 3000;  // requests of an alarm
inline constexpr std::int32_t kCheckDelayMs = 800;   // requests of a speed check

// The speed-check section: the second beacon must come at least this long
// after the first.
inline constexpr std::int32_t kSpeedCheckWindowMs = 500;

// Thresholds of the event operations, km/h.
inline constexpr float kAspect1AlarmAboveKmh = 25.0F;
inline constexpr float kAspect3CheckAboveKmh = 75.0F;
inline constexpr float kAspect4CheckAboveKmh = 105.0F;
inline constexpr float kBeaconCheckAboveKmh = 68.0F;

// Thresholds of the frame's brake rules, km/h.
inline constexpr float kTripBrakeAboveKmh = 0.5F;
inline constexpr float kNormalLine1BrakeAboveKmh = 68.0F;
inline constexpr float kNormalLine1ReleaseBelowKmh = 67.0F;
inline constexpr float kAlarmBrakeAboveKmh = 15.0F;
inline constexpr float kAlarmReleaseBelowKmh = 0.5F;
inline constexpr float kCheckBrakeAboveKmh = 45.0F;

// The line category where aspects 3 to 7 leave the legacy side alone.
inline constexpr std::int32_t kLineType1 = 1;

// ---- The brake rules of the legacy frame. A rule either decides the demand
// at a speed, or leaves the demand the frame began with: between a rule's
// brake and release speeds the brake holds as it is.

struct BrakeRule {
    bool decides;
    Demand demand;  // read only when the rule decides
};

inline constexpr BrakeRule kKeepsDemand{false, Demand::kNone};

constexpr BrakeRule brakeAboveReleaseBelow(float speed, Demand level, float brakeAboveKmh,
                                           float releaseBelowKmh) {
    if (speed > brakeAboveKmh) {
        return {true, level};
    }
    if (speed < releaseBelowKmh) {
        return {true, Demand::kNone};
    }
    return kKeepsDemand;
}

// A speed-check section passed too fast brakes the train whenever it runs
// forward, until the run is restarted.
constexpr BrakeRule speedCheckTripBrake(bool tripped, float speed) {
    if (!tripped) {
        return kKeepsDemand;
    }
    return {true, speed > kTripBrakeAboveKmh ? Demand::kEmergency : Demand::kNone};
}

// The rule of the state in force. The frame applies it after the trip, so
// wherever it decides it overrides the trip.
constexpr BrakeRule stateBrake(LegacyState state, std::int32_t lineType, float speed) {
    switch (state) {
        case LegacyState::kAlarm:
        case LegacyState::kSilencedAlarm:
            return brakeAboveReleaseBelow(speed, Demand::kEmergency, kAlarmBrakeAboveKmh,
                                          kAlarmReleaseBelowKmh);
        case LegacyState::kCheck:
            return {true, speed > kCheckBrakeAboveKmh ? Demand::kService : Demand::kNone};
        case LegacyState::kNormal: break;
    }
    // The normal state supervises a speed on line category 1 only.
    if (lineType == kLineType1) {
        return brakeAboveReleaseBelow(speed, Demand::kService, kNormalLine1BrakeAboveKmh,
                                      kNormalLine1ReleaseBelowKmh);
    }
    return {true, Demand::kNone};
}

// ---- The request a signal report makes.

enum class RequestKind {
    kNone,     // request and its time stamp stay as they are
    kCancel,   // request of the normal state, without a time stamp
    kStamped,  // request of `state`, time-stamped
};

struct Request {
    RequestKind kind;
    LegacyState state;
};

inline constexpr Request kNoRequest{RequestKind::kNone, LegacyState::kNormal};
inline constexpr Request kCancelRequest{RequestKind::kCancel, LegacyState::kNormal};
inline constexpr Request kRequestAlarm{RequestKind::kStamped, LegacyState::kAlarm};
inline constexpr Request kRequestSilencedAlarm{RequestKind::kStamped, LegacyState::kSilencedAlarm};
inline constexpr Request kRequestCheck{RequestKind::kStamped, LegacyState::kCheck};

enum class LineRule { kAny, kLine1, kLine0Or2 };

// Rows are tried in order and the first that matches decides, so a row for
// "any line" after a line-specific row of the same aspect covers the others.
struct RequestRow {
    std::int32_t aspect;
    LineRule lines;
    bool checksSpeed;
    float aboveKmh;  // read only when checksSpeed
    Request request;
};

constexpr RequestRow forAspect(std::int32_t aspect, LineRule lines, Request request) {
    return {aspect, lines, false, 0.0F, request};
}
constexpr RequestRow forAspectAbove(std::int32_t aspect, LineRule lines, float aboveKmh,
                                    Request request) {
    return {aspect, lines, true, aboveKmh, request};
}

inline constexpr RequestRow kSignalRequests[] = {
    forAspect(0, LineRule::kAny, kRequestAlarm),
    forAspectAbove(1, LineRule::kAny, kAspect1AlarmAboveKmh, kRequestSilencedAlarm),
    forAspect(1, LineRule::kAny, kRequestCheck),
    forAspect(2, LineRule::kAny, kRequestCheck),
    forAspect(3, LineRule::kLine1, kNoRequest),
    forAspectAbove(3, LineRule::kAny, kAspect3CheckAboveKmh, kRequestCheck),
    forAspect(3, LineRule::kAny, kCancelRequest),
    forAspectAbove(4, LineRule::kLine0Or2, kAspect4CheckAboveKmh, kRequestCheck),
    forAspect(4, LineRule::kLine0Or2, kCancelRequest),
    forAspect(4, LineRule::kLine1, kNoRequest),
    forAspect(4, LineRule::kAny, kCancelRequest),
    forAspect(5, LineRule::kLine1, kNoRequest),
    forAspect(5, LineRule::kAny, kCancelRequest),
    forAspect(7, LineRule::kLine1, kNoRequest),
    forAspect(7, LineRule::kAny, kCancelRequest),
};

// The request of a type-10 beacon passed moving forward: a stop (signal 0)
// requests the alarm on every line category; a restriction (signal 2)
// passed above 68 km/h requests a speed check, except on line categories 1
// and 2.
constexpr Request requestForBeacon(std::int32_t signal, std::int32_t lineType, float speed) {
    if (signal == 0) {
        return kRequestAlarm;
    }
    if (signal == 2 && lineType != kLineType1 && lineType != 2 && speed > kBeaconCheckAboveKmh) {
        return kRequestCheck;
    }
    return kNoRequest;
}

// Aspects the table does not list, those the route does not use, are taken
// as a stop.
inline constexpr Request kUnlistedAspectRequest = kRequestAlarm;

constexpr bool linesMatch(LineRule rule, std::int32_t lineType) {
    switch (rule) {
        case LineRule::kLine1: return lineType == kLineType1;
        case LineRule::kLine0Or2: return lineType == 0 || lineType == 2;
        case LineRule::kAny: break;
    }
    return true;
}

constexpr bool rowMatches(const RequestRow& row, std::int32_t aspect, std::int32_t lineType,
                          float speed) {
    return row.aspect == aspect && linesMatch(row.lines, lineType) &&
           (!row.checksSpeed || speed > row.aboveKmh);
}

// The request of a signal report of `aspect` (already normalised) at the
// signed speed `speed` on line category `lineType`.
constexpr Request requestForAspect(std::int32_t aspect, std::int32_t lineType, float speed) {
    for (const RequestRow& row : kSignalRequests) {
        if (rowMatches(row, aspect, lineType, speed)) {
            return row.request;
        }
    }
    return kUnlistedAspectRequest;
}

}  // namespace velt::legacy
