// Every call the host stand-in makes to the plug-in goes through here, in
// the order a host makes them. This is the one place to watch, mirror or
// compare what the plug-in is told and what it answers.
#pragma once

#include <cstdint>

#include "host/plugin_abi.h"
#include "tools/velt-drive/plugin_library.h"

namespace velt::drive {

class PluginSession {
public:
    explicit PluginSession(const PluginApi& api) : api_(api) {}

    void load() { api_.load(); }
    void dispose() { api_.dispose(); }
    void setVehicleSpec(const VehicleSpec& spec) { api_.setVehicleSpec(spec); }
    void initialize(std::int32_t brake) { api_.initialize(brake); }
    HandleCommand elapse(const VehicleState& state, std::int32_t* panel, std::int32_t* sound) {
        return api_.elapse(state, panel, sound);
    }
    void setPower(std::int32_t notch) { api_.setPower(notch); }
    void setBrake(std::int32_t notch) { api_.setBrake(notch); }
    void setReverser(std::int32_t position) { api_.setReverser(position); }
    void keyDown(std::int32_t key) { api_.keyDown(key); }
    void keyUp(std::int32_t key) { api_.keyUp(key); }
    void hornBlow(std::int32_t horn) { api_.hornBlow(horn); }
    void doorOpen() { api_.doorOpen(); }
    void doorClose() { api_.doorClose(); }
    void setSignal(std::int32_t aspect) { api_.setSignal(aspect); }
    void setBeaconData(const BeaconData& beacon) { api_.setBeaconData(beacon); }

private:
    const PluginApi& api_;
};

}  // namespace velt::drive
