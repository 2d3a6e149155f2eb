#include "entry_points_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <vector>

#include "core/wrap.h"
#include "entry_point_script.h"
#include "test_host.h"

namespace velt::fuzz {

namespace {

std::uint64_t calls = 0;

using namespace velt::test;

// Loops read directly: on or off.
constexpr std::size_t kLoopSoundIndices[] = {kSoundBell, kSoundBuzzer, kSoundReverser};

template <class Indices>
bool listed(const Indices& indices, int index) {
    return std::any_of(std::begin(indices), std::end(indices),
                       [index](std::size_t i) { return static_cast<int>(i) == index; });
}

bool isSoundCommand(std::int32_t v) {
    return v == snd::kStop || v == snd::kLoopFull || v == snd::kLoopQuiet || v == snd::kPlayOnce ||
           v == snd::kContinue;
}

std::uint32_t bitsOf(float f) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

bool isDemand(Demand d) { return d >= Demand::kNone && d <= Demand::kEmergency; }

// A C variadic, not a parameter pack, so the compiler checks every message's
// format against its arguments.
[[noreturn]] __attribute__((format(printf, 2, 3))) void fail(  // NOLINT(cert-dcl50-cpp)
    std::size_t frameNo, const char* format, ...) {
    (void)std::fprintf(stderr, "velt-fuzz: invariant violated in frame %zu: ", frameNo);
    va_list args;
    va_start(args, format);
    (void)std::vfprintf(stderr, format, args);
    va_end(args);
    (void)std::fputc('\n', stderr);
    std::abort();
}

#define VELT_EXPECT(cond, ...)          \
    do {                                \
        if (!(cond)) {                  \
            fail(frameNo, __VA_ARGS__); \
        }                               \
    } while (false)

// What the host has reported, kept apart from the plug-in's own cache so
// the outputs are checked against the host's view, not against themselves.
struct HostView {
    bool specified = false;
    std::int32_t brakeNotches = 0;
    std::int32_t brake = 0;
    std::int32_t power = 0;  // the plug-in zeroes it while it brakes
    std::int32_t reverser = 0;
    bool doorsClosed = false;
    std::int32_t time = 0;

    // What a call between frames reports.
    void take(const HostCall& call) {
        switch (call.id) {
            case HostCallId::SetVehicleSpec:
                specified = true;
                brakeNotches = call.spec.brakeNotches;
                break;
            case HostCallId::SetPower: power = call.value; break;
            case HostCallId::SetBrake: brake = call.value; break;
            case HostCallId::SetReverser: reverser = call.value; break;
            case HostCallId::DoorOpen: doorsClosed = false; break;
            case HostCallId::DoorClose: doorsClosed = true; break;
            default: break;
        }
    }

