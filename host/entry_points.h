// The host interface's own state: the vehicle cache, the one protection core,
// the wiring between them and the cab-output composition. The sixteen entry
// points over them are declared in plugin_abi.h and defined in
// entry_points.cpp; everything here builds and runs on any platform.
#pragma once

#include <cstdint>

#include "core/velt.h"
#include "host/plugin_abi.h"

namespace velt {

// What the host last reported. All zero at load; never reset as a whole, so a
// restarted run keeps notches, reverser, door flag and the last frame time.
struct VehicleCache {
    std::int32_t emergencyNotch;
    std::int32_t maxServiceNotch;
    std::int32_t brakeNotch;
    std::int32_t powerNotch;  // also zeroed by Elapse while the protection brakes
    std::int32_t reverser;
    bool doorsClosed;
    std::int32_t timeMs;
    float speedKmh;
    std::int32_t deltaMs;
    HandleCommand handles;
};

namespace host {

// The library's two static objects.
extern VehicleCache vehicleCache;
extern CVelt protection;

// Points the core's wiring at the cache. Called once when the library is
// attached to a process, before any entry point.
void attach();

// Cab-output composition of one frame, run by Elapse after the core's frame
// (cab_outputs.cpp). panel or sound may be null: that array is not written.
HandleCommand composeCabOutputs(const VehicleState& state, std::int32_t* panel,
                                std::int32_t* sound);

}  // namespace host
}  // namespace velt
