// Every message of velt-drive about an input is a diagnostic, printed as a
// compiler prints one: place, severity, message, then its notes and help.
#include <gtest/gtest.h>

#include "tools/velt-drive/util/diagnostic.h"

namespace velt::drive {
namespace {

TEST(Diagnostic, NamesAsMuchOfThePlaceAsIsKnown) {
    const struct {
        SourceLocation where;
        const char* expected;
    } cases[] = {
        {{"a.drive", 3, 7}, "a.drive:3:7: warning: what\n"},
        {{"a.drive", 3, 0}, "a.drive:3: warning: what\n"},
        {{"a.drive", 0, 0}, "a.drive: warning: what\n"},
        {{"", 0, 0}, "warning: what\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatDiagnostic(diagnosticAt(Severity::Warning, c.where, "what")), c.expected);
}

TEST(Diagnostic, PrintsItsNotesAndHelpOnLinesOfTheirOwn) {
    Diagnostic d = diagnosticAt(Severity::Error, {"s.drive", 25, 1}, "expectation not met");
    d.note = "armed here";
    d.noteWhere = {"s.drive", 17, 1};
    d.moreNotes = {"start-speed 60 km/h: braked", "and 3 more"};
    d.help = "lower the speed";
    EXPECT_EQ(formatDiagnostic(d),
              "s.drive:25:1: error: expectation not met\n"
              "s.drive:17:1: note: armed here\n"
              "  note: start-speed 60 km/h: braked\n"
              "  note: and 3 more\n"
              "  help: lower the speed\n");
    d.noteWhere = {};  // a note about no place in particular
    d.moreNotes.clear();
    d.help.clear();
    EXPECT_EQ(formatDiagnostic(d),
              "s.drive:25:1: error: expectation not met\n  note: armed here\n");
}

TEST(Diagnostic, ThrownSaysItsFirstLine) {
    const DiagnosticError error(diagnosticAt(Severity::Error, {"x.drive", 2, 1}, "unknown word"));
    EXPECT_STREQ(error.what(), "x.drive:2:1: error: unknown word");
    EXPECT_EQ(error.diagnostic().where.line, 2);
}

}  // namespace
}  // namespace velt::drive
