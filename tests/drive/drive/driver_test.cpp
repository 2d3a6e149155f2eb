// The driver's hold and jump statements: what the train does under a hold,
// and what a jump tells the plug-in and what the train passes after it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/drive/drive_recording.h"

namespace velt::drive {
namespace {

struct HoldCase {
    const char* what;
    const char* text;
    double fromS, toS;       // the window to look at
    double lowKmh, highKmh;  // the speed stays within this band there
    bool brakes;             // the driver's service brake is used in the window
};

class Hold : public ::testing::TestWithParam<HoldCase> {};

TEST_P(Hold, KeepsTheSpeedInItsBandWithPowerAndServiceBrake) {
    const HoldCase& c = GetParam();
    RecordedDrive drive;
    recordDrive(parseScenario(c.text, "hold.drive"), drive);
    bool braked = false;
    for (const FrameRecord& f : drive.frames) {
        const double s = static_cast<double>(f.elapsedMs) / 1000.0;
        if (s < c.fromS || s > c.toS) continue;
        EXPECT_GE(f.speedKmh, c.lowKmh) << c.what << " at " << s << " s";
        EXPECT_LE(f.speedKmh, c.highKmh) << c.what << " at " << s << " s";
        EXPECT_LE(f.driverBrake, 8) << "a hold never uses the emergency notch";
        braked = braked || f.driverBrake > 0;
    }
    EXPECT_EQ(braked, c.brakes) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Hold,
    ::testing::Values(
        HoldCase{"from a stand", "hold 60 km/h\nend at 200 s\n", 60, 200, 58.5, 60.5, false},
        HoldCase{"down to a lower speed", "start speed 90 km/h\nhold 40 km/h\nend at 200 s\n", 0,
                 200, 38.5, 90.0, true},
        HoldCase{"after the brake lets go", "start speed 90 km/h\nhold 40 km/h\nend at 200 s\n", 60,
                 200, 38.5, 42.0, false}));

TEST(Hold, EndsWhenTheNextActionFallsDueOrItsUntilIsReached) {
    RecordedDrive drive;
    recordDrive(
        parseScenario("hold 50 km/h until 2000 m\nbrake 3 at 2500 m\nend at 300 s\n", "hold.drive"),
        drive);
    for (const FrameRecord& f : drive.frames) {
        if (f.positionM > 2001.0 && f.positionM < 2500.0) {
            EXPECT_EQ(f.driverPower, 0) << "coasting after 'until' at " << f.positionM << " m";
            EXPECT_EQ(f.driverBrake, 0);
        }
        if (f.positionM > 2501.0) {
            EXPECT_EQ(f.driverBrake, 3) << "the brake line has taken over";
        }
    }
    EXPECT_EQ(drive.end.actionsDone, 2u);
}

// A plug-in stand-in that records what it is told and applies the
// driver's handles as they are.
std::vector<std::string> calls;
HandleCommand handles{0, 0, 1, 0};

void VELT_CALL none() {}
std::int32_t VELT_CALL version() { return kPluginVersion; }
void VELT_CALL spec(VehicleSpec) {}
void VELT_CALL initialize(std::int32_t) { calls.emplace_back("Initialize"); }
HandleCommand VELT_CALL elapse(VehicleState state, std::int32_t*, std::int32_t*) {
    if (!calls.empty() && calls.back() == "Initialize")
        calls.push_back("Elapse " + std::to_string(state.time) + " " + std::to_string(state.speed));
    return handles;
}
void VELT_CALL power(std::int32_t notch) { handles.power = notch; }
void VELT_CALL brake(std::int32_t notch) { handles.brake = notch; }
void VELT_CALL one(std::int32_t) {}
void VELT_CALL signal(std::int32_t aspect) { calls.push_back("aspect " + std::to_string(aspect)); }
void VELT_CALL beacon(BeaconData data) {
    calls.push_back("beacon " + std::to_string(data.optional));
}

// A hold moves both handles: the pending end of a brake before it must not
// take the brake from the hold later on.
TEST(Hold, CancelsThePendingEndOfTheBrakeBeforeIt) {
    RecordedDrive drive;
    recordDrive(parseScenario("start speed 60 km/h\nbrake 4 at 100 m until 25 km/h\nhold 25 km/h\n"
                              "end at 60 s\n",
                              "hold.drive"),
                drive);
    for (const HostEvent& e : drive.events)
        EXPECT_EQ(e.text.find("end of 'brake 4"), std::string::npos) << e.text;
}

TEST(Jump, InitializesThePluginAndPassesOnlyWhatLiesAheadAgainAfterAJumpBack) {
    const PluginApi api{none, none, version, spec, initialize, elapse, power,  brake,
                        one,  one,  one,     one,  none,       none,   signal, beacon};
    calls.clear();
    const Scenario scenario = parseScenario(
        "start time 10:00:00\nstart speed 36 km/h\n"
        "beacon door-link at 50 m optional 1\nbeacon door-link at 150 m optional 2\n"
        "beacon door-link at 250 m optional 3\nsignal 4 at 240 m\n"
        "jump to 200 m at 09:00:00 at 170 m\nhold 36 km/h\n"
        "jump to 100 m at 09:30:00 at 260 m\nhold 36 km/h\n"
        "end at 300 m\n",
        "jump.drive");
    RecordedDrive drive;
    runDrive(scenario, api, nullptr, {&drive});
    const std::vector<std::string> expected = {
        "Initialize", "Elapse 36000000 36.000000",  // the start, at 10:00:00 and 36 km/h
        "beacon 1",   "beacon 2",
        "Initialize", "Elapse 32400000 0.000000",  // 09:00:00, standing at 200 m
        "aspect 4",   "beacon 3",
        "Initialize", "Elapse 34200000 0.000000",  // 09:30:00, standing at 100 m
        "beacon 2",   "aspect 4",
        "beacon 3"};
    EXPECT_EQ(calls, expected);
    for (std::size_t i = 1; i < drive.frames.size(); ++i) {
        const FrameRecord& f = drive.frames[i];
        if (f.timeMs == 32400000) {
            EXPECT_EQ(f.positionM, 200.0);
        }
        EXPECT_GT(f.elapsedMs, drive.frames[i - 1].elapsedMs) << "the drive's own time runs on";
    }
}

}  // namespace
}  // namespace velt::drive
