// velt's own protection core, running in velt-drive's process beside the
// plug-in library it loaded: built from the same sources, driven through the
// same sixteen entry points with exactly the calls the library gets. After
// every frame the library's handles, panel and sound must equal the twin's;
// if they do not, the library is not the velt this tool was built with (a
// stale or foreign build), and nothing the tool could say about the drive
// would be true of it. While they agree, the twin's state is the library's,
// and the explainer reads it to say why the protection did what it did.
//
// The twin is the process's one instance of the core (velt::host), so it
// must see every call of the library it mirrors: one twin for every drive
// of a library in a process.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/velt.h"
#include "host/entry_points.h"
#include "host/plugin_abi.h"
#include "tools/velt-drive/explain/explainer.h"

namespace velt::drive {

class CoreTwin {
public:
    // `pluginPath` only names the library in the message of a difference.
    CoreTwin(const Scenario& scenario, std::string pluginPath,
             Explainer::Scope scope = Explainer::Scope::Everything);

    // The host calls, in the order the library got them.
    void load();
    void dispose();
    void setVehicleSpec(const VehicleSpec& spec);
    void initialize(std::int32_t brake);
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
    // Runs the twin's frame and compares its outputs with the library's.
    void elapse(const VehicleState& state, const HandleCommand& pluginHandles,
                const std::int32_t* pluginPanel, const std::int32_t* pluginSound);

    // The host event that the following calls come from, or none (the
    // driver's hold moving a handle, a quick key let go).
    void from(const HostEvent* event) { explainer_.from(event); }

    // Explains the frame just run, once the drive has its record: the
    // core's state for the trace, and the events since the frame before.
    // Also words a difference found by elapse.
    const CoreFrame& explainFrame(const FrameRecord& record);

    // Empty while the library and the twin agree; else what differed first,
    // in words: "frame 1234 (20.567 s): panel[22] is 29 from ...".
    const std::string& divergence() const { return divergence_; }

    void finish(const FrameRecord& last) { explainer_.finish(last); }
    const Explainer& explainer() const { return explainer_; }
    static const CVelt& core() { return host::protection; }
    // Puts the process's core back as a library has it when just loaded,
    // for a twin of a library that was closed and loaded again.
    static void startAsLoaded();

private:
    // The calls between frames: state before, the call, then what changed.
    template <typename Call>
    void event(const HostCall& call, Call&& entryPoint);

    struct Difference {
        std::string output;  // "panel[22]", "the brake handle"
        std::int64_t plugin = 0;
        std::int64_t own = 0;
    };

    Explainer explainer_;
    std::string pluginPath_;
    CVelt before_{};  // the core before the call or frame being explained
    std::array<std::int32_t, kPanelSize> panel_{};
    std::array<std::int32_t, 256> sound_{};
    bool differs_ = false;
    Difference difference_;
    std::string divergence_;
};

}  // namespace velt::drive
