// velt-drive check FILE...: the findings of each scenario, and nothing
// written.
#pragma once

#include <string>
#include <vector>

namespace velt::drive {

int runCheckCommand(const std::vector<std::string>& files, const std::string& pluginPath,
                    bool strict, bool blackBox, const std::string& trainPath = {});

}  // namespace velt::drive
