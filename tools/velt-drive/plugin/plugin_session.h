// Every call the host stand-in makes to the plug-in goes through here, in
// the order a host makes them. This is the one place to watch, mirror or
// compare what the plug-in is told and what it answers: with a twin, each
// call goes to velt-drive's own core as well, and each frame's outputs are
// compared with the twin's.
#pragma once

#include <cstdint>

#include "host/plugin_abi.h"
#include "tools/velt-drive/plugin/plugin_library.h"

namespace velt::drive {

class CoreTwin;

class PluginSession {
public:
    // A black-box session: the plug-in alone.
    explicit PluginSession(const PluginApi& api) : api_(api) {}
    // The plug-in and velt-drive's own core beside it.
    PluginSession(const PluginApi& api, CoreTwin& twin) : api_(api), twin_(&twin) {}

    CoreTwin* twin() const { return twin_; }

    void load();
    void dispose();
    void setVehicleSpec(const VehicleSpec& spec);
    void initialize(std::int32_t brake);
    HandleCommand elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound);
    void setPower(std::int32_t notch);
    void setBrake(std::int32_t notch);
    void setReverser(std::int32_t position);
    void keyDown(std::int32_t key);
    void keyUp(std::int32_t key);
    void hornBlow(std::int32_t horn);
    void doorOpen();
    void doorClose();
    void setSignal(std::int32_t aspect);
    void setBeaconData(const BeaconData& beacon);

private:
    const PluginApi& api_;
    CoreTwin* twin_ = nullptr;
};

}  // namespace velt::drive
