// The byte form of a host session: a sequence of entry-point calls with their
// arguments, as the fuzzer mutates it and as the seed generator writes it.
// Reader and Writer live side by side so that the two can never disagree.
//
// Every call starts with one operation byte; bytes from 128 up are frames,
// since the frames are where supervision decides anything. Each argument
// starts with a form byte that picks how the following bytes are read:
// values the plug-in gives a meaning to, small or raw numbers, the extremes
// of the type, beacon packing, float specials, or time steps that run
// forwards, stand still, jump back or wrap. A short input reads zeros past
// its end, so every byte string is a valid session.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <vector>

#include "core/wrap.h"
#include "host/host_calls.h"

namespace velt::fuzz {

// The sixteen entry points, numbered in the order of their list
// (host/host_calls.h): an operation byte names one of them.
using Op = HostCallId;
inline constexpr auto kOpCount = static_cast<std::uint8_t>(kHostCallCount);
inline constexpr std::uint8_t kFirstFrameByte = 128;

// What an int argument stands for; each kind has its own meaningful values
// and its own mix of forms.
enum class IntKind : std::uint8_t {
    Notch,
    Reverser,
    Key,
    Signal,
    BeaconType,
    Optional,
    BrakeNotches,
    Unused
};

enum class IntForm : std::uint8_t { Meaningful, Small, Raw, Extreme, Packed };
inline constexpr std::size_t kFormsPerKind = 8;

enum class FloatForm : std::uint8_t { Tenths, Special, NearThreshold, RawBits, HalfKmh };
enum class TimeForm : std::uint8_t {
    StepTens,
    StepMs,
    Same,
    StepHundreds,
    Back,
    Absolute,
    NearWrap,
    Landmark
};

namespace tables {

constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();

constexpr IntForm kForms[][kFormsPerKind] = {
    // Notch: mostly the handle's positions, sometimes anything.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Meaningful, IntForm::Small, IntForm::Extreme, IntForm::Raw},
    // Reverser.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Meaningful, IntForm::Small, IntForm::Extreme, IntForm::Raw},
    // Key.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Meaningful, IntForm::Small, IntForm::Extreme, IntForm::Raw},
    // Signal aspect: the aspects in use, and extremes for the table edges.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Meaningful, IntForm::Small, IntForm::Extreme, IntForm::Raw},
    // Beacon type: the types with handlers, biased.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Meaningful, IntForm::Meaningful, IntForm::Small, IntForm::Raw},
    // Beacon optional: packed values and extremes above all.
    {IntForm::Packed, IntForm::Packed, IntForm::Packed, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Extreme, IntForm::Extreme, IntForm::Raw},
    // Service brake notch count.
    {IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful, IntForm::Meaningful,
     IntForm::Small, IntForm::Extreme, IntForm::Extreme, IntForm::Raw},
    // Arguments the plug-in does not read.
    {IntForm::Raw, IntForm::Raw, IntForm::Raw, IntForm::Small, IntForm::Small, IntForm::Extreme,
     IntForm::Extreme, IntForm::Raw},
};

constexpr std::int32_t kNotches[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
constexpr std::int32_t kReversers[] = {-1, 0, 1};
constexpr std::int32_t kKeys[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr std::int32_t kSignals[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
constexpr std::int32_t kBeaconTypes[] = {1, 10, 11, 12, 13, 15, 20, 21, 22, 24};
constexpr std::int32_t kOptionals[] = {0,     1,    2,    3,     31,     32,     205,   350,
                                       999,   1000, 1203, 5000,  9999,   10000,  10001, 20500,
                                       45120, -1,   -250, -9999, -10000, -10001, 100,   200};
constexpr std::int32_t kBrakeNotches[] = {0, 1, 4, 7, 8, 9};
constexpr std::int32_t kExtremes[] = {
    kIntMin, kIntMin + 1, kIntMin + 499, -1000000, -10001,  -10000,         -9999,       -1,     0,
    1,       9999,        10000,         10001,    1000000, kIntMax - 1000, kIntMax - 1, kIntMax};

struct Meaning {
    const std::int32_t* values;
    std::size_t count;
};
template <std::size_t N>
constexpr Meaning meaning(const std::int32_t (&values)[N]) {
    return {values, N};
}
constexpr Meaning kMeanings[] = {meaning(kNotches),      meaning(kReversers),   meaning(kKeys),
                                 meaning(kSignals),      meaning(kBeaconTypes), meaning(kOptionals),
                                 meaning(kBrakeNotches), meaning(kExtremes)};

// The speeds the supervision compares against, km/h; a value one float step
// either side of each is as interesting as the value itself.
constexpr float kThresholds[] = {0.0F,  0.5F,   1.0F,   3.0F,   5.0F,   9.5F,   15.0F,  25.0F,
                                 29.0F, 42.0F,  45.0F,  49.0F,  67.0F,  68.0F,  72.0F,  75.0F,
                                 79.0F, 105.0F, 109.0F, 117.0F, 120.0F, 130.0F, 159.0F, 160.0F};

// Times the host can plausibly send, and the ends of the int range.
constexpr std::int32_t kTimeLandmarks[] = {
    0,       1,       86399999,      86400000,      86400001,       -1,         -86400000,
    kIntMax, kIntMin, kIntMax - 499, kIntMax - 999, kIntMax - 2999, kIntMin + 1};

}  // namespace tables

// Float specials a host could hand over, whatever it means by them.
inline float specialFloat(std::uint8_t index) {
    const float specials[] = {
        std::numeric_limits<float>::quiet_NaN(),
        -std::numeric_limits<float>::quiet_NaN(),
        std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(),
        0.0F,
        -0.0F,
        std::numeric_limits<float>::denorm_min(),
        -std::numeric_limits<float>::denorm_min(),
        std::numeric_limits<float>::min(),
        std::numeric_limits<float>::max(),
        -std::numeric_limits<float>::max(),
        1.0e30F,
        -1.0e30F,
        16777217.0F,
        std::numeric_limits<float>::epsilon(),
        -1.0F,
    };
    return specials[index % (sizeof specials / sizeof specials[0])];
}

// Reads a session. Past the end of the input every byte reads as 0.
class ScriptReader {
public:
    ScriptReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool done() const { return pos_ >= size_; }

    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t u16() {
        const auto lo = static_cast<unsigned>(byte());
        const auto hi = static_cast<unsigned>(byte());
        return static_cast<std::uint16_t>(lo | (hi << 8U));
    }
    std::uint32_t u32() {
        const std::uint32_t lo = u16();
        const std::uint32_t hi = u16();
        return lo | (hi << 16U);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }

    Op op() {
        const std::uint8_t b = byte();
        return b >= kFirstFrameByte ? Op::Elapse : static_cast<Op>(b % kOpCount);
    }

    std::int32_t intArg(IntKind kind) {
        const auto k = static_cast<std::size_t>(kind);
        const IntForm form = tables::kForms[k][byte() % kFormsPerKind];
        switch (form) {
            case IntForm::Meaningful: {
                const tables::Meaning m = tables::kMeanings[k];
                return m.values[byte() % m.count];
            }
            case IntForm::Small: return static_cast<std::int8_t>(byte());
            case IntForm::Raw: return i32();
            case IntForm::Extreme: return tables::kExtremes[byte() % std::size(tables::kExtremes)];
            case IntForm::Packed: {
                // high * 10000 + metres, the metres taking the sign of high
                // as the packing of a negative value does.
                const std::int32_t high = static_cast<std::int8_t>(byte());
                const std::int32_t metres = u16() % 10000;
                return high * 10000 + (high < 0 ? -metres : metres);
            }
        }
        return 0;
    }

    // The argument of a call between frames, read as its entry point's
    // argument stands in the list, and the call.
    HostCall call(HostCallId id) {
        switch (hostCallInfo(id).argument) {
            case HostArgument::None: return HostCall::of(id);
            case HostArgument::Spec: {
                VehicleSpec spec{};
                spec.brakeNotches = intArg(IntKind::BrakeNotches);
                for (std::int32_t& unread : spec.unread) unread = intArg(IntKind::Unused);
                return HostCall::vehicleSpec(spec);
            }
            case HostArgument::Beacon: {
                BeaconData b{};
                b.type = intArg(IntKind::BeaconType);
                b.signal = intArg(IntKind::Signal);
                b.distance = floatArg();
                b.optional = intArg(IntKind::Optional);
                return HostCall::beaconData(b);
            }
            case HostArgument::Notch: return HostCall::of(id, intArg(IntKind::Notch));
            case HostArgument::Reverser: return HostCall::of(id, intArg(IntKind::Reverser));
            case HostArgument::Key: return HostCall::of(id, intArg(IntKind::Key));
            case HostArgument::Aspect: return HostCall::of(id, intArg(IntKind::Signal));
            case HostArgument::Unused:
            case HostArgument::Frame: break;
        }
        return HostCall::of(id, intArg(IntKind::Unused));
    }

    float floatArg() {
        switch (static_cast<FloatForm>(byte() % 5)) {
            case FloatForm::Tenths:
                return static_cast<float>(static_cast<std::int16_t>(u16())) / 10.0F;
            case FloatForm::Special: return specialFloat(byte());
            case FloatForm::NearThreshold: {
                const std::uint8_t b = byte();
                const float t = tables::kThresholds[(b >> 2U) % std::size(tables::kThresholds)];
                const float signedT = (b & 2U) != 0 ? -t : t;
                return (b & 1U) != 0
                           ? std::nextafter(signedT, std::numeric_limits<float>::infinity())
                           : std::nextafter(signedT, -std::numeric_limits<float>::infinity());
            }
            case FloatForm::RawBits: {
                const std::uint32_t bits = u32();
                float f = 0.0F;
                std::memcpy(&f, &bits, sizeof f);
                return f;
            }
            case FloatForm::HalfKmh: return static_cast<float>(byte()) * 0.5F;
        }
        return 0.0F;
    }

    // The next frame's time, from the previous one; the form byte's upper
    // bits also let a frame go without one of its arrays, rarely.
    struct FrameTime {
        std::int32_t time;
        bool withoutPanel;
        bool withoutSound;
    };
    FrameTime frameTime(std::int32_t previous) {
        const std::uint8_t b = byte();
        const unsigned arrays = static_cast<unsigned>(b) >> 3U;
        FrameTime t{previous, arrays == 31U, arrays == 30U};
        switch (static_cast<TimeForm>(b & 7U)) {
            case TimeForm::StepTens: t.time = wrapAdd(previous, byte() * 10); break;
            case TimeForm::StepMs: t.time = wrapAdd(previous, u16()); break;
            case TimeForm::Same: break;
            case TimeForm::StepHundreds: t.time = wrapAdd(previous, byte() * 100); break;
            case TimeForm::Back: t.time = wrapSub(previous, u16()); break;
            case TimeForm::Absolute: t.time = i32(); break;
            case TimeForm::NearWrap: t.time = wrapSub(tables::kIntMax, u16()); break;
            case TimeForm::Landmark:
                t.time = tables::kTimeLandmarks[byte() % std::size(tables::kTimeLandmarks)];
                break;
        }
        return t;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Writes a session that ScriptReader reads back as written; the seeds are
// built with it.
class ScriptWriter {
public:
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    ScriptWriter& load() { return op(Op::Load); }
    ScriptWriter& dispose() { return op(Op::Dispose); }
    ScriptWriter& version() { return op(Op::GetPluginVersion); }
    ScriptWriter& vehicleSpec(std::int32_t brakeNotches) {
        return op(Op::SetVehicleSpec).raw(brakeNotches).raw(0).raw(0).raw(0).raw(0);
    }
    ScriptWriter& initialize() { return op(Op::Initialize).raw(0); }
    ScriptWriter& power(std::int32_t notch) { return op(Op::SetPower).raw(notch); }
    ScriptWriter& brake(std::int32_t notch) { return op(Op::SetBrake).raw(notch); }
    ScriptWriter& reverser(std::int32_t position) { return op(Op::SetReverser).raw(position); }
    ScriptWriter& keyDown(std::int32_t key) { return op(Op::KeyDown).raw(key); }
    ScriptWriter& keyUp(std::int32_t key) { return op(Op::KeyUp).raw(key); }
    ScriptWriter& horn() { return op(Op::HornBlow).raw(0); }
    ScriptWriter& doorOpen() { return op(Op::DoorOpen); }
    ScriptWriter& doorClose() { return op(Op::DoorClose); }
    ScriptWriter& signal(std::int32_t aspect) { return op(Op::SetSignal).raw(aspect); }
    ScriptWriter& beacon(std::int32_t type, std::int32_t optional, std::int32_t signal = 0) {
        return op(Op::SetBeaconData).raw(type).raw(signal).tenths(0.0F).raw(optional);
    }

    // A frame stepMs after the previous one at speedKmh (to 0.1 km/h).
    ScriptWriter& frame(std::uint16_t stepMs, float speedKmh, float current = 0.0F) {
        byte(kFirstFrameByte);
        byte(static_cast<std::uint8_t>(TimeForm::StepMs));
        u16(stepMs);
        return tenths(speedKmh).tenths(current);
    }
    // Frames every stepMs for durationMs at one speed.
    ScriptWriter& run(std::uint16_t stepMs, std::int32_t durationMs, float speedKmh) {
        for (std::int32_t t = 0; t < durationMs; t += stepMs) {
            frame(stepMs, speedKmh);
        }
        return *this;
    }
    // A frame at an absolute time with a float given bit for bit.
    ScriptWriter& frameAt(std::int32_t time, float speedKmh) {
        byte(kFirstFrameByte);
        byte(static_cast<std::uint8_t>(TimeForm::Absolute));
        u32(static_cast<std::uint32_t>(time));
        return bits(speedKmh).tenths(0.0F);
    }
    // A frame stepMs after the previous one, the speed given bit for bit.
    ScriptWriter& frameBits(std::uint16_t stepMs, float speedKmh) {
        byte(kFirstFrameByte);
        byte(static_cast<std::uint8_t>(TimeForm::StepMs));
        u16(stepMs);
        return bits(speedKmh).tenths(0.0F);
    }

private:
    ScriptWriter& byte(std::uint8_t b) {
        bytes_.push_back(b);
        return *this;
    }
    ScriptWriter& u16(std::uint16_t v) {
        byte(static_cast<std::uint8_t>(v & 0xFFU));
        return byte(static_cast<std::uint8_t>(v >> 8U));
    }
    ScriptWriter& u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v & 0xFFFFU));
        return u16(static_cast<std::uint16_t>(v >> 16U));
    }
    ScriptWriter& op(Op o) { return byte(static_cast<std::uint8_t>(o)); }
    // Every IntKind reads form 7 as a raw int.
    ScriptWriter& raw(std::int32_t v) {
        byte(7);
        return u32(static_cast<std::uint32_t>(v));
    }
    ScriptWriter& tenths(float kmh) {
        byte(static_cast<std::uint8_t>(FloatForm::Tenths));
        return u16(static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(kmh * 10.0F))));
    }
    ScriptWriter& bits(float f) {
        byte(static_cast<std::uint8_t>(FloatForm::RawBits));
        std::uint32_t b = 0;
        std::memcpy(&b, &f, sizeof b);
        return u32(b);
    }

    std::vector<std::uint8_t> bytes_;
};

}  // namespace velt::fuzz
