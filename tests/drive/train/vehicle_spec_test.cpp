// The VehicleSpec the host hands the plug-in, and how it numbers the brake
// between the plug-in and the physical handle, worked out by hand.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "tests/drive/train/train_text.h"
#include "tools/velt-drive/train/vehicle_spec.h"

namespace velt::drive {
namespace {

// A train file with the handles, brake, hold brake and cars given.
std::string trainText(int brakeNotches, bool holdBrake, int brakeType, int motorCars,
                      int trailerCars) {
    return "#HANDLE\n0\n5\n" + std::to_string(brakeNotches) + "\n#BRAKE\n" +
           std::to_string(brakeType) + "\n#DEVICE\n0\n0\n0\n0\n" + (holdBrake ? "1" : "0") +
           "\n#CAR\n35\n" + std::to_string(motorCars) + "\n30\n" + std::to_string(trailerCars) +
           "\n20\n";
}

struct SpecCase {
    const char* train;
    int declared;
    bool hold;
    int brakeType;
    int motorCars;
    int trailerCars;
    // Expected: brake notches, ATS notch, B67 notch, cars, train length.
    int brake;
    int ats;
    int b67;
    int cars;
    double lengthM;
};

TEST(VehicleSpecFromTrain, IsBuiltAsTheHostBuildsIt) {
    const SpecCase cases[] = {
        // 0.7 x 8 = 5.6 -> 6; 6 cars x 20 m + 5 x 0.3 m.
        {"8 notches", 8, false, 0, 3, 3, 8, 1, 6, 6, 121.5},
        {"hold brake, 8 declared", 8, true, 0, 3, 3, 8, 2, 6, 6, 121.5},
        // A single declared notch stays a service notch; 0.7 x 2 = 1.4 -> 1.
        {"hold brake, 1 declared", 1, true, 1, 3, 3, 2, 2, 1, 6, 121.5},
        {"automatic air, hold brake switched off", 8, true, 2, 3, 3, 2, 1, 1, 6, 121.5},
        {"15 notches: 10.5 rounds to 10", 15, false, 0, 3, 3, 15, 1, 10, 6, 121.5},
        {"35 notches: 24.5 rounds to 24", 35, false, 0, 3, 3, 35, 1, 24, 6, 121.5},
        // No motor car still counts one: 5 cars x 20 m + 4 x 0.3 m.
        {"no motor cars, 4 trailers", 8, false, 0, 0, 4, 8, 1, 6, 5, 101.2},
        {"one car", 8, false, 0, 1, 0, 8, 1, 6, 1, 20.0},
    };
    for (const SpecCase& c : cases) {
        SCOPED_TRACE(c.train);
        const TrainFile train =
            trainFrom(trainText(c.declared, c.hold, c.brakeType, c.motorCars, c.trailerCars));
        const HostVehicleSpec spec = hostVehicleSpec(train);
        EXPECT_EQ(spec.brakeNotches, c.brake);
        EXPECT_EQ(spec.powerNotches, 5);
        EXPECT_EQ(spec.atsNotch, c.ats);
        EXPECT_EQ(spec.b67Notch, c.b67);
        EXPECT_EQ(spec.cars, c.cars);
        EXPECT_NEAR(trainLengthM(train), c.lengthM, 1e-9);
        // velt brakes at the VehicleSpec's notch and one above: the train's full
        // service and emergency values.
        const BrakeNumbering numbering(train);
        EXPECT_EQ(numbering.fullServiceValue(), c.brake);
        EXPECT_EQ(numbering.emergencyValue(), c.brake + 1);
    }
}

TEST(VehicleSpecFromTrain, FillsTheHostsRecordInItsOrder) {
    const VehicleSpec record = pluginSpec({8, 5, 2, 6, 10});
    std::int32_t words[5] = {};
    static_assert(sizeof(words) == sizeof(record));
    std::memcpy(words, &record, sizeof(words));
    // Brake notches, power notches, ATS notch, B67 notch, cars.
    EXPECT_EQ(words[0], 8);
    EXPECT_EQ(words[1], 5);
    EXPECT_EQ(words[2], 2);
    EXPECT_EQ(words[3], 6);
    EXPECT_EQ(words[4], 10);
}

struct NumberingCase {
    BrakeSystem system;
    int declared;
    int value;
    BrakePosition::Kind kind;
    int notch;
    const char* described;
};

TEST(BrakeNumbering, MapsThePluginsValuesToTheHandle) {
    using Kind = BrakePosition::Kind;
    const NumberingCase cases[] = {
        {BrakeSystem::Notched, 8, -1, Kind::Release, 0, "release"},
        {BrakeSystem::Notched, 8, 1, Kind::Service, 1, "service 1 of 8"},
        {BrakeSystem::Notched, 8, 8, Kind::Service, 8, "service 8 of 8"},
        {BrakeSystem::Notched, 8, 9, Kind::Emergency, 0, "emergency"},
        {BrakeSystem::Notched, 8, 12, Kind::Emergency, 0, "emergency"},
        {BrakeSystem::NotchedWithHold, 8, 1, Kind::Hold, 0, "hold"},
        {BrakeSystem::NotchedWithHold, 8, 2, Kind::Service, 1, "service 1 of 7"},
        {BrakeSystem::NotchedWithHold, 8, 8, Kind::Service, 7, "service 7 of 7"},
        {BrakeSystem::NotchedWithHold, 8, 9, Kind::Emergency, 0, "emergency"},
        {BrakeSystem::NotchedWithHold, 1, 1, Kind::Hold, 0, "hold"},
        {BrakeSystem::NotchedWithHold, 1, 2, Kind::Service, 1, "service 1 of 1"},
        {BrakeSystem::NotchedWithHold, 1, 3, Kind::Emergency, 0, "emergency"},
        {BrakeSystem::AutomaticAir, 8, 1, Kind::Lap, 0, "lap"},
        {BrakeSystem::AutomaticAir, 8, 2, Kind::Service, 1, "service"},
        {BrakeSystem::AutomaticAir, 8, 3, Kind::Emergency, 0, "emergency"},
    };
    for (const NumberingCase& c : cases) {
        const BrakeNumbering numbering(c.system, c.declared);
        SCOPED_TRACE(std::string(c.described) + " from value " + std::to_string(c.value));
        const BrakePosition position = numbering.position(c.value);
        EXPECT_EQ(position.kind, c.kind);
        EXPECT_EQ(position.notch, c.notch);
        EXPECT_EQ(numbering.describe(c.value), c.described);
        // The driver's handle in that position is reported as the same value.
        const int top = numbering.emergencyValue();
        EXPECT_EQ(numbering.pluginValue(position),
                  c.value < 0 ? 0 : (c.value > top ? top : c.value));
    }
}

}  // namespace
}  // namespace velt::drive
