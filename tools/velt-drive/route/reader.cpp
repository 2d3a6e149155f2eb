#include "tools/velt-drive/route/reader.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string_view>
#include <utility>

#include "tools/velt-drive/route/reader_state.h"
#include "tools/velt-drive/route/text.h"
#include "tools/velt-drive/route/track.h"

namespace velt::drive {

namespace routeread {

namespace {

using routetext::readLooseNumber;
using routetext::roundHalfEven;

std::string describe(double value) {
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        return std::to_string(static_cast<long long>(value));
    }
    std::string text = std::to_string(value);
    while (!text.empty() && text.back() == '0') text.pop_back();
    if (!text.empty() && text.back() == '.') text.pop_back();
    return text;
}

}  // namespace

Reader::Reader(const RouteReadOptions& options, std::string path, bool rw)
    : options_(options), rw_(rw) {
    route_.mainFile = std::move(path);
    route_.format = rw ? Route::Format::Rw : Route::Format::Csv;
    route_.seed = options.seed;
}

ReadRoute Reader::read(const std::string& text) {
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
    std::stable_sort(track.begin(), track.end(), [](const TrackCommand& a, const TrackCommand& b) {
        return a.positionM < b.positionM;
    });
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

// ---- messages

void Reader::fail(SourceLocation where, std::string message, std::string help) {
    throw DiagnosticError(
        diagnosticAt(Severity::Error, std::move(where), std::move(message), std::move(help)));
}

void Reader::warn(SourceLocation where, std::string message, std::string help) {
    warnings_.push_back(
        diagnosticAt(Severity::Warning, std::move(where), std::move(message), std::move(help)));
}

// One warning per distinct message: the first, with a note on the rest.
std::vector<Diagnostic> Reader::foldRepeats(std::vector<Diagnostic> all) {
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

SourceLocation Reader::at(const Statement& statement, const Argument& argument) {
    SourceLocation where = statement.where;
    where.column = argument.column;
    return where;
}

// ---- arguments

const Argument* Reader::argument(const Statement& statement, std::size_t index) const {
    if (index >= statement.arguments.size() || statement.arguments[index].text.empty()) {
        return nullptr;
    }
    return &statement.arguments[index];
}

std::optional<double> Reader::number(const Statement& statement, std::size_t index,
                                     const char* what) {
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

double Reader::number(const Statement& statement, std::size_t index, const char* what,
                      double fallback) {
    return number(statement, index, what).value_or(fallback);
}

std::optional<int> Reader::integer(const Statement& statement, std::size_t index,
                                   const char* what) {
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

int Reader::integer(const Statement& statement, std::size_t index, const char* what, int fallback) {
    return integer(statement, index, what).value_or(fallback);
}

}  // namespace routeread

namespace {

bool isRwPath(const std::string& path) {
    return path.size() >= 3 &&
           routetext::equalsIgnoreCase(std::string_view(path).substr(path.size() - 3), ".rw");
}

}  // namespace

ReadRoute readRouteText(const std::string& text, const std::string& path,
                        const RouteReadOptions& options) {
    const bool rw = options.format ? *options.format == Route::Format::Rw : isRwPath(path);
    return routeread::Reader(options, path, rw).read(text);
}

ReadRoute readRoute(const std::string& path, const RouteReadOptions& options) {
    const auto bytes =
        options.readFile ? options.readFile(path) : routeread::readFileFromDisk(path);
    if (!bytes) {
        throw DiagnosticError(diagnosticAt(Severity::Error, {path, 0, 0},
                                           "cannot read the route file",
                                           "check the path; a route is a .csv or .rw file"));
    }
    return readRouteText(*bytes, path, options);
}

}  // namespace velt::drive
