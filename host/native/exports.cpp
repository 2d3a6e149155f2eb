// Native export layer: the entry points under their plain names with C
// linkage, forwarding to the plain functions. The core is wired when the
// library is loaded, as DllMain does for the Windows build.
#include "host/entry_points.h"

#define VELT_EXPORT __attribute__((visibility("default")))

namespace {
__attribute__((constructor)) void wireOnLoad() { velt::host::attach(); }
}  // namespace

extern "C" {
VELT_EXPORT void Load() { velt::host::Load(); }
VELT_EXPORT void Dispose() { velt::host::Dispose(); }
VELT_EXPORT std::int32_t GetPluginVersion() { return velt::host::GetPluginVersion(); }
VELT_EXPORT void SetVehicleSpec(velt::VehicleSpec spec) { velt::host::SetVehicleSpec(spec); }
VELT_EXPORT void Initialize(std::int32_t unused) { velt::host::Initialize(unused); }
VELT_EXPORT velt::HandleCommand Elapse(velt::VehicleState state, std::int32_t* panel,
                                       std::int32_t* sound) {
    return velt::host::Elapse(state, panel, sound);
}
VELT_EXPORT void SetPower(std::int32_t notch) { velt::host::SetPower(notch); }
VELT_EXPORT void SetBrake(std::int32_t notch) { velt::host::SetBrake(notch); }
VELT_EXPORT void SetReverser(std::int32_t position) { velt::host::SetReverser(position); }
VELT_EXPORT void KeyDown(std::int32_t key) { velt::host::KeyDown(key); }
VELT_EXPORT void KeyUp(std::int32_t key) { velt::host::KeyUp(key); }
VELT_EXPORT void HornBlow(std::int32_t unused) { velt::host::HornBlow(unused); }
VELT_EXPORT void DoorOpen() { velt::host::DoorOpen(); }
VELT_EXPORT void DoorClose() { velt::host::DoorClose(); }
VELT_EXPORT void SetSignal(std::int32_t signal) { velt::host::SetSignal(signal); }
VELT_EXPORT void SetBeaconData(velt::BeaconData beacon) { velt::host::SetBeaconData(beacon); }
}
