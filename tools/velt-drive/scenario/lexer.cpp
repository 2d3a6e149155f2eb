#include "tools/velt-drive/scenario/lexer.h"

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

bool isControl(unsigned char c) {
    return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
}

const char kHex[] = "0123456789ABCDEF";

std::string hexByte(unsigned char c) { return std::string("\\x") + kHex[c >> 4] + kHex[c & 0xF]; }

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte)) {
            out += hexByte(byte);
        } else {
            out += c;
        }
    }
    return out;
}

void requirePlainText(std::string_view text, const std::string& file) {
    int line = 1;
    int column = 1;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (isControl(byte))
            throw scenarioError(file, {line, column},
                                "not a text file (byte 0x" + hexByte(byte).substr(2) +
                                    "): a scenario is plain text, see docs/scenario-format.md");
        if (c == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
}

namespace {

// "expected a number for X, found '900m'", with the fix when the author wrote
// the unit against the number.
std::string notANumber(const std::string& what, const std::string& text) {
    std::string message = "expected a number for " + what + ", found '" + printable(text) + "'";
    std::size_t digits = 0;
    while (digits < text.size() && ((text[digits] >= '0' && text[digits] <= '9') ||
                                    text[digits] == '.' || (digits == 0 && text[digits] == '-')))
        ++digits;
    if (digits == 0 || digits == text.size()) return message;
    const std::string number = text.substr(0, digits);
    const std::string unit = text.substr(digits);
    const bool knownUnit =
        unit == "m" || unit == "s" || unit == "ms" || unit == "km/h" || unit == "km/h/s";
    if (!knownUnit || parseDecimal(number).status == NumberStatus::Malformed) return message;
    return message + "; write the number and its unit apart: '" + number + " " + unit + "'";
}

}  // namespace

Line::Line(const std::string& file, int number, std::string_view text)
    : file_(file), number_(number), raw_(text), commentAt_(text.size()) {
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') {
            commentAt_ = i;
            break;
        }
        Token token;
        token.column = static_cast<int>(i) + 1;
        if (c == '"') {
            const std::size_t close = text.find('"', i + 1);
            if (close == std::string::npos) fail(token.column, "unterminated quoted name");
            token.text = std::string(text.substr(i + 1, close - i - 1));
            token.quoted = true;
            i = close + 1;
        } else {
            const std::size_t end = text.find_first_of(" \t\r#", i);
            const std::size_t stop = end == std::string::npos ? text.size() : end;
            token.text = std::string(text.substr(i, stop - i));
            i = stop;
        }
        tokens_.push_back(token);
    }
    const std::size_t last = std::string_view(raw_).substr(0, commentAt_).find_last_not_of(" \t\r");
    endColumn_ = last == std::string::npos ? 1 : static_cast<int>(last) + 2;
}

const Token& Line::take(const std::string& what) {
    if (atEnd()) fail(endColumn_, "missing " + what);
    return tokens_[next_++];
}

const Token& Line::peekRequired(const std::string& what) const {
    if (atEnd()) fail(endColumn_, "missing " + what);
    return tokens_[next_];
}

void Line::expectWord(const char* word, const std::string& context) {
    const Token& token = take("'" + std::string(word) + "' " + context);
    if (token.text != word)
        fail(token, "expected '" + std::string(word) + "' " + context + ", found '" +
                        printable(token.text) + "'");
}

bool Line::acceptWord(const char* word) {
    if (!peekIs(word)) return false;
    ++next_;
    return true;
}

void Line::expectEnd() {
    if (!atEnd()) fail(tokens_[next_], "unexpected '" + printable(tokens_[next_].text) + "'");
}

std::string Line::textFrom(int column) const {
    const auto from = static_cast<std::size_t>(column - 1);
    const std::string_view text = std::string_view(raw_).substr(0, commentAt_);
    const std::size_t last = text.find_last_not_of(" \t\r");
    if (last == std::string::npos || last < from) return "";
    return std::string(text.substr(from, last + 1 - from));
}

