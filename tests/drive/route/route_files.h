// Routes for the tests, held in memory: a main file and the files it
// includes, read through the reader's file hook.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>

#include "tools/velt-drive/route/reader.h"

namespace velt::drive::testing {

using RouteFiles = std::map<std::string, std::string>;

inline RouteReadOptions inMemory(RouteFiles files, std::uint64_t seed = 1) {
    RouteReadOptions options;
    options.seed = seed;
    options.readFile = [files = std::move(files)](const std::string& path) {
        const auto found = files.find(path);
        return found == files.end() ? std::nullopt : std::optional<std::string>(found->second);
    };
    return options;
}

// Reads `main` (and what it includes) from `files`.
inline ReadRoute readFiles(const RouteFiles& files, const std::string& main,
                           std::uint64_t seed = 1) {
    return readRoute(main, inMemory(files, seed));
}

// Reads one CSV file with no includes.
inline ReadRoute readCsv(const std::string& text, const std::string& name = "r.csv") {
    return readFiles({{name, text}}, name);
}

}  // namespace velt::drive::testing
