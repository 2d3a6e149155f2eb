// The words of one scenario line, and the readers of the values an author
// writes: integers, numbers with their unit, names in quotes. Every mistake
// is thrown as a DiagnosticError that points at the word at fault.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/velt-drive/scenario/scenario.h"

namespace velt::drive {

struct Token {
    std::string text;
    int column = 0;
    bool quoted = false;
};

// The word as a message may show it: control bytes written as \xNN.
std::string printable(std::string_view text);

// Throws DiagnosticError when `text` is not plain text: a scenario holds no
// control bytes but tabs and line ends. Names the first such byte once.
void requirePlainText(std::string_view text, const std::string& file);

// A time of day written HH:MM, HH:MM:SS or HH:MM:SS.mmm, as ms of the day;
// nothing for anything else.
std::optional<std::int64_t> parseClock(const std::string& text);

// A unit a quantity may take, with the range allowed in that unit.
struct UnitRange {
    const char* unit;
    const char* what;  // the value's name in messages, e.g. "end time"
    double low;
    double high;
};

// A number with the unit that followed it: units[unit] of the list given.
struct Measure {
    double value = 0.0;
    std::size_t unit = 0;
};

// One line split into words. '#' outside quotes starts a comment; "..."
// keeps spaces and may hold '#'.
class Line {
public:
    Line(const std::string& file, int number, std::string_view text);

    bool empty() const { return tokens_.empty(); }
    bool atEnd() const { return next_ >= tokens_.size(); }
    SourcePos posOf(const Token& token) const { return {number_, token.column}; }

    const Token* peek() const { return atEnd() ? nullptr : &tokens_[next_]; }
    // The next word without taking it; `what` names it when it is missing.
    const Token& peekRequired(const std::string& what) const;
    bool peekIs(const char* word) const { return !atEnd() && tokens_[next_].text == word; }

    // The next word; `what` names the value for the message when it is missing.
    const Token& take(const std::string& what);
    void expectWord(const char* word, const std::string& context);
    bool acceptWord(const char* word);
    void expectEnd();

    // The line as written from `column` on, without its comment and
    // trailing blanks.
    std::string textFrom(int column) const;
    // The comment after '#', without the '#'; empty without one.
    [[nodiscard]] std::string_view comment() const {
        return commentAt_ < raw_.size() ? std::string_view(raw_).substr(commentAt_ + 1)
                                        : std::string_view();
    }

    std::int32_t integer(const std::string& what, std::int64_t low, std::int64_t high);
    // `token` read as an integer within [low, high].
    std::int32_t integer(const std::string& what, const Token& token, std::int64_t low,
                         std::int64_t high);
    // `token` read as a number within [low, high].
    double decimal(const std::string& what, const Token& token, double low, double high);
    // A number followed by its unit word, e.g. "600 m" or "45 km/h".
    double quantity(const std::string& what, const char* unit, double low, double high);
    // A number followed by one of several units, e.g. "61.5 s" or "1200 m".
    Measure measure(const std::string& what, std::initializer_list<UnitRange> units);

    [[noreturn]] void fail(int column, const std::string& text) const;
    [[noreturn]] void fail(const Token& token, const std::string& text) const {
        fail(token.column, text);
    }

private:
    void expectUnit(const char* unit, const Token& number);

    const std::string& file_;
    int number_;
    std::vector<Token> tokens_;
    std::string raw_;
    std::size_t commentAt_;  // index of the comment's '#', or the line's length
    std::size_t next_ = 0;
    int endColumn_ = 1;
};

}  // namespace velt::drive
