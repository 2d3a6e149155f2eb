#include "tools/velt-drive/scenario/scenario.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>

#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/parser.h"
#include "tools/velt-drive/scenario/vehicle_file.h"

namespace velt::drive {

DiagnosticError scenarioError(const std::string& file, SourcePos pos, const std::string& text) {
    return DiagnosticError(diagnosticAt(Severity::Error, {file, pos.line, pos.column}, text));
}

namespace scenarioread {

Parser::Parser(const std::string& file, std::string trainPath)
    : file_(file), trainPath_(std::move(trainPath)) {
    scenario_.file = file;
    std::string base = file;
    const std::size_t slash = base.find_last_of("/\\");
    if (slash != std::string::npos) base = base.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
    scenario_.name = base.empty() ? "drive" : base;
}

Scenario Parser::run(std::string_view text) {
    // Editors on Windows may start a UTF-8 file with a byte order mark.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    requirePlainText(text, file_);
    int number = 0;
    while (!text.empty()) {
        const std::size_t newline = text.find('\n');
        const std::string_view raw = text.substr(0, newline);
        text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
        ++number;
        Line line(file_, number, raw);
        acknowledgement(line.comment(), number);
        if (line.empty()) continue;
        statement(line);
    }
    finish();
    return scenario_;
}

void Parser::statement(Line& line) {
    const Token& keyword = line.take("statement");
    const std::string& word = keyword.text;
    if (word == "vehicle") {
        vehicle(line, keyword);
    } else if (word == "start") {
        start(line, keyword);
    } else if (word == "frame") {
        once("frame", line.posOf(keyword));
        scenario_.frameMs =
            line.integer("frame interval", static_cast<std::int64_t>(kFrameRangeMs.low),
                         static_cast<std::int64_t>(kFrameRangeMs.high));
        line.expectWord("ms", "after the frame interval");
    } else if (word == "beacon") {
        beacon(line, keyword);
    } else if (word == "signal") {
        signal(line, keyword);
    } else if (word == "station") {
        station(line, keyword);
    } else if (word == "end") {
        end(line);
    } else if (word == "expect") {
        expect(line, keyword);
    } else if (word == "route") {
        once("route", line.posOf(keyword));
        const Token& path = line.take("route file");
        scenario_.routeFile = besideScenario(path.text);
        scenario_.routePos = line.posOf(path);
    } else if (word == "occupied") {
        occupied(line, keyword);
    } else if (word == "power" || word == "brake" || word == "reverser" || word == "key" ||
               word == "doors" || word == "horn" || word == "hold" || word == "jump") {
        driver(line, keyword);
    } else {
        line.fail(keyword, "unknown word '" + printable(word) + "'");
    }
    line.expectEnd();
}

// A setting given twice: the later line wins, which is rarely what the
// author meant when the two lines lie apart.
void Parser::once(const std::string& setting, SourcePos pos) {
    const auto [first, inserted] = firstLine_.insert({setting, pos.line});
    if (!inserted)
        scenario_.findings.push_back(scenario_.warningAt(
            pos, "'" + setting + "' is given again (first on line " +
                     std::to_string(first->second) + "): velt-drive uses this later value"));
}

// Checks that need the whole file: notches against the vehicle, names of
// stations used before their definition, the resistance curve.
void Parser::finish() {
    if (!trainPath_.empty()) {
        if (vehicleFile_)
            scenario_.findings.push_back(scenario_.warningAt(
                vehicleFile_->second, "--train " + trainPath_ + " replaces this train"));
        useTrain(scenario_, trainPath_, std::nullopt);
    } else if (vehicleFile_) {
        useTrain(scenario_, vehicleFile_->first, vehicleFile_->second);
    }
    VehicleParams& v = scenario_.vehicle;
    if (resistanceAtSpeed_) {
        const double rise = resistanceAtSpeed_->first - v.resistanceKmhS;
        if (rise < 0.0)
            throw scenarioError(file_, resistanceAtSpeedPos_,
                                "resistance at speed is below the resistance at standstill");
        v.dragPerKmh2 = rise / (resistanceAtSpeed_->second * resistanceAtSpeed_->second);
    }
    const int emergency = v.brakeNotches + 1;
    StartState& s = scenario_.start;
    if (s.power > v.powerNotches)
        throw scenarioError(file_, startPowerPos_,
                            "start power notch " + std::to_string(s.power) +
                                " is out of range 0 to " + std::to_string(v.powerNotches));
    if (s.brake == kBrakeHold) requireHoldBrake(startBrakePos_);
    if (s.brake == -1) s.brake = emergency;
    if (s.brake > emergency)
        throw scenarioError(file_, startBrakePos_,
                            "start brake notch " + std::to_string(s.brake) +
                                " is out of range 0 to " + std::to_string(emergency));
    if (s.speedKmh > v.maxSpeedKmh)
        throw scenarioError(file_, startSpeedPos_,
                            "start speed is above the vehicle's maximum speed");
    for (const auto& check : notchChecks_) {
        DriverAction& action = scenario_.driver[check.first];
        if (action.kind == DriverAction::Kind::Power && action.value > v.powerNotches)
            throw scenarioError(file_, check.second,
                                "power notch " + std::to_string(action.value) +
                                    " is out of range 0 to " + std::to_string(v.powerNotches));
        if (action.kind == DriverAction::Kind::Brake) {
            if (action.value == kBrakeHold) requireHoldBrake(check.second);
            if (action.value == -1) action.value = emergency;
            if (action.value > emergency)
                throw scenarioError(file_, check.second,
                                    "brake notch " + std::to_string(action.value) +
                                        " is out of range 0 to " + std::to_string(emergency));
        }
    }
    scenario_.stationRefs = stationRefs_;
    if (!scenario_.occupied.empty() && scenario_.routeFile.empty())
        throw scenarioError(file_, scenario_.occupied.front().pos,
                            "'occupied' needs a route: add a line 'route FILE'");
    // The route's stations are known only once it is read.
    if (!scenario_.routeFile.empty()) stationRefs_.clear();
    for (const auto& ref : stationRefs_) {
        bool found = false;
        for (const Station& station : scenario_.stations)
            found = found || station.name == ref.first;
        if (!found)
            throw scenarioError(file_, ref.second,
                                "no station named '" + printable(ref.first) + "'");
    }
    scenario_.endTimePos = endTimePos_;
    scenario_.endPositionPos = endPositionPos_;
}

// `brake hold` moves a hold brake's handle; a train without one has no such position.
void Parser::requireHoldBrake(SourcePos pos) const {
    if (scenario_.train && holdBrakeInUse(*scenario_.train)) return;
    throw scenarioError(file_, pos,
                        "'hold' is the hold brake's position, and this train has none: it "
                        "needs a vehicle file whose #DEVICE 4 is 1 (and a brake other than "
                        "the automatic air brake)");
}

}  // namespace scenarioread

Scenario parseScenario(const std::string& text, const std::string& file,
                       const std::string& trainPath) {
    return scenarioread::Parser(file, trainPath).run(text);
}

Scenario readScenario(const std::string& file, const std::string& trainPath) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored))
        throw scenarioError(file, {}, "is a directory, not a scenario file");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw scenarioError(file, {}, "cannot open the scenario file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw scenarioError(file, {}, "cannot read the scenario file");
    return parseScenario(content.str(), file, trainPath);
}

}  // namespace velt::drive
