#include "tools/velt-drive/route/reader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <utility>

#include "tools/velt-drive/route/text.h"
#include "tools/velt-drive/route/track.h"

namespace velt::drive {

namespace {

using routetext::equalsIgnoreCase;
using routetext::lowered;
using routetext::readLooseNumber;
using routetext::roundHalfEven;
using routetext::trim;

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

constexpr std::string_view kSilentOptions[] = {"objectvisibility", "cantbehavior",
                                               "fogbehavior",      "compatibletransparencymode",
                                               "enablebvetshacks", "enablehacks"};
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
// The sections of an RW file; [Railway] holds the Track commands.
constexpr std::string_view kKnownSections[] = {
    "railway", "options", "route", "train", "object", "cycle", "signal", "structure", "texture"};
// Whole namespaces of visual definitions.
constexpr std::string_view kVisualNamespaces[] = {"structure", "texture", "cycle", "signal",
                                                  "object"};

template <std::size_t N>
bool among(const std::string_view (&names)[N], std::string_view name) {
    return std::find(std::begin(names), std::end(names), name) != std::end(names);
}

struct Argument {
    std::string text;
    int column = 0;
};

struct Statement {
    enum class Kind { Position, Command, Header };
    Kind kind = Kind::Command;
    std::vector<std::string> parts;  // a position's colon parts
    std::string space;               // lower case namespace; empty when none
    std::string name;                // lower case command name
    std::string shown;               // the command as written, for messages
    std::string indices;             // (i) of Route.Signal(i) speed
    std::vector<Argument> arguments;
    SourceLocation where;
    double offset = 0.0;
};

struct TrackCommand {
    double positionM = 0.0;
    std::size_t statement = 0;
};

std::string describe(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::string text = std::to_string(value);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

// The index of the ')' that closes the '(' at `open`, or the end.
std::size_t matchingParenthesis(std::string_view text, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return i;
    }
    return text.size();
}

bool looksLikePosition(std::string_view head) {
    if (head.empty()) return false;
    const char c = head.front();
    const bool digitAfter = head.size() > 1 && head[1] >= '0' && head[1] <= '9';
    return (c >= '0' && c <= '9') || ((c == '.' || c == '+' || c == '-') && digitAfter) ||
           ((c == '+' || c == '-') && head.size() > 2 && head[1] == '.' && head[2] >= '0' &&
            head[2] <= '9');
}

class Reader {
public:
    Reader(const RouteReadOptions& options, std::string path, bool rw)
        : options_(options), rw_(rw) {
        route_.mainFile = std::move(path);
        route_.format = rw ? Route::Format::Rw : Route::Format::Csv;
        route_.seed = options.seed;
    }

    ReadRoute read(const std::string& text) {
        routeread::PreprocessOptions pre;
        pre.rw = rw_;
        pre.seed = options_.seed;
        pre.readFile = options_.readFile ? options_.readFile : routeread::readFileFromDisk;
        pre.maxIncludeDepth = options_.maxIncludeDepth;
        pre.maxExpressions = options_.maxExpressions;
        pre.maxExpressionBytes = options_.maxExpressionBytes;
        routeread::Preprocessed expressions = routeread::preprocess(text, route_.mainFile, pre);
        route_.files = std::move(expressions.files);
        route_.usedRandom = expressions.usedRandom;
        warnings_ = std::move(expressions.warnings);

        statements_.reserve(expressions.expressions.size());
        for (const routeread::Expression& expression : expressions.expressions) {
            parse(expression);
        }
        readUnits();
        std::vector<TrackCommand> track = placeCommands();
        // The host takes the track in order of position; commands at one
        // position keep the order they were written in.
        std::stable_sort(
            track.begin(), track.end(),
            [](const TrackCommand& a, const TrackCommand& b) { return a.positionM < b.positionM; });
        RouteSection first;
        first.aspects = {0, 4};
        first.where = {route_.mainFile, 0, 0};
        route_.sections.push_back(std::move(first));
        for (std::size_t i = 0; i < track.size(); ++i) {
            applyTrack(track[i], static_cast<int>(i));
        }
        for (std::size_t i = 0; i < route_.stations.size(); ++i) {
            const RouteStation& station = route_.stations[i];
            if (station.forcedRedSignal && heldSectionOf(route_, i) < 0) {
                warn(station.where,
                     station.stops.empty()
                         ? "ForcedRedSignal at a station without a stop: no signal is held"
                         : "ForcedRedSignal, but no signal section begins after the station's "
                           "stop: no signal is held",
                     "the signal held is the first section that begins after Track.Sta and its "
                     "first Track.Stop");
            }
        }
        return {std::move(route_), foldRepeats(std::move(warnings_))};
    }

private:
    // ---- messages

