// The floor of a frame: what any Elapse must do however little it decides.
#pragma once

#include <cstdint>

#include "host/plugin_abi.h"

namespace velt::bench {

// Same signature and calling pattern as ::Elapse. Writes the 17 panel
// and 16 sound indices that every frame writes and returns the handles,
// copying them from outputs held in a static record. Nothing else.
HandleCommand floorElapse(VehicleState state, std::int32_t* panel, std::int32_t* sound);

}  // namespace velt::bench
