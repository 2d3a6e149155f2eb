// Which core operation each entry point reaches, in which order, with which
// value; and what the vehicle cache keeps.
#include <climits>

#include "plugin_harness.h"

namespace velt::test {
namespace {

using Dispatch = PluginTest;

TEST_F(Dispatch, KeysWithoutAnActionChangeNothing) {
    beacon(kRoute, 0);
    brake(9);
    frame(1000, 0.0F);
    const CVelt before = core();
    for (const std::int32_t key : {1, 2, 7, 8, 9, 10, 14, 16, 255, -1, INT_MIN, INT_MAX}) {
        keyDown(key);
        keyUp(key);
    }
    for (const std::int32_t key : {0, 1, 2, 3, 5, 6, 7, 11, 12, 13, 15}) {
        keyUp(key);
    }
    EXPECT_TRUE(sameBytes(before, core()));
}

TEST_F(Dispatch, BeaconTypesWithoutHandlersChangeNothing) {
    frame(1000, 50.0F);
    const CVelt before = core();
    for (const std::int32_t type :
         {0, 2, 3, 4, 5, 6, 7, 8, 9, 14, 16, 17, 18, 19, 23, 25, 100, -1, -10, INT_MIN, INT_MAX}) {
        ::SetBeaconData(BeaconData{type, 0, 10.0F, 20500});
    }
    EXPECT_TRUE(sameBytes(before, core()));
}

TEST_F(Dispatch, CppBeaconPassesOptionalFirstAndSignalSecond) {
    ::SetBeaconData(BeaconData{kCpp, 2, 99.0F, 20500});
    EXPECT_EQ(core().cppActive, 1);
    EXPECT_EQ(core().cppSignal, 2);
    EXPECT_EQ(core().cppDistance, 500.0F);
    EXPECT_EQ(core().cppPhase, CppPhase::kStopRequested);
}

TEST_F(Dispatch, SignalIsReadForTheCppBeaconOnly) {
    ::SetBeaconData(BeaconData{kCcp, 7, 0.0F, 90800});
    EXPECT_EQ(core().ccpSpeed, 45);
    EXPECT_EQ(core().ccpDistance, 800.0F);
    ::SetBeaconData(BeaconData{kClf, 99, 0.0F, 12});
    EXPECT_EQ(core().clfSpeed, 60);
}

TEST_F(Dispatch, LegacyBeaconHandlerRunsBeforeThePattern) {
    // The CPP beacon's legacy part requests an alarm only when the train is
    // moving; its pattern part arms in any case.
    frame(1000, 40.0F);
    beacon(kCpp, 600, 0);
    EXPECT_EQ(core().cppActive, 1);
    frame(2000, 0.0F);
    beacon(kCpp, 300, 0);
    EXPECT_EQ(core().cppDistance, 300.0F);
}

TEST_F(Dispatch, SignalReachesBothSidesAndDisarmsThePattern) {
    beacon(kCpp, 600, 0);
    signal(6);
    EXPECT_EQ(core().signalIndex, 5);
    EXPECT_EQ(core().cppActive, 0);
}

TEST_F(Dispatch, HandleEventsStoreInTheCacheBeforeTheCoreSeesThem) {
    power(3);
    brake(2);
    reverser(-1);
    EXPECT_EQ(cache().powerNotch, 3);
    EXPECT_EQ(cache().brakeNotch, 2);
    EXPECT_EQ(cache().reverser, -1);
    EXPECT_EQ(*core().pBrakeNotch, 2);
    EXPECT_FALSE(cache().doorsClosed);
    doorClose();
    EXPECT_TRUE(cache().doorsClosed);
    doorOpen();
    EXPECT_FALSE(cache().doorsClosed);
}

TEST_F(Dispatch, VehicleSpecGivesBothNotchNumbersToCacheAndCore) {
    ::SetVehicleSpec(VehicleSpec{5, {1, 2, 3, 4}});
    EXPECT_EQ(cache().maxServiceNotch, 5);
    EXPECT_EQ(cache().emergencyNotch, 6);
    EXPECT_EQ(core().maxServiceNotch, 5);
    EXPECT_EQ(core().emergencyNotch, 6);
}

TEST_F(Dispatch, LargestNotchCountWrapsLikeA32BitHost) {
    ::SetVehicleSpec(VehicleSpec{INT_MAX, {}});
    EXPECT_EQ(cache().emergencyNotch, INT_MIN);
}

using FrameInterval = PluginTest;

TEST_F(FrameInterval, FirstFrameAfterLoadMeasuresFromZero) {
    frame(36000, 10.0F);
    EXPECT_EQ(cache().deltaMs, 36000);
    frame(36016, 10.0F);
    EXPECT_EQ(cache().deltaMs, 16);
}

TEST_F(FrameInterval, RestartedRunMeasuresFromTheLastFrameBeforeIt) {
    frame(50000, 10.0F);
    ::Initialize(0);
    frame(20000, 0.0F);  // jump to an earlier station
    EXPECT_EQ(cache().deltaMs, -30000);
}

TEST_F(FrameInterval, WrapsAcrossTheEndOfTheIntRange) {
    frame(INT_MAX, 0.0F);
    frame(INT_MIN + 9, 0.0F);
    EXPECT_EQ(cache().deltaMs, 10);
    frame(INT_MAX, 0.0F);
    EXPECT_EQ(cache().deltaMs, -10);
}

}  // namespace
}  // namespace velt::test
