// What lies along the track: beacons, signals, stations and standing
// trains.
#include <cstdint>
#include <string>

#include "tools/velt-drive/scenario/beacons.h"
#include "tools/velt-drive/scenario/lexer.h"
#include "tools/velt-drive/scenario/parser.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive::scenarioread {

void Parser::beacon(Line& line, const Token& keyword) {
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
        } else if (field.text == "signal" || field.text == "optional" || field.text == "distance") {
            line.fail(field, "beacon field '" + field.text + "' given twice");
        } else {
            line.fail(field, "unknown beacon field '" + printable(field.text) + "'");
        }
    }
    scenario_.beacons.push_back(item);
}

// occupied section N [until TIME] | occupied at X m [until TIME]
void Parser::occupied(Line& line, const Token& keyword) {
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

void Parser::signal(Line& line, const Token& keyword) {
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

void Parser::station(Line& line, const Token& keyword) {
    Station item;
    item.pos = line.posOf(keyword);
    const Token& name = line.take("station name");
    if (!name.quoted && (name.text == "at" || name.text == "window"))
        line.fail(name, "missing station name before '" + name.text + "'");
    item.name = name.text;
    line.expectWord("at", "before the station's position");
    item.positionM = line.quantity("station position", "m", -kTrackLimitM, kTrackLimitM);
    if (line.acceptWord("window")) item.windowM = line.quantity("station window", "m", 0.1, 1000);
    for (const Station& other : scenario_.stations)
        if (other.name == item.name)
            line.fail(name, "station '" + printable(item.name) + "' is defined twice");
    scenario_.stations.push_back(item);
}
}  // namespace velt::drive::scenarioread
