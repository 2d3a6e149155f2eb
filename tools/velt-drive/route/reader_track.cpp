// The Track commands, in the order of their positions: beacons and
// transponders, rain, sections and signals, speed limits; stations and
// stops are read in reader_stations.cpp.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/velt-drive/route/reader_state.h"
#include "tools/velt-drive/route/text.h"

namespace velt::drive::routeread {

namespace {

// Commands that only shape what the driver sees or hears. They are skipped
// without a word; any other command in the Track namespace is reported, so
// a misspelt beacon command is never dropped in silence.
constexpr std::string_view kVisualTrackCommands[] = {"railstart",
                                                     "rail",
                                                     "railtype",
                                                     "railend",
                                                     "accuracy",
                                                     "adhesion",
                                                     "pitch",
                                                     "curve",
                                                     "turn",
                                                     "height",
                                                     "freeobj",
                                                     "wall",
                                                     "wallend",
                                                     "dike",
                                                     "dikeend",
                                                     "pole",
                                                     "poleend",
                                                     "crack",
                                                     "ground",
                                                     "back",
                                                     "background",
                                                     "fog",
                                                     "brightness",
                                                     "marker",
                                                     "textmarker",
                                                     "pointofinterest",
                                                     "poi",
                                                     "announce",
                                                     "announceall",
                                                     "doppler",
                                                     "dopplerall",
                                                     "micsound",
                                                     "relay",
                                                     "form",
                                                     "buffer",
                                                     "destination",
                                                     "horn",
                                                     "snow",
                                                     "stationxml",
                                                     "sound",
                                                     "soundstereo",
                                                     "ambientlight",
                                                     "directionallight",
                                                     "lightdirection",
                                                     "dynamiclight",
                                                     "switch",
                                                     "switcht",
                                                     "railswitch"};

// The host's own beacon commands for its built-in systems: they deliver
// beacons of types the host reserves, which velt-drive does not produce.
constexpr std::string_view kBuiltInBeaconCommands[] = {"atssn", "atsp", "pattern", "plimit"};

int sectionRule(int section) { return section < -1 ? 1 : section; }

RouteBeacon placedBeacon(RouteBeacon::Origin origin, int type, int section, int optional,
                         double position, int order, const SourceLocation& where) {
    RouteBeacon out;
    out.positionM = position;
    out.type = type;
    out.section = section;
    out.optional = optional;
    out.origin = origin;
    out.order = order;
    out.where = where;
    return out;
}

}  // namespace

void Reader::applyTrack(const TrackCommand& command, int order) {
    const Statement& statement = statements_[command.statement];
    const std::string& name = statement.name;
    const double position = command.positionM;
    if (name == "beacon") {
        beacon(statement, position, order);
    } else if (name == "transponder" || name == "tr") {
        transponder(statement, position, order);
    } else if (name == "rain") {
        rain(statement, position, order);
    } else if (name == "section" || name == "sections" || name == "sectionp") {
        section(statement, position, order);
    } else if (name == "signal" || name == "sig") {
        signal(statement, position, order);
    } else if (name == "sta") {
        station(statement, position, order);
    } else if (name == "stop") {
        stop(statement, position, order);
    } else if (name == "limit") {
        limit(statement, position, order);
    } else if (name == "pretrain") {
        precedingTrains(statement, "Track.PreTrain");
    } else if (among(kBuiltInBeaconCommands, name)) {
        warn(statement.where,
             statement.shown +
                 " places a beacon of the host's built-in systems; velt-drive "
                 "does not deliver it",
             "velt reads only the beacon types in its table; use Track.Beacon for velt's");
    } else if (!among(kVisualTrackCommands, name)) {
        unknown(statement);
    }
}

void Reader::beacon(const Statement& statement, double position, int order) {
    const auto type = integer(statement, 0, "the type");
    if (!type) {
        warn(statement.where, "Track.Beacon without a type: skipped",
             "write Track.Beacon Type;Structure;Section;Data");
        return;
    }
    if (*type < 0) return;  // the host drops these
    const int section = sectionRule(integer(statement, 2, "the section", 0));
    const int data = integer(statement, 3, "the data", 0);
    route_.beacons.push_back(placedBeacon(RouteBeacon::Origin::Beacon, *type, section, data,
                                          position, order, statement.where));
}

void Reader::transponder(const Statement& statement, double position, int order) {
    const auto type = integer(statement, 0, "the type");
    if (!type) {
        warn(statement.where, statement.shown + " without a type: skipped",
             "write Track.Transponder Type;Signal;Switch");
        return;
    }
    if (*type < 0) return;
    // It names its signal counting the next one as 0.
    const int section = sectionRule(integer(statement, 1, "the signal", 0) + 1);
    const int data = integer(statement, 2, "the switch", 0);
    route_.beacons.push_back(placedBeacon(RouteBeacon::Origin::Transponder, *type, section, data,
                                          position, order, statement.where));
}

void Reader::rain(const Statement& statement, double position, int order) {
    const int intensity = integer(statement, 0, "the intensity", 0);
    if (intensity == rainIntensity_) return;
    rainIntensity_ = intensity;
    route_.beacons.push_back(placedBeacon(RouteBeacon::Origin::Rain, 21, -1, intensity, position,
                                          order, statement.where));
}

void Reader::section(const Statement& statement, double position, int order) {
    RouteSection out;
    out.beginM = position;
    for (std::size_t i = 0; i < statement.arguments.size(); ++i) {
        out.aspects.push_back(integer(statement, i, "the aspect", 0));
    }
    if (out.aspects.empty()) {
        warn(statement.where, statement.shown + " without aspects always shows 0 (stop)",
             "list its aspects, e.g. Track.Section 0;2;4");
        out.aspects.push_back(0);
    }
    if (statement.name == "sections") {
        out.origin = RouteSection::Origin::SectionS;
        out.kind = RouteSection::Kind::Smallest;
    } else if (statement.name == "sectionp") {
        out.origin = RouteSection::Origin::SectionP;
        warn(statement.where,
             "Track.SectionP: a permissive section is not modelled; velt-drive treats it as "
             "Track.Section",
             "use Track.Section to drive what velt-drive drives");
    } else {
        out.origin = RouteSection::Origin::Section;
        if (route_.sectionBehavior == 1) out.kind = RouteSection::Kind::Smallest;
    }
    out.order = order;
    out.where = statement.where;
    route_.sections.push_back(std::move(out));
}

void Reader::signal(const Statement& statement, double position, int order) {
    struct Set {
        int type;
        std::vector<int> aspects;
    };
    static const Set kSets[] = {{1, {0, 2, 3}},         {2, {0, 2}},          {-2, {0, 4}},
                                {3, {0, 2, 4}},         {-3, {0, 2, 4}},      {4, {0, 1, 2, 4}},
                                {-4, {0, 2, 3, 4}},     {5, {0, 1, 2, 3, 4}}, {-5, {0, 2, 3, 4, 5}},
                                {6, {0, 1, 2, 3, 4, 5}}};
    int type = integer(statement, 0, "the signal type", -2);
    if (type == -1) type = 1;
    if (type == -6) type = 6;
    const Set* chosen = &kSets[6];  // -4, also for 0 and every type not listed
    for (const Set& set : kSets) {
        if (set.type == type) chosen = &set;
    }
    RouteSection out;
    out.beginM = position;
    out.aspects = chosen->aspects;
    out.kind = RouteSection::Kind::Smallest;
    out.origin = RouteSection::Origin::Signal;
    out.visible = number(statement, 2, "the X offset", 0.0) != 0.0;
    out.order = order;
    out.where = statement.where;
    route_.sections.push_back(std::move(out));
}

void Reader::limit(const Statement& statement, double position, int order) {
    const double speed = number(statement, 0, "the speed", 0.0) * route_.speedFactor;
    if (speed < 0.0) {
        warn(statement.where, "Track.Limit: a negative speed is ignored, as the host does",
             "write 0 to lift the limit");
        return;
    }
    RouteLimit out;
    out.positionM = position;
    out.speedKmh = speed == 0.0 ? kNoSpeedLimit : speed;
    out.order = order;
    out.where = statement.where;
    route_.limits.push_back(std::move(out));
}

}  // namespace velt::drive::routeread
