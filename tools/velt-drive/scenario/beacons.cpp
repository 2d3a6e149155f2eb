#include "tools/velt-drive/scenario/beacons.h"

namespace velt::drive {

namespace {

struct BeaconTypeWords {
    std::int32_t type;
    const char* word;   // as written in a scenario
    const char* label;  // as shown in the summary and the plot
};

constexpr BeaconTypeWords kBeaconTypes[] = {
    {cab::kBeaconSpp, "spp", "SPP"},
    {cab::kBeaconCpp, "cpp", "CPP"},
    {cab::kBeaconSpeedCheck, "speed-check", "speed check"},
    {cab::kBeaconCcp, "ccp", "CCP"},
    {cab::kBeaconClf, "clf", "CLF"},
    {cab::kBeaconSpb, "spb", "SPB"},
    {cab::kBeaconSection, "section", "section"},
    {cab::kBeaconRoute, "route", "route"},
    {cab::kBeaconDoorLink, "door-link", "door link"},
    {cab::kBeaconKindBlink, "kind-blink", "kind blink"},
};

}  // namespace

std::optional<std::int32_t> beaconTypeForWord(std::string_view word) {
    // The docs write the names in capitals (CPP, CCP) as often as not.
    const auto sameLetters = [](std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            const char c = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
            if (c != b[i]) return false;
        }
        return true;
    };
    for (const auto& entry : kBeaconTypes)
        if (sameLetters(word, entry.word)) return entry.type;
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
        case cab::kBeaconSpp: return "SPP " + std::to_string(opt);
        case cab::kBeaconCpp:
            return "CPP s" + std::to_string(beacon.signal) + " " + std::to_string(metres) + " m";
        case cab::kBeaconSpeedCheck: return "speed check";
        case cab::kBeaconCcp:
            return opt > 0 ? "CCP " + std::to_string(packedValue(opt) * kSpeedStepKmh) +
                                 " km/h in " + std::to_string(metres) + " m"
                           : "CCP off";
        case cab::kBeaconClf:
            return armsClf(opt) ? "CLF " + std::to_string(opt * kSpeedStepKmh) + " km/h"
                                : "CLF off";
        case cab::kBeaconSpb: return "SPB " + std::to_string(metres) + " m";
        case cab::kBeaconSection: return opt > 0 ? "section on" : "section off";
        case cab::kBeaconRoute: return "route " + std::to_string(opt);
        case cab::kBeaconDoorLink: return "door link " + std::to_string(opt);
        case cab::kBeaconKindBlink: return "kind blink " + std::to_string(opt);
        default: return "beacon " + std::to_string(beacon.type) + " (" + std::to_string(opt) + ")";
    }
}

}  // namespace velt::drive
