// The commands that apply to the whole route wherever they stand: Options,
// Route and Train, and the visual namespaces skipped in silence.
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

using routetext::readLooseNumber;
using routetext::roundHalfEven;

constexpr std::string_view kSilentOptions[] = {"objectvisibility", "cantbehavior", "fogbehavior",
                                               "compatibletransparencymode", "enablehacks"};
constexpr std::string_view kSilentRoute[] = {"comment",
                                             "image",
                                             "timetable",
                                             "gauge",
                                             "accelerationduetogravity",
                                             "elevation",
                                             "temperature",
                                             "pressure",
                                             "displayspeed",
                                             "loadingscreen",
                                             "dynamiclight",
                                             "ambientlight",
                                             "directionallight",
                                             "lightdirection",
                                             "initialviewpoint",
                                             "developerid",
                                             "fog"};
constexpr std::string_view kSilentTrain[] = {"folder",       "file",      "run",         "rail",
                                             "flange",       "timetable", "gauge",       "velocity",
                                             "acceleration", "station",   "deceleration"};
// Whole namespaces of visual definitions.
constexpr std::string_view kVisualNamespaces[] = {"structure", "texture", "cycle", "signal",
                                                  "object"};

}  // namespace

void Reader::unknown(const Statement& statement) {
    warn(statement.where, "unknown command " + statement.shown + ": velt-drive skips it",
         "check its spelling; if a protection plug-in could notice it, the drive differs "
         "from the host's");
}

// Trains ahead of this one are not modelled: the line ahead is always clear.
void Reader::precedingTrains(const Statement& statement, const char* command) {
    warn(statement.where,
         std::string(command) +
             ": preceding trains are not modelled; velt-drive keeps the line ahead clear",
         "remove it to drive what velt-drive drives");
}

void Reader::applyRouteWide(const Statement& statement) {
    const std::string& space = statement.space;
    const std::string& name = statement.name;
    if (among(kVisualNamespaces, space)) return;
    if (space == "options") {
        applyOption(statement);
    } else if (space == "route") {
        applyRouteCommand(statement);
    } else if (space == "train") {
        if (name == "interval") {
            if (number(statement, 0, "the interval", 0.0) > 0.0) {
                precedingTrains(statement, "Train.Interval");
            }
        } else if (!among(kSilentTrain, name)) {
            unknown(statement);
        }
    } else {
        unknown(statement);
    }
}

void Reader::applyOption(const Statement& statement) {
    const std::string& name = statement.name;
    if (name == "unitoflength" || name == "unitofspeed" || among(kSilentOptions, name)) return;
    if (name == "blocklength") {
        const double length = number(statement, 0, "the block length", 25.0);
        if (length > 0.0) {
            route_.blockLengthM = length;
        } else {
            warn(statement.where, "Options.BlockLength must be above 0; 25 m is used");
        }
    } else if (name == "sectionbehavior") {
        const int behavior = integer(statement, 0, "the behaviour", 0);
        if (behavior != 0 && behavior != 1) {
            warn(statement.where, "Options.SectionBehavior " + std::to_string(behavior) +
                                      " is neither 0 nor 1; 0 is used");
        }
        route_.sectionBehavior = behavior == 1 ? 1 : 0;
    } else if (name == "reversedirection") {
        if (integer(statement, 0, "the direction", 0) != 0) {
            warn(statement.where,
                 "Options.ReverseDirection is not modelled: velt-drive drives the route in its "
                 "written direction",
                 "remove it to drive what velt-drive drives");
        }
    } else {
        unknown(statement);
    }
}

void Reader::applyRouteCommand(const Statement& statement) {
    const std::string& name = statement.name;
    if (name == "signal") {
        const auto aspect = readLooseNumber(statement.indices);
        const auto index = aspect ? roundHalfEven(*aspect) : std::nullopt;
        if (!index || *index < 0 || *index > 255) {
            warn(statement.where,
                 "Route.Signal needs an aspect from 0 to 255, as in Route.Signal(2) 55; "
                 "skipped");
            return;
        }
        const auto speed = number(statement, 0, "the speed");
        if (!speed || *speed < 0.0) {
            warn(statement.where, "Route.Signal(" + std::to_string(*index) +
                                      ") needs a speed of 0 or more; skipped");
            return;
        }
        auto& speeds = route_.signalSpeedKmh;
        if (speeds.size() <= static_cast<std::size_t>(*index)) {
            speeds.resize(static_cast<std::size_t>(*index) + 1, kNoSpeedLimit);
        }
        speeds[static_cast<std::size_t>(*index)] = *speed * route_.speedFactor;
        route_.signalSpeedSet = {true, statement.where};
    } else if (name == "starttime") {
        const Argument* given = argument(statement, 0);
        const auto time = given ? routetext::readTimeOfDay(given->text) : std::nullopt;
        if (!time) {
            warn(statement.where, "Route.StartTime needs a time such as 10.3000 or 10:30; skipped");
            return;
        }
        route_.startTimeMs = *time;
        route_.startTimeSet = {true, statement.where};
    } else if (name == "change") {
        const int mode = integer(statement, 0, "the mode", 1);
        if (mode < -1 || mode > 1) {
            warn(statement.where, "Route.Change " + std::to_string(mode) +
                                      " is none of -1 (service brake), 0 (emergency) and 1 "
                                      "(off); passed on as it is");
        }
        route_.changeMode = mode;
        route_.changeSet = {true, statement.where};
    } else if (name == "runinterval") {
        if (number(statement, 0, "the interval", 0.0) > 0.0) {
            precedingTrains(statement, "Route.RunInterval");
        }
    } else if (!among(kSilentRoute, name)) {
        unknown(statement);
    }
}

}  // namespace velt::drive::routeread
