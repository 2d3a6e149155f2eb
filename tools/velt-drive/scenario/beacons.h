// What a beacon's numbers mean to velt, for the parser, the summary, the
// plot and the checks. The values are decoded by the core's own functions
// (core/beacons.h), so the packing of `optional` has one home.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/beacons.h"
#include "core/cab.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// The type for a name written in a scenario ("cpp", "route").
std::optional<std::int32_t> beaconTypeForWord(std::string_view word);

// Short name of a beacon type ("CPP", "route"), or "" for a type velt ignores.
std::string beaconTypeName(std::int32_t type);

// One line about the beacon for the plot: "CCP 45 km/h in 800 m".
std::string beaconLabel(const BeaconItem& beacon);

}  // namespace velt::drive
