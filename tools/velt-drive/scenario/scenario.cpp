#include "tools/velt-drive/scenario/scenario.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

DiagnosticError scenarioError(const std::string& file, SourcePos pos, const std::string& text) {
    return DiagnosticError(diagnosticAt(Severity::Error, {file, pos.line, pos.column}, text));
}

namespace {

std::int64_t secondsToMs(double seconds) { return std::llround(seconds * 1000.0); }

// The ranges of what a scenario places and times.
constexpr double kTrackLimitM = kTrackRangeM.high;
constexpr double kDayS = 86400.0;

const UnitRange kTimeOrPosition[] = {{"s", "time", 0.0, kDayS},
                                     {"m", "position", -kTrackLimitM, kTrackLimitM}};

class Parser {
public:
    explicit Parser(const std::string& file) : file_(file) {
        scenario_.file = file;
        std::string base = file;
        const std::size_t slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base = base.substr(slash + 1);
        const std::size_t dot = base.find_last_of('.');
        if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
        scenario_.name = base.empty() ? "drive" : base;
    }

    Scenario run(std::string_view text) {
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
            if (line.empty()) continue;
            statement(line);
        }
        finish();
        return scenario_;
    }

private:
    void statement(Line& line) {
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
    void once(const std::string& setting, SourcePos pos) {
        const auto [first, inserted] = firstLine_.insert({setting, pos.line});
        if (!inserted)
            scenario_.findings.push_back(scenario_.warningAt(
                pos, "'" + setting + "' is given again (first on line " +
                         std::to_string(first->second) + "): velt-drive uses this later value"));
    }

    void vehicle(Line& line, const Token& keyword) {
        VehicleParams& v = scenario_.vehicle;
        const Token& field = line.take("vehicle field");
        const std::string& f = field.text;
        if (f == "power-notches") {
            v.powerNotches = line.integer("power notch count", 1, 50);
        } else if (f == "brake-notches") {
            v.brakeNotches = line.integer("brake notch count", 1, 50);
        } else if (f == "acceleration") {
            v.accelerationKmhS =
                line.quantity("acceleration", "km/h/s", kRateRangeKmhS.low, kRateRangeKmhS.high);
        } else if (f == "service-brake") {
            v.serviceBrakeKmhS = line.quantity("service brake rate", "km/h/s", kRateRangeKmhS.low,
                                               kRateRangeKmhS.high);
        } else if (f == "emergency-brake") {
            v.emergencyBrakeKmhS = line.quantity("emergency brake rate", "km/h/s",
                                                 kRateRangeKmhS.low, kRateRangeKmhS.high);
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

    void start(Line& line, const Token& keyword) {
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
            s.speedKmh = line.quantity("start speed", "km/h", kStartSpeedRangeKmh.low,
                                       kStartSpeedRangeKmh.high);
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
                line.fail(token,
                          "expected 'open' or 'closed', found '" + printable(token.text) + "'");
            }
        } else {
            line.fail(field, "unknown start field '" + printable(f) + "'");
        }
        once("start " + f, line.posOf(keyword));
    }

    std::int32_t clock(Line& line, const std::string& what) {
        const Token& token = line.take(what);
        const auto ms = parseClock(token.text);
        if (!ms)
            line.fail(token, "expected a time of day HH:MM[:SS[.mmm]], found '" +
                                 printable(token.text) + "'");
        return static_cast<std::int32_t>(*ms);
    }

    // A brake notch: a number, checked against the vehicle at the end, or
    // "emergency" (-1 until the notch count is known).
    int brakeNotch(Line& line, const std::string& what) {
        if (line.acceptWord("emergency")) return -1;
        return line.integer(what, 0, 51);
    }

    int reverserPosition(Line& line) {
        const Token& token = line.take("reverser position");
        if (token.text == "forward") return 1;
        if (token.text == "neutral") return 0;
        if (token.text == "backward") return -1;
        line.fail(token, "expected 'forward', 'neutral' or 'backward', found '" +
                             printable(token.text) + "'");
    }

    void beacon(Line& line, const Token& keyword) {
        BeaconItem item;
        item.pos = line.posOf(keyword);
        const Token& type = line.take("beacon type");
        if (const auto named = beaconTypeForWord(type.text)) {
            item.type = *named;
        } else {
            if (parseInteger(type.text).status == NumberStatus::Malformed)
                line.fail(type, "unknown beacon type '" + printable(type.text) + "'");
            item.type = line.integer("beacon type", type, 0, INT32_MAX);
        }
        line.expectWord("at", "before the beacon's position");
        item.positionM = line.quantity("beacon position", "m", -kTrackLimitM, kTrackLimitM);
        bool haveSignal = false;
        bool haveOptional = false;
        bool haveDistance = false;
        while (!line.atEnd()) {
            const Token& field = line.take("beacon field");
            if (field.text == "signal" && !haveSignal) {
                item.signal = line.integer("beacon signal", INT32_MIN, INT32_MAX);
                haveSignal = true;
            } else if (field.text == "optional" && !haveOptional) {
                item.optional = line.integer("beacon optional value", INT32_MIN, INT32_MAX);
                haveOptional = true;
            } else if (field.text == "distance" && !haveDistance) {
                item.distance =
                    static_cast<float>(line.quantity("beacon distance", "m", 0, kTrackLimitM));
                haveDistance = true;
            } else if (field.text == "signal" || field.text == "optional" ||
                       field.text == "distance") {
                line.fail(field, "beacon field '" + field.text + "' given twice");
            } else {
                line.fail(field, "unknown beacon field '" + printable(field.text) + "'");
            }
        }
        scenario_.beacons.push_back(item);
    }

    // A path written in the scenario is relative to the scenario's folder.
    [[nodiscard]] std::string besideScenario(const std::string& path) const {
        const std::filesystem::path written(path);
        if (written.is_absolute()) return path;
        return (std::filesystem::path(file_).parent_path() / written).generic_string();
    }

    // occupied section N [until TIME] | occupied at X m [until TIME]
    void occupied(Line& line, const Token& keyword) {
        OccupiedItem item;
        item.pos = line.posOf(keyword);
        const Token& how = line.take("'section' or 'at'");
        if (how.text == "section") {
            item.section = static_cast<int>(line.integer("section number", 0, 1000000));
        } else if (how.text == "at") {
            item.positionM = line.quantity("position of the standing train", "m", 0, kTrackLimitM);
        } else {
            line.fail(how, "expected 'section' or 'at' after 'occupied', found '" +
                               printable(how.text) + "'");
        }
        if (line.acceptWord("until")) item.untilMs = clock(line, "time of day it leaves");
        scenario_.occupied.push_back(item);
    }

    void signal(Line& line, const Token& keyword) {
        SignalItem item;
        item.pos = line.posOf(keyword);
        item.aspect = line.integer("signal aspect", 0, 255);
        const Token& at = line.take("'at' and a position or time for the signal");
        if (at.text != "at")
            line.fail(at, "expected 'at' before the signal's position or time, found '" +
                              printable(at.text) + "'");
        item.trigger = pointInTimeOrSpace(line, false);
        scenario_.signals.push_back(item);
    }

    void station(Line& line, const Token& keyword) {
        Station item;
        item.pos = line.posOf(keyword);
        const Token& name = line.take("station name");
        if (!name.quoted && (name.text == "at" || name.text == "window"))
            line.fail(name, "missing station name before '" + name.text + "'");
        item.name = name.text;
        line.expectWord("at", "before the station's position");
        item.positionM = line.quantity("station position", "m", -kTrackLimitM, kTrackLimitM);
        if (line.acceptWord("window"))
            item.windowM = line.quantity("station window", "m", 0.1, 1000);
        for (const Station& other : scenario_.stations)
            if (other.name == item.name)
                line.fail(name, "station '" + printable(item.name) + "' is defined twice");
        scenario_.stations.push_back(item);
    }

    void end(Line& line) {
        EndCondition& e = scenario_.end;
        const Token& word = line.take("'at' or 'when stopped'");
        if (word.text == "when") {
            line.expectWord("stopped", "after 'end when'");
            e.whenStopped = true;
        } else if (word.text == "at") {
            // The first end that holds ends the drive: the earliest time and
            // the nearest position.
            const Measure m = line.measure("end time or position",
                                           {{"s", "end time", 0.001, kDayS},
                                            {"m", "end position", -kTrackLimitM, kTrackLimitM}});
            if (m.unit == 0) {
                const std::int64_t ms = secondsToMs(m.value);
                if (!e.elapsedMs || ms < *e.elapsedMs) {
                    e.elapsedMs = ms;
                    endTimePos_ = line.posOf(word);
                }
            } else if (!e.positionM || m.value < *e.positionM) {
                e.positionM = m.value;
                endPositionPos_ = line.posOf(word);
            }
        } else {
            line.fail(word, "expected 'at' or 'when stopped' after 'end', found '" +
                                printable(word.text) + "'");
        }
    }

    // expect stop before X m | stop between A m and B m | [no] EVENT |
    // warning at least T s before brake | speed below|above V km/h at X m
    void expect(Line& line, const Token& keyword) {
        Expectation e;
        e.pos = line.posOf(keyword);
        const Token& what = line.take("what is expected ('stop', 'no', 'speed', 'warning', ...)");
        e.text = line.textFrom(what.column);
        const auto position = [&](const char* name) {
            return line.quantity(name, "m", -kTrackLimitM, kTrackLimitM);
        };
        if (what.text == "stop") {
            const Token& how = line.take("'before' or 'between' after 'expect stop'");
            if (how.text == "before") {
                e.kind = Expectation::Kind::StopBefore;
                e.positionM = position("stop position");
            } else if (how.text == "between") {
                e.kind = Expectation::Kind::StopBetween;
                e.positionM = position("nearest stop position");
                line.expectWord("and", "between the two stop positions");
                const Token& far = line.peekRequired("farthest stop position");
                e.untilM = position("farthest stop position");
                if (e.untilM < e.positionM)
                    line.fail(far,
                              "the farthest stop position is before the nearest; write the "
                              "nearer position first");
            } else {
                line.fail(how, "expected 'before' or 'between' after 'expect stop', found '" +
                                   printable(how.text) + "'");
            }
        } else if (what.text == "speed") {
            const Token& how = line.take("'below' or 'above' after 'expect speed'");
            if (how.text != "below" && how.text != "above")
                line.fail(how, "expected 'below' or 'above' after 'expect speed', found '" +
                                   printable(how.text) + "'");
            e.kind =
                how.text == "below" ? Expectation::Kind::SpeedBelow : Expectation::Kind::SpeedAbove;
            e.speedKmh = line.quantity("speed", "km/h", 0, 500);
            line.expectWord("at", "and the position after the speed");
            e.positionM = position("position");
        } else if (what.text == "warning" && line.peekIs("at")) {
            line.expectWord("at", "after 'expect warning'");
            line.expectWord("least", "after 'expect warning at'");
            e.kind = Expectation::Kind::WarningLead;
            e.seconds = line.quantity("warning time", "s", 0, kDayS);
            line.expectWord("before", "after the warning time");
            line.expectWord("brake", "after 'before'");
        } else {
            e.kind = Expectation::Kind::Happens;
            const Token* event = &what;
            if (what.text == "no") {
                e.kind = Expectation::Kind::Never;
                event = &line.take("what must not happen after 'expect no'");
            }
            if (event->text == "brake") {
                e.event = Expectation::Event::Brake;
            } else if (event->text == "emergency-brake") {
                e.event = Expectation::Event::EmergencyBrake;
            } else if (event->text == "service-brake") {
                e.event = Expectation::Event::ServiceBrake;
            } else if (event->text == "warning") {
                e.event = Expectation::Event::Warning;
            } else {
                line.fail(*event, "unknown expectation '" + printable(event->text) +
                                      "'; expected 'stop', 'speed', 'warning', 'brake', "
                                      "'emergency-brake', 'service-brake' or 'no'");
            }
        }
        scenario_.expectations.push_back(e);
    }

    // After "at": a time since the start ("61.5 s"), a time of day ("10:01:00"),
    // a position ("1200 m") or, for the driver, "the station" / "station NAME".
    Trigger pointInTimeOrSpace(Line& line, bool stations) {
        Trigger trigger;
        const Token& next = line.peekRequired("position or time after 'at'");
        if (stations && (next.text == "the" || next.text == "station")) {
            const Token& token = line.take("station");
            if (token.text == "the") line.expectWord("station", "after 'at the'");
            trigger.kind = Trigger::Kind::AtStation;
            if (token.text == "station") {
                const Token& name = line.take("station name");
                trigger.station = name.text;
                stationRefs_.emplace_back(name.text, line.posOf(name));
            }
            return trigger;
        }
        if (next.text.find(':') != std::string::npos) {
            trigger.kind = Trigger::Kind::TimeOfDay;
            trigger.ms = clock(line, "time of day");
            return trigger;
        }
        const Measure m =
            line.measure("position or time", {kTimeOrPosition[0], kTimeOrPosition[1]});
        if (m.unit == 0) {
            trigger.kind = Trigger::Kind::Elapsed;
            trigger.ms = secondsToMs(m.value);
        } else {
            trigger.kind = Trigger::Kind::Position;
            trigger.value = m.value;
        }
        return trigger;
    }

    void driver(Line& line, const Token& keyword) {
        DriverAction action;
        action.pos = line.posOf(keyword);
        action.text = line.textFrom(keyword.column);
        const std::string& w = keyword.text;
        bool releasable = false;
        if (w == "power") {
            action.kind = DriverAction::Kind::Power;
            action.value = line.integer("power notch", 0, 50);
            releasable = true;
        } else if (w == "brake") {
            action.kind = DriverAction::Kind::Brake;
            action.value = brakeNotch(line, "brake notch");
            releasable = true;
        } else if (w == "reverser") {
            action.kind = DriverAction::Kind::Reverser;
            action.value = reverserPosition(line);
        } else if (w == "key") {
            action.kind = DriverAction::Kind::Key;
            action.value = line.integer("key number", 0, 15);
            releasable = true;
        } else if (w == "doors") {
            const Token& token = line.take("'open' or 'close'");
            if (token.text == "open") {
                action.kind = DriverAction::Kind::DoorsOpen;
            } else if (token.text == "close") {
                action.kind = DriverAction::Kind::DoorsClose;
            } else {
                line.fail(token, "expected 'open' or 'close' after 'doors', found '" +
                                     printable(token.text) + "'");
            }
        } else if (w == "hold") {
            action.kind = DriverAction::Kind::Hold;
            action.speedKmh = line.quantity("speed to hold", "km/h", kHoldSpeedRangeKmh.low,
                                            kHoldSpeedRangeKmh.high);
            releasable = true;
        } else if (w == "jump") {
            action.kind = DriverAction::Kind::Jump;
            line.expectWord("to", "after 'jump'");
            action.positionM = line.quantity("jump position", "m", -kTrackLimitM, kTrackLimitM);
            line.expectWord("at", "and the time of day after the jump position");
            action.clockMs = clock(line, "time of day after the jump");
        } else {
            action.kind = DriverAction::Kind::Horn;
        }
        bool haveTrigger = false;
        bool haveRelease = false;
        while (!line.atEnd()) {
            const Token& clause = line.take("clause");
            const std::string& c = clause.text;
            const bool isTrigger = c == "at" || c == "when" || c == "after";
            const bool isRelease = c == "until" || c == "for";
            if (isTrigger && haveTrigger)
                line.fail(clause, "the action already has a time or place ('" + c + "')");
            if (isRelease && haveRelease)
                line.fail(clause, "the action already has an end ('" + c + "')");
            if (isRelease && !releasable)
                line.fail(clause, "'" + c + "' has no meaning for '" + std::string(w) + "'");
            if (c == "at") {
                action.trigger = pointInTimeOrSpace(line, true);
            } else if (c == "when") {
                const Token& how = line.take("'above', 'below' or 'stopped' after 'when'");
                if (how.text == "stopped") {
                    action.trigger.kind = Trigger::Kind::Stopped;
                } else if (how.text == "above" || how.text == "below") {
                    action.trigger.kind =
                        how.text == "above" ? Trigger::Kind::SpeedAbove : Trigger::Kind::SpeedBelow;
                    action.trigger.value = line.quantity("speed", "km/h", 0, 500);
                } else {
                    line.fail(how, "expected 'above', 'below' or 'stopped' after 'when', found '" +
                                       printable(how.text) + "'");
                }
            } else if (c == "after") {
                action.trigger.kind = Trigger::Kind::After;
                action.trigger.ms = secondsToMs(line.quantity("delay", "s", 0, kDayS));
            } else if (c == "until") {
                if (action.kind == DriverAction::Kind::Key)
                    line.fail(clause, "a key is held 'for' a time, not 'until'");
                if (line.acceptWord("stopped")) {
                    action.release.kind = Release::Kind::Stopped;
                } else {
                    const Measure m = line.measure(
                        "speed or position", {{"km/h", "speed", 0, 500},
                                              {"m", "position", -kTrackLimitM, kTrackLimitM}});
                    action.release.kind =
                        m.unit == 0 ? Release::Kind::Speed : Release::Kind::Position;
                    action.release.value = m.value;
                }
            } else if (c == "for") {
                action.release.kind = Release::Kind::Duration;
                action.release.ms = secondsToMs(line.quantity("duration", "s", 0.001, kDayS));
            } else {
                line.fail(clause, "unknown word '" + printable(c) + "'");
            }
            haveTrigger = haveTrigger || isTrigger;
            haveRelease = haveRelease || isRelease;
        }
        notchChecks_.emplace_back(scenario_.driver.size(), line.posOf(keyword));
        scenario_.driver.push_back(action);
    }

    // Checks that need the whole file: notches against the vehicle, names of
    // stations used before their definition, the resistance curve.
    void finish() {
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
        if (s.brake < 0) s.brake = emergency;
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
                if (action.value < 0) action.value = emergency;
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

    std::string file_;
    Scenario scenario_;
    std::map<std::string, int> firstLine_;  // setting -> the line that first gave it
    std::optional<std::pair<double, double>> resistanceAtSpeed_;
    SourcePos resistanceAtSpeedPos_;
    SourcePos startSpeedPos_, startPowerPos_, startBrakePos_;
    SourcePos endTimePos_, endPositionPos_;
    std::vector<std::pair<std::size_t, SourcePos>> notchChecks_;
    std::vector<std::pair<std::string, SourcePos>> stationRefs_;
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& file) {
    return Parser(file).run(text);
}

Scenario readScenario(const std::string& file) {
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored))
        throw scenarioError(file, {}, "is a directory, not a scenario file");
    std::ifstream in(file, std::ios::binary);
    if (!in) throw scenarioError(file, {}, "cannot open the scenario file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw scenarioError(file, {}, "cannot read the scenario file");
    return parseScenario(content.str(), file);
}

}  // namespace velt::drive
