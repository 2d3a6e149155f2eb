// The vehicle model the handles drive.
#include <gtest/gtest.h>

#include "tools/velt-drive/drive/vehicle_model.h"

namespace velt::drive {
namespace {

VehicleParams plainVehicle() {
    VehicleParams v;
    v.powerNotches = 4;
    v.brakeNotches = 8;
    v.accelerationKmhS = 2.0;
    v.serviceBrakeKmhS = 4.0;
    v.emergencyBrakeKmhS = 5.0;
    v.resistanceKmhS = 0.0;
    v.dragPerKmh2 = 0.0;
    v.maxSpeedKmh = 100.0;
    return v;
}

HandleCommand handles(int power, int brake, int reverser) { return {brake, power, reverser, 0}; }

TEST(VehicleModel, PowerNotchesShareTheAccelerationAndTheDistanceFollowsTheMeanSpeed) {
    VehicleModel model(plainVehicle(), 100.0, 0.0, 1);
    model.step(handles(2, 0, 1), 1000);  // half the acceleration for a second
    EXPECT_DOUBLE_EQ(model.speedKmh(), 1.0);
    EXPECT_DOUBLE_EQ(model.positionM(), 100.0 + 0.5 / 3.6);
}

TEST(VehicleModel, BrakesStopTheTrainWithoutTurningIt) {
    VehicleModel model(plainVehicle(), 0.0, 10.0, 1);
    model.step(handles(0, 4, 1), 1000);  // half of full service: 2 km/h/s
    EXPECT_DOUBLE_EQ(model.speedKmh(), 8.0);
    model.step(handles(0, 9, 1), 1000);  // emergency
    EXPECT_DOUBLE_EQ(model.speedKmh(), 3.0);
    model.step(handles(0, 9, 1), 1000);
    EXPECT_EQ(model.speedKmh(), 0.0);
    const double stoppedAt = model.positionM();
    model.step(handles(0, 9, 1), 1000);
    EXPECT_EQ(model.positionM(), stoppedAt);
}

TEST(VehicleModel, TractionNeedsTheReverserAndEndsAtTheMaximumSpeed) {
    VehicleModel neutral(plainVehicle(), 0.0, 0.0, 1);
    neutral.step(handles(4, 0, 0), 1000);
    EXPECT_EQ(neutral.speedKmh(), 0.0);

    VehicleModel backward(plainVehicle(), 0.0, 0.0, -1);
    backward.step(handles(4, 0, -1), 1000);
    EXPECT_DOUBLE_EQ(backward.speedKmh(), -2.0);
    EXPECT_LT(backward.positionM(), 0.0);

    VehicleModel fast(plainVehicle(), 0.0, 99.5, 1);
    fast.step(handles(4, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(fast.speedKmh(), 100.0);
    fast.step(handles(4, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(fast.speedKmh(), 100.0);
}

TEST(VehicleModel, ResistanceGrowsWithTheSquareOfSpeed) {
    VehicleParams v = plainVehicle();
    v.resistanceKmhS = 0.1;
    v.dragPerKmh2 = 0.0001;
    VehicleModel model(v, 0.0, 50.0, 1);
    model.step(handles(0, 0, 1), 1000);
    EXPECT_DOUBLE_EQ(model.speedKmh(), 50.0 - (0.1 + 0.25));
}

}  // namespace
}  // namespace velt::drive
