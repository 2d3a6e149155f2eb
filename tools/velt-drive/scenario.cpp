#include "tools/velt-drive/scenario.h"

#include <fstream>
#include <sstream>

#include "tools/velt-drive/number_format.h"

namespace velt::drive {

ScenarioError::ScenarioError(const std::string& file, SourcePos pos, const std::string& text)
    : std::runtime_error(file + (pos.line > 0 ? ":" + std::to_string(pos.line) + ":" +
                                                    std::to_string(pos.column)
                                              : std::string()) +
                         ": " + text),
      file_(file),
      pos_(pos),
      text_(text) {}

namespace {

struct BeaconTypeName {
    std::int32_t type;
    const char* word;   // as written in a scenario
    const char* label;  // as shown in the summary and the plot
};

constexpr BeaconTypeName kBeaconTypeNames[] = {
    {1, "spp", "SPP"},          {10, "cpp", "CPP"},          {11, "speed-check", "speed check"},
    {12, "ccp", "CCP"},         {13, "clf", "CLF"},          {15, "spb", "SPB"},
    {20, "section", "section"}, {21, "route", "route"},      {22, "door-link", "door link"},
    {24, "kind-blink", "kind blink"},
};

struct Token {
    std::string text;
    int column = 0;
    bool quoted = false;
};

// One line split into words. '#' starts a comment; "..." keeps spaces.
class Line {
public:
    Line(const std::string& file, int number, const std::string& text) : file_(file), number_(number) {
        std::size_t i = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i;
                continue;
            }
            if (c == '#') break;
            Token token;
            token.column = static_cast<int>(i) + 1;
            if (c == '"') {
                const std::size_t close = text.find('"', i + 1);
                if (close == std::string::npos) fail(token.column, "unterminated quoted name");
                token.text = text.substr(i + 1, close - i - 1);
                token.quoted = true;
                i = close + 1;
            } else {
                const std::size_t end = text.find_first_of(" \t\r#", i);
                const std::size_t stop = end == std::string::npos ? text.size() : end;
                token.text = text.substr(i, stop - i);
                i = stop;
            }
            tokens_.push_back(token);
        }
        endColumn_ = static_cast<int>(text.find_last_not_of(" \t\r") + 2);
        if (endColumn_ < 1) endColumn_ = 1;
        const std::size_t hash = text.find('#');
        if (hash != std::string::npos && !tokens_.empty()) {
            const Token& last = tokens_.back();
            endColumn_ = last.column + static_cast<int>(last.text.size()) + (last.quoted ? 2 : 0);
        }
    }

    bool empty() const { return tokens_.empty(); }
    bool atEnd() const { return next_ >= tokens_.size(); }
    int number() const { return number_; }
    SourcePos posOf(const Token& token) const { return {number_, token.column}; }
    SourcePos start() const { return {number_, tokens_.empty() ? 1 : tokens_[0].column}; }

    const Token* peek() const { return atEnd() ? nullptr : &tokens_[next_]; }
    bool peekIs(const char* word) const { return !atEnd() && tokens_[next_].text == word; }

    // The next word; `what` names the value for the message when it is missing.
    const Token& take(const std::string& what) {
        if (atEnd()) fail(endColumn_, "missing " + what);
        return tokens_[next_++];
    }

    void expectWord(const char* word, const std::string& context) {
        const Token& token = take("'" + std::string(word) + "' " + context);
        if (token.text != word)
            fail(token.column, "expected '" + std::string(word) + "' " + context + ", found '" + token.text + "'");
    }

    bool acceptWord(const char* word) {
        if (!peekIs(word)) return false;
        ++next_;
        return true;
    }

    void expectEnd() {
        if (!atEnd()) fail(tokens_[next_].column, "unexpected '" + tokens_[next_].text + "'");
    }

    std::int32_t integer(const std::string& what, std::int64_t low, std::int64_t high) {
        const Token& token = take(what);
        const auto value = parseInt32(token.text);
        if (!value) fail(token.column, "expected an integer for " + what + ", found '" + token.text + "'");
        if (*value < low || *value > high)
            fail(token.column, what + " " + token.text + " is out of range " + std::to_string(low) + " to " +
                                   std::to_string(high));
        return *value;
    }

    double decimal(const std::string& what, const Token& token) {
        const auto value = parseDecimal(token.text);
        if (!value) fail(token.column, "expected a number for " + what + ", found '" + token.text + "'");
        return *value;
    }

