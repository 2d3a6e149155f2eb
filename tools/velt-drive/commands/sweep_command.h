// velt-drive sweep SCENARIO --vary ...: the scenario once for every
// combination of values, and what came of each drive.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace velt::drive {

struct SweepCommand {
    std::string scenarioPath;
    std::vector<std::string> varies;
    std::string tablePath;
    std::string plotPath;
    int jobs = 0;  // 0: one per core
    bool quiet = false;
    bool strict = false;
    bool blackBox = false;
    std::uint64_t seed = 1;  // a route's random choices
};

int runSweepCommand(const SweepCommand& command, const std::string& pluginPath);

}  // namespace velt::drive
