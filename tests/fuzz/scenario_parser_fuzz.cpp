// libFuzzer target for velt-drive's scenario parser: any text either parses
// or is rejected with a DiagnosticError that names the file and, when it
// points into the text, a line that exists. Any other exception, a crash, a
// sanitizer report or a hang is a finding.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/velt-drive/scenario/scenario.h"

namespace {

const std::string kFile = "fuzz.drive";

[[noreturn]] void fail(const char* what, const std::string& message) {
    (void)std::fprintf(stderr, "scenario-fuzz: %s: %s\n", what, message.c_str());
    std::abort();
}

void checkError(const velt::drive::DiagnosticError& e, const std::string& text) {
    const velt::drive::Diagnostic& d = e.diagnostic();
    const std::string message = e.what();
    if (d.where.file != kFile) {
        fail("the error does not name the file", message);
    }
    if (d.message.empty()) {
        fail("the error says nothing", message);
    }
    const auto lines = 1 + std::count(text.begin(), text.end(), '\n');
    if (d.where.line < 0 || d.where.line > lines + 1 || d.where.column < 0) {
        fail("the error points outside the text", message);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const velt::drive::Scenario scenario = velt::drive::parseScenario(text, kFile);
        if (scenario.name != "fuzz") {
            fail("a parsed scenario has the wrong name", scenario.name);
        }
    } catch (const velt::drive::DiagnosticError& e) {
        checkError(e, text);
    }
    return 0;
}
