// The legacy ATS as the driver and the cab see it: the three lamps (panel 10
// to 13), the brake output and the confirm chime (sound 11), driven by signal
// reports, beacons, the confirm key and the frames of the host.
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <ostream>
#include <string>

#include "plugin_harness.h"

namespace velt::test {
namespace {

constexpr std::int32_t kNoBrake = 0;  // the driver's handle, released throughout

using Lamps = std::array<std::int32_t, 4>;  // panel 10, 11, 12, 13
constexpr Lamps kNormalLamps{1, 0, 0, 0};
constexpr Lamps kCheckLamps{0, 1, 0, 1};
constexpr Lamps kAlarmLamps{0, 0, 1, 1};

constexpr std::int32_t kMaxTime = std::numeric_limits<std::int32_t>::max();

// Names each case of a table after its row.
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

// Legacy states, reached the way a driver would meet them.
enum class State { kNormal, kAlarm, kSilencedAlarm, kCheck };

const char* stateName(State s) {
    switch (s) {
        case State::kNormal: return "Normal";
        case State::kAlarm: return "Alarm";
        case State::kSilencedAlarm: return "SilencedAlarm";
        case State::kCheck: return "Check";
    }
    return "?";
}

class LegacyTest : public PluginTest {
protected:
    [[nodiscard]] Lamps lamps() const {
        return {panel[kPanelLampNormal], panel[kPanelLampCheck], panel[kPanelLampAlarm],
                panel[kPanelLampCheckOrAlarm]};
    }
    [[nodiscard]] bool confirmChimed() const { return sound[kSoundConfirm] == 1; }

    void step(float speedKmh, std::int32_t ms = 100) { frame(now + ms, speedKmh); }
    static void lineCategory(std::int32_t category) { beacon(kRoute, category * 100); }
    static void leaveVelt() { beacon(kSection, 0); }

    // Each entry starts and ends at standstill, so that no brake is demanded
    // on the way and the state's own brake rule starts from no demand.
    void enter(State s) {
        switch (s) {
            case State::kNormal: step(0.0F); break;
            case State::kAlarm: enterAlarm(); break;
            case State::kSilencedAlarm:
                // Aspect 5 cancels the request behind the alarm, so nothing
                // brings the alarm back (not on line category 1, where it
                // requests nothing).
                enterAlarm();
                signal(5);
                step(0.0F);
                break;
            case State::kCheck:
                step(0.0F);
                signal(2);
                step(0.0F, 800);
                break;
        }
        ASSERT_EQ(lamps(), s == State::kCheck    ? kCheckLamps
                           : s == State::kNormal ? kNormalLamps
                                                 : kAlarmLamps);
    }

    void enterAlarm() {
        step(0.0F);
        signal(0);
        step(0.0F, 3000);
    }

