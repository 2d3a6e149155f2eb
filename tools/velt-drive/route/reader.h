// Reading a route file (the host's CSV format, or the older RW format) into
// the plain model of route.h, the way the host reads it: preprocessing,
// units, sorting by position, then the commands that matter to a
// protection plug-in. What the reader does not model is a warning with its
// file:line:column, never a silently different route; input that cannot be
// used at all throws DiagnosticError naming the place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/route/expressions.h"
#include "tools/velt-drive/route/route.h"
#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {

struct RouteReadOptions {
    // Everything random ($Rnd, weighted $Include) draws from this seed; the
    // route records it, and whether anything random was drawn.
    std::uint64_t seed = 1;
    // The format; by default .rw files are RW and everything else CSV.
    std::optional<Route::Format> format;
    // Reads the files the route includes (and, for readRoute, the main
    // file). Default: the disk, matching file names without regard to case.
    // A reader that returns nothing for every path turns includes off.
    routeread::FileReader readFile;
    // Limits that keep a broken or hostile route from using up the machine.
    int maxIncludeDepth = 32;
    std::size_t maxExpressions = 5000000;
    std::size_t maxExpressionBytes = std::size_t{1} << 20;
};

struct ReadRoute {
    Route route;
    // What is not modelled or is probably not what the author meant, in
    // file order; repeats of one message are folded into the first, whose
    // note says how many more there are.
    std::vector<Diagnostic> warnings;
};

// Reads the route file at `path` and every file it includes.
ReadRoute readRoute(const std::string& path, const RouteReadOptions& options = {});

// The same for a main file already in memory; `path` names it in messages
// and is where includes are found from.
ReadRoute readRouteText(const std::string& text, const std::string& path,
                        const RouteReadOptions& options = {});

}  // namespace velt::drive
