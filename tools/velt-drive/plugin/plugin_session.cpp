#include "tools/velt-drive/plugin/plugin_session.h"

namespace velt::drive {

// The plug-in first, then the mirror: the mirror's state then always
// follows the call the plug-in has just taken.

void PluginSession::call(const HostCall& call) {
    makeCall(api_, call);
    if (mirror_ != nullptr) mirror_->call(call);
}

HandleCommand PluginSession::elapse(const VehicleState& state, std::int32_t* panel,
                                    std::int32_t* sound) {
    const HandleCommand out = api_.elapse(state, panel, sound);
    if (mirror_ != nullptr) mirror_->frame(state, out, panel, sound);
    return out;
}

}  // namespace velt::drive
