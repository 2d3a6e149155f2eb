// velt-drive SCENARIO: one drive, with every output it writes.
#pragma once

#include <cstdint>
#include <string>

namespace velt::drive {

struct RunOptions {
    std::string scenarioPath;
    std::string pluginPath;
    std::string tracePath;
    std::string plotPath;
    std::string timePlotPath;
    std::string reportPath;
    std::string eventsPath;
    std::string callsPath;
    std::uint64_t seed = 1;  // what a route's random choices draw from
    bool quiet = false;
    bool strict = false;
    bool blackBox = false;
};

int runDriveCommand(const RunOptions& options);

}  // namespace velt::drive
