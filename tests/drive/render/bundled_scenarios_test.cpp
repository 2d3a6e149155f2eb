// The bundled scenarios against the native plug-in: what an author would
// check in the summary, asserted on the recorded frames.
//
// These drive the real protection core, so they pass only once its Velt
// supervision, legacy supervision and cab outputs are complete.
#include <gtest/gtest.h>

#include <optional>

#include "tests/drive/drive_recording.h"

namespace velt::drive {
namespace {

struct Drive {
    Scenario scenario;
    RecordedDrive result;
};

Drive runBundled(const std::string& name) {
    Drive drive;
    drive.scenario = readScenario(std::string(VELT_SCENARIO_DIR) + "/" + name + ".drive");
    recordDrive(drive.scenario, drive.result);
    return drive;
}

std::optional<std::size_t> firstFrame(const Drive& drive, bool (*holds)(const FrameRecord&)) {
    for (std::size_t i = 0; i < drive.result.frames.size(); ++i)
        if (holds(drive.result.frames[i])) return i;
    return std::nullopt;
}

bool emergencyApplied(const FrameRecord& f) { return f.out.brake == 9 && f.driverBrake != 9; }
bool serviceApplied(const FrameRecord& f) { return f.out.brake == 8 && f.driverBrake != 8; }
bool protectionBrakes(const FrameRecord& f) { return f.out.brake != f.driverBrake; }
bool warningChime(const FrameRecord& f) { return f.soundAt(6) == 1; }

TEST(DemoScenario, StopsShortOfTheCppTargetAfterAWarningWithTheBellRinging) {
    const Drive drive = runBundled("demo");
    const FrameRecord& last = drive.result.frames.back();
    EXPECT_EQ(last.speedKmh, 0.0);
    EXPECT_LT(last.positionM, 700.0) << "the CPP target is at 700 m";
    EXPECT_GT(last.positionM, 650.0) << "the stop comes from the curve, not from the beacon";
    EXPECT_TRUE(drive.result.report.bellRang);

    const auto brake = firstFrame(drive, emergencyApplied);
    const auto warning = firstFrame(drive, warningChime);
    ASSERT_TRUE(brake.has_value());
    ASSERT_TRUE(warning.has_value());
    const std::int64_t leadMs =
        drive.result.frames[*brake].elapsedMs - drive.result.frames[*warning].elapsedMs;
    EXPECT_GT(leadMs, 3500) << "warned about five seconds before the curve";
    EXPECT_LT(leadMs, 6500);
}

TEST(LegacyAlarm, NotAcknowledgedWithinItsDelayBrakesTheTrainToAStand) {
    const Drive drive = runBundled("legacy-alarm-missed");
    const auto brake = firstFrame(drive, emergencyApplied);
    ASSERT_TRUE(brake.has_value());
    // The signal drops to 0 at 20 s, a report stamped with the time of the
    // frame before it; the alarm takes effect 3 s after that stamp.
    std::int64_t stampMs = 0;
    for (const HostEvent& event : drive.result.events)
        if (event.kind == HostEvent::Kind::Signal)
            stampMs = drive.result.frames[event.frame - 1].elapsedMs;
    EXPECT_EQ(stampMs, 19983);
    EXPECT_GE(drive.result.frames[*brake].elapsedMs, stampMs + 3000);
    EXPECT_LT(drive.result.frames[*brake].elapsedMs, stampMs + 3000 + 17);
    EXPECT_EQ(drive.result.frames.back().speedKmh, 0.0);
    EXPECT_EQ(drive.result.report.stops.size(), 1u);
}

TEST(LegacyAlarm, AcknowledgedInTimeDoesNotBrake) {
    const Drive drive = runBundled("legacy-alarm-acknowledged");
    EXPECT_FALSE(firstFrame(drive, protectionBrakes).has_value());
    EXPECT_FALSE(drive.result.report.bellRang);
    EXPECT_TRUE(drive.result.report.stops.empty());
    EXPECT_GT(drive.result.frames.back().speedKmh, 40.0);
}

TEST(OverspeedCut, RemovesPowerAbove120AndReturnsItBelow117) {
    const Drive drive = runBundled("overspeed-cut");
    int cuts = 0;
    int returns = 0;
    double fastest = 0.0;
    const auto& frames = drive.result.frames;
    for (std::size_t i = 1; i < frames.size(); ++i) {
        const auto speed = static_cast<float>(frames[i].speedKmh);
        fastest = std::max(fastest, frames[i].speedKmh);
        if (frames[i].driverPower != 4 || frames[i - 1].driverPower != 4) continue;
        if (frames[i - 1].out.power == 4 && frames[i].out.power == 0) {
            ++cuts;
            EXPECT_GT(speed, 120.0f) << "cut at " << frames[i].elapsedMs << " ms";
            EXPECT_LE(static_cast<float>(frames[i - 1].speedKmh), 120.0f);
        }
        if (frames[i - 1].out.power == 0 && frames[i].out.power == 4) {
            ++returns;
            EXPECT_LT(speed, 117.0f) << "returned at " << frames[i].elapsedMs << " ms";
            EXPECT_GE(static_cast<float>(frames[i - 1].speedKmh), 117.0f);
        }
    }
    EXPECT_GE(cuts, 2);
    EXPECT_GE(returns, 2);
    EXPECT_LT(fastest, 121.0);
    EXPECT_FALSE(drive.result.report.bellRang) << "the cut takes power away, it does not brake";
}

TEST(SignalCheckLine2, BrakesOnFullServiceAbove79ButNeverOnEmergency) {
    const Drive drive = runBundled("signal-check-line2");
    const auto brake = firstFrame(drive, serviceApplied);
    ASSERT_TRUE(brake.has_value());
    EXPECT_GT(static_cast<float>(drive.result.frames[*brake].speedKmh), 79.0f);
    EXPECT_FALSE(firstFrame(drive, emergencyApplied).has_value());
    for (const FrameRecord& f : drive.result.frames) EXPECT_LT(f.speedKmh, 80.0);
}

TEST(CcpRestriction, BringsTheTrainToTheRestrictionBeforeItsTarget) {
    const Drive drive = runBundled("ccp-restriction");
    EXPECT_TRUE(firstFrame(drive, serviceApplied).has_value());
    EXPECT_FALSE(firstFrame(drive, emergencyApplied).has_value())
        << "line category 2 brakes on full service";
    for (const FrameRecord& f : drive.result.frames)
        if (f.positionM >= 1200.0) {
            EXPECT_LE(f.speedKmh, 49.0) << "at " << f.positionM << " m";
        }
    EXPECT_TRUE(drive.result.report.stops.empty());
}

TEST(StationStop, RemindsUntilTheDoorsOpenAtThePlatform) {
    const Drive drive = runBundled("station-stop");
    const auto& frames = drive.result.frames;
    const auto reminder = firstFrame(drive, [](const FrameRecord& f) { return f.soundAt(2) == 0; });
    const auto quieter =
        firstFrame(drive, [](const FrameRecord& f) { return f.soundAt(2) == -1200; });
    const auto doors = firstFrame(drive, [](const FrameRecord& f) { return !f.doorsClosed; });
    ASSERT_TRUE(reminder && quieter && doors);
    EXPECT_LT(*reminder, *quieter) << "the driver's brake turns the reminder down";
    EXPECT_EQ(frames[*doors].soundAt(2), -10000) << "opening the doors ends it";
    EXPECT_EQ(frames[*doors].panelAt(40), 0);
    ASSERT_EQ(drive.result.report.stops.size(), 1u);
    EXPECT_NEAR(drive.result.report.stops[0].positionM, 1000.0, 25.0);
}

}  // namespace
}  // namespace velt::drive
