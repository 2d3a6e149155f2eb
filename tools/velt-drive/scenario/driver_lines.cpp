// The driver's actions (power, brake, reverser, key, doors, horn, hold,
// jump), when each happens and when it is let go.
#include <cstdint>
#include <string>

#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/parser.h"

namespace velt::drive::scenarioread {

namespace {

const UnitRange kTimeOrPosition[] = {{"s", "time", 0.0, kDayS},
                                     {"m", "position", -kTrackLimitM, kTrackLimitM}};

}  // namespace

// After "at": a time since the start ("61.5 s"), a time of day ("10:01:00"),
// a position ("1200 m") or, for the driver, "the station" / "station NAME".
Trigger Parser::pointInTimeOrSpace(Line& line, bool stations) {
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
    const Measure m = line.measure("position or time", {kTimeOrPosition[0], kTimeOrPosition[1]});
    if (m.unit == 0) {
        trigger.kind = Trigger::Kind::Elapsed;
        trigger.ms = secondsToMs(m.value);
    } else {
        trigger.kind = Trigger::Kind::Position;
        trigger.value = m.value;
    }
    return trigger;
}

void Parser::driver(Line& line, const Token& keyword) {
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
        action.speedKmh =
            line.quantity("speed to hold", "km/h", kHoldSpeedRangeKmh.low, kHoldSpeedRangeKmh.high);
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
                    "speed or position",
                    {{"km/h", "speed", 0, 500}, {"m", "position", -kTrackLimitM, kTrackLimitM}});
                action.release.kind = m.unit == 0 ? Release::Kind::Speed : Release::Kind::Position;
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
}  // namespace velt::drive::scenarioread
