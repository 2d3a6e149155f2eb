#include "tools/velt-drive/scenario/beacons.h"

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

std::string beaconLabel(const BeaconItem& beacon) {
    const std::int32_t opt = beacon.optional;
    const std::int32_t metres = packedMetres(opt);
    switch (beacon.type) {
        case kBeaconSpp: return "SPP " + std::to_string(opt);
        case kBeaconCpp:
            return "CPP s" + std::to_string(beacon.signal) + " " + std::to_string(metres) + " m";
        case kBeaconSpeedCheck: return "speed check";
        case kBeaconCcp:
            return opt > 0 ? "CCP " + std::to_string(packedValue(opt) * kSpeedStepKmh) +
                                 " km/h in " + std::to_string(metres) + " m"
                           : "CCP off";
        case kBeaconClf:
            return armsClf(opt) ? "CLF " + std::to_string(opt * kSpeedStepKmh) + " km/h"
                                : "CLF off";
        case kBeaconSpb: return "SPB " + std::to_string(metres) + " m";
        case kBeaconSection: return opt > 0 ? "section on" : "section off";
        case kBeaconRoute: return "route " + std::to_string(opt);
        case kBeaconDoorLink: return "door link " + std::to_string(opt);
        case kBeaconKindBlink: return "kind blink " + std::to_string(opt);
        default: return "beacon " + std::to_string(beacon.type) + " (" + std::to_string(opt) + ")";
    }
}

}  // namespace velt::drive
