// The route reader's own state, shared by the files that read each kind of
// command (reader.cpp, reader_statements.cpp, reader_route_wide.cpp,
// reader_track.cpp, reader_stations.cpp). Nothing outside this room
// includes it: readRoute and readRouteText in reader.h are the way in.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/velt-drive/route/expressions.h"
#include "tools/velt-drive/route/reader.h"
#include "tools/velt-drive/route/route.h"
#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive::routeread {

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

// Reads one route: the expressions into statements, the units, the
// route-wide commands in the order written, then the Track commands in the
// order of their positions.
class Reader {
public:
    Reader(const RouteReadOptions& options, std::string path, bool rw);

    ReadRoute read(const std::string& text);

private:
    // ---- messages (reader.cpp)
    [[noreturn]] static void fail(SourceLocation where, std::string message, std::string help);
    void warn(SourceLocation where, std::string message, std::string help = {});
    static std::vector<Diagnostic> foldRepeats(std::vector<Diagnostic> all);
    static SourceLocation at(const Statement& statement, const Argument& argument);

    // ---- arguments (reader.cpp)
    [[nodiscard]] const Argument* argument(const Statement& statement, std::size_t index) const;
    std::optional<double> number(const Statement& statement, std::size_t index, const char* what);
    double number(const Statement& statement, std::size_t index, const char* what, double fallback);
    std::optional<int> integer(const Statement& statement, std::size_t index, const char* what);
    int integer(const Statement& statement, std::size_t index, const char* what, int fallback);

    // ---- statements, units and positions (reader_statements.cpp)
    [[nodiscard]] std::vector<Argument> splitArguments(std::string_view text, int column,
                                                       bool exact) const;
    void parse(const Expression& expression);
    std::vector<double> factorsOf(const Statement& statement);
    void readUnits();
    [[nodiscard]] double positionOf(const Statement& statement) const;
    std::vector<TrackCommand> placeCommands();
    void enterSection(const Statement& statement);

    // ---- commands for the whole route (reader_route_wide.cpp)
    void unknown(const Statement& statement);
    void precedingTrains(const Statement& statement, const char* command);
    void applyRouteWide(const Statement& statement);
    void applyOption(const Statement& statement);
    void applyRouteCommand(const Statement& statement);

    // ---- Track commands, in sorted order (reader_track.cpp)
    void applyTrack(const TrackCommand& command, int order);
    void beacon(const Statement& statement, double position, int order);
    void transponder(const Statement& statement, double position, int order);
    void rain(const Statement& statement, double position, int order);
    void section(const Statement& statement, double position, int order);
    void signal(const Statement& statement, double position, int order);
    void limit(const Statement& statement, double position, int order);

    // ---- stations and their stops (reader_stations.cpp)
    void arrival(const Statement& statement, RouteStation& out);
    void departure(const Statement& statement, RouteStation& out);
    void doors(const Statement& statement, RouteStation& out);
    void station(const Statement& statement, double position, int order);
    void stop(const Statement& statement, double position, int order);

    const RouteReadOptions& options_;
    bool rw_ = false;
    Route route_;
    std::vector<Diagnostic> warnings_;
    std::vector<Statement> statements_;
    std::string with_;     // CSV: the namespace of With
    std::string section_;  // RW: the namespace of the section header
    int rainIntensity_ = 0;
};

}  // namespace velt::drive::routeread
