// Expressions into statements (namespace, command, indices, arguments with
// their columns), the units of length and speed, and the position each
// Track command stands at.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/velt-drive/route/reader_state.h"
#include "tools/velt-drive/route/text.h"

namespace velt::drive::routeread {

namespace {

using routetext::lowered;
using routetext::readLooseNumber;
using routetext::trim;

// The sections of an RW file; [Railway] holds the Track commands.
constexpr std::string_view kKnownSections[] = {
    "railway", "options", "route", "train", "object", "cycle", "signal", "structure", "texture"};

// The index of the ')' that closes the '(' at `open`, or the end.
std::size_t matchingParenthesis(std::string_view text, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')' && --depth == 0) return i;
    }
    return text.size();
}

bool looksLikePosition(std::string_view head) {
    if (head.empty()) return false;
    const char c = head.front();
    const bool digitAfter = head.size() > 1 && head[1] >= '0' && head[1] <= '9';
    return (c >= '0' && c <= '9') || ((c == '.' || c == '+' || c == '-') && digitAfter) ||
           ((c == '+' || c == '-') && head.size() > 2 && head[1] == '.' && head[2] >= '0' &&
            head[2] <= '9');
}

std::string join(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ":") + part;
    return text;
}

}  // namespace

// ---- statements

// Splits an argument list at ';' (and ',' in RW), trimming each.
std::vector<Argument> Reader::splitArguments(std::string_view text, int column, bool exact) const {
    std::vector<Argument> arguments;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ';' && !(rw_ && text[i] == ',')) continue;
        const std::string_view piece = text.substr(start, i - start);
        const std::string_view value = trim(piece);
        const std::size_t lead =
            value.empty() ? 0 : static_cast<std::size_t>(value.data() - piece.data());
        arguments.push_back(
            {std::string(value), exact ? column + static_cast<int>(start + lead) : column});
        start = i + 1;
    }
    if (arguments.size() == 1 && arguments.front().text.empty()) arguments.clear();
    return arguments;
}

void Reader::parse(const routeread::Expression& expression) {
    Statement statement;
    statement.where = expression.where;
    statement.offset = expression.offset;
    if (expression.header) {
        statement.kind = Statement::Kind::Header;
        statement.name = lowered(expression.text);
        if (statement.name == "railway") {
            section_ = "track";
        } else if (among(kKnownSections, statement.name)) {
            section_ = statement.name;
        } else {
            section_ = "?";
        }
        statements_.push_back(std::move(statement));
        return;
    }
    const std::string_view text = expression.text;
    const bool exact = expression.asWritten;
    const int column = expression.where.column;
    auto columnOf = [&](std::string_view part) {
        return exact ? column + static_cast<int>(part.data() - text.data()) : column;
    };

    // The command runs to the first space outside parentheses (RW:
    // "Key = value" means "Key value").
    std::string_view head = text;
    std::string_view rest;
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if (depth != 0) continue;
        if (rw_ && c == '=') {
            head = trim(text.substr(0, i));
            rest = trim(text.substr(i + 1));
            break;
        }
        if (c == ' ' || c == '\t') {
            head = text.substr(0, i);
            rest = trim(text.substr(i + 1));
            const std::size_t equals = rest.find('=');
            if (rw_ && equals != std::string_view::npos && trim(rest.substr(0, equals)).empty()) {
                rest = trim(rest.substr(equals + 1));
            }
            break;
        }
    }

    if (looksLikePosition(head)) {
        if (!rest.empty()) {
            fail(expression.where,
                 "a track position takes no arguments: '" + std::string(text) + "'",
                 "put a comma after the position");
        }
        statement.kind = Statement::Kind::Position;
        std::size_t start = 0;
        while (true) {
            const std::size_t colon = head.find(':', start);
            statement.parts.emplace_back(head.substr(
                start, colon == std::string_view::npos ? std::string_view::npos : colon - start));
            if (colon == std::string_view::npos) break;
            start = colon + 1;
        }
        statements_.push_back(std::move(statement));
        return;
    }

    std::string nameText;
    std::string_view inside;
    bool hasParenthesis = false;
    int insideColumn = column;
    for (std::size_t i = 0; i < head.size(); ++i) {
        if (head[i] != '(') {
            nameText.push_back(head[i]);
            continue;
        }
        const std::size_t close = matchingParenthesis(head, i);
        if (!hasParenthesis) {
            inside = head.substr(i + 1, close > i ? close - i - 1 : 0);
            insideColumn = columnOf(inside);
            hasParenthesis = true;
        }
        i = close;
    }
    statement.shown = std::string(trim(nameText));
    std::string_view argumentText;
    int argumentColumn = column;
    if (!rest.empty()) {
        argumentText = rest;
        argumentColumn = columnOf(rest);
        if (hasParenthesis) statement.indices = std::string(trim(inside));
        if (!hasParenthesis && rest.front() == '(' &&
            matchingParenthesis(rest, 0) == rest.size() - 1) {
            argumentText = rest.substr(1, rest.size() - 2);  // Cmd (a;b)
            argumentColumn = columnOf(argumentText);
        }
    } else if (hasParenthesis) {
        argumentText = inside;
        argumentColumn = insideColumn;
    }

    const std::string name = lowered(statement.shown);
    if (!name.empty() && name.front() == '.') {
        if (with_.empty()) {
            warn(expression.where, "'" + statement.shown + "' comes before any With: skipped",
                 "put 'With Track' before commands that begin with '.'");
            return;
        }
        statement.space = with_;
        statement.name = name.substr(1);
    } else if (const std::size_t dot = name.find('.'); dot != std::string::npos) {
        statement.space = name.substr(0, dot);
        statement.name = name.substr(dot + 1);
    } else if (!rw_ && name == "with") {
        with_ = lowered(trim(argumentText));
        return;
    } else {
        statement.space = rw_ ? section_ : std::string();
        statement.name = name;
    }
    if (rw_ && statement.space == "?") return;  // inside a section reported as unknown
    statement.arguments = splitArguments(argumentText, argumentColumn, exact);
    statements_.push_back(std::move(statement));
}

