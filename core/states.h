// The values the core's state fields take, as named types. Each type keeps
// the 32-bit width and the numbers of the field it types, so the state record
// keeps its layout and its all-zero meaning at load: the zero of every type
// here is its idle value.
#pragma once

#include <cstdint>

namespace velt {

// Sound commands as the host's sound array takes them. They stay plain ints:
// the host's array holds ints and a trigger passes through unchanged.
namespace snd {
inline constexpr std::int32_t kStop = -10000;      // stop the sound
inline constexpr std::int32_t kLoopFull = 0;       // loop at full volume
inline constexpr std::int32_t kLoopQuiet = -1200;  // loop at reduced volume
inline constexpr std::int32_t kPlayOnce = 1;       // play once
inline constexpr std::int32_t kContinue = 2;       // leave the sound as it is
}  // namespace snd

// A brake demand. Ordered: a stronger demand compares greater, which is how
// the checks' demands merge into one.
enum class Demand : std::int32_t {
    kNone = 0,
    kService = 1,    // full service brake
    kEmergency = 2,  // emergency brake
};

// The legacy ATS machine's states, and the state a signal or beacon requests.
enum class LegacyState : std::int32_t {
    kNormal = 0,
    kAlarm = 1,
    kSilencedAlarm = 2,  // an alarm the driver has heard: brakes as the alarm
    kCheck = 3,          // speed check
};

// The CPP stop pattern's phase.
enum class CppPhase : std::int32_t {
    kDistance = 0,       // the distance pattern runs
    kStopRequested = 1,  // the beacon asks for the stop phase once below 5 km/h
    kStopPhase = 2,      // creeping to the signal under a 9.5 km/h limit
};

// The CLF fixed limit.
enum class ClfState : std::int32_t {
    kOff = 0,
    kArmed = 1,
    kOverLimit = 2,  // braking until the speed falls back under the limit
};

// The linked-door sequence: armed by a beacon, then doors opened, then doors
// closed, then back to idle once the frame sees its time stamp pass.
enum class LinkDoorState : std::int32_t {
    kIdle = 0,
    kArmed = 1,
    kDoorsOpened = 2,
    kDoorsClosed = 3,
};

}  // namespace velt