    [[noreturn]] static void fail(SourceLocation where, std::string message, std::string help) {
        Diagnostic error;
        error.severity = Severity::Error;
        error.where = std::move(where);
        error.message = std::move(message);
        error.help = std::move(help);
        throw DiagnosticError(std::move(error));
    }

    void warn(SourceLocation where, std::string message, std::string help = {}) {
        Diagnostic warning;
        warning.where = std::move(where);
        warning.message = std::move(message);
        warning.help = std::move(help);
        warnings_.push_back(std::move(warning));
    }

    // One warning per distinct message: the first, with a note on the rest.
    static std::vector<Diagnostic> foldRepeats(std::vector<Diagnostic> all) {
        std::vector<Diagnostic> folded;
        std::map<std::string, std::size_t> firstOf;
        std::vector<int> more;
        std::vector<SourceLocation> last;
        for (Diagnostic& warning : all) {
            const auto [it, fresh] = firstOf.emplace(warning.message, folded.size());
            if (fresh) {
                folded.push_back(std::move(warning));
                more.push_back(0);
                last.emplace_back();
            } else {
                ++more[it->second];
                last[it->second] = warning.where;
            }
        }
        for (std::size_t i = 0; i < folded.size(); ++i) {
            if (more[i] == 0 || !folded[i].note.empty()) continue;
            folded[i].note = std::to_string(more[i]) + " more like this, the last here";
            folded[i].noteWhere = last[i];
        }
        return folded;
    }

    // ---- statements

    static SourceLocation at(const Statement& statement, const Argument& argument) {
        SourceLocation where = statement.where;
        where.column = argument.column;
        return where;
    }

    // Splits an argument list at ';' (and ',' in RW), trimming each.
    [[nodiscard]] std::vector<Argument> splitArguments(std::string_view text, int column,
                                                       bool exact) const {
        std::vector<Argument> arguments;
        std::size_t start = 0;
        for (std::size_t i = 0; i <= text.size(); ++i) {
            if (i < text.size() && text[i] != ';' && !(rw_ && text[i] == ',')) continue;
            const std::string_view piece = text.substr(start, i - start);
            const std::string_view value = trim(piece);
            const std::size_t lead =
                value.empty() ? 0 : static_cast<std::size_t>(value.data() - piece.data());
            arguments.push_back(
                {std::string(value), exact ? column + static_cast<int>(start + lead) : column});
            start = i + 1;
        }
        if (arguments.size() == 1 && arguments.front().text.empty()) arguments.clear();
        return arguments;
    }

