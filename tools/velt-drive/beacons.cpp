#include "tools/velt-drive/beacons.h"

namespace velt::drive {

namespace {

struct BeaconTypeWords {
    std::int32_t type;
    const char* word;   // as written in a scenario
    const char* label;  // as shown in the summary and the plot
};

constexpr BeaconTypeWords kBeaconTypes[] = {
    {kBeaconSpp, "spp", "SPP"},
    {kBeaconCpp, "cpp", "CPP"},
    {kBeaconSpeedCheck, "speed-check", "speed check"},
    {kBeaconCcp, "ccp", "CCP"},
    {kBeaconClf, "clf", "CLF"},
    {kBeaconSpb, "spb", "SPB"},
    {kBeaconSection, "section", "section"},
    {kBeaconRoute, "route", "route"},
    {kBeaconDoorLink, "door-link", "door link"},
    {kBeaconKindBlink, "kind-blink", "kind blink"},
};

// CCP speeds come in steps of 5 km/h.
constexpr std::int32_t kCcpSpeedStepKmh = 5;
constexpr std::int32_t kClfSpeedStepKmh = 5;

}  // namespace

std::optional<std::int32_t> beaconTypeForWord(std::string_view word) {
    for (const auto& entry : kBeaconTypes)
        if (word == entry.word) return entry.type;
    return std::nullopt;
}

std::string beaconTypeName(std::int32_t type) {
    for (const auto& entry : kBeaconTypes)
        if (entry.type == type) return entry.label;
    return "";
}

PackedOptional unpackOptional(std::int32_t optional) {
    return {optional % 10000, optional / 10000};
}

std::int32_t lineCategoryOfRoute(std::int32_t code) { return code % 1000 / 100; }

std::optional<PatternTarget> patternTarget(const BeaconItem& beacon) {
    const PackedOptional packed = unpackOptional(beacon.optional);
    const double at = beacon.positionM + static_cast<double>(packed.metres);
    switch (beacon.type) {
        case kBeaconCpp: return PatternTarget{at, 0.0, beacon.signal == 0, "CPP target"};
        case kBeaconSpb: return PatternTarget{at, 0.0, true, "SPB target"};
        case kBeaconCcp:
            if (beacon.optional <= 0) return std::nullopt;
            return PatternTarget{at, static_cast<double>(packed.upper * kCcpSpeedStepKmh), false,
                                 "CCP target"};
        default: return std::nullopt;
    }
}

std::string beaconLabel(const BeaconItem& beacon) {
    const std::int32_t opt = beacon.optional;
    const PackedOptional packed = unpackOptional(opt);
    switch (beacon.type) {
        case kBeaconSpp: return "SPP " + std::to_string(opt);
        case kBeaconCpp:
            return "CPP s" + std::to_string(beacon.signal) + " " + std::to_string(packed.metres) +
                   " m";
        case kBeaconSpeedCheck: return "speed check";
        case kBeaconCcp:
            return opt > 0 ? "CCP " + std::to_string(packed.upper * kCcpSpeedStepKmh) +
                                 " km/h in " + std::to_string(packed.metres) + " m"
                           : "CCP off";
        case kBeaconClf:
            return opt >= kClfLowest && opt <= kClfHighest
                       ? "CLF " + std::to_string(opt * kClfSpeedStepKmh) + " km/h"
                       : "CLF off";
        case kBeaconSpb: return "SPB " + std::to_string(packed.metres) + " m";
        case kBeaconSection: return opt > 0 ? "section on" : "section off";
        case kBeaconRoute: return "route " + std::to_string(opt);
        case kBeaconDoorLink: return "door link " + std::to_string(opt);
        case kBeaconKindBlink: return "kind blink " + std::to_string(opt);
        default: return "beacon " + std::to_string(beacon.type) + " (" + std::to_string(opt) + ")";
    }
}

}  // namespace velt::drive
