// For the tests only: a drive kept whole, every frame and event, so that
// a test can look back over it. The tool itself never keeps frames.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/velt-drive/drive.h"
#include "tools/velt-drive/plugin_library.h"
#include "tools/velt-drive/report.h"
#include "tools/velt-drive/scenario.h"

namespace velt::drive {

struct RecordedDrive : DriveConsumer {
    std::vector<FrameRecord> frames;
    std::vector<HostEvent> events;
    std::vector<Finding> findings;
    DriveEnd end;
    Report report;

    void event(const HostEvent& event) override { events.push_back(event); }
    void finding(const Finding& finding) override { findings.push_back(finding); }
    void frame(const FrameRecord& frame) override { frames.push_back(frame); }
};

// The native plug-in, loaded once for all tests.
inline const PluginApi& nativePlugin() {
    static PluginLibrary plugin;
    if (plugin.api().elapse == nullptr) {
        EXPECT_TRUE(plugin.open(VELT_PLUGIN_PATH)) << plugin.error();
    }
    return plugin.api();
}

// Runs the scenario against the native plug-in and keeps all of it.
inline void recordDrive(const Scenario& scenario, RecordedDrive& drive) {
    Analysis analysis(scenario);
    PluginSession session(nativePlugin());
    drive.end = runDrive(scenario, session, {&drive, &analysis});
    drive.report = analysis.report();
}

}  // namespace velt::drive
