// Windows export layer: DllMain wires the core once, and the sixteen entry
// points, stdcall as declared in plugin_abi.h, forward to the plain
// functions. velt.def gives each its plain and its decorated name.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include "host/entry_points.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE /*module*/, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) {
        velt::host::attach();
    }
    return TRUE;  // detach and thread notifications have nothing to do
}

extern "C" {
void VELT_CALL Load() { velt::host::Load(); }
void VELT_CALL Dispose() { velt::host::Dispose(); }
std::int32_t VELT_CALL GetPluginVersion() { return velt::host::GetPluginVersion(); }
void VELT_CALL SetVehicleSpec(velt::VehicleSpec spec) { velt::host::SetVehicleSpec(spec); }
void VELT_CALL Initialize(std::int32_t unused) { velt::host::Initialize(unused); }
// 16 bytes come back through the caller's hidden result pointer, which the
// callee removes with the 48 bytes of arguments (ret 52) and returns in EAX.
velt::HandleCommand VELT_CALL Elapse(velt::VehicleState state, std::int32_t* panel,
                                     std::int32_t* sound) {
    return velt::host::Elapse(state, panel, sound);
}
void VELT_CALL SetPower(std::int32_t notch) { velt::host::SetPower(notch); }
void VELT_CALL SetBrake(std::int32_t notch) { velt::host::SetBrake(notch); }
void VELT_CALL SetReverser(std::int32_t position) { velt::host::SetReverser(position); }
void VELT_CALL KeyDown(std::int32_t key) { velt::host::KeyDown(key); }
void VELT_CALL KeyUp(std::int32_t key) { velt::host::KeyUp(key); }
void VELT_CALL HornBlow(std::int32_t unused) { velt::host::HornBlow(unused); }
void VELT_CALL DoorOpen() { velt::host::DoorOpen(); }
void VELT_CALL DoorClose() { velt::host::DoorClose(); }
void VELT_CALL SetSignal(std::int32_t signal) { velt::host::SetSignal(signal); }
void VELT_CALL SetBeaconData(velt::BeaconData beacon) { velt::host::SetBeaconData(beacon); }
}