    void parse(const routeread::Expression& expression) {
        Statement statement;
        statement.where = expression.where;
        statement.offset = expression.offset;
        if (expression.header) {
            statement.kind = Statement::Kind::Header;
            statement.name = lowered(expression.text);
            if (statement.name == "railway") {
                section_ = "track";
            } else if (among(kKnownSections, statement.name)) {
                section_ = statement.name;
            } else {
                section_ = "?";
            }
            statements_.push_back(std::move(statement));
            return;
        }
        const std::string_view text = expression.text;
        const bool exact = expression.asWritten;
        const int column = expression.where.column;
        auto columnOf = [&](std::string_view part) {
            return exact ? column + static_cast<int>(part.data() - text.data()) : column;
        };

        // The command runs to the first space outside parentheses (RW:
        // "Key = value" means "Key value").
        std::string_view head = text;
        std::string_view rest;
        int depth = 0;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const char c = text[i];
            if (c == '(') ++depth;
            if (c == ')' && depth > 0) --depth;
            if (depth != 0) continue;
            if (rw_ && c == '=') {
                head = trim(text.substr(0, i));
                rest = trim(text.substr(i + 1));
                break;
            }
            if (c == ' ' || c == '\t') {
                head = text.substr(0, i);
                rest = trim(text.substr(i + 1));
                const std::size_t equals = rest.find('=');
                if (rw_ && equals != std::string_view::npos &&
                    trim(rest.substr(0, equals)).empty()) {
                    rest = trim(rest.substr(equals + 1));
                }
                break;
            }
        }

        if (looksLikePosition(head)) {
            if (!rest.empty()) {
                fail(expression.where,
                     "a track position takes no arguments: '" + std::string(text) + "'",
                     "put a comma after the position");
            }
            statement.kind = Statement::Kind::Position;
            std::size_t start = 0;
            while (true) {
                const std::size_t colon = head.find(':', start);
                statement.parts.emplace_back(head.substr(start, colon == std::string_view::npos
                                                                    ? std::string_view::npos
                                                                    : colon - start));
                if (colon == std::string_view::npos) break;
                start = colon + 1;
            }
            statements_.push_back(std::move(statement));
            return;
        }

        std::string nameText;
        std::string_view inside;
        bool hasParenthesis = false;
        int insideColumn = column;
        for (std::size_t i = 0; i < head.size(); ++i) {
            if (head[i] != '(') {
                nameText.push_back(head[i]);
                continue;
            }
            const std::size_t close = matchingParenthesis(head, i);
            if (!hasParenthesis) {
                inside = head.substr(i + 1, close > i ? close - i - 1 : 0);
                insideColumn = columnOf(inside);
                hasParenthesis = true;
            }
            i = close;
        }
        statement.shown = std::string(trim(nameText));
        std::string_view argumentText;
        int argumentColumn = column;
        if (!rest.empty()) {
            argumentText = rest;
            argumentColumn = columnOf(rest);
            if (hasParenthesis) statement.indices = std::string(trim(inside));
            if (!hasParenthesis && rest.front() == '(' &&
                matchingParenthesis(rest, 0) == rest.size() - 1) {
                argumentText = rest.substr(1, rest.size() - 2);  // Cmd (a;b)
                argumentColumn = columnOf(argumentText);
            }
        } else if (hasParenthesis) {
            argumentText = inside;
            argumentColumn = insideColumn;
        }

        const std::string name = lowered(statement.shown);
        if (!name.empty() && name.front() == '.') {
            if (with_.empty()) {
                warn(expression.where, "'" + statement.shown + "' comes before any With: skipped",
                     "put 'With Track' before commands that begin with '.'");
                return;
            }
            statement.space = with_;
            statement.name = name.substr(1);
        } else if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
            statement.space = name.substr(0, dot);
            statement.name = name.substr(dot + 1);
        } else if (!rw_ && name == "with") {
            with_ = lowered(trim(argumentText));
            return;
        } else {
            statement.space = rw_ ? section_ : std::string();
            statement.name = name;
        }
        if (rw_ && statement.space == "?") return;  // inside a section reported as unknown
        statement.arguments = splitArguments(argumentText, argumentColumn, exact);
        statements_.push_back(std::move(statement));
    }

    // ---- units, read before everything else

    std::vector<double> factorsOf(const Statement& statement) {
        std::vector<double> factors;
        for (const Argument& argument : statement.arguments) {
            if (argument.text.empty()) {
                factors.push_back(1.0);
                continue;
            }
            const auto value = readLooseNumber(argument.text);
            if (!value || !(*value > 0.0)) {
                fail(at(statement, argument),
                     "'" + argument.text +
                         "' is not a unit: a unit is a number of metres (or km/h) above 0",
                     "write the factor as a positive number, e.g. Options.UnitOfLength 20;1");
            }
            factors.push_back(*value);
        }
        return factors;
    }

