// Track.Sta and Track.Stop: a station's arrival, departure, doors and
// hold, and the stops that belong to it.
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

using routetext::equalsIgnoreCase;
using routetext::readLooseNumber;
using routetext::roundHalfEven;

// "B", "S" and so on, alone or followed by ":time".
bool letterForm(std::string_view text, char letter, std::optional<std::int32_t>& time, bool& ok) {
    if (text.empty() || routetext::lowerAscii(text.front()) != letter) return false;
    ok = true;
    if (text.size() == 1) return true;
    if (text[1] != ':') return false;
    time = routetext::readTimeOfDay(text.substr(2));
    ok = time.has_value();
    return true;
}

}  // namespace

void Reader::arrival(const Statement& statement, RouteStation& out) {
    const Argument* given = argument(statement, 1);
    if (given == nullptr) return;
    const std::string_view text = given->text;
    bool ok = true;
    std::optional<std::int32_t> time;
    if (equalsIgnoreCase(text, "p") || equalsIgnoreCase(text, "l")) {
        out.arrival = RouteStation::Arrival::AllPass;
    } else if (equalsIgnoreCase(text, "d")) {
        out.arrival = RouteStation::Arrival::Dummy;
    } else if (letterForm(text, 'b', time, ok)) {
        out.arrival = RouteStation::Arrival::ThisPasses;
        out.arrivalMs = time;
    } else if (letterForm(text, 's', time, ok)) {
        out.arrival = RouteStation::Arrival::OnlyThisStops;
        out.arrivalMs = time;
    } else if (const auto parsed = routetext::readTimeOfDay(text)) {
        out.arrival = RouteStation::Arrival::Time;
        out.arrivalMs = parsed;
    } else {
        ok = false;
    }
    if (!ok) {
        warn(at(statement, *given),
             "Track.Sta: arrival '" + given->text +
                 "' is neither a time nor P, L, B, S or D; read as empty",
             "write a time such as 10.3000 or 10:30");
    }
}

void Reader::departure(const Statement& statement, RouteStation& out) {
    const Argument* given = argument(statement, 2);
    if (given == nullptr) return;
    const std::string_view text = given->text;
    bool ok = true;
    std::optional<std::int32_t> time;
    if (text == "=") {
        out.departure = RouteStation::Departure::Terminal;
    } else if (letterForm(text, 't', time, ok)) {
        out.departure = RouteStation::Departure::Terminal;
        out.departureMs = time;
    } else if (letterForm(text, 'c', time, ok)) {
        out.departure = RouteStation::Departure::ChangeEnds;
        out.departureMs = time;
    } else if (routetext::lowerAscii(text.front()) == 'j' && text.size() > 2 && text[1] == ':') {
        out.departure = RouteStation::Departure::Jump;
        const std::string_view rest = text.substr(2);
        const std::size_t colon = rest.find(':');
        const auto target = readLooseNumber(rest.substr(0, colon));
        const auto index = target ? roundHalfEven(*target) : std::nullopt;
        ok = index.has_value() && *index >= 0;
        out.jumpTo = ok ? *index : -1;
        if (ok && colon != std::string_view::npos) {
            out.departureMs = routetext::readTimeOfDay(rest.substr(colon + 1));
            ok = out.departureMs.has_value();
        }
    } else if (const auto parsed = routetext::readTimeOfDay(text)) {
        out.departure = RouteStation::Departure::Time;
        out.departureMs = parsed;
    } else {
        ok = false;
    }
    if (!ok) {
        out.departure = RouteStation::Departure::Any;
        out.departureMs.reset();
        warn(at(statement, *given),
             "Track.Sta: departure '" + given->text +
                 "' is neither a time nor T, =, C or J:i; read as empty",
             "write a time such as 10.3000 or 10:30");
    }
}

void Reader::doors(const Statement& statement, RouteStation& out) {
    const Argument* given = argument(statement, 4);
    if (given == nullptr) return;
    const std::string& text = given->text;
    if (equalsIgnoreCase(text, "l")) {
        out.doors = RouteStation::Doors::Left;
    } else if (equalsIgnoreCase(text, "r")) {
        out.doors = RouteStation::Doors::Right;
    } else if (equalsIgnoreCase(text, "b")) {
        out.doors = RouteStation::Doors::Both;
    } else if (equalsIgnoreCase(text, "n")) {
        out.doors = RouteStation::Doors::None;
    } else {
        const auto value = readLooseNumber(text);
        const auto side = value ? roundHalfEven(*value) : std::nullopt;
        if (side && *side == -1) {
            out.doors = RouteStation::Doors::Left;
        } else if (side && *side == 1) {
            out.doors = RouteStation::Doors::Right;
        } else if (side && *side == 0) {
            out.doors = RouteStation::Doors::None;
        } else {
            warn(
                at(statement, *given),
                "Track.Sta: doors '" + text + "' are none of L, R, B, N, -1, 1, 0; both sides open",
                "write L (or -1), R (or 1), B or N (or 0)");
        }
    }
}

void Reader::station(const Statement& statement, double position, int order) {
    RouteStation out;
    if (const Argument* name = argument(statement, 0)) out.name = name->text;
    arrival(statement, out);
    departure(statement, out);
    doors(statement, out);
    const int forced = integer(statement, 5, "ForcedRedSignal", 0);
    if (forced != 0 && forced != 1) {
        warn(statement.where, "Track.Sta: ForcedRedSignal " + std::to_string(forced) +
                                  " is neither 0 nor 1; read as 0");
    }
    out.forcedRedSignal = forced == 1;
    out.stopDurationS = std::max(5.0, number(statement, 8, "the stop duration", 15.0));
    out.positionM = position;
    out.blockStartM = std::floor(position / route_.blockLengthM) * route_.blockLengthM;
    out.order = order;
    out.where = statement.where;
    route_.stations.push_back(std::move(out));
}

void Reader::stop(const Statement& statement, double position, int order) {
    if (route_.stations.empty()) {
        warn(statement.where, "Track.Stop before any Track.Sta belongs to no station: skipped",
             "put the station's Track.Sta at or before its stop");
        return;
    }
    RouteStop out;
    out.positionM = position;
    out.direction = integer(statement, 0, "the direction", 0);
    out.backwardM = number(statement, 1, "the backward tolerance", 5.0);
    out.forwardM = number(statement, 2, "the forward tolerance", 5.0);
    if (out.backwardM < 0.0 || out.forwardM < 0.0) {
        warn(statement.where, "Track.Stop: a negative tolerance; 5 m is used",
             "tolerances are metres of 0 or more");
        if (out.backwardM < 0.0) out.backwardM = 5.0;
        if (out.forwardM < 0.0) out.forwardM = 5.0;
    }
    out.cars = integer(statement, 3, "the cars", 0);
    if (out.cars < 0) {
        warn(statement.where, "Track.Stop: a negative number of cars; read as 0 (any length)");
        out.cars = 0;
    }
    out.order = order;
    out.where = statement.where;
    route_.stations.back().stops.push_back(std::move(out));
}

}  // namespace velt::drive::routeread
