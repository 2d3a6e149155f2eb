// A drive of the author's own train: what the plug-in is told and how the
// driver's and velt's brake notches cross in the host's numbering, the
// `vehicle` lines over a loaded train, and the example train end to end.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/render/train_summary.h"

namespace velt::drive {
namespace {

// A stand-in plug-in that keeps the VehicleSpec and every brake value it is sent.
VehicleSpec told{};
std::vector<int> brakesSent;
void VELT_CALL none() {}
std::int32_t VELT_CALL version() { return kPluginVersion; }
void VELT_CALL spec(VehicleSpec s) { told = s; }
void VELT_CALL one(std::int32_t) {}
HandleCommand VELT_CALL elapse(VehicleState, std::int32_t*, std::int32_t*) {
    return {brakesSent.empty() ? 0 : brakesSent.back(), 0, 1, 0};
}
void VELT_CALL brake(std::int32_t value) { brakesSent.push_back(value); }
const PluginApi kRecorder{none, none, version, spec, one,  elapse, one, brake,
                          one,  one,  one,     one,  none, none,   one, [](BeaconData) {}};

// A train folder of its own for each test, holding `body` as its train.dat.
std::string writeTrain(const std::string& body) {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("velt-train-" + std::string(test->name()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "train.dat") << "T2000000\n" << body;
    return dir.string();
}

std::string handle(int brakeNotches, int holdBrake, int brakeType) {
    return "#HANDLE\n0\n4\n" + std::to_string(brakeNotches) + "\n#BRAKE\n" +
           std::to_string(brakeType) + "\n#DEVICE\n0\n0\n0\n0\n" + std::to_string(holdBrake) + "\n";
}

TEST(TrainDrive, SendsTheDriversNotchesAndTheSpecInTheHostsNumbering) {
    const struct {
        const char* what;
        std::string train;
        int specBrake, specAts;
        int lastService;        // the driver's highest service notch
        std::vector<int> sent;  // for brake 1, the highest, emergency, release
    } cases[] = {
        {"notched, 8", handle(8, 0, 0), 8, 1, 8, {1, 8, 9, 0}},
        // Hold is 1: service n is n + 1, emergency 7 + 2.
        {"hold brake, 8 declared", handle(8, 1, 0), 8, 2, 7, {2, 8, 9, 0}},
        // The one declared notch stays a service notch: hold 1, service 2.
        {"hold brake, 1 declared", handle(1, 1, 0), 2, 2, 1, {2, 3, 0}},
        // Lap is 1, the one service position 2, emergency 3.
        {"automatic air", handle(8, 1, 2), 2, 1, 1, {2, 3, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Scenario scenario =
            parseScenario("brake 1 at 1 s\nbrake " + std::to_string(c.lastService) +
                              " at 2 s\nbrake emergency at 3 s\nbrake 0 at 4 s\nend at 5 s\n",
                          "t.drive", writeTrain(c.train));
        brakesSent.clear();
        RecordedDrive drive;
        runDrive(scenario, kRecorder, nullptr, {&drive});
        EXPECT_EQ(told.brakeNotches, c.specBrake);
        EXPECT_EQ(told.unread[1], c.specAts);
        // The start's release, then each change; a notch above the train's
        // service notches is its emergency.
        std::vector<int> expected{0};
        expected.insert(expected.end(), c.sent.begin(), c.sent.end());
        EXPECT_EQ(brakesSent, expected);
    }
}

TEST(TrainDrive, MovesAHoldBrakeToHoldOnlyOnATrainThatHasOne) {
    const std::string script = "brake hold at 1 s\nend at 2 s\n";
    brakesSent.clear();
    RecordedDrive drive;
    runDrive(parseScenario(script, "t.drive", writeTrain(handle(8, 1, 0))), kRecorder, nullptr,
             {&drive});
    EXPECT_EQ(brakesSent, (std::vector<int>{0, 1}));
    for (const std::string& train : {handle(8, 0, 0), handle(8, 1, 2)})
        EXPECT_THROW((void)parseScenario(script, "t.drive", writeTrain(train)), DiagnosticError);
    EXPECT_THROW((void)parseScenario(script, "t.drive"), DiagnosticError);
}

TEST(TrainDrive, TakesTheVehicleLinesThatMeanSomethingForATrain) {
    const std::string folder = writeTrain(handle(8, 1, 0) + "#PERFORMANCE\n3.0\n");
    const Scenario s = parseScenario("vehicle file " + folder +
                                         "\nvehicle emergency-brake 4.5 km/h/s\n"
                                         "vehicle service-brake 4 km/h/s\n"
                                         "vehicle brake-notches 6\nvehicle acceleration 3 km/h/s\n",
                                     "s.drive");
    ASSERT_TRUE(s.train);
    // The emergency rate is set as a share of the service rate given, on
    // whichever line that comes.
    EXPECT_DOUBLE_EQ(s.train->decelerationKmhS, 4.0);
    EXPECT_DOUBLE_EQ(s.vehicle.emergencyBrakeKmhS, 4.5);
    EXPECT_EQ(s.vehicle.brakeNotches, 5) << "6 declared, one of them the hold notch";
    std::vector<int> linesFound;
    for (const Diagnostic& d : s.findings)
        if (d.where.file == "s.drive") linesFound.push_back(d.where.line);
    EXPECT_EQ(linesFound, std::vector<int>{5}) << "acceleration comes from the file alone";
    const std::string summary = trainSummary(s);
    EXPECT_NE(summary.find("adjusted by the scenario: vehicle brake-notches (line 4)"),
              std::string::npos)
        << summary;
    EXPECT_EQ(summary.find("vehicle acceleration"), std::string::npos) << summary;
    // The emergency pressure the line set is no default any more; the service one is.
    EXPECT_EQ(summary.find("default: #PRESSURE 1"), std::string::npos) << summary;
    EXPECT_NE(summary.find("default: #PRESSURE 0"), std::string::npos) << summary;
}

TEST(TrainDrive, TheExampleHoldBrakeTrainStopsForACppTargetInTheHostsNumbering) {
    const Scenario scenario =
        readScenario(std::string(VELT_SCENARIO_DIR) + "/examples/train-hold-brake-cpp-stop.drive");
    RecordedDrive drive;
    recordDrive(scenario, drive);
    ASSERT_FALSE(drive.report.stops.empty());
    EXPECT_LT(drive.report.stops.back().positionM, 700.0);
    EXPECT_GT(drive.report.stops.back().positionM, 600.0);
    // velt's emergency is the host's 9 (hold 1, service 2 to 8), and says so.
    bool braked = false;
    for (const FrameRecord& f : drive.frames) braked = braked || f.out.brake == 9;
    EXPECT_TRUE(braked);
    bool named = false;
    for (const ExplainedEvent& e : drive.explained)
        named = named || e.text.find("(brake notch 9: emergency)") != std::string::npos;
    EXPECT_TRUE(named);
    EXPECT_NE(formatSummary(scenario, drive.end, drive.report)
                  .find("told the plug-in (SetVehicleSpec): brake notches 8, power notches 4, "
                        "ATS notch 2, B67 notch 6, cars 6"),
              std::string::npos);
}

}  // namespace
}  // namespace velt::drive
