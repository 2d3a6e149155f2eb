// What Elapse hands back: the handles the train obeys, the panel and the
// sound entries, and nothing outside them.
#include <cmath>
#include <set>
#include <utility>

#include "core/cab.h"

#include "plugin_harness.h"

namespace velt::test {
namespace {

class CabOutputs : public PluginTest {
protected:
    // A stop aspect in a Velt section brakes with emergency while moving;
    // aspect 1 with a service brake above 29 km/h.
    static void demandEmergency() {
        enterVelt(1);
        signal(0);
    }
    static void demandService() {
        enterVelt(1);
        signal(1);
    }
};

TEST_F(CabOutputs, EmergencyDemandAppliesTheEmergencyNotchAndZeroesPower) {
    power(4);
    demandEmergency();
    const HandleCommand h = frame(1000, 20.0F);
    EXPECT_EQ(h.brake, 9);
    EXPECT_EQ(h.power, 0);
    EXPECT_EQ(h.constantSpeed, 2);
    EXPECT_EQ(cache().powerNotch, 0);
}

TEST_F(CabOutputs, ServiceDemandReplacesEvenTheDriversEmergencyNotch) {
    brake(9);
    demandService();
    EXPECT_EQ(frame(1000, 40.0F).brake, 8);
}

TEST_F(CabOutputs, PowerStaysCutAfterTheBrakeUntilTheDriverReportsIt) {
    power(4);
    demandService();
    frame(1000, 40.0F);
    EXPECT_EQ(frame(1100, 20.0F).brake, 0);  // released below the check speed
    EXPECT_EQ(last.power, 0);
    power(4);
    EXPECT_EQ(frame(1200, 20.0F).power, 4);
}

TEST_F(CabOutputs, OverspeedCutRemovesPowerButKeepsTheNotch) {
    enterVelt(0);
    signal(5);  // no signal check on line category 0
    power(5);
    EXPECT_EQ(frame(1000, 121.0F).power, 0);
    EXPECT_EQ(cache().powerNotch, 5);
    EXPECT_EQ(frame(1100, 116.0F).power, 5);
}

TEST_F(CabOutputs, ReverserIsPassedOnlyWithTheDoorsClosed) {
    reverser(1);
    EXPECT_EQ(frame(1000, 0.0F).reverser, 0);  // doors count as open from load
    doorClose();
    EXPECT_EQ(frame(1100, 0.0F).reverser, 1);
    reverser(-1);
    doorOpen();
    EXPECT_EQ(frame(1200, 0.0F).reverser, 0);
    EXPECT_EQ(sound[kSoundReverser], 0);  // the reverser sound follows the handle
    reverser(0);
    frame(1300, 0.0F);
    EXPECT_EQ(sound[kSoundReverser], -10000);
}

TEST_F(CabOutputs, ConstantSpeedFollowsAnyPositiveBrakeOutput) {
    brake(1);
    EXPECT_EQ(frame(1000, 0.0F).constantSpeed, 2);
    brake(0);
    EXPECT_EQ(frame(1100, 0.0F).constantSpeed, 0);
    brake(-3);
    EXPECT_EQ(frame(1200, 0.0F).constantSpeed, 0);
    EXPECT_EQ(last.brake, -3);
}

TEST_F(CabOutputs, DemandBeforeAnyVehicleSpecGivesBrakeZero) {
    loadFresh();
    ::Initialize(0);
    demandEmergency();
    const HandleCommand h = frame(1000, 20.0F);
    EXPECT_EQ(h.brake, 0);
    EXPECT_EQ(h.constantSpeed, 0);
    EXPECT_EQ(core().brakeDemand, Demand::kEmergency);
}

TEST_F(CabOutputs, IdleAndEmergencyIndicatorsReadTheDriversHandles) {
    frame(1000, 0.0F);
    EXPECT_EQ(panel[kPanelHandlesAtRest], 1);
    power(1);
    frame(1100, 0.0F);
    EXPECT_EQ(panel[kPanelHandlesAtRest], 0);
    brake(9);
    frame(1200, 0.0F);
    EXPECT_EQ(panel[kPanelDriverEmergency], 1);
    brake(0);
    power(3);
    demandEmergency();
    frame(1300, 20.0F);
    EXPECT_EQ(panel[kPanelDriverEmergency], 0);  // the protection's emergency is not the driver's
    EXPECT_EQ(panel[kPanelHandlesAtRest], 1);    // power was just zeroed by the protection
}

TEST_F(CabOutputs, CurrentIndicatorIsOnOnlyForNegativeCurrent) {
    frame(1000, 0.0F, -0.1F);
    EXPECT_EQ(panel[kPanelNegativeCurrent], 1);
    frame(1100, 0.0F, 0.0F);
    EXPECT_EQ(panel[kPanelNegativeCurrent], 0);
    frame(1200, 0.0F, -0.0F);
    EXPECT_EQ(panel[kPanelNegativeCurrent], 0);
    frame(1300, 0.0F, std::nanf(""));
    EXPECT_EQ(panel[kPanelNegativeCurrent], 0);
}

TEST_F(CabOutputs, WritesExactlyItsIndicesAndLeavesTheRestAsTheHostLeftThem) {
    const std::set<std::size_t> panelWritten(kPanelWritten.begin(), kPanelWritten.end());
    const std::set<std::size_t> soundWritten(kSoundWritten.begin(), kSoundWritten.end());
    frame(1000, 12.0F);
    for (std::size_t i = 0; i < panel.size(); ++i) {
        EXPECT_EQ(panel[i] != kSentinel, panelWritten.count(i) == 1) << "panel " << i;
        EXPECT_EQ(sound[i] != kSentinel, soundWritten.count(i) == 1) << "sound " << i;
    }
    EXPECT_EQ(panel[kPanelAlways255], 255);
}

// core/cab.h names the indices for the plug-in and for the tools that read
// the cab; the test host keeps its own numbers to check them against.
TEST(CabNumbers, ListTheIndicesTheFrameWritesAndTheKeysAndBeaconsVeltReads) {
    ASSERT_EQ(cab::kPanelWritten.size(), kPanelWritten.size());
    for (std::size_t i = 0; i < kPanelWritten.size(); ++i)
        EXPECT_EQ(static_cast<std::size_t>(cab::kPanelWritten[i]), kPanelWritten[i]);
    ASSERT_EQ(cab::kSoundWritten.size(), kSoundWritten.size());
    for (std::size_t i = 0; i < kSoundWritten.size(); ++i)
        EXPECT_EQ(static_cast<std::size_t>(cab::kSoundWritten[i]), kSoundWritten[i]);
    const std::pair<int, int> keys[] = {{cab::kKeyConfirm, kConfirm},
                                        {cab::kKeyRecovery, kRecovery},
                                        {cab::kKeyBuzzer, kBuzzer},
                                        {cab::kKeySelectorUp, kSelectUp},
                                        {cab::kKeySelectorDown, kSelectDown},
                                        {cab::kKeyRadioMode0, kRadio0},
                                        {cab::kKeyRadioMode1, kRadio1},
                                        {cab::kKeyRadioMode2, kRadio2},
                                        {cab::kKeyLamp, kLamp}};
    const std::pair<int, int> beacons[] = {{cab::kBeaconSpp, kSpp},
                                           {cab::kBeaconCpp, kCpp},
                                           {cab::kBeaconSpeedCheck, kSpeedCheck},
                                           {cab::kBeaconCcp, kCcp},
                                           {cab::kBeaconClf, kClf},
                                           {cab::kBeaconSpb, kSpb},
                                           {cab::kBeaconSection, kSection},
                                           {cab::kBeaconRoute, kRoute},
                                           {cab::kBeaconDoorLink, kLinkDoor},
                                           {cab::kBeaconKindBlink, kKindBlink}};
    for (const auto& [header, host] : keys) EXPECT_EQ(header, host) << "key";
    for (const auto& [header, host] : beacons) EXPECT_EQ(header, host) << "beacon type";
}

TEST_F(CabOutputs, NullArraysAreNotWrittenButTheFrameRuns) {
    demandEmergency();
    VehicleState s{};
    s.speed = 20.0F;
    s.time = 1000;
    EXPECT_EQ(::Elapse(s, nullptr, nullptr).brake, 9);
    EXPECT_EQ(::Elapse(s, panel.data(), nullptr).brake, 9);
    EXPECT_EQ(panel[kPanelAlways255], 255);
    EXPECT_EQ(sound[kSoundBell], kSentinel);
}

}  // namespace
}  // namespace velt::test
