// The lines that set the drive up: the vehicle (or its file), the start,
// and the paths a scenario names beside itself.
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/parser.h"
#include "tools/velt-drive/scenario/vehicle_file.h"

namespace velt::drive::scenarioread {

void Parser::vehicle(Line& line, const Token& keyword) {
    VehicleParams& v = scenario_.vehicle;
    const Token& field = line.take("vehicle field");
    const std::string& f = field.text;
    if (f == "file") {
        once("vehicle file", line.posOf(keyword));
        const Token& path = line.take("train file or folder");
        vehicleFile_ = {trainPathFrom(file_, path.text), line.posOf(path)};
        return;
    }
    scenario_.vehicleLines.push_back({f, line.posOf(keyword)});
    if (f == "power-notches") {
        v.powerNotches = line.integer("power notch count", 1, 50);
    } else if (f == "brake-notches") {
        v.brakeNotches = line.integer("brake notch count", 1, 50);
    } else if (f == "acceleration") {
        v.accelerationKmhS =
            line.quantity("acceleration", "km/h/s", kRateRangeKmhS.low, kRateRangeKmhS.high);
    } else if (f == "service-brake") {
        v.serviceBrakeKmhS =
            line.quantity("service brake rate", "km/h/s", kRateRangeKmhS.low, kRateRangeKmhS.high);
    } else if (f == "emergency-brake") {
        v.emergencyBrakeKmhS = line.quantity("emergency brake rate", "km/h/s", kRateRangeKmhS.low,
                                             kRateRangeKmhS.high);
    } else if (f == "max-speed") {
        v.maxSpeedKmh = line.quantity("maximum speed", "km/h", 1, 500);
    } else if (f == "cars") {
        v.cars = line.integer("car count", 1, 100);
    } else if (f == "car-length") {
        v.carLengthM = line.quantity("car length", "m", 1, 100);
    } else if (f == "resistance") {
        const SourcePos numberPos = line.peek() ? line.posOf(*line.peek()) : line.posOf(field);
        const double rate = line.quantity("resistance", "km/h/s", 0, 50);
        if (line.acceptWord("at")) {
            once("vehicle resistance ... at", line.posOf(keyword));
            const double speed = line.quantity("speed of the resistance", "km/h", 1, 500);
            resistanceAtSpeed_ = {rate, speed};
            resistanceAtSpeedPos_ = numberPos;
            return;
        }
        v.resistanceKmhS = rate;
    } else {
        line.fail(field, "unknown vehicle field '" + printable(f) + "'");
    }
    once("vehicle " + f, line.posOf(keyword));
}

void Parser::start(Line& line, const Token& keyword) {
    StartState& s = scenario_.start;
    const Token& field = line.take("start field");
    const std::string& f = field.text;
    // A route says where and when its train starts, standing.
    if ((f == "time" || f == "position" || f == "speed") && scenario_.placedStart.line == 0)
        scenario_.placedStart = line.posOf(keyword);
    if (f == "time") {
        s.timeOfDayMs = clock(line, "time of day");
    } else if (f == "position") {
        s.positionM = line.quantity("start position", "m", -kTrackLimitM, kTrackLimitM);
    } else if (f == "speed") {
        s.speedKmh =
            line.quantity("start speed", "km/h", kStartSpeedRangeKmh.low, kStartSpeedRangeKmh.high);
        startSpeedPos_ = line.posOf(field);
    } else if (f == "power") {
        startPowerPos_ = line.peek() ? line.posOf(*line.peek()) : line.posOf(field);
        s.power = line.integer("start power notch", 0, 50);
    } else if (f == "brake") {
        startBrakePos_ = line.peek() ? line.posOf(*line.peek()) : line.posOf(field);
        s.brake = brakeNotch(line, "start brake notch");
    } else if (f == "reverser") {
        s.reverser = reverserPosition(line);
    } else if (f == "doors") {
        const Token& token = line.take("door state");
        if (token.text == "closed") {
            s.doorsClosed = true;
        } else if (token.text == "open") {
            s.doorsClosed = false;
        } else {
            line.fail(token, "expected 'open' or 'closed', found '" + printable(token.text) + "'");
        }
    } else {
        line.fail(field, "unknown start field '" + printable(f) + "'");
    }
    once("start " + f, line.posOf(keyword));
}

std::int32_t Parser::clock(Line& line, const std::string& what) {
    const Token& token = line.take(what);
    const auto ms = parseClock(token.text);
    if (!ms)
        line.fail(token,
                  "expected a time of day HH:MM[:SS[.mmm]], found '" + printable(token.text) + "'");
    return static_cast<std::int32_t>(*ms);
}

// A brake notch: a number, checked against the vehicle at the end,
// "emergency" (-1 until the notch count is known) or "hold" (kBrakeHold).
int Parser::brakeNotch(Line& line, const std::string& what) {
    if (line.acceptWord("emergency")) return -1;
    if (line.acceptWord("hold")) return kBrakeHold;
    return line.integer(what, 0, 51);
}

int Parser::reverserPosition(Line& line) {
    const Token& token = line.take("reverser position");
    if (token.text == "forward") return 1;
    if (token.text == "neutral") return 0;
    if (token.text == "backward") return -1;
    line.fail(token,
              "expected 'forward', 'neutral' or 'backward', found '" + printable(token.text) + "'");
}

// A path written in the scenario is relative to the scenario's folder.
std::string Parser::besideScenario(const std::string& path) const {
    const std::filesystem::path written(path);
    if (written.is_absolute()) return path;
    return (std::filesystem::path(file_).parent_path() / written).generic_string();
}
}  // namespace velt::drive::scenarioread
