// The frame states the benchmarks and the instruction-count driver run in,
// each reached the way a host reaches it: through the entry points, from a
// freshly loaded plug-in.
#pragma once

#include <array>
#include <cstdint>

#include "host/entry_points.h"

namespace velt::bench {

// 60 frames per second, as hosts render.
inline constexpr std::int32_t kFrameMs = 16;

// The type of ::Elapse, which the floor shares so both are called alike.
using ElapseFn = decltype(&::Elapse);

enum class FrameState {
    kLegacyIdle,          // legacy ATS, normal state, running at 60 km/h
    kLegacyAlarmPending,  // legacy alarm braking at 30 km/h, a check request waiting its delay
    kVeltArmed,           // Velt section, CPP, CCP, SPB and CLF armed far ahead, 40 km/h
    kVeltWarning,         // the same, with CPP, CCP and SPB inside their approach warnings
    kVeltBraking,         // the same, with the CPP curve reached: emergency brake and bell
    kStandstill,          // Velt section, CPP and CCP armed, standing at 0 km/h
};

struct FrameStateInfo {
    FrameState state;
    const char* name;
};

inline constexpr std::array<FrameStateInfo, 6> kFrameStates{{
    {FrameState::kLegacyIdle, "legacy_idle"},
    {FrameState::kLegacyAlarmPending, "legacy_alarm_pending"},
    {FrameState::kVeltArmed, "velt_armed"},
    {FrameState::kVeltWarning, "velt_warning"},
    {FrameState::kVeltBraking, "velt_braking"},
    {FrameState::kStandstill, "standstill"},
}};

// Looks a state up by name; false if there is none of that name.
bool frameStateNamed(const char* name, FrameState& state);

// A lap of frames in one state. The constructor drives the plug-in into the
// state and keeps a snapshot of both statics; restore() returns to it, so
// every lap does exactly the same work and the state holds for the whole lap
// (each lap is shorter than the time the state lasts: a delay running out, a
// pattern counting down to its curve).
class FrameLap {
public:
    explicit FrameLap(FrameState state);

    void restore() const;
    int frames() const { return frames_; }

    VehicleState frame(int k) const {
        VehicleState s{};
        s.speed = speedKmh_;
        s.time = startMs_ + (k + 1) * kFrameMs;
        s.current = current_;
        return s;
    }

    // Runs one lap through the real Elapse, checking after every frame that
    // the plug-in is still in its state. Returns what went wrong, or null.
    const char* verify();

    std::int32_t* panel() { return panel_.data(); }
    std::int32_t* sound() { return sound_.data(); }

private:
    FrameState state_;
    int frames_ = 0;
    float speedKmh_ = 0.0F;
    float current_ = 0.0F;
    std::int32_t startMs_ = 0;
    VehicleCache cacheAtStart_{};
    CVelt coreAtStart_{};
    std::array<std::int32_t, kPanelSize> panel_{};
    std::array<std::int32_t, kPanelSize> sound_{};
};

// One lap of frames through fn. The loop is the same for the plug-in's
// Elapse and for the floor, so the two are measured alike.
template <ElapseFn Fn>
std::int32_t runLap(const FrameLap& lap, std::int32_t* panel, std::int32_t* sound) {
    std::int32_t sink = 0;
    for (int k = 0; k < lap.frames(); ++k) {
        sink ^= Fn(lap.frame(k), panel, sound).brake;
    }
    return sink;
}

}  // namespace velt::bench
