// A black box's summary tells the display as the cab shows it, read through
// the one blink detector: a blink from the frame its code first shows, a
// short code followed by another as two steady values.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/velt-drive/render/report.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {
namespace {

constexpr std::int32_t kStartOfDayMs = 36000000;

// Frame k of a drive from the start of the day, every sound stopped.
FrameRecord quietFrame(std::size_t k) {
    FrameRecord f;
    f.number = k;
    f.elapsedMs = elapsedAtFrame(0, k);
    f.timeMs = kStartOfDayMs + static_cast<std::int32_t>(f.elapsedMs);
    f.sound.fill(kSoundStopped);
    return f;
}

std::int32_t phase(std::int64_t t, std::int32_t half) {
    return static_cast<std::int32_t>((t % (2 * static_cast<std::int64_t>(half))) / half);
}

TEST(Summary, ReadsABlackBoxsDisplayAsTheCabShowsIt) {
    const Scenario scenario = parseScenario("end at 8 s\n", "b.drive");
    Analysis analysis(scenario);
    analysis.begin(9);
    for (std::size_t k = 0; k <= 480; ++k) {
        FrameRecord f = quietFrame(k);
        const std::int64_t t = f.elapsedMs;
        // The aux code 8 blinks each half second from 2 s to 6 s; the target
        // shows 29 from 1 s, then 1 from 1.5 s; the station-stop lamp blinks
        // each second from 3 s.
        const bool warning = t >= 2000 && t < 6000 && phase(t, 500) != 0;
        f.panel[static_cast<std::size_t>(panelSlot(cab::kPanelDisplayAux))] = warning ? 8 : 0;
        f.panel[static_cast<std::size_t>(panelSlot(cab::kPanelDisplayTarget))] =
            t < 1000 ? 0 : (t < 1500 ? 29 : 1);
        f.panel[static_cast<std::size_t>(panelSlot(cab::kPanelStationStop))] =
            t >= 3000 && phase(t, 1000) != 0 ? 1 : 0;
        analysis.frame(f);
    }
    analysis.end(DriveEnd{});
    std::vector<std::pair<std::int64_t, std::string>> lines;
    for (const ReportLine& line : analysis.report().lines)
        lines.emplace_back(line.at.elapsedMs, line.text);
    const std::vector<std::pair<std::int64_t, std::string>> expected = {
        {1000, "display target 29 (doors / stop braking)"},
        {1500, "display target 1 (stop)"},
        {2500, "display aux 8 blinking (pattern warning)"},  // the first frame that shows 8
        {3000, "station-stop lamp blinking"},
        // 0 from 6 s is what the blink shows there too: it ends when 8 fails
        // to show, half a second later.
        {6500, "display aux 0 (blank)"},
    };
    EXPECT_EQ(lines, expected);
}

// A summary line per chime: a run that shows no summary must hold none, or
// its memory grows with the drive again.
TEST(Summary, HoldsNoLinesWhenNoneIsShown) {
    const Scenario scenario = parseScenario("end at 60 s\n", "c.drive");
    for (const bool shown : {true, false}) {
        Analysis analysis(scenario);
        if (!shown) analysis.withoutLines();
        analysis.begin(9);
        for (std::size_t k = 0; k <= 3600; ++k) {
            FrameRecord f = quietFrame(k);
            f.sound[static_cast<std::size_t>(soundSlot(cab::kSoundStartStopChime))] =
                k % 2 == 0 ? 1 : kSoundStopped;
            analysis.frame(f);
        }
        EXPECT_EQ(analysis.heldLines(), shown ? 1801u : 0u) << "shown " << shown;
        analysis.end(DriveEnd{});
        EXPECT_EQ(analysis.report().lines.empty(), !shown);
    }
}

}  // namespace
}  // namespace velt::drive