    void readUnits() {
        for (const Statement& statement : statements_) {
            if (statement.kind != Statement::Kind::Command || statement.space != "options")
                continue;
            if (statement.name == "unitoflength") {
                std::vector<double> factors = factorsOf(statement);
                if (!factors.empty()) route_.lengthFactors = std::move(factors);
            } else if (statement.name == "unitofspeed") {
                const std::vector<double> factors = factorsOf(statement);
                if (!factors.empty()) route_.speedFactor = factors.front();
            }
        }
    }

    [[nodiscard]] double positionOf(const Statement& statement) const {
        const std::vector<double>& factors = route_.lengthFactors;
        const std::size_t parts = statement.parts.size();
        if (parts > factors.size()) {
            fail(statement.where,
                 "the position '" + join(statement.parts) + "' has " + std::to_string(parts) +
                     " parts but Options.UnitOfLength gives " + std::to_string(factors.size()) +
                     " factor" + (factors.size() == 1 ? "" : "s"),
                 "give Options.UnitOfLength a factor for each part, or write the position in "
                 "metres");
        }
        double value = 0.0;
        for (std::size_t i = 0; i < parts; ++i) {
            const auto number = routetext::readStrictNumber(trim(statement.parts[i]));
            if (!number) {
                fail(statement.where, "'" + join(statement.parts) + "' is not a track position",
                     "a position is a number alone (dot decimal, no unit), or a:b:c with "
                     "Options.UnitOfLength");
            }
            if (*number < 0.0) {
                fail(statement.where,
                     "the track position " + join(statement.parts) + " is negative",
                     "positions count from 0 at the route's origin");
            }
            value += *number * factors[factors.size() - parts + i];
        }
        // An include's offset is metres, added after the units.
        value += statement.offset;
        if (value < 0.0) {
            fail(statement.where,
                 "the track position " + join(statement.parts) +
                     " is negative after the include's offset",
                 "check the offset of the $Include that brings in this file");
        }
        return value;
    }

