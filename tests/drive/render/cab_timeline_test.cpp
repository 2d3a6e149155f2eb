// The cab timeline keeps only changes, yet the time view and the report
// page tell every frame's values back from it: the spans must reproduce the
// trace exactly, and read blinks as the cab shows them.
#include <gtest/gtest.h>

#include <functional>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/render/cab_timeline.h"

namespace velt::drive {
namespace {

struct SpanCase {
    const char* name;
    std::function<std::int32_t(std::int32_t timeMs)> value;  // the value at a time of day
    std::vector<ValueSpan> expected;                         // frame, off, on, half period
};

// 10 s of 60 frames a second from 10:00:00, through a fresh track.
std::vector<ValueSpan> spansOf(const std::function<std::int32_t(std::int32_t)>& value) {
    ValueTrack track;
    for (std::size_t k = 0; k < 600; ++k) {
        const auto elapsed = static_cast<std::int64_t>(k) * 1000 / 60;
        const auto time = static_cast<std::int32_t>(36000000 + elapsed);
        track.add({k, elapsed, 0.0, 0.0}, time, value(time));
    }
    track.finish();
    return track.spans();
}

TEST(ValueTrack, ReadsSteadyValuesBlinksAndSequencesAsTheCabShowsThem) {
    const auto phase = [](std::int32_t t, std::int32_t half) { return (t % (2 * half)) / half; };
    const SpanCase cases[] = {
        {"steady", [](std::int32_t) { return 17; }, {{{0}, 17, 17, 0}}},
        {"fast blink from the start",
         [&](std::int32_t t) { return phase(t, 250) != 0 ? 17 : 0; },
         {{{0}, 0, 17, 250}}},
        {"steady, then blinking with the normal phase from 4 s",
         [&](std::int32_t t) { return t < 36004000 || phase(t, 500) != 0 ? 8 : 0; },
         {{{0}, 8, 8, 0}, {{240}, 0, 8, 500}}},
        {"alternating 28 and 9 every second",
         [&](std::int32_t t) { return phase(t, 1000) != 0 ? 9 : 28; },
         {{{0}, 28, 9, 1000}}},
        {"29 for half a second, then 1: a sequence, not a blink",
         [](std::int32_t t) { return t < 36000500 ? 29 : 1; },
         {{{0}, 29, 29, 0}, {{30}, 1, 1, 0}}},
    };
    for (const SpanCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<ValueSpan> spans = spansOf(c.value);
        ASSERT_EQ(spans.size(), c.expected.size());
        for (std::size_t i = 0; i < spans.size(); ++i) {
            EXPECT_EQ(spans[i].at.frame, c.expected[i].at.frame) << "span " << i;
            EXPECT_EQ(spans[i].off, c.expected[i].off) << "span " << i;
            EXPECT_EQ(spans[i].on, c.expected[i].on) << "span " << i;
            EXPECT_EQ(spans[i].halfPeriodMs, c.expected[i].halfPeriodMs) << "span " << i;
        }
    }
}

// The value a track gives for frame k, as the page computes it.
std::int32_t valueAt(const ValueTrack& track, const FrameRecord& frame) {
    const auto& spans = track.spans();
    const auto after =
        std::upper_bound(spans.begin(), spans.end(), frame.number,
                         [](std::size_t k, const ValueSpan& span) { return k < span.at.frame; });
    EXPECT_NE(after, spans.begin());
    return std::prev(after)->valueAt(frame.timeMs);
}

TEST(CabTimeline, TellsEveryFrameOfEveryBundledScenarioBackExactly) {
    for (const char* name : {"demo", "examples/door-link", "station-stop", "overspeed-cut",
                             "ccp-restriction", "legacy-alarm-missed", "signal-check-line2"}) {
        SCOPED_TRACE(name);
        const Scenario scenario =
            readScenario(std::string(VELT_SCENARIO_DIR) + "/" + name + ".drive");
        RecordedDrive drive;
        CabTimeline timeline(scenario);
        Analysis analysis(scenario);
        driveExplained(scenario, {&drive, &timeline, &analysis});
        ASSERT_EQ(timeline.frames(), drive.frames.size());
        std::size_t mismatches = 0;
        for (const FrameRecord& f : drive.frames) {
            for (std::size_t i = 0; i < kPanelIndices.size(); ++i)
                mismatches += valueAt(timeline.panel(kPanelIndices[i]), f) != f.panel[i];
            for (std::size_t i = 0; i < kSoundIndices.size(); ++i)
                mismatches += valueAt(timeline.sound(kSoundIndices[i]), f) != f.sound[i];
            mismatches += valueAt(timeline.handle(CabTimeline::kBrake), f) != f.out.brake;
            mismatches += valueAt(timeline.handle(CabTimeline::kDriverBrake), f) != f.driverBrake;
            // The clock the page counts from its anchors.
            const auto& clock = timeline.clock();
            const auto anchor = std::prev(std::upper_bound(
                clock.begin(), clock.end(), f.number,
                [](std::size_t k, const CabTimeline::ClockAnchor& a) { return k < a.frame; }));
            mismatches +=
                anchor->timeMs + timeline.elapsedAt(f.number) - timeline.elapsedAt(anchor->frame) !=
                f.timeMs;
        }
        EXPECT_EQ(mismatches, 0u);
        EXPECT_LT(timeline.panel(23).spans().size(), 40u) << "changes, not frames";
    }
}

}  // namespace
}  // namespace velt::drive
