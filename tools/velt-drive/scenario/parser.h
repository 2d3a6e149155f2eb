// The scenario parser's own state, shared by the files that read each kind
// of line: scenario.cpp (the file, the statements, the checks at the end),
// setting_lines.cpp (vehicle, start, paths), track_lines.cpp (beacons,
// signals, stations, standing trains), driver_lines.cpp (the driver's
// actions and when they happen), expect_lines.cpp (end and expect) and
// acknowledgements.cpp. Nothing outside this room includes it:
// parseScenario and readScenario in scenario.h are the way in.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive::scenarioread {

inline std::int64_t secondsToMs(double seconds) { return std::llround(seconds * 1000.0); }

// The ranges of what a scenario places and times.
constexpr double kTrackLimitM = kTrackRangeM.high;
constexpr double kDayS = 86400.0;

// Reads one scenario, line by line.
class Parser {
public:
    Parser(const std::string& file, std::string trainPath);

    Scenario run(std::string_view text);

private:
    // ---- the file and its statements (scenario.cpp)
    void statement(Line& line);
    void once(const std::string& setting, SourcePos pos);
    void finish();
    void requireHoldBrake(SourcePos pos) const;

    // ---- "velt-drive: allow" in a comment (acknowledgements.cpp)
    void acknowledgement(std::string_view comment, int number);

    // ---- vehicle, start and route (setting_lines.cpp)
    void vehicle(Line& line, const Token& keyword);
    void start(Line& line, const Token& keyword);
    std::int32_t clock(Line& line, const std::string& what);
    int brakeNotch(Line& line, const std::string& what);
    int reverserPosition(Line& line);
    [[nodiscard]] std::string besideScenario(const std::string& path) const;

    // ---- what lies along the track (track_lines.cpp)
    void beacon(Line& line, const Token& keyword);
    void occupied(Line& line, const Token& keyword);
    void signal(Line& line, const Token& keyword);
    void station(Line& line, const Token& keyword);

    // ---- the driver (driver_lines.cpp)
    Trigger pointInTimeOrSpace(Line& line, bool stations);
    void driver(Line& line, const Token& keyword);

    // ---- how the drive ends and what it must show (expect_lines.cpp)
    void end(Line& line);
    void expect(Line& line, const Token& keyword);

    std::string file_;
    std::string trainPath_;  // --train: replaces any `vehicle file`
    std::optional<std::pair<std::string, SourcePos>> vehicleFile_;
    Scenario scenario_;
    std::map<std::string, int> firstLine_;  // setting -> the line that first gave it
    std::optional<std::pair<double, double>> resistanceAtSpeed_;
    SourcePos resistanceAtSpeedPos_;
    SourcePos startSpeedPos_, startPowerPos_, startBrakePos_;
    SourcePos endTimePos_, endPositionPos_;
    std::vector<std::pair<std::size_t, SourcePos>> notchChecks_;
    std::vector<std::pair<std::string, SourcePos>> stationRefs_;
};

}  // namespace velt::drive::scenarioread