    static std::string join(const std::vector<std::string>& parts) {
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : ":") + part;
        return text;
    }

    // Positions in order; Track commands collected at the position in force
    // where they stand, every other command applied to the whole route.
    std::vector<TrackCommand> placeCommands() {
        std::vector<TrackCommand> track;
        double position = 0.0;
        for (std::size_t i = 0; i < statements_.size(); ++i) {
            const Statement& statement = statements_[i];
            switch (statement.kind) {
                case Statement::Kind::Position: position = positionOf(statement); break;
                case Statement::Kind::Header: enterSection(statement); break;
                case Statement::Kind::Command:
                    if (statement.space == "track") {
                        track.push_back({position, i});
                    } else {
                        applyRouteWide(statement);
                    }
                    break;
            }
        }
        return track;
    }

    void enterSection(const Statement& statement) {
        // Parsing already used the sections to name the commands; this only
        // reports the ones it does not know.
        if (!among(kKnownSections, statement.name)) {
            warn(statement.where, "unknown section [" + statement.name + "]: its lines are skipped",
                 "RW files know [Options], [Route], [Train], [Object], [Cycle], [Signal] and "
                 "[Railway]");
        }
    }

    // ---- arguments

    [[nodiscard]] const Argument* argument(const Statement& statement, std::size_t index) const {
        if (index >= statement.arguments.size() || statement.arguments[index].text.empty()) {
            return nullptr;
        }
        return &statement.arguments[index];
    }

    std::optional<double> number(const Statement& statement, std::size_t index, const char* what) {
        const Argument* given = argument(statement, index);
        if (given == nullptr) return std::nullopt;
        const auto value = readLooseNumber(given->text);
        if (!value) {
            warn(at(statement, *given),
                 statement.shown + ": " + what + " '" + given->text +
                     "' is not a number; its default is used",
                 "write a number");
        }
        return value;
    }

    double number(const Statement& statement, std::size_t index, const char* what,
                  double fallback) {
        return number(statement, index, what).value_or(fallback);
    }

    std::optional<int> integer(const Statement& statement, std::size_t index, const char* what) {
        const auto value = number(statement, index, what);
        if (!value) return std::nullopt;
        const auto rounded = roundHalfEven(*value);
        if (!rounded) {
            warn(at(statement, *argument(statement, index)),
                 statement.shown + ": " + what + " " + describe(*value) +
                     " is out of range; its default is used",
                 "write a smaller number");
        }
        return rounded;
    }

    int integer(const Statement& statement, std::size_t index, const char* what, int fallback) {
        return integer(statement, index, what).value_or(fallback);
    }

    // ---- commands for the whole route

    void unknown(const Statement& statement) {
        warn(statement.where, "unknown command " + statement.shown + ": velt-drive skips it",
             "check its spelling; if a protection plug-in could notice it, the drive differs "
             "from the host's");
    }

    void applyRouteWide(const Statement& statement) {
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
                    warn(statement.where,
                         "Train.Interval: preceding trains are not modelled; velt-drive keeps the "
                         "line ahead clear",
                         "remove it to drive what velt-drive drives");
                }
            } else if (!among(kSilentTrain, name)) {
                unknown(statement);
            }
        } else {
            unknown(statement);
        }
    }

    void applyOption(const Statement& statement) {
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

    void applyRouteCommand(const Statement& statement) {
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
                warn(statement.where,
                     "Route.StartTime needs a time such as 10.3000 or 10:30; skipped");
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
                warn(statement.where,
                     "Route.RunInterval: preceding trains are not modelled; velt-drive keeps the "
                     "line ahead clear",
                     "remove it to drive what velt-drive drives");
            }
        } else if (!among(kSilentRoute, name)) {
            unknown(statement);
        }
    }

    // ---- Track commands, in sorted order

    void applyTrack(const TrackCommand& command, int order) {
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
            warn(statement.where,
                 "Track.PreTrain: preceding trains are not modelled; velt-drive keeps the line "
                 "ahead clear",
                 "remove it to drive what velt-drive drives");
        } else if (std::find(std::begin(kBuiltInBeaconCommands), std::end(kBuiltInBeaconCommands),
                             name) != std::end(kBuiltInBeaconCommands)) {
            warn(statement.where,
                 statement.shown +
                     " places a beacon of the host's built-in systems; velt-drive "
                     "does not deliver it",
                 "velt reads only the beacon types in its table; use Track.Beacon for velt's");
        } else if (!among(kVisualTrackCommands, name)) {
            unknown(statement);
        }
    }

    static int sectionRule(int section) { return section < -1 ? 1 : section; }

    void beacon(const Statement& statement, double position, int order) {
        const auto type = integer(statement, 0, "the type");
        if (!type) {
            warn(statement.where, "Track.Beacon without a type: skipped",
                 "write Track.Beacon Type;Structure;Section;Data");
            return;
        }
        if (*type < 0) return;  // the host drops these
        RouteBeacon out;
        out.positionM = position;
        out.type = *type;
        out.section = sectionRule(integer(statement, 2, "the section", 0));
        out.optional = integer(statement, 3, "the data", 0);
        out.origin = RouteBeacon::Origin::Beacon;
        out.order = order;
        out.where = statement.where;
        route_.beacons.push_back(std::move(out));
    }

    void transponder(const Statement& statement, double position, int order) {
        const auto type = integer(statement, 0, "the type");
        if (!type) {
            warn(statement.where, statement.shown + " without a type: skipped",
                 "write Track.Transponder Type;Signal;Switch");
            return;
        }
        if (*type < 0) return;
        RouteBeacon out;
        out.positionM = position;
        out.type = *type;
        // It names its signal counting the next one as 0.
        out.section = sectionRule(integer(statement, 1, "the signal", 0) + 1);
        out.optional = integer(statement, 2, "the switch", 0);
        out.origin = RouteBeacon::Origin::Transponder;
        out.order = order;
        out.where = statement.where;
        route_.beacons.push_back(std::move(out));
    }

    void rain(const Statement& statement, double position, int order) {
        const int intensity = integer(statement, 0, "the intensity", 0);
        if (intensity == rainIntensity_) return;
        rainIntensity_ = intensity;
        RouteBeacon out;
        out.positionM = position;
        out.type = 21;
        out.section = -1;
        out.optional = intensity;
        out.origin = RouteBeacon::Origin::Rain;
        out.order = order;
        out.where = statement.where;
        route_.beacons.push_back(std::move(out));
    }

    void section(const Statement& statement, double position, int order) {
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

    void signal(const Statement& statement, double position, int order) {
        struct Set {
            int type;
            std::vector<int> aspects;
        };
        static const Set kSets[] = {{1, {0, 2, 3}},        {2, {0, 2}},
                                    {-2, {0, 4}},          {3, {0, 2, 4}},
                                    {-3, {0, 2, 4}},       {4, {0, 1, 2, 4}},
                                    {-4, {0, 2, 3, 4}},    {5, {0, 1, 2, 3, 4}},
                                    {-5, {0, 2, 3, 4, 5}}, {6, {0, 1, 2, 3, 4, 5}}};
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

    // "B", "S" and so on, alone or followed by ":time".
    static bool letterForm(std::string_view text, char letter, std::optional<std::int32_t>& time,
                           bool& ok) {
        if (text.empty() || routetext::lowerAscii(text.front()) != letter) return false;
        ok = true;
        if (text.size() == 1) return true;
        if (text[1] != ':') return false;
        time = routetext::readTimeOfDay(text.substr(2));
        ok = time.has_value();
        return true;
    }

    void arrival(const Statement& statement, RouteStation& out) {
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

    void departure(const Statement& statement, RouteStation& out) {
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
        } else if (routetext::lowerAscii(text.front()) == 'j' && text.size() > 2 &&
                   text[1] == ':') {
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

    void doors(const Statement& statement, RouteStation& out) {
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
                warn(at(statement, *given),
                     "Track.Sta: doors '" + text +
                         "' are none of L, R, B, N, -1, 1, 0; both sides open",
                     "write L (or -1), R (or 1), B or N (or 0)");
            }
        }
    }

    void station(const Statement& statement, double position, int order) {
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

    void stop(const Statement& statement, double position, int order) {
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

    void limit(const Statement& statement, double position, int order) {
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

    const RouteReadOptions& options_;
    bool rw_ = false;
    Route route_;
    std::vector<Diagnostic> warnings_;
    std::vector<Statement> statements_;
    std::string with_;     // CSV: the namespace of With
    std::string section_;  // RW: the namespace of the section header
    int rainIntensity_ = 0;
};

bool isRwPath(const std::string& path) {
    return path.size() >= 3 &&
           equalsIgnoreCase(std::string_view(path).substr(path.size() - 3), ".rw");
}

}  // namespace

ReadRoute readRouteText(const std::string& text, const std::string& path,
                        const RouteReadOptions& options) {
    const bool rw = options.format ? *options.format == Route::Format::Rw : isRwPath(path);
    return Reader(options, path, rw).read(text);
}

ReadRoute readRoute(const std::string& path, const RouteReadOptions& options) {
    const auto bytes =
        options.readFile ? options.readFile(path) : routeread::readFileFromDisk(path);
    if (!bytes) {
        Diagnostic error;
        error.severity = Severity::Error;
        error.where = {path, 0, 0};
        error.message = "cannot read the route file";
        error.help = "check the path; a route is a .csv or .rw file";
        throw DiagnosticError(std::move(error));
    }
    return readRouteText(*bytes, path, options);
}

}  // namespace velt::drive