    // A number followed by its unit word, e.g. "600 m" or "45 km/h".
    double quantity(const std::string& what, const char* unit, double low, double high) {
        const Token& token = take(what);
        const double value = decimal(what, token);
        expectUnit(unit, token);
        checkRange(what, token, value, low, high);
        return value;
    }

    void expectUnit(const char* unit, const Token& number) {
        if (atEnd())
            fail(endColumn_, "missing unit '" + std::string(unit) + "' after " + number.text);
        const Token& token = tokens_[next_];
        if (token.text != unit)
            fail(token.column, "expected unit '" + std::string(unit) + "' after " + number.text + ", found '" +
                                   token.text + "'");
        ++next_;
    }

    void checkRange(const std::string& what, const Token& token, double value, double low, double high) {
        if (value < low || value > high)
            fail(token.column, what + " " + token.text + " is out of range " + formatFixed(low, 0) + " to " +
                                   formatFixed(high, 0));
    }

    [[noreturn]] void fail(int column, const std::string& text) const {
        throw ScenarioError(file_, {number_, column}, text);
    }
    [[noreturn]] void fail(const Token& token, const std::string& text) const { fail(token.column, text); }

private:
    const std::string& file_;
    int number_;
    std::vector<Token> tokens_;
    std::size_t next_ = 0;
    int endColumn_ = 1;
};

// HH:MM, HH:MM:SS or HH:MM:SS.mmm as ms of the day.
std::optional<std::int64_t> parseClock(const std::string& text) {
    int fields[3] = {0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    std::int64_t fractionMs = 0;
    while (count < 3) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 2) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || (count > 0 && digits != 2)) return std::nullopt;
        fields[count++] = value;
        if (i == text.size()) break;
        if (text[i] == ':' && count < 3) {
            ++i;
            continue;
        }
        if (text[i] == '.' && count == 3) break;
        return std::nullopt;
    }
    if (count < 2) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != '.' || count != 3) return std::nullopt;
        ++i;
        int scale = 100;
        if (i == text.size()) return std::nullopt;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9' || scale == 0) return std::nullopt;
            fractionMs += (text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return ((fields[0] * 60LL + fields[1]) * 60LL + fields[2]) * 1000LL + fractionMs;
}

std::int64_t secondsToMs(double seconds) { return static_cast<std::int64_t>(seconds * 1000.0 + 0.5); }

class Parser {
public:
    Parser(const std::string& file) : file_(file) {
        scenario_.file = file;
        std::string base = file;
        const std::size_t slash = base.find_last_of("/\\");
        if (slash != std::string::npos) base = base.substr(slash + 1);
        const std::size_t dot = base.find_last_of('.');
        if (dot != std::string::npos && dot > 0) base = base.substr(0, dot);
        scenario_.name = base.empty() ? "drive" : base;
    }

    Scenario run(const std::string& text) {
        std::istringstream in(text);
        std::string raw;
        int number = 0;
        while (std::getline(in, raw)) {
            ++number;
            Line line(file_, number, raw);
            if (line.empty()) continue;
            statement(line, raw);
        }
        finish();
        return scenario_;
    }

private:
    void statement(Line& line, const std::string& raw) {
        const Token& keyword = line.take("statement");
        const std::string& word = keyword.text;
        if (word == "vehicle") {
            vehicle(line);
        } else if (word == "start") {
            start(line);
        } else if (word == "frame") {
            scenario_.frameMs = line.integer("frame interval", 1, 1000);
            line.expectWord("ms", "after the frame interval");
        } else if (word == "beacon") {
            beacon(line, keyword);
        } else if (word == "signal") {
            signal(line, keyword);
        } else if (word == "station") {
            station(line, keyword);
        } else if (word == "end") {
            end(line);
        } else if (word == "power" || word == "brake" || word == "reverser" || word == "key" ||
                   word == "doors" || word == "horn") {
            driver(line, keyword, raw);
        } else {
            line.fail(keyword, "unknown word '" + word + "'");
        }
        line.expectEnd();
    }

