// The list of the host's calls (host/host_calls.h) makes every call between
// frames on the entry point it names, with its argument.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/host_calls.h"

namespace velt::drive {
namespace {

// What the entry points of the recording table were called with.
std::vector<std::string> made;

void record(const std::string& call) { made.push_back(call); }
void record(const std::string& call, std::int32_t value) {
    made.push_back(call + " " + std::to_string(value));
}

// Entry points in the host's calling convention that say what they were given.
void VELT_CALL load() { record("Load"); }
void VELT_CALL dispose() { record("Dispose"); }
void VELT_CALL setVehicleSpec(VehicleSpec spec) { record("SetVehicleSpec", spec.brakeNotches); }
void VELT_CALL initialize(std::int32_t value) { record("Initialize", value); }
void VELT_CALL setPower(std::int32_t value) { record("SetPower", value); }
void VELT_CALL setBrake(std::int32_t value) { record("SetBrake", value); }
void VELT_CALL setReverser(std::int32_t value) { record("SetReverser", value); }
void VELT_CALL keyDown(std::int32_t value) { record("KeyDown", value); }
void VELT_CALL keyUp(std::int32_t value) { record("KeyUp", value); }
void VELT_CALL hornBlow(std::int32_t value) { record("HornBlow", value); }
void VELT_CALL doorOpen() { record("DoorOpen"); }
void VELT_CALL doorClose() { record("DoorClose"); }
void VELT_CALL setSignal(std::int32_t value) { record("SetSignal", value); }
void VELT_CALL setBeaconData(BeaconData b) {
    record("SetBeaconData " + std::to_string(b.type) + " " + std::to_string(b.signal) + " " +
           std::to_string(b.optional));
}

EntryPoints recordingTable() {
    EntryPoints t{};
    t.load = load;
    t.dispose = dispose;
    t.setVehicleSpec = setVehicleSpec;
    t.initialize = initialize;
    t.setPower = setPower;
    t.setBrake = setBrake;
    t.setReverser = setReverser;
    t.keyDown = keyDown;
    t.keyUp = keyUp;
    t.hornBlow = hornBlow;
    t.doorOpen = doorOpen;
    t.doorClose = doorClose;
    t.setSignal = setSignal;
    t.setBeaconData = setBeaconData;
    return t;
}

TEST(HostCalls, EachCallReachesItsEntryPointWithItsArgument) {
    VehicleSpec spec{};
    spec.brakeNotches = 8;
    BeaconData beacon{};
    beacon.type = 10;
    beacon.signal = 2;
    beacon.optional = 1203;
    const struct {
        HostCall call;
        const char* expected;
    } cases[] = {
        {HostCall::of(HostCallId::Load), "Load"},
        {HostCall::of(HostCallId::Dispose), "Dispose"},
        {HostCall::vehicleSpec(spec), "SetVehicleSpec 8"},
        {HostCall::of(HostCallId::Initialize), "Initialize 0"},
        {HostCall::of(HostCallId::SetPower, 3), "SetPower 3"},
        {HostCall::of(HostCallId::SetBrake, 9), "SetBrake 9"},
        {HostCall::of(HostCallId::SetReverser, -1), "SetReverser -1"},
        {HostCall::of(HostCallId::KeyDown, 4), "KeyDown 4"},
        {HostCall::of(HostCallId::KeyUp, 15), "KeyUp 15"},
        {HostCall::of(HostCallId::HornBlow), "HornBlow 0"},
        {HostCall::of(HostCallId::DoorOpen), "DoorOpen"},
        {HostCall::of(HostCallId::DoorClose), "DoorClose"},
        {HostCall::of(HostCallId::SetSignal, 5), "SetSignal 5"},
        {HostCall::beaconData(beacon), "SetBeaconData 10 2 1203"},
    };
    const EntryPoints table = recordingTable();
    for (const auto& c : cases) {
        made.clear();
        makeCall(table, c.call);
        EXPECT_EQ(made, std::vector<std::string>{c.expected});
    }
    // The two that answer are called where the answer is read, not as calls.
    made.clear();
    makeCall(table, HostCall::of(HostCallId::Elapse));
    makeCall(table, HostCall::of(HostCallId::GetPluginVersion));
    EXPECT_TRUE(made.empty());
}

}  // namespace
}  // namespace velt::drive
