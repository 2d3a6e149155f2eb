// Every call the host stand-in makes to the plug-in goes through here, in
// the order a host makes them. This is the one place to watch, mirror or
// compare what the plug-in is told and what it answers: a mirror (velt-drive's
// own core) is handed each call and each frame after the plug-in.
#pragma once

#include <cstdint>

#include "host/host_calls.h"
#include "tools/velt-drive/plugin/plugin_library.h"

namespace velt::drive {

// What follows the plug-in call by call.
class CallMirror {
public:
    virtual ~CallMirror() = default;

    // A call between frames, after the plug-in has taken it.
    virtual void call(const HostCall& call) = 0;
    // A frame, after the plug-in has run it: what it was told, what it
    // returned and the arrays it wrote.
    virtual void frame(const VehicleState& state, const HandleCommand& pluginHandles,
                       const std::int32_t* pluginPanel, const std::int32_t* pluginSound) = 0;
};

class PluginSession {
public:
    // The plug-in alone (a black box), or with a mirror beside it.
    explicit PluginSession(const PluginApi& api, CallMirror* mirror = nullptr)
        : api_(api), mirror_(mirror) {}

    void call(const HostCall& call);
    HandleCommand elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);

private:
    const PluginApi& api_;
    CallMirror* mirror_;
};

}  // namespace velt::drive
