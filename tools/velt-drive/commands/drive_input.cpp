#include "tools/velt-drive/commands/drive_input.h"

#include <algorithm>
#include <cctype>

#include "tools/velt-drive/route/reader.h"

namespace velt::drive {

bool isRouteFile(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find_first_of("/\\", dot) != std::string::npos)
        return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "csv" || extension == "rw";
}

std::unique_ptr<DriveInput> readDriveInput(const std::string& path, std::uint64_t seed) {
    auto input = std::make_unique<DriveInput>();
    if (isRouteFile(path)) {
        // A route alone: the default train, the timetable driver.
        input->scenario = parseScenario("", path);
        input->scenario.routeFile = path;
    } else {
        input->scenario = readScenario(path);
    }
    Scenario& scenario = input->scenario;
    if (scenario.routeFile.empty()) return input;
    RouteReadOptions options;
    options.seed = seed;
    ReadRoute read = readRoute(scenario.routeFile, options);
    input->routeWarnings = std::move(read.warnings);
    input->seed = read.route.seed;
    input->usedRandom = read.route.usedRandom;
    input->route.emplace(attachRoute(scenario, std::move(read.route)));
    input->routeDrive.track = &input->route->track;
    input->routeDrive.standing = input->route->standing;
    return input;
}

}  // namespace velt::drive