    void vehicle(Line& line) {
        VehicleParams& v = scenario_.vehicle;
        const Token& field = line.take("vehicle field");
        const std::string& f = field.text;
        if (f == "power-notches") {
            v.powerNotches = line.integer("power notch count", 1, 50);
        } else if (f == "brake-notches") {
            v.brakeNotches = line.integer("brake notch count", 1, 50);
        } else if (f == "acceleration") {
            v.accelerationKmhS = line.quantity("acceleration", "km/h/s", 0.01, 50);
        } else if (f == "service-brake") {
            v.serviceBrakeKmhS = line.quantity("service brake rate", "km/h/s", 0.01, 50);
        } else if (f == "emergency-brake") {
            v.emergencyBrakeKmhS = line.quantity("emergency brake rate", "km/h/s", 0.01, 50);
        } else if (f == "max-speed") {
            v.maxSpeedKmh = line.quantity("maximum speed", "km/h", 1, 500);
        } else if (f == "resistance") {
            const SourcePos numberPos = line.peek() ? line.posOf(*line.peek()) : line.posOf(field);
            const double rate = line.quantity("resistance", "km/h/s", 0, 50);
            if (line.acceptWord("at")) {
                const double speed = line.quantity("speed of the resistance", "km/h", 1, 500);
                resistanceAtSpeed_ = {rate, speed};
                resistanceAtSpeedPos_ = numberPos;
            } else {
                v.resistanceKmhS = rate;
            }
        } else {
            line.fail(field, "unknown vehicle field '" + f + "'");
        }
    }

