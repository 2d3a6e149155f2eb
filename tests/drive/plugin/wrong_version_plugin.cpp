// A library that has every entry point but answers a version that no host
// accepts; built a second time with only its first three entry points, as a
// library that is no plug-in at all; and a third time as a plug-in that
// aborts in any frame above 50 km/h, to see a sweep survive a drive's crash.
#include <cstdint>
#include <cstdlib>

#include "host/plugin_abi.h"

extern "C" {
void Load() {}
void Dispose() {}
#if defined(VELT_CRASHES_ABOVE_50_KMH)
std::int32_t GetPluginVersion() { return 131072; }
#else
std::int32_t GetPluginVersion() { return 65536; }
#endif
#if !defined(VELT_ONLY_THREE_ENTRY_POINTS)
void SetVehicleSpec(velt::VehicleSpec) {}
void Initialize(std::int32_t) {}
velt::HandleCommand Elapse(velt::VehicleState state, std::int32_t*, std::int32_t*) {
#if defined(VELT_CRASHES_ABOVE_50_KMH)
    if (state.speed > 50.0F) std::abort();
#else
    (void)state;
#endif
    return {};
}
void SetPower(std::int32_t) {}
void SetBrake(std::int32_t) {}
void SetReverser(std::int32_t) {}
void KeyDown(std::int32_t) {}
void KeyUp(std::int32_t) {}
void HornBlow(std::int32_t) {}
void DoorOpen() {}
void DoorClose() {}
void SetSignal(std::int32_t) {}
void SetBeaconData(velt::BeaconData) {}
#endif
}
