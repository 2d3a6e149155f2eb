// A library that has every entry point but answers a version that no host
// accepts; built a second time with only its first three entry points, as a
// library that is no plug-in at all.
#include <cstdint>

#include "host/plugin_abi.h"

extern "C" {
void Load() {}
void Dispose() {}
std::int32_t GetPluginVersion() { return 65536; }
#if !defined(VELT_ONLY_THREE_ENTRY_POINTS)
void SetVehicleSpec(velt::VehicleSpec) {}
void Initialize(std::int32_t) {}
velt::HandleCommand Elapse(velt::VehicleState, std::int32_t*, std::int32_t*) { return {}; }
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
