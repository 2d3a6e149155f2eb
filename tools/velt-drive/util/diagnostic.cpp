#include "tools/velt-drive/util/diagnostic.h"

#include <utility>

namespace velt::drive {

std::string formatLocation(const SourceLocation& where) {
    std::string text = where.file;
    if (where.line > 0) {
        text += ":" + std::to_string(where.line);
        if (where.column > 0) text += ":" + std::to_string(where.column);
    }
    return text;
}

const char* severityName(Severity severity) {
    switch (severity) {
        case Severity::Error: return "error";
        case Severity::Note: return "note";
        case Severity::Warning: break;
    }
    return "warning";
}

namespace {

std::string headLine(const Diagnostic& diagnostic) {
    std::string line = formatLocation(diagnostic.where);
    if (!line.empty()) line += ": ";
    return line + severityName(diagnostic.severity) + ": " + diagnostic.message;
}

}  // namespace

std::string formatDiagnostic(const Diagnostic& diagnostic) {
    std::string text = headLine(diagnostic) + "\n";
    if (!diagnostic.note.empty()) {
        const std::string place = formatLocation(diagnostic.noteWhere);
        text +=
            (place.empty() ? std::string("  ") : place + ": ") + "note: " + diagnostic.note + "\n";
    }
    for (const std::string& note : diagnostic.moreNotes) text += "  note: " + note + "\n";
    if (!diagnostic.help.empty()) text += "  help: " + diagnostic.help + "\n";
    return text;
}

Diagnostic diagnosticAt(Severity severity, SourceLocation where, std::string message,
                        std::string help) {
    Diagnostic diagnostic;
    diagnostic.severity = severity;
    diagnostic.where = std::move(where);
    diagnostic.message = std::move(message);
    diagnostic.help = std::move(help);
    return diagnostic;
}

DiagnosticError::DiagnosticError(Diagnostic diagnostic)
    : std::runtime_error(headLine(diagnostic)), diagnostic_(std::move(diagnostic)) {}

}  // namespace velt::drive