    void start(Line& line) {
        StartState& s = scenario_.start;
        const Token& field = line.take("start field");
        const std::string& f = field.text;
        if (f == "time") {
            const Token& token = line.take("time of day");
            const auto ms = parseClock(token.text);
            if (!ms) line.fail(token, "expected a time of day HH:MM[:SS[.mmm]], found '" + token.text + "'");
            s.timeOfDayMs = static_cast<std::int32_t>(*ms);
        } else if (f == "position") {
            s.positionM = line.quantity("start position", "m", -1.0e6, 1.0e6);
        } else if (f == "speed") {
            s.speedKmh = line.quantity("start speed", "km/h", 0, 500);
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
                line.fail(token, "expected 'open' or 'closed', found '" + token.text + "'");
            }
        } else {
            line.fail(field, "unknown start field '" + f + "'");
        }
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
        line.fail(token, "expected 'forward', 'neutral' or 'backward', found '" + token.text + "'");
    }

    void beacon(Line& line, const Token& keyword) {
        BeaconItem item;
        item.pos = line.posOf(keyword);
        const Token& type = line.take("beacon type");
        bool named = false;
        for (const auto& entry : kBeaconTypeNames) {
            if (type.text == entry.word) {
                item.type = entry.type;
                named = true;
            }
        }
        if (!named) {
            const auto number = parseInt32(type.text);
            if (!number) line.fail(type, "unknown beacon type '" + type.text + "'");
            if (*number < 0) line.fail(type, "beacon type " + type.text + " is out of range 0 to 2147483647");
            item.type = *number;
        }
        line.expectWord("at", "before the beacon's position");
        item.positionM = line.quantity("beacon position", "m", -1.0e6, 1.0e6);
        bool haveSignal = false, haveOptional = false, haveDistance = false;
        while (!line.atEnd()) {
            const Token& field = line.take("beacon field");
            if (field.text == "signal" && !haveSignal) {
                item.signal = line.integer("beacon signal", INT32_MIN, INT32_MAX);
                haveSignal = true;
            } else if (field.text == "optional" && !haveOptional) {
                item.optional = line.integer("beacon optional value", INT32_MIN, INT32_MAX);
                haveOptional = true;
            } else if (field.text == "distance" && !haveDistance) {
                item.distance = static_cast<float>(line.quantity("beacon distance", "m", 0, 1.0e6));
                haveDistance = true;
            } else if (field.text == "signal" || field.text == "optional" || field.text == "distance") {
                line.fail(field, "beacon field '" + field.text + "' given twice");
            } else {
                line.fail(field, "unknown beacon field '" + field.text + "'");
            }
        }
        scenario_.beacons.push_back(item);
    }

    void signal(Line& line, const Token& keyword) {
        SignalItem item;
        item.pos = line.posOf(keyword);
        item.aspect = line.integer("signal aspect", 0, 255);
        const Token& at = line.take("'at' and a position or time for the signal");
        if (at.text != "at") line.fail(at, "expected 'at' before the signal's position or time, found '" + at.text + "'");
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
        item.positionM = line.quantity("station position", "m", -1.0e6, 1.0e6);
        if (line.acceptWord("window")) item.windowM = line.quantity("station window", "m", 0.1, 1000);
        for (const Station& other : scenario_.stations)
            if (other.name == item.name) line.fail(name, "station '" + item.name + "' is defined twice");
        scenario_.stations.push_back(item);
    }

    void end(Line& line) {
        EndCondition& e = scenario_.end;
        const Token& word = line.take("'at' or 'when stopped'");
        if (word.text == "when") {
            line.expectWord("stopped", "after 'end when'");
            e.whenStopped = true;
        } else if (word.text == "at") {
            const Token& number = line.take("end time or position");
            const double value = line.decimal("end time or position", number);
            const Token* unit = line.peek();
            if (unit && unit->text == "s") {
                line.checkRange("end time", number, value, 0.001, 86400.0);
                line.take("unit");
                e.elapsedMs = secondsToMs(value);
            } else if (unit && unit->text == "m") {
                line.checkRange("end position", number, value, -1.0e6, 1.0e6);
                line.take("unit");
                e.positionM = value;
            } else {
                line.expectUnit("s' or 'm", number);
            }
        } else {
            line.fail(word, "expected 'at' or 'when stopped' after 'end', found '" + word.text + "'");
        }
    }

    // After "at": a time since the start ("61.5 s"), a time of day ("10:01:00"),
    // a position ("1200 m") or, for the driver, "the station" / "station NAME".
    Trigger pointInTimeOrSpace(Line& line, bool stations) {
        Trigger trigger;
        const Token& token = line.take("position or time after 'at'");
        if (stations && (token.text == "the" || token.text == "station")) {
            if (token.text == "the") line.expectWord("station", "after 'at the'");
            trigger.kind = Trigger::Kind::AtStation;
            if (token.text == "station") {
                const Token& name = line.take("station name");
                trigger.station = name.text;
                stationRefs_.push_back({name.text, line.posOf(name)});
            }
            return trigger;
        }
        if (token.text.find(':') != std::string::npos) {
            const auto ms = parseClock(token.text);
            if (!ms) line.fail(token, "expected a time of day HH:MM[:SS[.mmm]], found '" + token.text + "'");
            trigger.kind = Trigger::Kind::TimeOfDay;
            trigger.ms = *ms;
            return trigger;
        }
        const double value = line.decimal("position or time", token);
        const Token* unit = line.peek();
        if (unit && unit->text == "s") {
            line.checkRange("time", token, value, 0, 86400.0);
            line.take("unit");
            trigger.kind = Trigger::Kind::Elapsed;
            trigger.ms = secondsToMs(value);
        } else if (unit && unit->text == "m") {
            line.checkRange("position", token, value, -1.0e6, 1.0e6);
            line.take("unit");
            trigger.kind = Trigger::Kind::Position;
            trigger.value = value;
        } else {
            line.expectUnit("s' or 'm", token);
        }
        return trigger;
    }

    void driver(Line& line, const Token& keyword, const std::string& raw) {
        DriverAction action;
        action.pos = line.posOf(keyword);
        std::string text = raw.substr(static_cast<std::size_t>(keyword.column - 1));
        const std::size_t hash = text.find('#');
        if (hash != std::string::npos) text = text.substr(0, hash);
        text = text.substr(0, text.find_last_not_of(" \t\r") + 1);
        action.text = text;
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
                line.fail(token, "expected 'open' or 'close' after 'doors', found '" + token.text + "'");
            }
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
            if (isTrigger && haveTrigger) line.fail(clause, "the action already has a time or place ('" + c + "')");
            if (isRelease && haveRelease) line.fail(clause, "the action already has an end ('" + c + "')");
            if (isRelease && !releasable) line.fail(clause, "'" + c + "' has no meaning for '" + w + "'");
            if (c == "at") {
                action.trigger = pointInTimeOrSpace(line, true);
            } else if (c == "when") {
                const Token& how = line.take("'above', 'below' or 'stopped' after 'when'");
                if (how.text == "stopped") {
                    action.trigger.kind = Trigger::Kind::Stopped;
                } else if (how.text == "above" || how.text == "below") {
                    action.trigger.kind = how.text == "above" ? Trigger::Kind::SpeedAbove : Trigger::Kind::SpeedBelow;
                    action.trigger.value = line.quantity("speed", "km/h", 0, 500);
                } else {
                    line.fail(how, "expected 'above', 'below' or 'stopped' after 'when', found '" + how.text + "'");
                }
            } else if (c == "after") {
                action.trigger.kind = Trigger::Kind::After;
                action.trigger.ms = secondsToMs(line.quantity("delay", "s", 0, 86400));
            } else if (c == "until") {
                if (action.kind == DriverAction::Kind::Key) line.fail(clause, "a key is held 'for' a time, not 'until'");
                if (line.acceptWord("stopped")) {
                    action.release.kind = Release::Kind::Stopped;
                } else {
                    const Token& number = line.take("speed or position after 'until'");
                    const double value = line.decimal("speed or position", number);
                    const Token* unit = line.peek();
                    if (unit && unit->text == "km/h") {
                        line.checkRange("speed", number, value, 0, 500);
                        action.release.kind = Release::Kind::Speed;
                    } else if (unit && unit->text == "m") {
                        line.checkRange("position", number, value, -1.0e6, 1.0e6);
                        action.release.kind = Release::Kind::Position;
                    } else {
                        line.expectUnit("km/h' or 'm", number);
                    }
                    line.take("unit");
                    action.release.value = value;
                }
            } else if (c == "for") {
                action.release.kind = Release::Kind::Duration;
                action.release.ms = secondsToMs(line.quantity("duration", "s", 0.001, 86400));
            } else {
                line.fail(clause, "unknown word '" + c + "'");
            }
            haveTrigger = haveTrigger || isTrigger;
            haveRelease = haveRelease || isRelease;
        }
        notchChecks_.push_back({scenario_.driver.size(), line.posOf(keyword)});
        scenario_.driver.push_back(action);
    }

    // Checks that need the whole file: notches against the vehicle, names of
    // stations used before their definition, the resistance curve.
    void finish() {
        VehicleParams& v = scenario_.vehicle;
        if (resistanceAtSpeed_) {
            const double rise = resistanceAtSpeed_->first - v.resistanceKmhS;
            if (rise < 0.0)
                throw ScenarioError(file_, resistanceAtSpeedPos_,
                                    "resistance at speed is below the resistance at standstill");
            v.dragPerKmh2 = rise / (resistanceAtSpeed_->second * resistanceAtSpeed_->second);
        }
        const int emergency = v.brakeNotches + 1;
        StartState& s = scenario_.start;
        if (s.power > v.powerNotches)
            throw ScenarioError(file_, startPowerPos_, "start power notch " + std::to_string(s.power) +
                                                           " is out of range 0 to " + std::to_string(v.powerNotches));
        if (s.brake < 0) s.brake = emergency;
        if (s.brake > emergency)
            throw ScenarioError(file_, startBrakePos_, "start brake notch " + std::to_string(s.brake) +
                                                           " is out of range 0 to " + std::to_string(emergency));
        if (s.speedKmh > v.maxSpeedKmh)
            throw ScenarioError(file_, startSpeedPos_, "start speed is above the vehicle's maximum speed");
        for (const auto& check : notchChecks_) {
            DriverAction& action = scenario_.driver[check.first];
            if (action.kind == DriverAction::Kind::Power && action.value > v.powerNotches)
                throw ScenarioError(file_, check.second, "power notch " + std::to_string(action.value) +
                                                             " is out of range 0 to " + std::to_string(v.powerNotches));
            if (action.kind == DriverAction::Kind::Brake) {
                if (action.value < 0) action.value = emergency;
                if (action.value > emergency)
                    throw ScenarioError(file_, check.second, "brake notch " + std::to_string(action.value) +
                                                                 " is out of range 0 to " + std::to_string(emergency));
            }
        }
        for (const auto& ref : stationRefs_) {
            bool found = false;
            for (const Station& station : scenario_.stations) found = found || station.name == ref.first;
            if (!found) throw ScenarioError(file_, ref.second, "no station named '" + ref.first + "'");
        }
    }

    std::string file_;
    Scenario scenario_;
    std::optional<std::pair<double, double>> resistanceAtSpeed_;
    SourcePos resistanceAtSpeedPos_;
    SourcePos startSpeedPos_, startPowerPos_, startBrakePos_;
    std::vector<std::pair<std::size_t, SourcePos>> notchChecks_;
    std::vector<std::pair<std::string, SourcePos>> stationRefs_;
};

}  // namespace

Scenario parseScenario(const std::string& text, const std::string& file) { return Parser(file).run(text); }

Scenario readScenario(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw ScenarioError(file, {}, "cannot open the scenario file");
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw ScenarioError(file, {}, "cannot read the scenario file");
    return parseScenario(content.str(), file);
}

std::string beaconTypeName(std::int32_t type) {
    for (const auto& entry : kBeaconTypeNames)
        if (entry.type == type) return entry.label;
    return "";
}

}  // namespace velt::drive
