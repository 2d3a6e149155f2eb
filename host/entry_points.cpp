// The entry points: store what the host reports in the vehicle cache, then
// hand the event to the protection core. No logic beyond choosing a handler.
#include "host/entry_points.h"

#include "core/wrap.h"

namespace velt::host {

VehicleCache vehicleCache;
CVelt protection;

void attach() {
    protection.pBrakeNotch = &vehicleCache.brakeNotch;
    protection.pTime = &vehicleCache.timeMs;
    protection.pSpeed = &vehicleCache.speedKmh;
    protection.pDeltaTime = &vehicleCache.deltaMs;
}

void Load() {}

void Dispose() {}

std::int32_t GetPluginVersion() { return kPluginVersion; }

void SetVehicleSpec(const VehicleSpec& spec) {
    vehicleCache.maxServiceNotch = spec.brakeNotches;
    vehicleCache.emergencyNotch = wrapAdd(vehicleCache.maxServiceNotch, 1);
    protection.emergencyNotch = vehicleCache.emergencyNotch;
    protection.maxServiceNotch = vehicleCache.maxServiceNotch;
}

void Initialize(std::int32_t /*unused*/) {
    protection.initialize();
    vehicleCache.speedKmh = 0.0F;
}

HandleCommand Elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
    vehicleCache.deltaMs = wrapSub(state.time, vehicleCache.timeMs);
    vehicleCache.timeMs = state.time;
    vehicleCache.speedKmh = state.speed;
    protection.execute();
    return composeCabOutputs(state, panel, sound);
}

void SetPower(std::int32_t notch) {
    vehicleCache.powerNotch = notch;
    protection.setPower(notch);
}

void SetBrake(std::int32_t notch) {
    vehicleCache.brakeNotch = notch;
    protection.setBrake(notch);
}

void SetReverser(std::int32_t position) {
    vehicleCache.reverser = position;
    protection.setReverser(position);
}

void KeyDown(std::int32_t key) {
    switch (key) {
        case 0: protection.ats1_confirm(); break;
        case 3: protection.recovery(); break;
        case 4: protection.buzzer(1); break;
        case 5: protection.pushUp(); break;
        case 6: protection.pushDw(); break;
        case 11: protection.radioSwitch(0); break;
        case 12: protection.radioSwitch(1); break;
        case 13: protection.radioSwitch(2); break;
        case 15: protection.lampSwitch(); break;
        default: break;  // keys without an action, and unknown numbers
    }
}

void KeyUp(std::int32_t key) {
    if (key == 4) {
        protection.buzzer(0);
    }
}

void HornBlow(std::int32_t /*unused*/) {}

void DoorOpen() {
    vehicleCache.doorsClosed = false;
    protection.doorOpen();
}

void DoorClose() {
    vehicleCache.doorsClosed = true;
    protection.doorClose();
}

void SetSignal(std::int32_t signal) {
    // The legacy side takes every report first, in both modes.
    protection.ats1_receive(signal);
    protection.velt_receive(signal);
}

void SetBeaconData(const BeaconData& beacon) {
    switch (beacon.type) {
        case 1: protection.SPP(beacon.optional); break;
        case 10:
            protection.ats1_beacon(beacon.signal);
            protection.PassedCPP(beacon.optional, beacon.signal);
            break;
        case 11: protection.ats1_checksps(); break;
        case 12: protection.PassedCCP(beacon.optional); break;
        case 13: protection.PassedCLF(beacon.optional); break;
        case 15: protection.PassedSPB(beacon.optional); break;
        case 20: protection.velt_define(beacon.optional); break;
        case 21: protection.setRoute(beacon.optional); break;
        case 22: protection.setLinkFormdoor(beacon.optional); break;
        case 24: protection.SetKindBlinkTimer(beacon.optional); break;
        default: break;  // types this plug-in does not read
    }
}

}  // namespace velt::host
