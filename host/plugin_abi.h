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

// The sixteen entry points: the one declaration of each, with what a host
// may rely on. Hosts look them up by these plain names (the 32-bit DLL also
// carries stdcall-decorated aliases) and call them from one thread, one call
// at a time, never re-entering. Events between frames only store what they
// carry: every decision they lead to is taken by the next Elapse, which is
// where a host sees their effect. velt enforces no order of calls: before
// SetVehicleSpec and Initialize everything it holds is zero.
//
// VELT_CALL is the host's calling convention: stdcall on 32-bit Windows (the
// callee removes its arguments), the platform's one C convention elsewhere.
// VELT_EXPORT makes the name visible outside the native shared library; the
// Windows DLL's names come from its .def file instead.
#if defined(_WIN32) && !defined(_WIN64)
#define VELT_CALL __stdcall
#else
#define VELT_CALL
#endif
#if defined(_WIN32)
#define VELT_EXPORT
#else
#define VELT_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Called once after the library is loaded, before any other entry point but
// GetPluginVersion. Does nothing: velt has no files or settings to read.
VELT_EXPORT void VELT_CALL Load();

// Called once before the library is unloaded; nothing may be called after
// it. Does nothing: nothing was allocated.
VELT_EXPORT void VELT_CALL Dispose();

// May be called at any time, also first. Returns kPluginVersion; a host
// refuses a library that returns anything else.
VELT_EXPORT std::int32_t VELT_CALL GetPluginVersion();

// Called after Load and whenever the vehicle changes. Stores brakeNotches as
// the full-service notch and brakeNotches + 1 as the emergency notch, which
// every later protection brake applies. Until the first call both are 0.
VELT_EXPORT void VELT_CALL SetVehicleSpec(velt::VehicleSpec spec);

// Called when a run starts and again at every jump to a station. Resets the
// protection core (no section, no pattern, no legacy state, sounds stopped)
// and the cached speed; the notch numbers, the driver's handles, the door
// flag and the last frame time are kept. The argument is not read.
VELT_EXPORT void VELT_CALL Initialize(std::int32_t unused);

// Called once per rendered frame, not while the host is paused. state.time
// is the game day's ms and may run past a day or jump back; the interval
// since the previous frame is measured from the previous call's time, also
// across Initialize. Runs the frame's supervision, writes the fixed set of
// panel (up to index 255) and sound (up to index 30) entries and returns the
// handles the host must apply. A null panel or sound is not written.
VELT_EXPORT velt::HandleCommand VELT_CALL Elapse(velt::VehicleState state, std::int32_t* panel,
                                                 std::int32_t* sound);

// Called when the driver moves the power handle (only on a change). Stored
// as the notch the next frames pass on; a protection brake sets the stored
// notch to 0, so power stays off after it until the handle moves again.
VELT_EXPORT void VELT_CALL SetPower(std::int32_t notch);

// Called when the driver moves the brake handle (only on a change). Stored
// as the notch passed on while the protection does not brake; the recovery
// and selector keys read it; a notch above 0 quietens a station-stop
// reminder that sounds at full volume.
VELT_EXPORT void VELT_CALL SetBrake(std::int32_t notch);

// Called when the driver moves the reverser: -1 backward, 0 neutral, 1
// forward. Passed on while the doors are closed; backward starts the
// reverser sound.
VELT_EXPORT void VELT_CALL SetReverser(std::int32_t position);

// Called when a cab key goes down. Keys 0 (confirm), 3 (recovery), 4
// (buzzer), 5 and 6 (selector), 11 to 13 (radio mode) and 15 (lamp) act;
// every other number is ignored.
VELT_EXPORT void VELT_CALL KeyDown(std::int32_t key);

// Called when a cab key comes up. Only key 4 acts: the buzzer stops and its
// release sound plays; every other number is ignored.
VELT_EXPORT void VELT_CALL KeyUp(std::int32_t key);

// Called when the driver sounds the horn. Does nothing.
VELT_EXPORT void VELT_CALL HornBlow(std::int32_t unused);

// Called when the doors open. The reverser output drops to neutral, the
// station-stop reminder ends, and an armed kind-blink or door-link sequence
// starts from the last frame's time.
VELT_EXPORT void VELT_CALL DoorOpen();

// Called when the doors close; velt takes the doors as open until the first
// call. The reverser is passed on again, a door chime plays and a running
// door-link sequence moves to its last step.
VELT_EXPORT void VELT_CALL DoorClose();

// Called when the signal ahead reports its aspect, also when it repeats the
// same one. Both supervisions take it (aspect 6 counts as 5): it is the
// aspect a Velt section checks speed against, it disarms the CPP pattern,
// and it requests the legacy state the aspect calls for, which takes hold
// outside a section.
VELT_EXPORT void VELT_CALL SetSignal(std::int32_t signal);

// Called when the train passes a beacon. The type selects what velt does
// with it (types 1, 10, 11, 12, 13, 15, 20, 21, 22 and 24; every other
// type is ignored); signal is read for type 10 only and distance never.
VELT_EXPORT void VELT_CALL SetBeaconData(velt::BeaconData beacon);
}
