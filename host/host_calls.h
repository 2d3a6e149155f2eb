// The sixteen entry points of plugin_abi.h as one list, for the programs
// that make, mirror or replay a host's calls (velt-drive, the fuzz harness):
// a table of the entry points, a call between frames as a value, and the
// one function that makes such a call on a table are all made from it. The
// declarations with their contracts stay in plugin_abi.h; the list is
// checked against them below, so the two cannot drift apart.
//
// Adding an entry point to a program that uses this header is one line
// here. Each line: X(Name, member, Signature, Argument)
//   Name      the exported name, as declared in plugin_abi.h
//   member    its name in a table of entry points (EntryPoints)
//   Signature its function type, without the calling convention
//   Argument  what its argument stands for (HostArgument)
// The order is that of plugin_abi.h; the fuzz corpus numbers the calls by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "host/plugin_abi.h"

// NOLINTBEGIN(cppcoreguidelines-macro-usage): the list is an X-macro.
#define VELT_HOST_CALLS(X)                                                                   \
    X(Load, load, void(), None)                                                              \
    X(Dispose, dispose, void(), None)                                                        \
    X(GetPluginVersion, getPluginVersion, std::int32_t(), None)                              \
    X(SetVehicleSpec, setVehicleSpec, void(velt::VehicleSpec), Spec)                         \
    X(Initialize, initialize, void(std::int32_t), Unused)                                    \
    X(Elapse, elapse, velt::HandleCommand(velt::VehicleState, std::int32_t*, std::int32_t*), \
      Frame)                                                                                 \
    X(SetPower, setPower, void(std::int32_t), Notch)                                         \
    X(SetBrake, setBrake, void(std::int32_t), Notch)                                         \
    X(SetReverser, setReverser, void(std::int32_t), Reverser)                                \
    X(KeyDown, keyDown, void(std::int32_t), Key)                                             \
    X(KeyUp, keyUp, void(std::int32_t), Key)                                                 \
    X(HornBlow, hornBlow, void(std::int32_t), Unused)                                        \
    X(DoorOpen, doorOpen, void(), None)                                                      \
    X(DoorClose, doorClose, void(), None)                                                    \
    X(SetSignal, setSignal, void(std::int32_t), Aspect)                                      \
    X(SetBeaconData, setBeaconData, void(velt::BeaconData), Beacon)
// NOLINTEND(cppcoreguidelines-macro-usage)

namespace velt {

// What the argument of an entry point stands for.
enum class HostArgument : std::uint8_t {
    None,      // no argument
    Unused,    // an int the plug-in does not read
    Notch,     // a handle's notch
    Reverser,  // -1, 0 or 1
    Key,       // a cab key's number
    Aspect,    // a signal aspect
    Spec,      // the vehicle's VehicleSpec
    Beacon,    // a passed beacon's BeaconData
    Frame,     // Elapse's vehicle state and arrays
};

// Every entry point by name, in the order of the list.
enum class HostCallId : std::uint8_t {
#define VELT_HOST_CALL_ID(Name, member, Signature, Argument) Name,
    VELT_HOST_CALLS(VELT_HOST_CALL_ID)
#undef VELT_HOST_CALL_ID
};

struct HostCallInfo {
    const char* name;
    HostCallId id;
    HostArgument argument;
};

inline constexpr HostCallInfo kHostCalls[] = {
#define VELT_HOST_CALL_INFO(Name, member, Signature, Argument) \
    {#Name, HostCallId::Name, HostArgument::Argument},
    VELT_HOST_CALLS(VELT_HOST_CALL_INFO)
#undef VELT_HOST_CALL_INFO
};
inline constexpr std::size_t kHostCallCount = sizeof(kHostCalls) / sizeof(kHostCalls[0]);

constexpr const HostCallInfo& hostCallInfo(HostCallId id) {
    return kHostCalls[static_cast<std::size_t>(id)];
}

// A pointer to an entry point of function type F, in the host's calling
// convention.
template <typename F>
struct EntryPointPointer;
template <typename R, typename... A>
struct EntryPointPointer<R(A...)> {
    using Pointer = R(VELT_CALL*)(A...);
};

// The list against the declarations of plugin_abi.h.
#define VELT_HOST_CALL_CHECK(Name, member, Signature, Argument)                             \
    static_assert(std::is_same_v<decltype(&::Name), EntryPointPointer<Signature>::Pointer>, \
                  #Name " in host_calls.h differs from its declaration in plugin_abi.h");
VELT_HOST_CALLS(VELT_HOST_CALL_CHECK)
#undef VELT_HOST_CALL_CHECK

// A table of the sixteen entry points: a plug-in library's, found by name,
// or those linked into the program itself.
struct EntryPoints {
#define VELT_HOST_CALL_MEMBER(Name, member, Signature, Argument) \
    EntryPointPointer<Signature>::Pointer member;
    VELT_HOST_CALLS(VELT_HOST_CALL_MEMBER)
#undef VELT_HOST_CALL_MEMBER
};

// The entry points linked into this program: velt's own, in a program that
// links the core (velt-drive's twin of the plug-in, the fuzz harness).
inline EntryPoints linkedEntryPoints() {
    EntryPoints table{};
#define VELT_HOST_CALL_LINKED(Name, member, Signature, Argument) table.member = &::Name;
    VELT_HOST_CALLS(VELT_HOST_CALL_LINKED)
#undef VELT_HOST_CALL_LINKED
    return table;
}

// One call between frames, as a value: which entry point and its argument.
// Elapse and GetPluginVersion answer, so they are not calls of this kind.
struct HostCall {
    HostCallId id = HostCallId::Load;
    std::int32_t value = 0;  // the int argument: notch, reverser, key, aspect or unused
    VehicleSpec spec{};      // SetVehicleSpec's
    BeaconData beacon{};     // SetBeaconData's

    static HostCall of(HostCallId id, std::int32_t value = 0) { return {id, value, {}, {}}; }
    static HostCall vehicleSpec(const VehicleSpec& spec) {
        return {HostCallId::SetVehicleSpec, 0, spec, {}};
    }
    static HostCall beaconData(const BeaconData& beacon) {
        return {HostCallId::SetBeaconData, 0, {}, beacon};
    }
};

namespace detail {

// The argument of `call` that an entry point of argument type A takes.
inline void invoke(void(VELT_CALL* entry)(), const HostCall& /*call*/) { entry(); }
inline void invoke(void(VELT_CALL* entry)(std::int32_t), const HostCall& call) {
    entry(call.value);
}
inline void invoke(void(VELT_CALL* entry)(VehicleSpec), const HostCall& call) { entry(call.spec); }
inline void invoke(void(VELT_CALL* entry)(BeaconData), const HostCall& call) { entry(call.beacon); }
template <typename Answering>
void invoke(Answering /*entry*/, const HostCall& /*call*/) {}  // Elapse, GetPluginVersion

}  // namespace detail

// Makes the call on a table of entry points. A call of Elapse or
// GetPluginVersion does nothing: they are called where their answer is read.
inline void makeCall(const EntryPoints& table, const HostCall& call) {
    switch (call.id) {
#define VELT_HOST_CALL_CASE(Name, member, Signature, Argument) \
    case HostCallId::Name: detail::invoke(table.member, call); break;
        VELT_HOST_CALLS(VELT_HOST_CALL_CASE)
#undef VELT_HOST_CALL_CASE
    }
}

}  // namespace velt