std::int32_t Line::integer(const std::string& what, std::int64_t low, std::int64_t high) {
    return integer(what, take(what), low, high);
}

std::int32_t Line::integer(const std::string& what, const Token& token, std::int64_t low,
                           std::int64_t high) {
    const Parsed<std::int64_t> parsed = parseInteger(token.text);
    if (parsed.status == NumberStatus::Malformed)
        fail(token, "expected an integer for " + what + ", found '" + printable(token.text) + "'");
    if (parsed.status == NumberStatus::OutOfRange || parsed.value < low || parsed.value > high)
        fail(token, what + " " + token.text + " is out of range " + std::to_string(low) + " to " +
                        std::to_string(high));
    return static_cast<std::int32_t>(parsed.value);
}

double Line::decimal(const std::string& what, const Token& token, double low, double high) {
    const Parsed<double> parsed = parseDecimal(token.text);
    if (parsed.status == NumberStatus::Malformed) fail(token, notANumber(what, token.text));
    if (parsed.status == NumberStatus::OutOfRange || parsed.value < low || parsed.value > high)
        fail(token, what + " " + token.text + " is out of range " + formatPlain(low) + " to " +
                        formatPlain(high));
    return parsed.value;
}

double Line::quantity(const std::string& what, const char* unit, double low, double high) {
    const Token& token = take(what);
    // The unit first: "45 m" for a speed is a wrong unit, whatever the number.
    const Parsed<double> parsed = parseDecimal(token.text);
    if (parsed.status == NumberStatus::Malformed) fail(token, notANumber(what, token.text));
    expectUnit(unit, token);
    return decimal(what, token, low, high);
}

Measure Line::measure(const std::string& what, std::initializer_list<UnitRange> units) {
    const Token& token = take(what);
    const Parsed<double> parsed = parseDecimal(token.text);
    if (parsed.status == NumberStatus::Malformed) fail(token, notANumber(what, token.text));
    std::string names;
    std::size_t index = 0;
    for (const UnitRange& range : units) {
        if (peekIs(range.unit)) {
            ++next_;
            return {decimal(range.what, token, range.low, range.high), index};
        }
        names += std::string(names.empty() ? "" : "' or '") + range.unit;
        ++index;
    }
    expectUnit(names.c_str(), token);  // names the units it takes, and throws
    return {};
}

void Line::expectUnit(const char* unit, const Token& number) {
    if (atEnd()) fail(endColumn_, "missing unit '" + std::string(unit) + "' after " + number.text);
    const Token& token = tokens_[next_];
    if (token.text != unit)
        fail(token, "expected unit '" + std::string(unit) + "' after " + number.text + ", found '" +
                        printable(token.text) + "'");
    ++next_;
}

void Line::fail(int column, const std::string& text) const {
    throw scenarioError(file_, {number_, column}, text);
}

std::optional<std::int64_t> parseClock(const std::string& text) {
    int fields[3] = {0, 0, 0};
    int count = 0;
    std::size_t i = 0;
    std::int64_t fractionMs = 0;
    while (count < 3) {
        std::size_t digits = 0;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 2) {
            value = value * 10 + (text[i] - '0');
            ++i;
            ++digits;
        }
        if (digits == 0 || (count > 0 && digits != 2)) return std::nullopt;
        fields[count++] = value;
        if (i == text.size()) break;
        if (text[i] == ':' && count < 3) {
            ++i;
            continue;
        }
        if (text[i] == '.' && count == 3) break;
        return std::nullopt;
    }
    if (count < 2) return std::nullopt;
    if (i < text.size()) {
        if (text[i] != '.' || count != 3) return std::nullopt;
        ++i;
        int scale = 100;
        if (i == text.size()) return std::nullopt;
        for (; i < text.size(); ++i) {
            if (text[i] < '0' || text[i] > '9' || scale == 0) return std::nullopt;
            fractionMs += static_cast<std::int64_t>(text[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
    return ((fields[0] * 60LL + fields[1]) * 60LL + fields[2]) * 1000LL + fractionMs;
}

}  // namespace velt::drive
