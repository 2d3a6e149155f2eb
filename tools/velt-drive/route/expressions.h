// The first stage of reading a route: its files as one flat list of
// expressions, the way the host sees them before it interprets anything.
// Lines are split into expressions (CSV at top-level commas, RW at '@'),
// comments dropped, and the preprocessing directives evaluated right to
// left within each expression, so they nest: $Include splices a file in
// place, $Rnd draws from the seeded generator, $Sub stores and reads,
// $Chr gives a character, $If/$Else/$EndIf choose blocks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive::routeread {

struct Expression {
    std::string text;  // trimmed, directives evaluated; a header's name for `header`
    SourceLocation where;
    // The sum of the include offsets around it, in metres.
    double offset = 0.0;
    // No directive changed the text: a column within it is a column of the file.
    bool asWritten = true;
    bool header = false;  // an RW section header such as [Railway]
};

// The bytes of a file the route names, or nothing when it cannot be read.
using FileReader = std::function<std::optional<std::string>(const std::string& path)>;

struct PreprocessOptions {
    bool rw = false;  // RW rules: '@' separates, ';' comments, [Section] headers
    std::uint64_t seed = 1;
    FileReader readFile;
    int maxIncludeDepth = 32;
    std::size_t maxExpressions = 5000000;
    std::size_t maxExpressionBytes = std::size_t{1} << 20;
};

struct Preprocessed {
    std::vector<Expression> expressions;
    std::vector<std::string> files;  // every file read, the main one first
    bool usedRandom = false;
    std::vector<Diagnostic> warnings;
};

// Reads the main route file from its bytes. Throws DiagnosticError for a
// binary file, a missing include and every malformed directive.
Preprocessed preprocess(const std::string& mainBytes, const std::string& mainPath,
                        const PreprocessOptions& options);

// Where an include names a file: relative to the folder of the main route
// file (also inside included files), with '\' read as '/'.
std::string includePath(const std::string& mainPath, const std::string& written);

// Reads a file from disk; when the exact path does not exist, matches each
// part of it without regard to case, as the routes' home system does.
std::optional<std::string> readFileFromDisk(const std::string& path);

}  // namespace velt::drive::routeread
