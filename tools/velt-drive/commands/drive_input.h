// What a drive command reads: a scenario, which may name a route file, or
// a route file on its own (.csv, .rw), driven with the defaults.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

struct DriveInput {
    Scenario scenario;
    std::optional<ScenarioRoute> route;
    RouteDrive routeDrive;  // points into `route`
    std::vector<Diagnostic> routeWarnings;
    std::uint64_t seed = 0;
    bool usedRandom = false;

    [[nodiscard]] const RouteDrive* drive() const { return route ? &routeDrive : nullptr; }
};

// A route file rather than a scenario: by its extension.
bool isRouteFile(const std::string& path);

// Reads the scenario (or the route) and the route it names. Throws
// DiagnosticError. Stays where it was made (the route drive points into it).
std::unique_ptr<DriveInput> readDriveInput(const std::string& path, std::uint64_t seed);

}  // namespace velt::drive
