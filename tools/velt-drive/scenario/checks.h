// Findings about a scenario that velt-drive can tell before it runs it:
// things placed where the train never comes, beacon values velt ignores or
// takes as a cancel, settings given twice. Each says what happens instead.
// What only the drive can tell (the line category a beacon meets, a driver
// condition that already holds) the drive reports as it goes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

// What velt makes of a beacon's type and value, when it is not what an
// author would mean: a type it ignores, a value that arms nothing or
// switches a pattern off. Empty when the beacon does what it says.
std::string beaconValueFinding(std::int32_t type, std::int32_t optional);

// The parser's findings and these, as warnings, in the order of the file.
std::vector<Diagnostic> checkScenario(const Scenario& scenario);

}  // namespace velt::drive