    // Two speed-check beacons 100 ms apart at the given speed, and the frame
    // in which the trip first acts.
    void tripSpeedCheck(float speedKmh) {
        step(speedKmh);
        beacon(kSpeedCheck, 0);
        step(speedKmh);
        beacon(kSpeedCheck, 0);
        step(speedKmh);
    }
};

// ------------------------------------------------------------ requests

// What a signal report or a type-10 beacon is sent as.
struct Event {
    bool cppBeacon;      // beacon type 10 carrying `value` as its signal
    std::int32_t value;  // otherwise a signal report of aspect `value`
};
constexpr Event aspect(std::int32_t a) { return {false, a}; }
constexpr Event cppBeaconSignal(std::int32_t s) { return {true, s}; }

void send(const Event& e) {
    if (e.cppBeacon) {
        ::SetBeaconData(BeaconData{kCpp, e.value, 0.0F, 0});
    } else {
        ::SetSignal(e.value);
    }
}

struct DelayedRequest {
    const char* name;
    std::int32_t lineCategory;
    float speedKmh;
    Event event;
    std::int32_t delayMs;
    Lamps lampsAfter;
};
std::ostream& operator<<(std::ostream& os, const DelayedRequest& r) { return os << r.name; }

class LegacyRequest : public LegacyTest, public ::testing::WithParamInterface<DelayedRequest> {};

TEST_P(LegacyRequest, TakesEffectInTheFirstFrameAtOrAfterItsDelay) {
    const DelayedRequest r = GetParam();
    lineCategory(r.lineCategory);
    frame(1000, r.speedKmh);
    send(r.event);
    frame(1000 + r.delayMs - 1, r.speedKmh);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(1000 + r.delayMs, r.speedKmh);
    EXPECT_EQ(lamps(), r.lampsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, LegacyRequest,
    ::testing::Values(
        DelayedRequest{"Aspect0RaisesTheAlarm", 0, 0.0F, aspect(0), 3000, kAlarmLamps},
        DelayedRequest{"Aspect1JustAbove25RaisesTheAlarm", 0, above(25.0F), aspect(1), 3000,
                       kAlarmLamps},
        DelayedRequest{"Aspect1AtExactly25RequestsTheCheck", 0, 25.0F, aspect(1), 800, kCheckLamps},
        DelayedRequest{"Aspect1RunningBackwardsFastRequestsTheCheck", 0, -40.0F, aspect(1), 800,
                       kCheckLamps},
        DelayedRequest{"Aspect2RequestsTheCheck", 0, 0.0F, aspect(2), 800, kCheckLamps},
        DelayedRequest{"Aspect3JustAbove75RequestsTheCheck", 0, above(75.0F), aspect(3), 800,
                       kCheckLamps},
        DelayedRequest{"Aspect4JustAbove105RequestsTheCheckOnLine0", 0, above(105.0F), aspect(4),
                       800, kCheckLamps},
        DelayedRequest{"Aspect4JustAbove105RequestsTheCheckOnLine2", 2, above(105.0F), aspect(4),
                       800, kCheckLamps},
        DelayedRequest{"Aspect8IsTakenAsAStop", 0, 0.0F, aspect(8), 3000, kAlarmLamps},
        DelayedRequest{"NegativeAspectIsTakenAsAStop", 2, 0.0F, aspect(-1), 3000, kAlarmLamps},
        DelayedRequest{"LargeAspectIsTakenAsAStopOnLine1", 1, 0.0F, aspect(1000), 3000,
                       kAlarmLamps},
        DelayedRequest{"CppBeaconWithSignal0RaisesTheAlarmOnLine1", 1, 10.0F, cppBeaconSignal(0),
                       3000, kAlarmLamps},
        DelayedRequest{"CppBeaconWithSignal0PassedCreepingRaisesTheAlarm", 0, 0.5F,
                       cppBeaconSignal(0), 3000, kAlarmLamps},
        DelayedRequest{"CppBeaconWithSignal2Above68RequestsTheCheckOnLine0", 0, above(68.0F),
                       cppBeaconSignal(2), 800, kCheckLamps},
        DelayedRequest{"CppBeaconWithSignal2Above68RequestsTheCheckOnLine3", 3, above(68.0F),
                       cppBeaconSignal(2), 800, kCheckLamps}),
    CaseName());

// Events that make no request, or only cancel one. An alarm is requested at
// 1000 ms; the event comes at 2000 ms. Left alone, the alarm takes hold at
// 4000 ms; a renewed time stamp would move it to 5000 ms, a request of the
// check would show the check lamp at 2800 ms, and a cancel stops it for good.
struct NonRequest {
    const char* name;
    std::int32_t lineCategory;
    float speedKmh;
    Event event;
    bool cancels;
};
std::ostream& operator<<(std::ostream& os, const NonRequest& r) { return os << r.name; }

class LegacyNonRequest : public LegacyTest, public ::testing::WithParamInterface<NonRequest> {};

TEST_P(LegacyNonRequest, LeavesOrCancelsThePendingAlarm) {
    const NonRequest r = GetParam();
    lineCategory(r.lineCategory);
    frame(1000, r.speedKmh);
    signal(0);
    frame(2000, r.speedKmh);
    send(r.event);
    frame(3999, r.speedKmh);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(4000, r.speedKmh);
    EXPECT_EQ(lamps(), r.cancels ? kNormalLamps : kAlarmLamps);
    frame(10000, r.speedKmh);
    EXPECT_EQ(lamps(), r.cancels ? kNormalLamps : kAlarmLamps);
}

INSTANTIATE_TEST_SUITE_P(Line1, LegacyNonRequest,
                         ::testing::Values(NonRequest{"Aspect3", 1, 110.0F, aspect(3), false},
                                           NonRequest{"Aspect4", 1, 110.0F, aspect(4), false},
                                           NonRequest{"Aspect5", 1, 110.0F, aspect(5), false},
                                           NonRequest{"Aspect6", 1, 110.0F, aspect(6), false},
                                           NonRequest{"Aspect7", 1, 110.0F, aspect(7), false},
                                           NonRequest{"CppBeaconWithSignal2", 1, 110.0F,
                                                      cppBeaconSignal(2), false}),
                         CaseName());

INSTANTIATE_TEST_SUITE_P(
    OtherLines, LegacyNonRequest,
    ::testing::Values(
        NonRequest{"Aspect3AtExactly75Cancels", 0, 75.0F, aspect(3), true},
        NonRequest{"Aspect4AtExactly105CancelsOnLine0", 0, 105.0F, aspect(4), true},
        NonRequest{"Aspect4AtExactly105CancelsOnLine2", 2, 105.0F, aspect(4), true},
        NonRequest{"Aspect4CancelsOnLine3AtAnySpeed", 3, 150.0F, aspect(4), true},
        NonRequest{"Aspect5Cancels", 0, 0.0F, aspect(5), true},
        NonRequest{"Aspect6CancelsLikeAspect5", 2, 0.0F, aspect(6), true},
        NonRequest{"Aspect7Cancels", 9, 0.0F, aspect(7), true},
        NonRequest{"CppBeaconWithSignal2OnLine2", 2, 110.0F, cppBeaconSignal(2), false},
        NonRequest{"CppBeaconWithSignal2AtExactly68", 0, 68.0F, cppBeaconSignal(2), false},
        NonRequest{"CppBeaconWithSignal1", 0, 110.0F, cppBeaconSignal(1), false},
        NonRequest{"CppBeaconPassedStanding", 0, 0.0F, cppBeaconSignal(0), false},
        NonRequest{"CppBeaconPassedRunningBackwards", 0, -10.0F, cppBeaconSignal(0), false}),
    CaseName());

using LegacyRequests = LegacyTest;

TEST_F(LegacyRequests, ConfirmWithinTheDelayCancelsTheAlarmWhileMoving) {
    frame(1000, 20.0F);
    signal(0);
    frame(2000, 20.0F);
    keyDown(kConfirm);
    frame(2100, 20.0F);
    EXPECT_TRUE(confirmChimed());
    runUntil(10000, 20.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    EXPECT_EQ(last.brake, kNoBrake);
}

TEST_F(LegacyRequests, ARepeatedRequestRestartsItsDelay) {
    frame(1000, 0.0F);
    signal(0);
    frame(2500, 0.0F);
    signal(0);
    frame(4000, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(5499, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(5500, 0.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

TEST_F(LegacyRequests, AReplacedRequestNeverTakesEffect) {
    frame(1000, 0.0F);
    signal(0);
    frame(1500, 0.0F);
    signal(2);
    frame(2300, 0.0F);
    EXPECT_EQ(lamps(), kCheckLamps);
    runUntil(10000, 0.0F);
    EXPECT_EQ(lamps(), kCheckLamps);
}

TEST_F(LegacyRequests, TheAlarmTakesHoldFromTheCheckAfterItsOwnDelay) {
    enter(State::kCheck);
    const std::int32_t t = now;
    signal(0);
    frame(t + 2999, 0.0F);
    EXPECT_EQ(lamps(), kCheckLamps);
    frame(t + 3000, 0.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

// ------------------------------------------------- alarm silenced and back

// With the alarm running at 10 km/h (below its brake speed, so no brake is
// demanded), a signal report silences it at once; whether a legacy frame runs
// before the confirm press decides whether the alarm has come back.
struct SilencingReport {
    const char* name;
    std::int32_t lineCategory;
    std::int32_t aspect;
    bool frameBeforeConfirm;
    bool alarmBack;
};
std::ostream& operator<<(std::ostream& os, const SilencingReport& r) { return os << r.name; }

class LegacySilencedAlarm : public LegacyTest,
                            public ::testing::WithParamInterface<SilencingReport> {};

TEST_P(LegacySilencedAlarm, ConfirmWhileMovingAcknowledgesOnlyASilencedAlarm) {
    const SilencingReport r = GetParam();
    lineCategory(r.lineCategory);
    enter(State::kAlarm);
    step(10.0F);
    ASSERT_EQ(last.brake, kNoBrake);
    signal(r.aspect);
    if (r.frameBeforeConfirm) {
        step(10.0F);
    }
    keyDown(kConfirm);
    step(10.0F);
    EXPECT_TRUE(confirmChimed());
    EXPECT_EQ(lamps(), r.alarmBack ? kAlarmLamps : kNormalLamps);
    EXPECT_EQ(last.brake, r.alarmBack ? kEmergency : kNoBrake);
}

INSTANTIATE_TEST_SUITE_P(
    Reports, LegacySilencedAlarm,
    ::testing::Values(
        // A report that cancels the request: the alarm stays silenced.
        SilencingReport{"Aspect5ThenConfirm", 0, 5, false, false},
        SilencingReport{"Aspect5ThenAFrameThenConfirm", 0, 5, true, false},
        // A report that requests nothing on line category 1 still silences,
        // but the request behind the alarm brings it back at the next frame.
        SilencingReport{"Aspect3OnLine1ThenConfirm", 1, 3, false, false},
        SilencingReport{"Aspect3OnLine1ThenAFrameThenConfirm", 1, 3, true, true},
        // An aspect outside the table silences and requests the alarm anew.
        SilencingReport{"Aspect8ThenConfirm", 0, 8, false, false},
        SilencingReport{"Aspect8ThenAFrameThenConfirm", 0, 8, true, true},
        SilencingReport{"NegativeAspectThenConfirm", 0, -3, false, false},
        SilencingReport{"NegativeAspectThenAFrameThenConfirm", 0, -3, true, true},
        // Aspect 0 does not silence.
        SilencingReport{"Aspect0ThenConfirm", 0, 0, false, true}),
    CaseName());

using LegacyAlarm = LegacyTest;

TEST_F(LegacyAlarm, Aspect0AfterASilencedAlarmBringsItBackWithoutTheDelay) {
    enter(State::kSilencedAlarm);
    step(10.0F);
    signal(0);
    step(10.0F);  // 100 ms later, far short of 3000 ms
    keyDown(kConfirm);
    step(10.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
    EXPECT_EQ(last.brake, kEmergency);
}

// ------------------------------------------------------ speed-check section

// The section is run with the alarm at 10 km/h: no brake of its own there,
// emergency once tripped.
struct BeaconGap {
    const char* name;
    std::int32_t gapMs;
    bool trips;
};
std::ostream& operator<<(std::ostream& os, const BeaconGap& g) { return os << g.name; }

class LegacySpeedCheckGap : public LegacyTest, public ::testing::WithParamInterface<BeaconGap> {};

TEST_P(LegacySpeedCheckGap, TripsOnlyWhenTheSecondBeaconComesWithinTheWindow) {
    const BeaconGap g = GetParam();
    enter(State::kAlarm);
    step(10.0F);
    beacon(kSpeedCheck, 0);
    frame(now + g.gapMs, 10.0F);
    ASSERT_EQ(last.brake, kNoBrake);
    beacon(kSpeedCheck, 0);
    step(10.0F);
    EXPECT_EQ(last.brake, g.trips ? kEmergency : kNoBrake);
}

INSTANTIATE_TEST_SUITE_P(Gaps, LegacySpeedCheckGap,
                         ::testing::Values(BeaconGap{"SameFrame", 0, true},
                                           BeaconGap{"Gap499ms", 499, true},
                                           BeaconGap{"Gap500ms", 500, false},
                                           BeaconGap{"Gap501ms", 501, false},
                                           BeaconGap{"GapOneMinute", 60000, false}),
                         CaseName());

using LegacySpeedCheck = LegacyTest;

TEST_F(LegacySpeedCheck, AThirdBeaconOpensANewWindow) {
    enter(State::kAlarm);
    frame(now + 100, 10.0F);
    const std::int32_t t = now;
    beacon(kSpeedCheck, 0);  // opens
    frame(t + 600, 10.0F);
    beacon(kSpeedCheck, 0);  // closes late
    frame(t + 700, 10.0F);
    ASSERT_EQ(last.brake, kNoBrake);
    beacon(kSpeedCheck, 0);  // opens again
    frame(t + 1100, 10.0F);
    beacon(kSpeedCheck, 0);  // 400 ms later: too fast
    frame(t + 1200, 10.0F);
    EXPECT_EQ(last.brake, kEmergency);
}

// A first beacon at the given speed, a second 1000 ms later and a third
// 200 ms after that, both at 10 km/h. If the first counts, the second closes
// its window late and the third opens one; if it is ignored, the second and
// third form a pair that trips.
struct FirstBeaconSpeed {
    const char* name;
    float speedKmh;
    bool ignored;
};
std::ostream& operator<<(std::ostream& os, const FirstBeaconSpeed& s) { return os << s.name; }

class LegacySpeedCheckMotion : public LegacyTest,
                               public ::testing::WithParamInterface<FirstBeaconSpeed> {};

TEST_P(LegacySpeedCheckMotion, IgnoresBeaconsNotPassedForwards) {
    const FirstBeaconSpeed s = GetParam();
    enter(State::kAlarm);
    step(s.speedKmh);
    beacon(kSpeedCheck, 0);
    step(10.0F, 1000);
    beacon(kSpeedCheck, 0);
    step(10.0F, 200);
    beacon(kSpeedCheck, 0);
    step(10.0F);
    EXPECT_EQ(last.brake, s.ignored ? kEmergency : kNoBrake);
}

INSTANTIATE_TEST_SUITE_P(Speeds, LegacySpeedCheckMotion,
                         ::testing::Values(FirstBeaconSpeed{"Standing", 0.0F, true},
                                           FirstBeaconSpeed{"RunningBackwards", -10.0F, true},
                                           FirstBeaconSpeed{"Creeping", above(0.0F), false},
                                           FirstBeaconSpeed{"RunningForwards", 10.0F, false}),
                         CaseName());

// What a trip does in each state, at the speed of the frame after it.
struct TripCase {
    const char* name;
    std::int32_t lineCategory;
    State state;
    float speedKmh;
    std::int32_t brake;
};
std::ostream& operator<<(std::ostream& os, const TripCase& c) { return os << c.name; }

class LegacySpeedCheckTrip : public LegacyTest, public ::testing::WithParamInterface<TripCase> {};

TEST_P(LegacySpeedCheckTrip, BrakesByTheStateInForce) {
    const TripCase c = GetParam();
    lineCategory(c.lineCategory);
    enter(c.state);
    tripSpeedCheck(10.0F);
    step(c.speedKmh);
    EXPECT_EQ(last.brake, c.brake) << stateName(c.state) << " at " << c.speedKmh;
}

INSTANTIATE_TEST_SUITE_P(
    States, LegacySpeedCheckTrip,
    ::testing::Values(
        TripCase{"AlarmBrakesJustAboveHalfAKmh", 0, State::kAlarm, above(0.5F), kEmergency},
        TripCase{"AlarmReleasesAtHalfAKmh", 0, State::kAlarm, 0.5F, kNoBrake},
        TripCase{"AlarmBrakesAtTen", 0, State::kAlarm, 10.0F, kEmergency},
        TripCase{"SilencedAlarmBrakesAtFive", 0, State::kSilencedAlarm, 5.0F, kEmergency},
        TripCase{"CheckIgnoresItBelow45", 0, State::kCheck, 40.0F, kNoBrake},
        TripCase{"CheckKeepsItsServiceBrakeAbove45", 0, State::kCheck, 50.0F, kFullService},
        TripCase{"NormalOnLine0IgnoresIt", 0, State::kNormal, 50.0F, kNoBrake},
        TripCase{"NormalOnLine1BrakesAt67", 1, State::kNormal, 67.0F, kEmergency},
        TripCase{"NormalOnLine1BrakesAt68", 1, State::kNormal, 68.0F, kEmergency},
        TripCase{"NormalOnLine1ServiceJustAbove68", 1, State::kNormal, above(68.0F), kFullService},
        TripCase{"NormalOnLine1ReleasesJustBelow67", 1, State::kNormal, below(67.0F), kNoBrake}),
    CaseName());

TEST_F(LegacySpeedCheck, AWindowOpenedAtMinus499msIsOpenUntil1ms) {
    lineCategory(1);  // the normal state there holds a trip at 67 km/h
    frame(-499, 67.0F);
    beacon(kSpeedCheck, 0);
    frame(-400, 67.0F);
    beacon(kSpeedCheck, 0);
    EXPECT_EQ(frame(-300, 67.0F).brake, kEmergency);
}

TEST_F(LegacySpeedCheck, ATripStaysUntilTheRunIsRestarted) {
    tripSpeedCheck(10.0F);  // no effect in the normal state
    EXPECT_EQ(last.brake, kNoBrake);
    enter(State::kAlarm);
    step(10.0F);
    EXPECT_EQ(last.brake, kEmergency);

    ::Initialize(0);
    enter(State::kAlarm);
    step(10.0F);
    EXPECT_EQ(last.brake, kNoBrake);
}

// --------------------------------------------------------------- confirm

struct ConfirmCase {
    const char* name;
    std::int32_t lineCategory;
    State state;
    float pressKmh;  // speed of the frame before the press
    float afterKmh;  // speed of the frame after it
    Lamps lamps;
    std::int32_t brake;
};
std::ostream& operator<<(std::ostream& os, const ConfirmCase& c) { return os << c.name; }

class LegacyConfirm : public LegacyTest, public ::testing::WithParamInterface<ConfirmCase> {};

TEST_P(LegacyConfirm, ChimesAndActsByStateSpeedAndDemand) {
    const ConfirmCase c = GetParam();
    lineCategory(c.lineCategory);
    enter(c.state);
    step(c.pressKmh);
    keyDown(kConfirm);
    step(c.afterKmh);
    EXPECT_TRUE(confirmChimed());
    EXPECT_EQ(lamps(), c.lamps);
    EXPECT_EQ(last.brake, c.brake);
}

INSTANTIATE_TEST_SUITE_P(
    NoBrakeDemanded, LegacyConfirm,
    ::testing::Values(ConfirmCase{"NormalStanding", 0, State::kNormal, 0.0F, 0.0F, kNormalLamps,
                                  kNoBrake},
                      ConfirmCase{"AlarmStandingAcknowledges", 0, State::kAlarm, 0.0F, 0.0F,
                                  kNormalLamps, kNoBrake},
                      ConfirmCase{"AlarmMovingDemandsEmergency", 0, State::kAlarm, 10.0F, 10.0F,
                                  kAlarmLamps, kEmergency},
                      ConfirmCase{"AlarmCreepingDemandsEmergency", 0, State::kAlarm, 0.1F, 1.0F,
                                  kAlarmLamps, kEmergency},
                      ConfirmCase{"AlarmCreepingBackwardsDemandsEmergency", 0, State::kAlarm, -0.1F,
                                  1.0F, kAlarmLamps, kEmergency},
                      ConfirmCase{"SilencedAlarmStandingAcknowledges", 0, State::kSilencedAlarm,
                                  0.0F, 0.0F, kNormalLamps, kNoBrake},
                      ConfirmCase{"SilencedAlarmMovingAcknowledges", 0, State::kSilencedAlarm,
                                  10.0F, 10.0F, kNormalLamps, kNoBrake},
                      ConfirmCase{"CheckStandingAcknowledges", 0, State::kCheck, 0.0F, 0.0F,
                                  kNormalLamps, kNoBrake},
                      ConfirmCase{"CheckMovingAcknowledges", 0, State::kCheck, 30.0F, 30.0F,
                                  kNormalLamps, kNoBrake}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(BrakeDemanded, LegacyConfirm,
                         ::testing::Values(ConfirmCase{"CheckKeepsState", 0, State::kCheck, 50.0F,
                                                       50.0F, kCheckLamps, kFullService},
                                           ConfirmCase{"SilencedAlarmKeepsState", 0,
                                                       State::kSilencedAlarm, 20.0F, 10.0F,
                                                       kAlarmLamps, kEmergency},
                                           ConfirmCase{"AlarmKeepsState", 0, State::kAlarm, 20.0F,
                                                       10.0F, kAlarmLamps, kEmergency}),
                         CaseName());

using LegacyConfirmKey = LegacyTest;

TEST_F(LegacyConfirmKey, WithABrakeDemandedDoesNotCancelAPendingRequest) {
    lineCategory(1);
    frame(1000, 70.0F);  // normal state on line category 1: service brake
    ASSERT_EQ(last.brake, kFullService);
    signal(0);
    keyDown(kConfirm);
    frame(1100, 70.0F);
    EXPECT_TRUE(confirmChimed());
    frame(4000, 70.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
    EXPECT_EQ(last.brake, kEmergency);
}

TEST_F(LegacyConfirmKey, ChimesOncePerPress) {
    step(0.0F);
    keyDown(kConfirm);
    step(0.0F);
    EXPECT_EQ(sound[kSoundConfirm], 1);
    step(0.0F);
    EXPECT_EQ(sound[kSoundConfirm], 2);
    keyDown(kConfirm);
    step(0.0F);
    EXPECT_EQ(sound[kSoundConfirm], 1);
}

// ------------------------------------------------------ brake thresholds

struct ThresholdCase {
    const char* name;
    std::int32_t lineCategory;
    State state;
    float priorKmh;  // sets the demand the frame begins with
    float speedKmh;
    std::int32_t brake;
};
std::ostream& operator<<(std::ostream& os, const ThresholdCase& c) { return os << c.name; }

class LegacyBrake : public LegacyTest, public ::testing::WithParamInterface<ThresholdCase> {};

TEST_P(LegacyBrake, FollowsTheThresholdsOfTheState) {
    const ThresholdCase c = GetParam();
    lineCategory(c.lineCategory);
    enter(c.state);
    step(c.priorKmh);
    step(c.speedKmh);
    EXPECT_EQ(last.brake, c.brake)
        << stateName(c.state) << " from " << c.priorKmh << " to " << c.speedKmh;
}

INSTANTIATE_TEST_SUITE_P(
    Check, LegacyBrake,
    ::testing::Values(
        ThresholdCase{"NoBrakeAtExactly45", 0, State::kCheck, 0.0F, 45.0F, kNoBrake},
        ThresholdCase{"ServiceJustAbove45", 0, State::kCheck, 0.0F, above(45.0F), kFullService},
        ThresholdCase{"ReleasesAtExactly45", 0, State::kCheck, 50.0F, 45.0F, kNoBrake},
        ThresholdCase{"ReleasesJustBelow45", 0, State::kCheck, 50.0F, below(45.0F), kNoBrake}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Alarm, LegacyBrake,
    ::testing::Values(
        ThresholdCase{"NoBrakeAtExactly15", 0, State::kAlarm, 0.0F, 15.0F, kNoBrake},
        ThresholdCase{"EmergencyJustAbove15", 0, State::kAlarm, 0.0F, above(15.0F), kEmergency},
        ThresholdCase{"HoldsAtExactly15", 0, State::kAlarm, 20.0F, 15.0F, kEmergency},
        ThresholdCase{"HoldsAtExactlyHalfAKmh", 0, State::kAlarm, 20.0F, 0.5F, kEmergency},
        ThresholdCase{"ReleasesJustBelowHalfAKmh", 0, State::kAlarm, 20.0F, below(0.5F), kNoBrake},
        ThresholdCase{"ReleasesRunningBackwards", 0, State::kAlarm, 20.0F, -20.0F, kNoBrake},
        ThresholdCase{"SilencedNoBrakeAtExactly15", 0, State::kSilencedAlarm, 0.0F, 15.0F,
                      kNoBrake},
        ThresholdCase{"SilencedEmergencyJustAbove15", 0, State::kSilencedAlarm, 0.0F, above(15.0F),
                      kEmergency},
        ThresholdCase{"SilencedHoldsAtExactlyHalfAKmh", 0, State::kSilencedAlarm, 20.0F, 0.5F,
                      kEmergency},
        ThresholdCase{"SilencedReleasesJustBelowHalfAKmh", 0, State::kSilencedAlarm, 20.0F,
                      below(0.5F), kNoBrake}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Normal, LegacyBrake,
    ::testing::Values(
        ThresholdCase{"Line1NoBrakeAtExactly68", 1, State::kNormal, 0.0F, 68.0F, kNoBrake},
        ThresholdCase{"Line1ServiceJustAbove68", 1, State::kNormal, 0.0F, above(68.0F),
                      kFullService},
        ThresholdCase{"Line1HoldsAtExactly68", 1, State::kNormal, 70.0F, 68.0F, kFullService},
        ThresholdCase{"Line1HoldsAtExactly67", 1, State::kNormal, 70.0F, 67.0F, kFullService},
        ThresholdCase{"Line1ReleasesJustBelow67", 1, State::kNormal, 70.0F, below(67.0F), kNoBrake},
        ThresholdCase{"Line0NeverBrakes", 0, State::kNormal, 200.0F, 300.0F, kNoBrake},
        ThresholdCase{"Line2NeverBrakes", 2, State::kNormal, 200.0F, 300.0F, kNoBrake},
        ThresholdCase{"Line3NeverBrakes", 3, State::kNormal, 200.0F, 300.0F, kNoBrake}),
    CaseName());

// ------------------------------------------------- inside a Velt section

using LegacyInVeltSection = LegacyTest;

TEST_F(LegacyInVeltSection, LampsKeepTheirLastLegacyValuesWhileConfirmActsAtOnce) {
    enter(State::kCheck);
    enterVelt(0);
    keyDown(kConfirm);  // acknowledges the check inside the section
    step(0.0F);
    EXPECT_TRUE(confirmChimed());
    runUntil(now + 5000, 0.0F);
    EXPECT_EQ(lamps(), kCheckLamps);
    leaveVelt();
    step(0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
}

TEST_F(LegacyInVeltSection, ARequestPendingWhenASectionBeginsNeverTakesHold) {
    frame(1000, 0.0F);
    signal(0);
    frame(2000, 0.0F);
    enterVelt(0);
    frame(2100, 0.0F);
    leaveVelt();
    runUntil(10000, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
}

TEST_F(LegacyInVeltSection, ARequestMadeInsideASectionNeverTakesHoldAfterIt) {
    frame(500, 0.0F);  // a legacy frame lights the normal lamp
    enterVelt(0);
    frame(1000, 0.0F);
    signal(0);
    runUntil(6000, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);  // as the last legacy frame left them
    leaveVelt();
    runUntil(12000, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
}

TEST_F(LegacyInVeltSection, ARepeatedNoSectionBeaconKeepsTheRequest) {
    frame(1000, 0.0F);
    signal(0);
    frame(2000, 0.0F);
    leaveVelt();  // no section was in force: no change
    frame(4000, 0.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

TEST_F(LegacyInVeltSection, AConfirmEmergencyIsReplacedByTheVeltDemand) {
    // Aspect 8 raises the alarm and, on line category 0, sets no Velt speed
    // check, so the Velt frame at 10 km/h demands nothing of its own.
    step(0.0F);
    signal(8);
    step(0.0F, 3000);
    step(10.0F);
    ASSERT_EQ(lamps(), kAlarmLamps);
    enterVelt(0);
    step(10.0F);
    ASSERT_EQ(last.brake, kNoBrake);
    keyDown(kConfirm);  // alarm, moving: emergency demand
    step(10.0F);
    EXPECT_TRUE(confirmChimed());
    EXPECT_EQ(last.brake, kNoBrake);
    // The press did not acknowledge the alarm.
    leaveVelt();
    step(10.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

TEST_F(LegacyInVeltSection, ASignalReportInsideASectionSilencesTheAlarm) {
    enter(State::kAlarm);
    enterVelt(0);
    signal(5);  // no Velt speed check on line category 0
    step(10.0F);
    ASSERT_EQ(last.brake, kNoBrake);
    keyDown(kConfirm);  // silenced, so acknowledged while moving
    leaveVelt();
    step(10.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    EXPECT_EQ(last.brake, kNoBrake);
}

TEST_F(LegacyInVeltSection, TheAlarmHoldsTheLastVeltDemandBetweenItsThresholds) {
    enter(State::kAlarm);
    enterVelt(0);
    signal(0);  // stop aspect: Velt emergency while moving
    step(10.0F);
    ASSERT_EQ(last.brake, kEmergency);
    leaveVelt();
    step(10.0F);  // alarm at 10 km/h: between release and brake speed
    EXPECT_EQ(last.brake, kEmergency);
    step(0.0F);
    EXPECT_EQ(last.brake, kNoBrake);
}

// --------------------------------------------------------------- time wrap

using LegacyTimeWrap = LegacyTest;

TEST_F(LegacyTimeWrap, ADelayEndingAtTheLargestTimeTakesEffectThere) {
    frame(kMaxTime - 3000, 0.0F);
    signal(0);
    frame(kMaxTime - 1, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(kMaxTime, 0.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

// Deadlines are 32-bit sums, as the host build computes them: one that passes
// the largest time wraps to a negative time, which every later time exceeds.
TEST_F(LegacyTimeWrap, ADeadlinePastTheLargestTimeWrapsAndIsDueAtTheNextFrame) {
    frame(kMaxTime - 2999, 0.0F);
    signal(0);
    frame(kMaxTime - 2900, 0.0F);
    EXPECT_EQ(lamps(), kAlarmLamps);
}

TEST_F(LegacyTimeWrap, ARequestMadeAfterTheHostTimeWrappedWaitsItsFullDelay) {
    frame(kMaxTime - 50, 0.0F);
    frame(std::numeric_limits<std::int32_t>::min() + 50, 0.0F);
    const std::int32_t t = now;
    signal(2);
    frame(t + 799, 0.0F);
    EXPECT_EQ(lamps(), kNormalLamps);
    frame(t + 800, 0.0F);
    EXPECT_EQ(lamps(), kCheckLamps);
}

}  // namespace
}  // namespace velt::test
