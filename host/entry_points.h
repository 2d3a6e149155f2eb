// The sixteen entry points as plain functions over the vehicle cache and the
// one protection core. The export layers (native shared library, Windows DLL)
// only forward to these; everything here builds and runs on any platform.
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

void Load();
void Dispose();
std::int32_t GetPluginVersion();
void SetVehicleSpec(const VehicleSpec& spec);
void Initialize(std::int32_t unused);
HandleCommand Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);
void SetPower(std::int32_t notch);
void SetBrake(std::int32_t notch);
void SetReverser(std::int32_t position);
void KeyDown(std::int32_t key);
void KeyUp(std::int32_t key);
void HornBlow(std::int32_t unused);
void DoorOpen();
void DoorClose();
void SetSignal(std::int32_t signal);
void SetBeaconData(const BeaconData& beacon);

// Cab-output composition of one frame, run by Elapse after the core's frame
// (cab_outputs.cpp). panel or sound may be null: that array is not written.
HandleCommand composeCabOutputs(const VehicleState& state, std::int32_t* panel,
                                std::int32_t* sound);

}  // namespace host
}  // namespace velt
