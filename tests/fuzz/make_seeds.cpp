// The seed corpus of the entry-point fuzzer: host sessions that drive the
// plug-in through its supervision paths, so the fuzzer starts from inputs
// that reach deep states instead of having to find them byte by byte.
//
//   velt_fuzz_seeds write DIR   writes the seeds into DIR
//   velt_fuzz_seeds check DIR   fails unless DIR holds the seeds as written
//                               here and each still reaches what it is for
//   velt_fuzz_seeds trace NAME  prints the frames of one seed
//
// Each seed names the states it must pass through, in order; a change of the
// byte encoding or of the plug-in that makes a seed miss them fails the check
// instead of quietly leaving the fuzzer with shallow seeds.
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "entry_point_script.h"
#include "entry_points_harness.h"

namespace velt::fuzz {
namespace {

using Goal = bool (*)(const FrameView&);
struct Milestone {
    const char* what;
    Goal reached;
};

struct Seed {
    std::string name;
    ScriptWriter script;
    std::vector<Milestone> milestones;
};

// Beacon types and keys by name.
constexpr std::int32_t kSpp = 1, kCpp = 10, kSpeedCheck = 11, kCcp = 12, kClf = 13, kSpb = 15,
                       kSection = 20, kRoute = 21, kLinkDoor = 22, kKindBlink = 24;
constexpr std::int32_t kConfirm = 0, kRecovery = 3, kBuzzer = 4, kSelectUp = 5, kSelectDown = 6,
                       kLamp = 15;
constexpr std::int32_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kIntMin = std::numeric_limits<std::int32_t>::min();

// A host starting a run with an 8-notch vehicle, doors closed, forward.
ScriptWriter startRun(std::int32_t routeCode) {
    ScriptWriter w;
    w.load().version().vehicleSpec(8).initialize().doorClose().reverser(1);
    w.beacon(kRoute, routeCode).frame(100, 0.0F);
    return w;
}

std::vector<Seed> seeds() {
    std::vector<Seed> all;

    {  // CPP stop pattern on line category 1: warning, emergency, standstill.
        ScriptWriter w = startRun(100);
        w.beacon(kSection, 1).signal(1).power(3).run(500, 2000, 25.0F);
        w.beacon(kCpp, 300, 0).run(500, 40000, 25.0F).run(500, 1000, 0.0F).signal(3);
        w.run(500, 1000, 0.0F);
        all.push_back(
            {"velt_cpp_stop",
             w,
             {{"approach warning", [](const FrameView& f) { return f.core.patternWarn == 1; }},
              {"emergency brake, power cut",
               [](const FrameView& f) {
                   return f.core.cppDemand == Demand::kEmergency && f.handles.brake == 9 &&
                          f.handles.power == 0;
               }},
              {"released at standstill", [](const FrameView& f) {
                   return f.core.cppDemand == Demand::kNone && f.core.bellLatch == Demand::kNone;
               }}}});
    }
    {  // CPP 49 km/h variant on line category 2.
        ScriptWriter w = startRun(200);
        w.beacon(kSection, 1).signal(4).run(500, 1000, 80.0F);
        w.beacon(kCpp, 800, 2).run(500, 30000, 80.0F).run(500, 2000, 40.0F);
        all.push_back({"velt_cpp49",
                       w,
                       {{"service brake to 49",
                         [](const FrameView& f) {
                             return f.core.cppDemand == Demand::kService && f.handles.brake == 8;
                         }},
                        {"released below the 42 curve",
                         [](const FrameView& f) { return f.core.cppDemand == Demand::kNone; }}}});
    }
    {  // CCP restriction on line category 1.
        ScriptWriter w = startRun(100);
        w.beacon(kSection, 1).signal(5).run(500, 1000, 60.0F);
        w.beacon(kCcp, 40500).run(500, 24000, 60.0F).run(500, 2000, 15.0F);
        all.push_back({"velt_ccp",
                       w,
                       {{"service brake for the restriction",
                         [](const FrameView& f) { return f.core.ccpDemand == Demand::kService; }},
                        {"released below the lower curve", [](const FrameView& f) {
                             return f.core.ccpDemand == Demand::kNone && f.core.ccpActive == 1;
                         }}}});
    }
    {  // SPB stop pattern of kind 1 on line category 0, then the stop and doors.
        ScriptWriter w = startRun(0);
        w.beacon(kSection, 1).signal(5).run(500, 1000, 80.0F);
        w.beacon(kSpb, 10600).run(500, 14000, 80.0F).run(500, 1000, 0.0F);
        w.doorOpen().run(500, 1000, 0.0F);
        all.push_back(
            {"velt_spb",
             w,
             {{"SPB warning",
               [](const FrameView& f) { return f.core.spbWarn == 1 && f.core.sndSpbWarnOut == 1; }},
              {"SPB emergency",
               [](const FrameView& f) { return f.core.spbDemand == Demand::kEmergency; }},
              {"disarmed with the doors open",
               [](const FrameView& f) { return f.core.spbActive == 0; }}}});
    }
    {  // CLF limit on line category 2, then the overspeed cut on category 0.
        ScriptWriter w = startRun(200);
        w.beacon(kSection, 1).signal(8).power(4).run(500, 1000, 40.0F);
        w.beacon(kClf, 10).run(500, 1000, 60.0F).run(500, 1000, 45.0F).beacon(kClf, 0);
        w.beacon(kRoute, 0).signal(5).power(4).run(500, 1000, 125.0F).run(500, 1000, 110.0F);
        all.push_back(
            {"velt_clf_overspeed",
             w,
             {{"over the CLF limit",
               [](const FrameView& f) {
                   return f.core.clfState == ClfState::kOverLimit &&
                          f.core.clfDemand == Demand::kService;
               }},
              {"back under it",
               [](const FrameView& f) {
                   return f.core.clfState == ClfState::kArmed && f.core.clfDemand == Demand::kNone;
               }},
              {"overspeed cut",
               [](const FrameView& f) {
                   return f.core.overspeedCut == 1 && f.handles.power == 0 && f.handles.brake == 0;
               }},
              {"power restored", [](const FrameView& f) {
                   return f.core.overspeedCut == 0 && f.handles.power == 4;
               }}}});
    }
    {  // Door link sequence and kind blink in a Velt section on category 0.
        ScriptWriter w = startRun(0);
        w.beacon(kSection, 1).signal(5).beacon(kLinkDoor, 1).beacon(kKindBlink, 5000);
        w.run(500, 2000, 20.0F).run(100, 1000, 0.0F).doorOpen().run(100, 1000, 0.0F);
        w.doorClose().run(100, 2000, 0.0F).run(100, 1000, 10.0F);
        all.push_back(
            {"velt_door_link",
             w,
             {{"doors opened, kind blink on",
               [](const FrameView& f) {
                   return f.core.linkDoorState == LinkDoorState::kDoorsOpened &&
                          f.core.kindBlink == 1 && f.core.dispTarget == 29;
               }},
              {"doors closed",
               [](const FrameView& f) {
                   return f.core.linkDoorState == LinkDoorState::kDoorsClosed &&
                          f.core.dispTarget == 1;
               }},
              {"sequence over",
               [](const FrameView& f) { return f.core.linkDoorState == LinkDoorState::kIdle; }},
              {"kind blink off when moving",
               [](const FrameView& f) { return f.core.kindBlink == 0; }}}});
    }
    {  // Station-stop reminder on category 1: started, attenuated, ended.
        ScriptWriter w = startRun(100);
        w.run(500, 1000, 30.0F).beacon(kSpp, 1).run(500, 2000, 30.0F).brake(2);
        w.run(500, 2000, 0.0F).doorOpen().run(500, 1000, 0.0F);
        all.push_back({"station_stop",
                       w,
                       {{"reminder at full volume",
                         [](const FrameView& f) {
                             return f.core.sppActive == 1 && f.core.sppVolumeOut == 0;
                         }},
                        {"attenuated by the brake",
                         [](const FrameView& f) { return f.core.sppVolumeOut == -1200; }},
                        {"ended by the doors", [](const FrameView& f) {
                             return f.core.sppActive == 0 && f.core.sppVolumeOut == -10000;
                         }}}});
    }
    {  // Legacy alarm: request, delay, emergency, confirm while moving, stop, confirm.
        ScriptWriter w = startRun(0);
        w.power(2).run(100, 500, 40.0F).signal(0).run(100, 3200, 40.0F);
        w.keyDown(kConfirm).keyUp(kConfirm).run(100, 1000, 10.0F).run(100, 500, 0.0F);
        w.keyDown(kConfirm).run(100, 500, 0.0F);
        all.push_back({"legacy_alarm",
                       w,
                       {{"alarm brakes",
                         [](const FrameView& f) {
                             return f.legacyFrame && f.core.ats1State == LegacyState::kAlarm &&
                                    f.handles.brake == 9 && f.core.ats1LampAlarm == 1;
                         }},
                        {"released at standstill",
                         [](const FrameView& f) {
                             return f.core.ats1State == LegacyState::kAlarm &&
                                    f.core.brakeDemand == Demand::kNone;
                         }},
                        {"acknowledged", [](const FrameView& f) {
                             return f.core.ats1State == LegacyState::kNormal &&
                                    f.core.ats1LampNormal == 1;
                         }}}});
    }
    {  // Legacy speed-check section tripped on category 1, then a check state.
        ScriptWriter w = startRun(100);
        w.run(100, 500, 67.5F).beacon(kSpeedCheck, 0).frame(300, 67.5F).beacon(kSpeedCheck, 0);
        w.run(100, 500, 67.5F).signal(2).run(100, 1200, 50.0F);
        all.push_back({"legacy_speed_check",
                       w,
                       {{"section tripped",
                         [](const FrameView& f) {
                             return f.core.spsTripped == 1 &&
                                    f.core.brakeDemand == Demand::kEmergency;
                         }},
                        {"check state brakes", [](const FrameView& f) {
                             return f.core.ats1State == LegacyState::kCheck &&
                                    f.core.brakeDemand == Demand::kService &&
                                    f.core.ats1LampCheck == 1;
                         }}}});
    }
    {  // Keys: selector, lamp, radio, buzzer, recovery; keys without action.
        ScriptWriter w = startRun(0);
        w.brake(8);
        for (int i = 0; i < 11; ++i) {  // once round the nine positions, and two more
            w.keyDown(kSelectUp).keyUp(kSelectUp);
        }
        w.keyDown(kSelectDown).keyDown(kLamp).keyDown(11).keyDown(13).keyDown(kBuzzer);
        w.frame(100, 0.0F).keyUp(kBuzzer).keyDown(1).keyDown(14).keyDown(16).keyDown(-1).horn();
        w.beacon(kSection, 1).signal(0).brake(0).run(100, 500, 30.0F).brake(9).keyDown(kRecovery);
        w.frame(100, 30.0F).brake(0).run(100, 300, 0.0F).keyDown(12);
        w.frame(100, 0.0F);
        all.push_back(
            {"keys",
             w,
             {{"selector, lamp, radio, buzzer",
               [](const FrameView& f) {
                   return f.core.routeSelect == 1 && f.core.lampOn == 1 && f.core.radioMode == 2 &&
                          f.core.buzzerVolume == 0;
               }},
              {"buzzer released", [](const FrameView& f) { return f.core.sndBuzzerOffOut == 1; }},
              {"stop aspect brakes",
               [](const FrameView& f) { return f.core.brakeDemand == Demand::kEmergency; }},
              {"radio back to 1", [](const FrameView& f) { return f.core.radioMode == 1; }}}});
    }
    {  // Restarted runs: a new vehicle, Initialize mid-run, Dispose and Load.
        ScriptWriter w = startRun(100);
        w.beacon(kSection, 1).signal(0).run(100, 500, 10.0F).vehicleSpec(4).run(100, 300, 10.0F);
        w.initialize().run(100, 300, 10.0F).dispose().load().vehicleSpec(8).initialize();
        w.run(100, 300, 0.0F);
        all.push_back({"restart",
                       w,
                       {{"emergency on the 8-notch vehicle",
                         [](const FrameView& f) { return f.handles.brake == 9; }},
                        {"emergency on the 4-notch vehicle",
                         [](const FrameView& f) { return f.handles.brake == 5; }},
                        {"restart leaves the section", [](const FrameView& f) {
                             return f.legacyFrame && f.core.brakeDemand == Demand::kNone;
                         }}}});
    }
    {  // Hostile host values: wrapping times, float specials, extreme codes.
        ScriptWriter w;
        w.vehicleSpec(kIntMax).initialize().doorClose();
        w.beacon(kRoute, -250).beacon(kSection, 1).signal(kIntMin);
        w.frameAt(kIntMax - 250, 50.0F)
            .frameBits(100, 50.0F)
            .frameBits(100, 50.0F)
            .frameBits(100, 50.0F);
        w.beacon(kKindBlink, kIntMax).beacon(kLinkDoor, 1).beacon(kSpeedCheck, 0).doorOpen();
        w.beacon(kCpp, kIntMin, 0)
            .beacon(kCcp, kIntMax)
            .beacon(kSpb, kIntMin)
            .beacon(kClf, kIntMax);
        w.frameBits(100, std::numeric_limits<float>::quiet_NaN());
        w.frameBits(100, std::numeric_limits<float>::infinity());
        w.frameBits(0, -std::numeric_limits<float>::infinity());
        w.frameBits(100, std::numeric_limits<float>::denorm_min());
        w.frameBits(100, -0.0F).frameBits(100, -std::numeric_limits<float>::max());
        w.frameAt(kIntMin, 1.0e30F).frameAt(kIntMax, 0.0F).frameAt(0, 0.0F);
        w.beacon(kSpeedCheck, 0).beacon(kSection, 0).signal(kIntMax).beacon(kSpeedCheck, 0);
        w.frameAt(kIntMin + 1, 10.0F)
            .frameAt(kIntMax - 100, 10.0F)
            .brake(kIntMin)
            .keyDown(kSelectDown);
        w.frameBits(200, 10.0F).keyDown(kIntMin).keyUp(kIntMax).frameBits(100, 10.0F);
        all.push_back(
            {"hostile_values",
             w,
             {{"emergency notch wraps with a huge vehicle",
               [](const FrameView& f) { return f.handles.brake == kIntMin; }},
              {"time wrapped past the end of the int range",
               [](const FrameView& f) { return f.state.time < 0 && f.cache.deltaMs > 0; }},
              {"legacy frame after the section ends",
               [](const FrameView& f) { return f.legacyFrame; }}}});
    }
    return all;
}

// Plays a seed and reports the first milestone it misses, or null.
const char* missedMilestone(const Seed& seed) {
    std::size_t next = 0;
    const std::vector<std::uint8_t>& bytes = seed.script.bytes();
    runSession(bytes.data(), bytes.size(), [&](const FrameView& f) {
        if (next < seed.milestones.size() && seed.milestones[next].reached(f)) {
            ++next;
        }
    });
    return next < seed.milestones.size() ? seed.milestones[next].what : nullptr;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int trace(const std::string& name) {
    for (const Seed& seed : seeds()) {
        if (seed.name != name) {
            continue;
        }
        const std::vector<std::uint8_t>& bytes = seed.script.bytes();
        runSession(bytes.data(), bytes.size(), [](const FrameView& f) {
            const CVelt& v = f.core;
            (void)std::printf(
                "t=%d v=%g %s brake=%d power=%d demand=%d sig=%d cpp=%d/%g ccp=%d/%g "
                "spb=%d/%g clf=%d/%d ats1=%d/%d line=%d disp=%d,%d,%d,%d\n",
                f.state.time, static_cast<double>(f.state.speed), f.legacyFrame ? "legacy" : "velt",
                f.handles.brake, f.handles.power, number(v.brakeDemand), number(v.sigDemand),
                number(v.cppDemand), static_cast<double>(v.cppDistance), number(v.ccpDemand),
                static_cast<double>(v.ccpDistance), number(v.spbDemand),
                static_cast<double>(v.spbDistance), number(v.clfState), number(v.clfDemand),
                number(v.ats1State), number(v.ats1Pending), v.lineType, v.dispMode, v.dispLimit,
                v.dispTarget, v.dispAux);
        });
        return 0;
    }
    (void)std::fprintf(stderr, "no seed named %s\n", name.c_str());
    return 1;
}

int run(const std::string& mode, const std::filesystem::path& dir) {
    int failures = 0;
    for (const Seed& seed : seeds()) {
        const std::filesystem::path file = dir / (seed.name + ".bin");
        if (const char* missed = missedMilestone(seed)) {
            (void)std::fprintf(stderr, "seed %s never reaches: %s\n", seed.name.c_str(), missed);
            ++failures;
        }
        const std::vector<std::uint8_t>& bytes = seed.script.bytes();
        if (mode == "write") {
            std::ofstream out(file, std::ios::binary);
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            (void)std::printf("wrote %s (%zu bytes)\n", file.c_str(), bytes.size());
        } else if (readFile(file) != bytes) {
            (void)std::fprintf(stderr, "%s is missing or stale: run velt_fuzz_seeds write %s\n",
                               file.c_str(), dir.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace
}  // namespace velt::fuzz

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "trace") == 0) {
        return velt::fuzz::trace(argv[2]);
    }
    if (argc != 3 || (std::strcmp(argv[1], "write") != 0 && std::strcmp(argv[1], "check") != 0)) {
        (void)std::fprintf(stderr, "usage: %s write|check DIR | trace NAME\n", argv[0]);
        return 2;
    }
    return velt::fuzz::run(argv[1], argv[2]);
}
