// The host's plug-in interface: the four records that cross it and the
// sixteen entry points, each with the contract a host keeps.
//
// The host lays the records out; these definitions must match it byte for
// byte, which the static_asserts below pin down. Every entry point is called
// from the host's one thread, one call at a time, after the library has been
// attached to the process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace velt {

// Argument of SetVehicleSpec. Only the service notch count is read.
struct VehicleSpec {
    std::int32_t brakeNotches;  // number of service brake notches
    std::int32_t unread[4];
};

// Argument of Elapse: the vehicle state of the frame. Only speed, time and
// the sign of current are read.
struct VehicleState {
    std::uint8_t unread0[8];
    float speed;        // km/h, signed (negative when running backwards)
    std::int32_t time;  // ms of the game day; may pass 86,400,000 and jump back
    float unread1[5];
    float current;  // only its sign is used
};

// Argument of SetBeaconData: a track beacon the train has just passed.
struct BeaconData {
    std::int32_t type;      // selects the handlers
    std::int32_t signal;    // read for type 10 only
    float distance;         // never read; may be +infinity
    std::int32_t optional;  // the beacon's parameter
};

// Result of Elapse: the handles the host is to apply this frame.
struct HandleCommand {
    std::int32_t brake;
    std::int32_t power;
    std::int32_t reverser;
    std::int32_t constantSpeed;  // 0 or 2
};

static_assert(sizeof(VehicleSpec) == 20 && offsetof(VehicleSpec, brakeNotches) == 0);
static_assert(sizeof(VehicleState) == 40 && offsetof(VehicleState, speed) == 8 &&
              offsetof(VehicleState, time) == 12 && offsetof(VehicleState, current) == 36);
static_assert(sizeof(BeaconData) == 16 && offsetof(BeaconData, type) == 0 &&
              offsetof(BeaconData, signal) == 4 && offsetof(BeaconData, distance) == 8 &&
              offsetof(BeaconData, optional) == 12);
static_assert(sizeof(HandleCommand) == 16 && offsetof(HandleCommand, brake) == 0 &&
              offsetof(HandleCommand, power) == 4 && offsetof(HandleCommand, reverser) == 8 &&
              offsetof(HandleCommand, constantSpeed) == 12);

// The version a host requires before it calls anything else.
inline constexpr std::int32_t kPluginVersion = 131072;

// Lowest array sizes a host must lend to Elapse: the highest index written is
// panel[255] and sound[30].
inline constexpr int kPanelSize = 256;
inline constexpr int kSoundSize = 31;

}  // namespace velt

// The sixteen entry points, as the exported libraries name them. The native
// library gives them C linkage and the platform's C calling convention; the
// Windows DLL gives them stdcall and a second, decorated name each.
#if defined(_WIN32)
#define VELT_CALL __stdcall
#else
#define VELT_CALL
#endif

extern "C" {
// Does nothing; there is nothing to load.
void VELT_CALL Load();
// Does nothing; nothing was allocated.
void VELT_CALL Dispose();
// 131072 at any time, also before any other call.
std::int32_t VELT_CALL GetPluginVersion();
// Stores the emergency (brakeNotches + 1) and full-service notch numbers.
void VELT_CALL SetVehicleSpec(velt::VehicleSpec spec);
// Starts or restarts a run: resets the protection core and the cached speed.
void VELT_CALL Initialize(std::int32_t unused);
// Runs one frame. panel must hold 256 entries and sound 31, or be null, in
// which case nothing is written to that array.
velt::HandleCommand VELT_CALL Elapse(velt::VehicleState state, std::int32_t* panel,
                                     std::int32_t* sound);
// Handles, reported only when they change.
void VELT_CALL SetPower(std::int32_t notch);
void VELT_CALL SetBrake(std::int32_t notch);
void VELT_CALL SetReverser(std::int32_t position);
// Cab keys 0 to 15; any other number is ignored.
void VELT_CALL KeyDown(std::int32_t key);
void VELT_CALL KeyUp(std::int32_t key);
// Does nothing.
void VELT_CALL HornBlow(std::int32_t unused);
void VELT_CALL DoorOpen();
void VELT_CALL DoorClose();
// The aspect of the signal ahead changed (or was reported again).
void VELT_CALL SetSignal(std::int32_t signal);
// The train passed a beacon.
void VELT_CALL SetBeaconData(velt::BeaconData beacon);
}
