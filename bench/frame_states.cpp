#include "bench/frame_states.h"

#include <cstring>

#include "test_host.h"

namespace velt::bench {

namespace {

using namespace velt::test;

constexpr std::int32_t kMorningMs = 8 * 3600 * 1000;  // the run starts at 08:00

// Speed codes (km/h / 5) and the SPB kind that the patterns are armed with.
constexpr std::int32_t kCcpCode25Kmh = 5;
constexpr std::int32_t kClfCode60Kmh = 12;
constexpr std::int32_t kSpbKindEmergency = 1;

// The test host at 60 frames a second from 08:00.
struct Host : TestHost {
    Host() {
        now = kMorningMs;
        stepMs = kFrameMs;
    }
};

// A freshly loaded plug-in at the start of a run, ready to drive.
void loadAndStart() {
    loadFresh();
    startPlugin();
    readyToDrive();
}

// Enters a Velt section on line category 0 under aspect 2 (49 km/h) and
// runs up to the given speed.
void enterVeltSection(Host& h, float speedKmh) {
    beacon(kRoute, 0);
    beacon(kSection, 1);
    ::SetSignal(2);
    h.runFor(1000, speedKmh, 200.0F);
}

// The four patterns, armed at the given distances ahead.
void armPatterns(std::int32_t cppMetres, std::int32_t ccpMetres, std::int32_t spbMetres) {
    beacon(kCpp, cppMetres, 0);
    beacon(kCcp, packed(kCcpCode25Kmh, ccpMetres));
    beacon(kSpb, packed(kSpbKindEmergency, spbMetres));
    beacon(kClf, kClfCode60Kmh);
}

bool allPatternsArmed(const CVelt& v) {
    return v.veltDefined == 1 && v.cppActive == 1 && v.cppPhase == CppPhase::kDistance &&
           v.ccpActive == 1 && v.spbActive == 1 && v.clfState == ClfState::kArmed &&
           v.cppDistance > 0.0F && v.ccpDistance > 0.0F && v.spbDistance > 0.0F;
}

// Null while the plug-in is in the state, otherwise what is wrong.
const char* checkState(FrameState state, const CVelt& v) {
    switch (state) {
        case FrameState::kLegacyIdle:
            if (v.veltDefined != 0 || v.ats1State != LegacyState::kNormal ||
                v.ats1Pending != LegacyState::kNormal || v.brakeDemand != Demand::kNone ||
                v.moving != 1 || v.ats1LampNormal != 1) {
                return "legacy_idle: not in the normal legacy state while running";
            }
            return nullptr;
        case FrameState::kLegacyAlarmPending:
            if (v.veltDefined != 0 || v.ats1State != LegacyState::kSilencedAlarm ||
                v.ats1Pending != LegacyState::kCheck || v.brakeDemand != Demand::kEmergency ||
                v.ats1LampAlarm != 1 || v.bellVolume != snd::kLoopFull) {
                return "legacy_alarm_pending: not braking in alarm with a check request waiting";
            }
            return nullptr;
        case FrameState::kVeltArmed:
            if (!allPatternsArmed(v) || v.patternWarn != 0 || v.spbWarn != 0 ||
                v.brakeDemand != Demand::kNone) {
                return "velt_armed: a pattern is disarmed, warning or braking";
            }
            return nullptr;
        case FrameState::kVeltWarning:
            if (!allPatternsArmed(v) || v.patternWarn != 1 || v.spbWarn != 1 ||
                v.brakeDemand != Demand::kNone) {
                return "velt_warning: not warning, or braking already";
            }
            return nullptr;
        case FrameState::kVeltBraking:
            if (!allPatternsArmed(v) || v.cppDemand != Demand::kEmergency ||
                v.brakeDemand != Demand::kEmergency || v.bellVolume != snd::kLoopFull) {
                return "velt_braking: the CPP curve is not braking";
            }
            return nullptr;
        case FrameState::kStandstill:
            if (v.veltDefined != 1 || v.moving != 0 || v.brakeDemand != Demand::kNone ||
                v.cppActive != 1 || v.ccpActive != 1) {
                return "standstill: moving, braking or disarmed";
            }
            return nullptr;
    }
    return "unknown state";
}

}  // namespace

bool frameStateNamed(const char* name, FrameState& state) {
    for (const FrameStateInfo& info : kFrameStates) {
        if (std::strcmp(info.name, name) == 0) {
            state = info.state;
            return true;
        }
    }
    return false;
}

FrameLap::FrameLap(FrameState state) : state_(state) {
    loadAndStart();
    Host h;
    h.runFor(1000, 0.0F);

    switch (state) {
        case FrameState::kLegacyIdle:
            ::SetSignal(5);
            speedKmh_ = 60.0F;
            current_ = 150.0F;
            frames_ = 4096;
            break;
        case FrameState::kLegacyAlarmPending:
            // Aspect 0 takes hold as an alarm after 3 s; aspect 2 then turns
            // it into the acknowledged alarm at once and requests a check,
            // which waits 800 ms: 48 frames of 16 ms stay inside that delay.
            h.runFor(1000, 30.0F);
            ::SetSignal(0);
            h.runFor(3200, 30.0F);
            ::SetSignal(2);
            speedKmh_ = 30.0F;
            frames_ = 48;
            break;
        case FrameState::kVeltArmed:
            // 4096 frames at 40 km/h run 728 m of the 9999.
            enterVeltSection(h, 40.0F);
            armPatterns(9999, 9999, 9999);
            speedKmh_ = 40.0F;
            current_ = 200.0F;
            frames_ = 4096;
            break;
        case FrameState::kVeltWarning:
            // At 40 km/h the stop curve is 82 m and five seconds run 56 m, so
            // a stop target 130 m ahead warns from the first frame and is
            // still 84.5 m ahead after 256 frames (45.5 m); the 25 km/h CCP
            // curve (39 m, warning from 94 m) likewise.
            enterVeltSection(h, 40.0F);
            armPatterns(130, 93, 130);
            speedKmh_ = 40.0F;
            current_ = 200.0F;
            frames_ = 256;
            break;
        case FrameState::kVeltBraking:
            // The stop curve (82 m) is past a target 60 m ahead: emergency,
            // and 256 frames still end 14.5 m short of it.
            enterVeltSection(h, 40.0F);
            armPatterns(60, 9999, 9999);
            speedKmh_ = 40.0F;
            current_ = -100.0F;
            frames_ = 256;
            break;
        case FrameState::kStandstill:
            enterVeltSection(h, 10.0F);
            ::SetSignal(1);
            beacon(kCpp, 50, 0);
            beacon(kCcp, packed(kCcpCode25Kmh, 400));
            h.runFor(1000, 0.0F);
            speedKmh_ = 0.0F;
            frames_ = 4096;
            break;
    }
    // One frame in the state, so the snapshot is taken between two frames
    // of it as a host would leave it.
    h.next(speedKmh_, current_);
    startMs_ = h.now;
    cacheAtStart_ = host::vehicleCache;
    coreAtStart_ = host::protection;
}

void FrameLap::restore() const {
    host::vehicleCache = cacheAtStart_;
    host::protection = coreAtStart_;
}

const char* FrameLap::verify() {
    restore();
    if (const char* wrong = checkState(state_, host::protection)) {
        return wrong;
    }
    for (int k = 0; k < frames_; ++k) {
        ::Elapse(frame(k), panel(), sound());
        if (const char* wrong = checkState(state_, host::protection)) {
            return wrong;
        }
    }
    restore();
    return nullptr;
}

}  // namespace velt::bench
