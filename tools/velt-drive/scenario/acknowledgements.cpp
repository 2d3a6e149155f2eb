// "velt-drive: allow NAME, ..." in a comment, and the findings it quiets.
#include <string>
#include <string_view>
#include <utility>

#include "tools/velt-drive/scenario/parser.h"
#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

void scenarioread::Parser::acknowledgement(std::string_view comment, int number) {
    static constexpr std::string_view kMark = "velt-drive: allow";
    const std::size_t at = comment.find(kMark);
    if (at == std::string_view::npos) return;
    Acknowledgement ack;
    ack.line = number;
    std::string name;
    for (const char c : comment.substr(at + kMark.size())) {
        if (c == ',' || c == ' ' || c == '\t' || c == '\r') {
            if (!name.empty()) ack.names.push_back(name);
            name.clear();
        } else {
            name += c;
        }
    }
    if (!name.empty()) ack.names.push_back(name);
    scenario_.acknowledgements.push_back(std::move(ack));
}

std::string findingName(const Diagnostic& finding) {
    const std::string& text = finding.message;
    if (text.empty() || text.back() != ']') return "";
    const std::size_t open = text.rfind('[');
    if (open == std::string::npos || open == 0 || text[open - 1] != ' ') return "";
    return text.substr(open + 1, text.size() - open - 2);
}

bool acknowledged(const Scenario& scenario, const Diagnostic& finding) {
    if (finding.where.file != scenario.file || finding.where.line <= 0) return false;
    const std::string name = findingName(finding);
    for (const Acknowledgement& ack : scenario.acknowledgements) {
        if (ack.line != finding.where.line) continue;
        if (ack.names.empty()) return true;
        for (const std::string& allowed : ack.names)
            if (allowed == name) return true;
    }
    return false;
}

}  // namespace velt::drive
