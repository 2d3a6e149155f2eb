// How a drive ends, and what it is expected to show.
#include <cstdint>
#include <string>

#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/parser.h"

namespace velt::drive::scenarioread {

void Parser::end(Line& line) {
    EndCondition& e = scenario_.end;
    const Token& word = line.take("'at' or 'when stopped'");
    if (word.text == "when") {
        line.expectWord("stopped", "after 'end when'");
        e.whenStopped = true;
    } else if (word.text == "at") {
        // The first end that holds ends the drive: the earliest time and
        // the nearest position.
        const Measure m = line.measure(
            "end time or position",
            {{"s", "end time", 0.001, kDayS}, {"m", "end position", -kTrackLimitM, kTrackLimitM}});
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
void Parser::expect(Line& line, const Token& keyword) {
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
}  // namespace velt::drive::scenarioread
