// One finding of velt-drive's, in the shape a compiler prints its own: where
// it is, what is wrong, and optionally a note on a related place or fact and
// a help line that says what to do. Scenario checks, route and train
// readers, run-time findings and the sweep all report through this type, so
// an author reads every message the same way.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

namespace velt::drive {

// A place in an input file. Line and column count from 1; 0 means "the
// whole file" (line 0) or "the whole line" (column 0).
struct SourceLocation {
    std::string file;
    int line = 0;
    int column = 0;
};

// "file:line:column", "file:line" or "file", as much as is known.
std::string formatLocation(const SourceLocation& where);

enum class Severity { Error, Warning, Note };

// "error", "warning" or "note".
const char* severityName(Severity severity);

struct Diagnostic {
    Severity severity = Severity::Warning;
    SourceLocation where;
    std::string message;
    // Optional: a related fact, printed as "note: ..." on the next line, at
    // `noteWhere` when that names a file.
    std::string note;
    SourceLocation noteWhere;
    // Optional: further notes without a place, each printed as "note: ..."
    // after the first (the failing drives of a sweep, one a note).
    std::vector<std::string> moreNotes;
    // Optional: what to do about it, printed as "help: ...".
    std::string help;
};

// A diagnostic of `severity` at `where`: the common case, without notes,
// with a help line when `help` is not empty.
Diagnostic diagnosticAt(Severity severity, SourceLocation where, std::string message,
                        std::string help = {});

// The diagnostic as lines, each ending in '\n':
//   file:line:column: warning: message
//   file:line: note: note            (or "  note: note" without a place)
//     note: each of moreNotes
//     help: help
std::string formatDiagnostic(const Diagnostic& diagnostic);

// An input that cannot be used at all: what() is formatDiagnostic's first
// line without its newline.
class DiagnosticError : public std::runtime_error {
public:
    explicit DiagnosticError(Diagnostic diagnostic);
    const Diagnostic& diagnostic() const { return diagnostic_; }

private:
    Diagnostic diagnostic_;
};

}  // namespace velt::drive