    [[nodiscard]] std::int32_t emergencyNotch() const {
        return specified ? wrapAdd(brakeNotches, 1) : 0;
    }
    [[nodiscard]] std::int32_t maxServiceNotch() const { return specified ? brakeNotches : 0; }
};

// The arrays a host lends, exactly as large as required, so that a write
// past either end is a heap overflow that AddressSanitizer reports.
struct HostArrays {
    std::vector<std::int32_t> panel = std::vector<std::int32_t>(kPanelSize, kSentinel);
    std::vector<std::int32_t> sound = std::vector<std::int32_t>(kSoundSize, kSentinel);
};

void checkHandles(std::size_t frameNo, const HostView& host, const CVelt& v, const VehicleCache& c,
                  const HandleCommand& h) {
    VELT_EXPECT(isDemand(v.brakeDemand), "brakeDemand %d", number(v.brakeDemand));
    for (const Demand d : {v.sigDemand, v.cppDemand, v.ccpDemand, v.clfDemand, v.spbDemand}) {
        VELT_EXPECT(isDemand(d), "a check's demand is %d", number(d));
    }
    const std::int32_t brake = v.brakeDemand == Demand::kEmergency ? host.emergencyNotch()
                               : v.brakeDemand == Demand::kService ? host.maxServiceNotch()
                                                                   : host.brake;
    VELT_EXPECT(h.brake == brake, "brake %d, expected %d (demand %d)", h.brake, brake,
                number(v.brakeDemand));
    VELT_EXPECT(v.overspeedCut == 0 || v.overspeedCut == 1, "overspeedCut %d", v.overspeedCut);
    const std::int32_t power = v.overspeedCut != 0 ? 0 : host.power;
    VELT_EXPECT(h.power == power, "power %d, expected %d (demand %d, cut %d)", h.power, power,
                number(v.brakeDemand), v.overspeedCut);
    VELT_EXPECT(c.powerNotch == host.power, "cached power %d, expected %d", c.powerNotch,
                host.power);
    const std::int32_t reverser = host.doorsClosed ? host.reverser : 0;
    VELT_EXPECT(h.reverser == reverser, "reverser %d, expected %d", h.reverser, reverser);
    VELT_EXPECT(h.constantSpeed == (h.brake > 0 ? 2 : 0), "constant speed %d with brake %d",
                h.constantSpeed, h.brake);
    VELT_EXPECT(c.handles.brake == h.brake && c.handles.power == h.power &&
                    c.handles.reverser == h.reverser && c.handles.constantSpeed == h.constantSpeed,
                "cached handles differ from the returned ones");
}

void checkPanel(std::size_t frameNo, const HostView& host, const VehicleState& s,
                const std::int32_t* panel, bool legacyFrame) {
    for (int i = 0; i < kPanelSize; ++i) {
        if (!listed(kPanelWritten, i)) {
            VELT_EXPECT(panel[i] == kSentinel, "panel[%d] written (%d)", i, panel[i]);
        }
    }
    VELT_EXPECT(panel[kPanelAlways255] == 255, "panel[255] %d", panel[kPanelAlways255]);
    VELT_EXPECT(panel[kPanelLampCheckOrAlarm] ==
                    ((panel[kPanelLampCheck] != 0 || panel[kPanelLampAlarm] != 0) ? 1 : 0),
                "panel[13] %d", panel[kPanelLampCheckOrAlarm]);
    VELT_EXPECT(panel[kPanelNegativeCurrent] == (s.current < 0.0F ? 1 : 0), "panel[30] %d",
                panel[kPanelNegativeCurrent]);
    VELT_EXPECT(panel[kPanelHandlesAtRest] == ((host.brake == 0 && host.power == 0) ? 1 : 0),
                "panel[31] %d", panel[kPanelHandlesAtRest]);
    VELT_EXPECT(panel[kPanelDriverEmergency] == (host.brake == host.emergencyNotch() ? 1 : 0),
                "panel[32] %d", panel[kPanelDriverEmergency]);
    if (legacyFrame) {
        const bool oneLamp = (panel[kPanelLampNormal] == 1 && panel[kPanelLampCheck] == 0 &&
                              panel[kPanelLampAlarm] == 0) ||
                             (panel[kPanelLampNormal] == 0 && panel[kPanelLampCheck] == 1 &&
                              panel[kPanelLampAlarm] == 0) ||
                             (panel[kPanelLampNormal] == 0 && panel[kPanelLampCheck] == 0 &&
                              panel[kPanelLampAlarm] == 1);
        VELT_EXPECT(oneLamp, "legacy lamps %d %d %d", panel[kPanelLampNormal],
                    panel[kPanelLampCheck], panel[kPanelLampAlarm]);
    }
}

void checkSound(std::size_t frameNo, const HostView& host, const CVelt& v,
                const std::int32_t* sound) {
    for (int i = 0; i < kSoundSize; ++i) {
        if (listed(kSoundWritten, i)) {
            VELT_EXPECT(isSoundCommand(sound[i]), "sound[%d] %d is no sound command", i, sound[i]);
        } else {
            VELT_EXPECT(sound[i] == kSentinel, "sound[%d] written (%d)", i, sound[i]);
        }
    }
    for (const std::size_t i : kLoopSoundIndices) {
        VELT_EXPECT(sound[i] == snd::kLoopFull || sound[i] == snd::kStop, "loop sound[%zu] %d", i,
                    sound[i]);
    }
    VELT_EXPECT(sound[kSoundStationStop] == snd::kLoopFull ||
                    sound[kSoundStationStop] == snd::kLoopQuiet ||
                    sound[kSoundStationStop] == snd::kStop,
                "reminder loop %d", sound[kSoundStationStop]);
    VELT_EXPECT(sound[kSoundReverser] == (host.reverser == -1 ? snd::kLoopFull : snd::kStop),
                "sound[30] %d", sound[kSoundReverser]);
    // A brake the driver cannot hear about is a silent brake.
    if (v.brakeDemand > Demand::kNone) {
        VELT_EXPECT(sound[kSoundBell] == snd::kLoopFull, "brake demand %d without the bell",
                    number(v.brakeDemand));
    }
}

// Rules that keep the train protected whatever else the session did.
void checkSupervision(std::size_t frameNo, const CVelt& v, const VehicleState& s,
                      bool legacyFrame) {
    VELT_EXPECT(
        !std::isnan(v.cppDistance) && !std::isnan(v.ccpDistance) && !std::isnan(v.spbDistance),
        "a pattern distance is NaN (cpp %g, ccp %g, spb %g)", static_cast<double>(v.cppDistance),
        static_cast<double>(v.ccpDistance), static_cast<double>(v.spbDistance));
    const float speed = s.speed;
    const float absSpeed = std::fabs(speed);
    if (!legacyFrame) {
        const std::int32_t i = v.signalIndex;
        const bool stopAspect = i < 1 || i > 8 || i == 6;
        if (stopAspect && absSpeed > 0.0F) {
            VELT_EXPECT(v.brakeDemand == Demand::kEmergency,
                        "moving at %g km/h under stop aspect %d with demand %d",
                        static_cast<double>(speed), i, number(v.brakeDemand));
        }
        return;
    }
    VELT_EXPECT(v.ats1State >= LegacyState::kNormal && v.ats1State <= LegacyState::kCheck,
                "ats1State %d", number(v.ats1State));
    if ((v.ats1State == LegacyState::kAlarm || v.ats1State == LegacyState::kSilencedAlarm) &&
        speed > 15.0F) {
        VELT_EXPECT(v.brakeDemand == Demand::kEmergency, "legacy alarm at %g km/h with demand %d",
                    static_cast<double>(speed), number(v.brakeDemand));
    }
    if (v.ats1State == LegacyState::kCheck) {
        const Demand expected = speed > 45.0F ? Demand::kService : Demand::kNone;
        VELT_EXPECT(v.brakeDemand == expected, "legacy check at %g km/h with demand %d",
                    static_cast<double>(speed), number(v.brakeDemand));
    }
    if (v.ats1State == LegacyState::kNormal && v.lineType != 1) {
        VELT_EXPECT(v.brakeDemand == Demand::kNone, "legacy normal state with demand %d",
                    number(v.brakeDemand));
    }
}

void checkCache(std::size_t frameNo, const VehicleCache& c, const VehicleState& s,
                std::int32_t previousTime) {
    VELT_EXPECT(c.timeMs == s.time, "cached time %d, frame time %d", c.timeMs, s.time);
    VELT_EXPECT(c.deltaMs == wrapSub(s.time, previousTime), "deltaMs %d from %d to %d", c.deltaMs,
                previousTime, s.time);
    VELT_EXPECT(bitsOf(c.speedKmh) == bitsOf(s.speed),
                "cached speed is not the host's, bit for bit");
}

class Session {
public:
    Session(const std::uint8_t* data, std::size_t size, const FrameObserver& observer)
        : in_(data, size), observer_(observer) {}

