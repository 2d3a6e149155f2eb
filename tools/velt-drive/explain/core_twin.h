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
#include "host/host_calls.h"
#include "tools/velt-drive/explain/explainer.h"

namespace velt::drive {

class CoreTwin : public Witness {
public:
    // `pluginPath` only names the library in the message of a difference.
    CoreTwin(const Scenario& scenario, std::string pluginPath,
             Explainer::Scope scope = Explainer::Scope::Everything);

    // The host calls, in the order the library got them: each made on the
    // core's own entry points, and explained.
    void call(const HostCall& call) override;
    // Runs the twin's frame and compares its outputs with the library's.
    void frame(const VehicleState& state, const HandleCommand& pluginHandles,
               const std::int32_t* pluginPanel, const std::int32_t* pluginSound) override;

    void from(const HostEvent* event) override { explainer_.from(event); }

    // Explains the frame just run, once the drive has its record: the
    // core's state for the trace, and the events since the frame before.
    // Also words a difference found by frame().
    const CoreFrame& explainFrame(const FrameRecord& record) override;

    // Empty while the library and the twin agree; else what differed first,
    // in words: "frame 1234 (20.567 s): panel[22] is 29 from ...".
    [[nodiscard]] const std::string& divergence() const override { return divergence_; }

    // Closes the explanation and hands its interventions and patterns over.
    void finish(const FrameRecord& last, DriveEnd& end) override;

    const Explainer& explainer() const { return explainer_; }
    Explainer& explainer() { return explainer_; }
    static const CVelt& core() { return host::protection; }
    // Puts the process's core back as a library has it when just loaded,
    // for a twin of a library that was closed and loaded again.
    static void startAsLoaded();

private:
    struct Difference {
        std::string output;  // "panel[22]", "the brake handle"
        std::int64_t plugin = 0;
        std::int64_t own = 0;
    };

    Explainer explainer_;
    EntryPoints own_ = linkedEntryPoints();  // the core's entry points, linked in
    std::string pluginPath_;
    CVelt before_{};  // the core before the call or frame being explained
    std::array<std::int32_t, kPanelSize> panel_{};
    std::array<std::int32_t, kHostSoundSize> sound_{};
    bool differs_ = false;
    Difference difference_;
    std::string divergence_;
};

}  // namespace velt::drive
