// Runs a byte-encoded host session (entry_point_script.h) against a freshly
// loaded plug-in and checks, after every frame, what the plug-in must hold
// whatever the host sends. A violated check prints what was expected and
// what came back, and aborts, so the fuzzer and the replay both stop on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "host/entry_points.h"

namespace velt::fuzz {

// What a frame left, for observers that want to know where a session went.
struct FrameView {
    const VehicleState& state;
    const HandleCommand& handles;
    const CVelt& core;
    const VehicleCache& cache;
    bool legacyFrame;
};
using FrameObserver = std::function<void(const FrameView&)>;

// Resets the plug-in as a fresh load leaves it, then plays the session.
void runSession(const std::uint8_t* data, std::size_t size, const FrameObserver& observer = {});

// A state field's number, for messages and traces.
template <class State>
int number(State s) {
    return static_cast<int>(s);
}

// Entry-point calls made by every session of this process so far.
std::uint64_t entryPointCalls();

}  // namespace velt::fuzz
