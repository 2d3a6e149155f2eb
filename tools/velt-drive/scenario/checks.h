// Findings about a scenario that velt-drive can tell before it runs it:
// things placed where the train never comes, beacon values velt ignores or
// takes as a cancel, settings given twice. Each says what happens instead.
// What only the drive can tell (the line category a beacon meets, a driver
// condition that already holds) the drive reports as it goes.
#pragma once

#include <string>
#include <vector>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

std::vector<Finding> checkScenario(const Scenario& scenario);

// "file:line:column: warning: text" (or "file: warning: text" for the file
// as a whole); `severity` is "warning" or "error".
std::string formatFinding(const std::string& file, const Finding& finding, const char* severity);

}  // namespace velt::drive
