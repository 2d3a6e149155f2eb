// The sixteen entry points: store what the host reports in the vehicle cache,
// then hand the event to the protection core. No logic beyond choosing a
// handler. Both libraries export these same definitions: the native one by
// their visibility, the Windows DLL through its .def file and DllMain.
#include "host/entry_points.h"

#include "core/wrap.h"
// Checks the list of entry points the tools and tests use against the
// declarations that these definitions implement.
#include "host/host_calls.h"

namespace velt::host {

VehicleCache vehicleCache;
CVelt protection;

void attach() {
    protection.pBrakeNotch = &vehicleCache.brakeNotch;
    protection.pTime = &vehicleCache.timeMs;
    protection.pSpeed = &vehicleCache.speedKmh;
    protection.pDeltaTime = &vehicleCache.deltaMs;
}

}  // namespace velt::host

using velt::BeaconData;
using velt::HandleCommand;
using velt::VehicleSpec;
using velt::VehicleState;
using velt::host::protection;
using velt::host::vehicleCache;

extern "C" {

void VELT_CALL Load() {}

void VELT_CALL Dispose() {}

std::int32_t VELT_CALL GetPluginVersion() { return velt::kPluginVersion; }

void VELT_CALL SetVehicleSpec(VehicleSpec spec) {
    vehicleCache.maxServiceNotch = spec.brakeNotches;
    vehicleCache.emergencyNotch = velt::wrapAdd(vehicleCache.maxServiceNotch, 1);
    protection.emergencyNotch = vehicleCache.emergencyNotch;
    protection.maxServiceNotch = vehicleCache.maxServiceNotch;
}

void VELT_CALL Initialize(std::int32_t /*unused*/) {
    protection.initialize();
    vehicleCache.speedKmh = 0.0F;
}

HandleCommand VELT_CALL Elapse(VehicleState state, std::int32_t* panel, std::int32_t* sound) {
    vehicleCache.deltaMs = velt::wrapSub(state.time, vehicleCache.timeMs);
    vehicleCache.timeMs = state.time;
    vehicleCache.speedKmh = state.speed;
    protection.execute();
    return velt::host::composeCabOutputs(state, panel, sound);
}

void VELT_CALL SetPower(std::int32_t notch) {
    vehicleCache.powerNotch = notch;
    protection.setPower(notch);
}

void VELT_CALL SetBrake(std::int32_t notch) {
    vehicleCache.brakeNotch = notch;
    protection.setBrake(notch);
}

void VELT_CALL SetReverser(std::int32_t position) {
    vehicleCache.reverser = position;
    protection.setReverser(position);
}

void VELT_CALL KeyDown(std::int32_t key) {
    switch (key) {
        case velt::cab::kKeyConfirm: protection.ats1_confirm(); break;
        case velt::cab::kKeyRecovery: protection.recovery(); break;
        case velt::cab::kKeyBuzzer: protection.buzzer(1); break;
        case velt::cab::kKeySelectorUp: protection.pushUp(); break;
        case velt::cab::kKeySelectorDown: protection.pushDw(); break;
        case velt::cab::kKeyRadioMode0: protection.radioSwitch(0); break;
        case velt::cab::kKeyRadioMode1: protection.radioSwitch(1); break;
        case velt::cab::kKeyRadioMode2: protection.radioSwitch(2); break;
        case velt::cab::kKeyLamp: protection.lampSwitch(); break;
        default: break;  // keys without an action, and unknown numbers
    }
}

void VELT_CALL KeyUp(std::int32_t key) {
    if (key == velt::cab::kKeyBuzzer) {
        protection.buzzer(0);
    }
}

void VELT_CALL HornBlow(std::int32_t /*unused*/) {}

void VELT_CALL DoorOpen() {
    vehicleCache.doorsClosed = false;
    protection.doorOpen();
}

void VELT_CALL DoorClose() {
    vehicleCache.doorsClosed = true;
    protection.doorClose();
}

void VELT_CALL SetSignal(std::int32_t signal) {
    // The legacy side takes every report first, in both modes.
    protection.ats1_receive(signal);
    protection.velt_receive(signal);
}

void VELT_CALL SetBeaconData(BeaconData beacon) {
    switch (beacon.type) {
        case velt::cab::kBeaconSpp: protection.SPP(beacon.optional); break;
        case velt::cab::kBeaconCpp:
            protection.ats1_beacon(beacon.signal);
            protection.PassedCPP(beacon.optional, beacon.signal);
            break;
        case velt::cab::kBeaconSpeedCheck: protection.ats1_checksps(); break;
        case velt::cab::kBeaconCcp: protection.PassedCCP(beacon.optional); break;
        case velt::cab::kBeaconClf: protection.PassedCLF(beacon.optional); break;
        case velt::cab::kBeaconSpb: protection.PassedSPB(beacon.optional); break;
        case velt::cab::kBeaconSection: protection.velt_define(beacon.optional); break;
        case velt::cab::kBeaconRoute: protection.setRoute(beacon.optional); break;
        case velt::cab::kBeaconDoorLink: protection.setLinkFormdoor(beacon.optional); break;
        case velt::cab::kBeaconKindBlink: protection.SetKindBlinkTimer(beacon.optional); break;
        default: break;  // types this plug-in does not read
    }
}

}  // extern "C"
