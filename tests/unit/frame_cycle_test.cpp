// The frame cycle as the host sees it: sound triggers handed over once, the
// bell and its release chime, the start/stop chime, the station-stop blink,
// and what a restart of the run keeps.
#include <cmath>

#include "plugin_harness.h"

namespace velt::test {
namespace {

using TriggerHandOver = PluginTest;

TEST_F(TriggerHandOver, FirstFrameAfterInitializeStopsEveryOneShotSound) {
    frame(1000, 0.0F);
    for (const std::size_t index : kOneShotSounds) {
        EXPECT_EQ(sound[index], kStop) << "sound " << index;
    }
    frame(1100, 0.0F);
    for (const std::size_t index : kOneShotSounds) {
        EXPECT_EQ(sound[index], kContinue) << "sound " << index;
    }
}

TEST_F(TriggerHandOver, TriggerSetBetweenFramesPlaysOnceThenContinues) {
    frame(1000, 0.0F);
    keyUp(kBuzzer);  // buzzer release sound
    frame(1100, 0.0F);
    EXPECT_EQ(sound[kSoundBuzzerOff], 1);
    frame(1200, 0.0F);
    EXPECT_EQ(sound[kSoundBuzzerOff], 2);
    frame(1300, 0.0F);
    EXPECT_EQ(sound[kSoundBuzzerOff], 2);
}

TEST_F(TriggerHandOver, TriggerSetBeforeTheFirstFrameIsNotLost) {
    keyUp(kBuzzer);
    frame(1000, 0.0F);
    EXPECT_EQ(sound[kSoundBuzzerOff], 1);
}

using Bell = PluginTest;

TEST_F(Bell, RingsWhileBrakingAndChimesOnceOnRelease) {
    enterVelt(0);
    signal(0);  // stop aspect: emergency while moving
    frame(1000, 10.0F);
    EXPECT_EQ(sound[kSoundBell], 0);
    EXPECT_EQ(core().bellLatch, Demand::kEmergency);
    frame(1100, 10.0F);
    EXPECT_EQ(sound[kSoundBell], 0);
    EXPECT_EQ(sound[kSoundRelease], 2);
    frame(1200, 0.0F);  // standstill releases the stop-aspect demand
    EXPECT_EQ(sound[kSoundBell], -10000);
    EXPECT_EQ(sound[kSoundRelease], 1);
    frame(1300, 0.0F);
    EXPECT_EQ(sound[kSoundBell], -10000);
    EXPECT_EQ(sound[kSoundRelease], 2);
}

TEST_F(Bell, ChangeOfDemandKeepsRingingWithoutReleaseChime) {
    enterVelt(0);
    signal(1);  // 29 km/h check: service brake above it
    frame(1000, 40.0F);
    EXPECT_EQ(core().bellLatch, Demand::kService);
    signal(0);  // now a stop aspect: emergency
    frame(1100, 40.0F);
    EXPECT_EQ(core().bellLatch, Demand::kEmergency);
    EXPECT_EQ(sound[kSoundBell], 0);
    EXPECT_NE(sound[kSoundRelease], 1);
}

using StartStopChime = PluginTest;

TEST_F(StartStopChime, HysteresisIsStrictAtFiveAndThree) {
    frame(1000, 5.0F);
    EXPECT_EQ(panel[kPanelMoving], 0);
    frame(1100, std::nextafter(5.0F, 6.0F));
    EXPECT_EQ(panel[kPanelMoving], 1);
    EXPECT_EQ(sound[kSoundMotion], 1);
    frame(1200, 3.0F);
    EXPECT_EQ(panel[kPanelMoving], 1);
    EXPECT_EQ(sound[kSoundMotion], 2);
    frame(1300, std::nextafter(3.0F, 0.0F));
    EXPECT_EQ(panel[kPanelMoving], 0);
    EXPECT_EQ(sound[kSoundMotion], 1);
}

TEST_F(StartStopChime, RunningBackwardsCountsAsMoving) {
    frame(1000, -6.0F);
    EXPECT_EQ(panel[kPanelMoving], 1);
    EXPECT_EQ(sound[kSoundMotion], 1);
}

using SppBlink = PluginTest;

TEST_F(SppBlink, BlinksWithTheSecondSecondOfEveryTwo) {
    beacon(kRoute, 100);  // line category 1 starts the reminder
    frame(1000, 30.0F);
    beacon(kSpp, 1);
    frame(2999, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 0);
    frame(3000, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 1);
    frame(3999, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 1);
    frame(4000, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 0);
}

TEST_F(SppBlink, NoReminderNoBlink) {
    frame(1500, 30.0F);
    EXPECT_EQ(panel[kPanelStationStop], 0);
}

using Restart = PluginTest;

TEST_F(Restart, InitializeKeepsWiringNotchesAndKindBlinkDelay) {
    beacon(kKindBlink, 5000);
    beacon(kRoute, 205);
    frame(1000, 20.0F);
    ::Initialize(0);
    EXPECT_EQ(core().emergencyNotch, 9);
    EXPECT_EQ(core().maxServiceNotch, 8);
    EXPECT_EQ(core().kindBlinkTimer, 5000);
    EXPECT_EQ(core().lineType, 0);
    EXPECT_EQ(core().radioMode, 1);
    EXPECT_EQ(core().pTime, &cache().timeMs);
    EXPECT_EQ(cache().speedKmh, 0.0F);
    EXPECT_EQ(cache().timeMs, 1000);
}

TEST_F(Restart, FreshLoadHoldsZeroUntilInitialize) {
    loadFresh();
    EXPECT_EQ(core().radioMode, 0);
    EXPECT_EQ(core().bellVolume, 0);
    ::Initialize(0);
    EXPECT_EQ(core().radioMode, 1);
    EXPECT_EQ(core().bellVolume, -10000);
    EXPECT_EQ(core().buzzerVolume, -10000);
}

}  // namespace
}  // namespace velt::test
