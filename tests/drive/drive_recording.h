// For the tests only: a drive kept whole, every frame and event, so that
// a test can look back over it. The tool itself never keeps frames.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

struct RecordedDrive : DriveConsumer {
    std::vector<FrameRecord> frames;
    std::vector<HostEvent> events;
    std::vector<Diagnostic> findings;
    std::vector<ExplainedEvent> explained;  // what velt-drive's own core said, in order
    DriveEnd end;
    Report report;

    void event(const HostEvent& event) override { events.push_back(event); }
    void finding(const Diagnostic& finding) override { findings.push_back(finding); }
    void frame(const FrameRecord& frame) override {
        if (frame.core != nullptr)
            explained.insert(explained.end(), frame.core->events.begin(), frame.core->events.end());
        frames.push_back(frame);
        frames.back().core = nullptr;  // valid only while the frame is handed round
    }
};

// The native plug-in, loaded once for all tests.
inline const PluginLibrary& nativeLibrary() {
    static PluginLibrary plugin;
    if (plugin.api().elapse == nullptr) {
        EXPECT_TRUE(plugin.open(VELT_PLUGIN_PATH)) << plugin.error();
    }
    return plugin;
}
inline const PluginApi& nativePlugin() { return nativeLibrary().api(); }

// Runs the scenario against the native plug-in, with velt-drive's own core
// beside it as a normal run has it, and keeps all of it. Every drive of the
// library in this process goes through a twin, so that the twin's state,
// the process's one core, stays the library's.
inline DriveEnd driveExplained(const Scenario& scenario,
                               const std::vector<DriveConsumer*>& consumers,
                               const PluginLibrary& library = nativeLibrary()) {
    return ExplainedDrive(scenario, library, Explain::Everything).run(consumers);
}

inline void recordDrive(const Scenario& scenario, RecordedDrive& drive,
                        const PluginLibrary& library = nativeLibrary()) {
    Analysis analysis(scenario);
    drive.end = driveExplained(scenario, {&drive, &analysis}, library);
    drive.report = analysis.report();
}

}  // namespace velt::drive
