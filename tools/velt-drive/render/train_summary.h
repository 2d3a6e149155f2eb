// The summary's lines about the author's own train: the file and how it was
// read, the notches, the VehicleSpec the plug-in was told, the brake values
// in the host's numbering, the cars and length, what the scenario adjusted,
// and every figure that fell back to the host's default.
#pragma once

#include <string>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// Empty without a loaded train; else lines each ending in '\n'.
std::string trainSummary(const Scenario& scenario);

}  // namespace velt::drive
