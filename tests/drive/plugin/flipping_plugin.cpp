// A stand-in for a stale or foreign build of velt: the real plug-in, which
// it loads and passes every call to, for its first frames; from frame
// kFramesAlike on, panel[22] is one more than velt wrote.
#include <dlfcn.h>

#include <cstdint>

#include "host/plugin_abi.h"

namespace {

constexpr int kFramesAlike = 100;
int framesRun = 0;

template <typename Function>
Function inner(const char* name) {
    static void* const library = dlopen(VELT_INNER_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    return reinterpret_cast<Function>(dlsym(library, name));
}

}  // namespace

extern "C" {
void Load() { inner<void (*)()>("Load")(); }
void Dispose() { inner<void (*)()>("Dispose")(); }
std::int32_t GetPluginVersion() { return inner<std::int32_t (*)()>("GetPluginVersion")(); }
void SetVehicleSpec(velt::VehicleSpec spec) {
    inner<void (*)(velt::VehicleSpec)>("SetVehicleSpec")(spec);
}
void Initialize(std::int32_t brake) { inner<void (*)(std::int32_t)>("Initialize")(brake); }
velt::HandleCommand Elapse(velt::VehicleState state, std::int32_t* panel, std::int32_t* sound) {
    using ElapseFunction =
        velt::HandleCommand (*)(velt::VehicleState, std::int32_t*, std::int32_t*);
    const velt::HandleCommand out = inner<ElapseFunction>("Elapse")(state, panel, sound);
    if (framesRun++ >= kFramesAlike) panel[22] += 1;
    return out;
}
void SetPower(std::int32_t notch) { inner<void (*)(std::int32_t)>("SetPower")(notch); }
void SetBrake(std::int32_t notch) { inner<void (*)(std::int32_t)>("SetBrake")(notch); }
void SetReverser(std::int32_t position) { inner<void (*)(std::int32_t)>("SetReverser")(position); }
void KeyDown(std::int32_t key) { inner<void (*)(std::int32_t)>("KeyDown")(key); }
void KeyUp(std::int32_t key) { inner<void (*)(std::int32_t)>("KeyUp")(key); }
void HornBlow(std::int32_t horn) { inner<void (*)(std::int32_t)>("HornBlow")(horn); }
void DoorOpen() { inner<void (*)()>("DoorOpen")(); }
void DoorClose() { inner<void (*)()>("DoorClose")(); }
void SetSignal(std::int32_t aspect) { inner<void (*)(std::int32_t)>("SetSignal")(aspect); }
void SetBeaconData(velt::BeaconData beacon) {
    inner<void (*)(velt::BeaconData)>("SetBeaconData")(beacon);
}
}