    void run() {
        while (!in_.done()) {
            step();
        }
    }

private:
    void step() {
        ++calls;
        const HostCallId id = in_.op();
        if (id == HostCallId::Elapse) {
            frame();
            return;
        }
        if (id == HostCallId::GetPluginVersion) {
            if (::GetPluginVersion() != kPluginVersion) {
                (void)std::fprintf(stderr, "velt-fuzz: wrong plug-in version\n");
                std::abort();
            }
            return;
        }
        const HostCall call = in_.call(id);
        host_.take(call);
        makeCall(entryPoints_, call);
    }

    void frame() {
        const ScriptReader::FrameTime t = in_.frameTime(host_.time);
        VehicleState s{};
        s.time = t.time;
        s.speed = in_.floatArg();
        s.current = in_.floatArg();
        std::int32_t* const panel = t.withoutPanel ? nullptr : arrays_.panel.data();
        std::int32_t* const sound = t.withoutSound ? nullptr : arrays_.sound.data();

        const HandleCommand h = ::Elapse(s, panel, sound);
        ++frames_;

        const CVelt& v = host::protection;
        const VehicleCache& c = host::vehicleCache;
        const bool legacyFrame = v.veltDefined != 1;
        if (v.brakeDemand > Demand::kNone) {
            host_.power = 0;  // as the host would see it: the handle was taken over
        }
        const std::size_t frameNo = frames_;
        checkCache(frameNo, c, s, host_.time);
        checkHandles(frameNo, host_, v, c, h);
        if (panel != nullptr) {
            checkPanel(frameNo, host_, s, panel, legacyFrame);
        }
        if (sound != nullptr) {
            checkSound(frameNo, host_, v, sound);
        }
        checkSupervision(frameNo, v, s, legacyFrame);
        host_.time = s.time;
        if (observer_) {
            observer_(FrameView{s, h, v, c, legacyFrame});
        }
    }

    ScriptReader in_;
    const EntryPoints entryPoints_ = linkedEntryPoints();
    const FrameObserver& observer_;
    HostView host_;
    HostArrays arrays_;
    std::size_t frames_ = 0;
};

}  // namespace

void runSession(const std::uint8_t* data, std::size_t size, const FrameObserver& observer) {
    loadFresh();
    Session(data, size, observer).run();
}

std::uint64_t entryPointCalls() { return calls; }

}  // namespace velt::fuzz
