// A day-long drive with every consumer of a normal run attached must stay
// in a fixed amount of memory: nothing may keep the frames. Its own
// executable, so that the peak it reads is the drive's alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/render/cab_timeline.h"
#include "tools/velt-drive/render/plot.h"
#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/render/report_page.h"
#include "tools/velt-drive/render/time_plot.h"
#include "tools/velt-drive/render/trace.h"

namespace velt::drive {
namespace {

// Peak resident memory of this process so far, from the kernel's count.
long peakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TEST(LongRun, ADayOfDrivingStaysUnder100MegabytesWithEveryOutput) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory would be counted too";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer's shadow memory would be counted too";
#endif
#endif
    PluginLibrary plugin;
    ASSERT_TRUE(plugin.open(VELT_PLUGIN_PATH)) << plugin.error();
    // A Velt section with the speed swinging all day under a hold, so that
    // the summary, the plot and the trace all have something to say.
    const Scenario scenario = parseScenario(
        "start time 00:00:00\nsignal 2 at 10 m\nbeacon route at 15 m optional 0\n"
        "beacon section at 20 m optional 1\nhold 45 km/h\nend at 86400 s\n",
        "day.drive");
    std::FILE* sink = std::fopen("/dev/null", "wb");
    ASSERT_NE(sink, nullptr);
    TraceWriter trace(sink, true);
    Analysis analysis(scenario);
    PlotRecorder plot(scenario);
    CabTimeline timeline(scenario);
    const DriveEnd end = ExplainedDrive(scenario, plugin, Explain::Everything)
                             .run({&trace, &analysis, &plot, &timeline});
    const std::string svg = plot.render(analysis.report(), end);
    const std::string timeSvg = renderTimePlot(timeline, analysis.report(), end);
    const Report& report = analysis.report();
    const std::string page = renderReportPage(
        timeline, report, end, {formatSummary(scenario, end, report), svg, timeSvg, {}});
    EXPECT_EQ(std::fclose(sink), 0);

    EXPECT_EQ(end.frames, 86400u * 60 + 1);
    EXPECT_EQ(end.divergence, "");
    EXPECT_FALSE(trace.failed());
    EXPECT_GT(analysis.report().lines.size(), 3u);
    EXPECT_LT(svg.size(), 4u << 20) << "a plot a browser can open";
    EXPECT_LT(timeSvg.size(), 4u << 20) << "a time view a browser can open";
    EXPECT_LT(page.size(), 16u << 20) << "a report page a browser can open";
    std::printf("a day: plot %zu bytes, time view %zu bytes, report page %zu bytes\n", svg.size(),
                timeSvg.size(), page.size());
    const long peak = peakResidentKb();
    ASSERT_GT(peak, 0);
    EXPECT_LT(peak, 100L * 1024) << "peak resident memory " << peak << " kB";
}

}  // namespace
}  // namespace velt::drive