// ---- units, read before everything else

std::vector<double> Reader::factorsOf(const Statement& statement) {
    std::vector<double> factors;
    for (const Argument& argument : statement.arguments) {
        if (argument.text.empty()) {
            factors.push_back(1.0);
            continue;
        }
        const auto value = readLooseNumber(argument.text);
        if (!value || !(*value > 0.0)) {
            fail(at(statement, argument),
                 "'" + argument.text +
                     "' is not a unit: a unit is a number of metres (or km/h) above 0",
                 "write the factor as a positive number, e.g. Options.UnitOfLength 20;1");
        }
        factors.push_back(*value);
    }
    return factors;
}

void Reader::readUnits() {
    for (const Statement& statement : statements_) {
        if (statement.kind != Statement::Kind::Command || statement.space != "options") continue;
        if (statement.name == "unitoflength") {
            std::vector<double> factors = factorsOf(statement);
            if (!factors.empty()) route_.lengthFactors = std::move(factors);
        } else if (statement.name == "unitofspeed") {
            const std::vector<double> factors = factorsOf(statement);
            if (!factors.empty()) route_.speedFactor = factors.front();
        }
    }
}

double Reader::positionOf(const Statement& statement) const {
    const std::vector<double>& factors = route_.lengthFactors;
    const std::size_t parts = statement.parts.size();
    if (parts > factors.size()) {
        fail(statement.where,
             "the position '" + join(statement.parts) + "' has " + std::to_string(parts) +
                 " parts but Options.UnitOfLength gives " + std::to_string(factors.size()) +
                 " factor" + (factors.size() == 1 ? "" : "s"),
             "give Options.UnitOfLength a factor for each part, or write the position in "
             "metres");
    }
    double value = 0.0;
    for (std::size_t i = 0; i < parts; ++i) {
        const auto number = routetext::readStrictNumber(trim(statement.parts[i]));
        if (!number) {
            fail(statement.where, "'" + join(statement.parts) + "' is not a track position",
                 "a position is a number alone (dot decimal, no unit), or a:b:c with "
                 "Options.UnitOfLength");
        }
        if (*number < 0.0) {
            fail(statement.where, "the track position " + join(statement.parts) + " is negative",
                 "positions count from 0 at the route's origin");
        }
        value += *number * factors[factors.size() - parts + i];
    }
    // An include's offset is metres, added after the units.
    value += statement.offset;
    if (value < 0.0) {
        fail(statement.where,
             "the track position " + join(statement.parts) +
                 " is negative after the include's offset",
             "check the offset of the $Include that brings in this file");
    }
    return value;
}

// Positions in order; Track commands collected at the position in force
// where they stand, every other command applied to the whole route.
std::vector<TrackCommand> Reader::placeCommands() {
    std::vector<TrackCommand> track;
    double position = 0.0;
    for (std::size_t i = 0; i < statements_.size(); ++i) {
        const Statement& statement = statements_[i];
        switch (statement.kind) {
            case Statement::Kind::Position: position = positionOf(statement); break;
            case Statement::Kind::Header: enterSection(statement); break;
            case Statement::Kind::Command:
                if (statement.space == "track") {
                    track.push_back({position, i});
                } else {
                    applyRouteWide(statement);
                }
                break;
        }
    }
    return track;
}

void Reader::enterSection(const Statement& statement) {
    // Parsing already used the sections to name the commands; this only
    // reports the ones it does not know.
    if (!among(kKnownSections, statement.name)) {
        warn(statement.where, "unknown section [" + statement.name + "]: its lines are skipped",
             "RW files know [Options], [Route], [Train], [Object], [Cycle], [Signal] and "
             "[Railway]");
    }
}

}  // namespace velt::drive::routeread
