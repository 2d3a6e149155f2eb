#include "tools/velt-drive/route/expressions.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>

#include "tools/velt-drive/route/text.h"

namespace velt::drive::routeread {

namespace {

using routetext::equalsIgnoreCase;
using routetext::startsWithIgnoreCase;
using routetext::trim;

// The generator behind $Rnd and weighted includes: splitmix64, integer
// arithmetic only, so a seed draws the same route on every platform.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next() {
        state_ += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state_;
        z = (z ^ (z >> 30U)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27U)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31U);
    }
    // Uniform in [0, 1), from the top 53 bits.
    double unit() { return static_cast<double>(next() >> 11U) * (1.0 / 9007199254740992.0); }

private:
    std::uint64_t state_;
};

void appendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (code >> 6U)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
    } else if (code < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (code >> 12U)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (code >> 18U)));
        out.push_back(static_cast<char>(0x80 | ((code >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | ((code >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80 | (code & 0x3FU)));
    }
}

// UTF-16 text (after its byte-order mark) as UTF-8, so that names survive
// and no half of a character reads as a control byte.
std::string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? static_cast<std::uint32_t>(a << 8U | b)
                         : static_cast<std::uint32_t>(b << 8U | a);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t code = unit(i);
        if (code >= 0xD800 && code < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                code = 0x10000 + ((code - 0xD800) << 10U) + (low - 0xDC00);
                i += 2;
            }
        }
        if (code >= 0xD800 && code < 0xE000) code = 0xFFFD;
        appendUtf8(out, code);
    }
    return out;
}

// The text of a file: UTF-16 decoded when it says so, a UTF-8 mark
// dropped, NUL characters removed, everything after an end-of-file mark
// (Ctrl-Z) ignored; other bytes kept as they are.
std::string decodeText(const std::string& bytes) {
    std::string text;
    const std::string_view view = bytes;
    if (view.size() >= 2 && static_cast<unsigned char>(view[0]) == 0xFF &&
        static_cast<unsigned char>(view[1]) == 0xFE) {
        text = fromUtf16(view.substr(2), false);
    } else if (view.size() >= 2 && static_cast<unsigned char>(view[0]) == 0xFE &&
               static_cast<unsigned char>(view[1]) == 0xFF) {
        text = fromUtf16(view.substr(2), true);
    } else if (view.size() >= 3 && view.substr(0, 3) == "\xEF\xBB\xBF") {
        text = bytes.substr(3);
    } else {
        text = bytes;
    }
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    if (const std::size_t eof = text.find('\x1A'); eof != std::string::npos) text.resize(eof);
    return text;
}

bool isControl(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f';
}

std::string hexByte(char c) {
    static const char* const kDigits = "0123456789ABCDEF";
    const auto u = static_cast<unsigned char>(c);
    return std::string("0x") + kDigits[u >> 4U] + kDigits[u & 0xFU];
}

// The pieces of a line between separators outside parentheses, with the
// 0-based offset of each in the line.
std::vector<std::pair<std::string_view, std::size_t>> splitTopLevel(std::string_view line,
                                                                    char separator) {
    std::vector<std::pair<std::string_view, std::size_t>> pieces;
    int depth = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth > 0) --depth;
        } else if (c == separator && depth == 0) {
            pieces.emplace_back(line.substr(start, i - start), start);
            start = i + 1;
        }
    }
    pieces.emplace_back(line.substr(start), start);
    return pieces;
}

// An RW line without its comment: ';' outside parentheses starts one,
// unless an '=' outside parentheses came before it.
std::string_view withoutRwComment(std::string_view line) {
    int depth = 0;
    bool assignment = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '(') {
            ++depth;
        } else if (c == ')') {
            if (depth > 0) --depth;
        } else if (depth == 0 && c == '=') {
            assignment = true;
        } else if (depth == 0 && c == ';' && !assignment) {
            return line.substr(0, i);
        }
    }
    return line;
}

bool onlySpaces(std::string_view text) { return trim(text).empty(); }

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

enum class DirectiveKind { None, Include, If, Else, EndIf, Assign };

struct Directive {
    DirectiveKind kind = DirectiveKind::None;
    std::string argument;
    std::size_t column = 0;  // 0-based, in the expression
    long subIndex = 0;
};

struct IfFrame {
    bool parentActive = true;
    bool condition = true;
    bool sawElse = false;
    SourceLocation where;
    [[nodiscard]] bool taking() const { return parentActive && condition; }
};

class Preprocessor {
public:
    Preprocessor(const PreprocessOptions& options, std::string mainPath)
        : options_(options), mainPath_(std::move(mainPath)), random_(options.seed) {}

    Preprocessed run(const std::string& mainBytes) {
        readFile(mainBytes, mainPath_, 0.0, 0);
        if (!ifs_.empty()) {
            Diagnostic warning;
            warning.where = ifs_.back().where;
            warning.message = "this $If has no $EndIf; the blocks run to the end of the route";
            warning.help = "close it with $EndIf()";
            result_.warnings.push_back(std::move(warning));
        }
        return std::move(result_);
    }

private:
    [[noreturn]] static void fail(SourceLocation where, std::string message, std::string help) {
        throw DiagnosticError(
            diagnosticAt(Severity::Error, std::move(where), std::move(message), std::move(help)));
    }

    [[nodiscard]] bool active() const { return ifs_.empty() || ifs_.back().taking(); }

    void readFile(const std::string& bytes, const std::string& path, double offset, int depth) {
        if (std::find(result_.files.begin(), result_.files.end(), path) == result_.files.end()) {
            result_.files.push_back(path);
        }
        const std::string text = decodeText(bytes);
        int number = 1;
        std::size_t start = 0;
        while (start <= text.size()) {
            std::size_t end = text.find_first_of("\r\n", start);
            if (end == std::string::npos) end = text.size();
            const std::string_view line = std::string_view(text).substr(start, end - start);
            checkPlainText(line, path, number);
            readLine(line, path, number, offset, depth);
            if (end == text.size()) break;
            start =
                end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
            ++number;
        }
    }

    static void checkPlainText(std::string_view line, const std::string& path, int number) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            if (isControl(line[i])) {
                fail({path, number, static_cast<int>(i) + 1},
                     "not a route file: control byte " + hexByte(line[i]) +
                         " (a binary file, or text in an encoding without NULs?)",
                     "give the route's .csv or .rw text file");
            }
        }
    }

    void readLine(std::string_view line, const std::string& path, int number, double offset,
                  int depth) {
        char separator = ',';
        if (options_.rw) {
            separator = '@';
            line = withoutRwComment(line);
            const std::string_view trimmed = trim(line);
            if (!trimmed.empty() && trimmed.front() == '[') {
                if (!active()) return;
                const std::size_t close = trimmed.find(']');
                Expression header;
                header.text = std::string(trim(trimmed.substr(
                    1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
                header.where = {path, number, static_cast<int>(trimmed.data() - line.data()) + 1};
                header.header = true;
                emit(std::move(header));
                return;
            }
        }
        for (const auto& [piece, at] : splitTopLevel(line, separator)) {
            const std::string_view text = trim(piece);
            if (text.empty() || text.front() == ';') continue;
            const auto column =
                static_cast<int>(at + static_cast<std::size_t>(text.data() - piece.data())) + 1;
            expression(std::string(text), {path, number, column}, offset, depth);
        }
    }

    // An $If, $Else or $EndIf met inside a block that is not taken: only
    // its nesting counts, its argument is not evaluated.
    bool skipped(const std::string& text, const SourceLocation& where) {
        if (active()) return false;
        if (startsWithIgnoreCase(text, "$if(")) {
            ifs_.push_back({false, false, false, where});
        } else if (startsWithIgnoreCase(text, "$else(")) {
            ifs_.back().condition = !ifs_.back().condition;
        } else if (startsWithIgnoreCase(text, "$endif(")) {
            ifs_.pop_back();
        }
        return true;
    }

    void expression(std::string text, const SourceLocation& where, double offset, int depth) {
        if (skipped(text, where)) return;
        const std::string written = text;
        const Directive directive = evaluate(text, where);
        SourceLocation at = where;
        at.column += static_cast<int>(directive.column);
        switch (directive.kind) {
            case DirectiveKind::If: {
                const auto value = routetext::readLooseNumber(directive.argument);
                if (!value) {
                    fail(at, "$If needs a number, not '" + directive.argument + "'",
                         "0 skips the block, anything else takes it");
                }
                ifs_.push_back({active(), *value != 0.0, false, at});
                return;
            }
            case DirectiveKind::Else:
                if (ifs_.empty())
                    fail(at, "$Else without $If", "remove it or add an $If before it");
                if (ifs_.back().sawElse) {
                    fail(at, "a second $Else for the same $If", "an $If takes one $Else");
                }
                ifs_.back().sawElse = true;
                ifs_.back().condition = !ifs_.back().condition;
                return;
            case DirectiveKind::EndIf:
                if (ifs_.empty())
                    fail(at, "$EndIf without $If", "remove it or add an $If before it");
                ifs_.pop_back();
                return;
            case DirectiveKind::Assign: subs_[directive.subIndex] = directive.argument; return;
            case DirectiveKind::Include: include(directive.argument, at, offset, depth); return;
            case DirectiveKind::None: break;
        }
        const std::string_view trimmed = trim(text);
        if (trimmed.empty()) return;
        Expression out;
        out.asWritten = text == written;
        out.text = std::string(trimmed);
        out.where = where;
        out.offset = offset;
        emit(std::move(out));
    }

    void emit(Expression expression) {
        if (result_.expressions.size() >= options_.maxExpressions) {
            fail(expression.where,
                 "the route grows beyond " + std::to_string(options_.maxExpressions) +
                     " expressions",
                 "does an included file include itself, directly or through others?");
        }
        result_.expressions.push_back(std::move(expression));
    }

    // The matching ')' of the '(' at `open`, or npos.
    static std::size_t closing(const std::string& text, std::size_t open) {
        int depth = 0;
        for (std::size_t i = open; i < text.size(); ++i) {
            if (text[i] == '(') ++depth;
            if (text[i] == ')' && --depth == 0) return i;
        }
        return std::string::npos;
    }

    long integerArgument(const std::string& argument, const SourceLocation& at,
                         const char* directive) {
        const auto value = routetext::readLooseNumber(argument);
        const auto rounded = value ? routetext::roundHalfEven(*value) : std::nullopt;
        if (!rounded) {
            fail(at, std::string(directive) + " needs an integer, not '" + argument + "'",
                 "write a whole number");
        }
        return *rounded;
    }

    // Evaluates the directives of one expression from right to left: those
    // that give text are replaced by it; the first that stands for the
    // whole expression ($Include, $If, $Else, $EndIf, $Sub(i) = x) ends
    // the evaluation and is returned.
    Directive evaluate(std::string& text, const SourceLocation& where) {
        static constexpr std::string_view kNames[] = {"$chr(", "$rnd(",  "$sub(",  "$include(",
                                                      "$if(",  "$else(", "$endif("};
        std::size_t end = text.size();
        while (end > 0) {
            const std::size_t dollar = text.rfind('$', end - 1);
            if (dollar == std::string::npos) break;
            end = dollar;
            const std::string_view rest = std::string_view(text).substr(dollar);
            std::string_view name;
            for (const std::string_view candidate : kNames) {
                if (startsWithIgnoreCase(rest, candidate)) name = candidate;
            }
            if (name.empty()) continue;
            SourceLocation at = where;
            at.column += static_cast<int>(dollar);
            const std::size_t open = dollar + name.size() - 1;
            const std::size_t close = closing(text, open);
            const std::string shown(name.substr(0, name.size() - 1));
            if (close == std::string::npos) {
                fail(at, "this " + shown + "( has no closing parenthesis",
                     "close it with ')' on the same line");
            }
            const std::string argument(
                trim(std::string_view(text).substr(open + 1, close - open - 1)));
            const bool alone = onlySpaces(std::string_view(text).substr(0, dollar));
            if (name == "$chr(") {
                const long code = integerArgument(argument, at, "$Chr");
                if (code < 1 || code > 127) {
                    fail(at, "$Chr(" + std::to_string(code) + ") is not a character code",
                         "give an ASCII code from 1 to 127");
                }
                text.replace(dollar, close + 1 - dollar, 1, static_cast<char>(code));
            } else if (name == "$rnd(") {
                const std::size_t semicolon = argument.find(';');
                if (semicolon == std::string::npos) {
                    fail(at, "$Rnd needs two integers, as in $Rnd(1;6)", "write $Rnd(low;high)");
                }
                const long low = integerArgument(argument.substr(0, semicolon), at, "$Rnd");
                const long high = integerArgument(argument.substr(semicolon + 1), at, "$Rnd");
                if (low > high) {
                    fail(at,
                         "$Rnd(" + std::to_string(low) + ";" + std::to_string(high) +
                             ") has its low end above its high end",
                         "write the lower number first");
                }
                const auto span =
                    static_cast<std::uint64_t>(static_cast<long long>(high) - low) + 1U;
                const long long drawn =
                    static_cast<long long>(low) + static_cast<long long>(random_.next() % span);
                result_.usedRandom = true;
                text.replace(dollar, close + 1 - dollar, std::to_string(drawn));
            } else if (name == "$sub(") {
                const long index = integerArgument(argument, at, "$Sub");
                if (index < 0) {
                    fail(at, "$Sub(" + std::to_string(index) + "): the index is negative",
                         "number the values from 0");
                }
                const std::string_view after = trim(std::string_view(text).substr(close + 1));
                if (alone && !after.empty() && after.front() == '=') {
                    Directive assign{DirectiveKind::Assign, std::string(trim(after.substr(1))),
                                     dollar, index};
                    return assign;
                }
                const auto found = subs_.find(index);
                if (found == subs_.end()) {
                    fail(at, "$Sub(" + std::to_string(index) + ") is read before it is set",
                         "set it first with $Sub(" + std::to_string(index) + ") = value");
                }
                text.replace(dollar, close + 1 - dollar, found->second);
            } else {
                if (!alone || !onlySpaces(std::string_view(text).substr(close + 1))) {
                    fail(at, shown + " must stand alone in its expression",
                         "put it between commas of its own");
                }
                DirectiveKind kind = DirectiveKind::Include;
                if (name == "$if(") kind = DirectiveKind::If;
                if (name == "$else(") kind = DirectiveKind::Else;
                if (name == "$endif(") kind = DirectiveKind::EndIf;
                return {kind, argument, dollar, 0};
            }
            if (text.size() > options_.maxExpressionBytes) {
                fail(at,
                     "the expression grows beyond " + std::to_string(options_.maxExpressionBytes) +
                         " bytes",
                     "does a $Sub keep doubling its own value?");
            }
        }
        return {};
    }

    struct IncludeChoice {
        std::string file;
        double offset = 0.0;
        double weight = 1.0;
    };

    IncludeChoice chooseInclude(const std::string& argument, const SourceLocation& at) {
        std::vector<std::string> items;
        std::size_t start = 0;
        while (true) {
            const std::size_t semicolon = argument.find(';', start);
            items.emplace_back(trim(std::string_view(argument).substr(
                start, semicolon == std::string::npos ? std::string::npos : semicolon - start)));
            if (semicolon == std::string::npos) break;
            start = semicolon + 1;
        }
        std::vector<IncludeChoice> choices;
        double total = 0.0;
        for (std::size_t i = 0; i < items.size(); i += 2) {
            IncludeChoice choice;
            choice.file = items[i];
            if (const std::size_t colon = choice.file.rfind(':'); colon != std::string::npos) {
                if (const auto offset = routetext::readStrictNumber(
                        trim(std::string_view(choice.file).substr(colon + 1)))) {
                    choice.offset = *offset;
                    choice.file = std::string(trim(std::string_view(choice.file).substr(0, colon)));
                }
            }
            if (choice.file.empty()) {
                fail(at, "$Include names no file", "write $Include(file) or $Include(file:offset)");
            }
            if (i + 1 < items.size() && !items[i + 1].empty()) {
                const auto weight = routetext::readLooseNumber(items[i + 1]);
                if (!weight || *weight < 0.0) {
                    fail(at, "$Include: '" + items[i + 1] + "' is not a weight",
                         "weights are numbers of 0 or more: $Include(a.csv;2;b.csv;1)");
                }
                choice.weight = *weight;
            }
            total += choice.weight;
            choices.push_back(std::move(choice));
        }
        if (choices.size() == 1) return choices.front();
        if (!(total > 0.0)) {
            fail(at, "$Include: every weight is 0", "give at least one file a weight above 0");
        }
        result_.usedRandom = true;
        const double drawn = random_.unit() * total;
        double cumulative = 0.0;
        for (const IncludeChoice& choice : choices) {
            cumulative += choice.weight;
            if (drawn < cumulative) return choice;
        }
        for (auto it = choices.rbegin(); it != choices.rend(); ++it) {
            if (it->weight > 0.0) return *it;
        }
        return choices.back();
    }

    void include(const std::string& argument, const SourceLocation& at, double offset, int depth) {
        const IncludeChoice choice = chooseInclude(argument, at);
        if (depth + 1 > options_.maxIncludeDepth) {
            fail(at,
                 "includes nest deeper than " + std::to_string(options_.maxIncludeDepth) + " files",
                 "does an included file include itself, directly or through others?");
        }
        const std::string path = includePath(mainPath_, choice.file);
        std::optional<std::string> bytes;
        if (options_.readFile) bytes = options_.readFile(path);
        if (!bytes) {
            const std::string folder = folderOf(mainPath_);
            fail(at, "cannot read the included file " + path,
                 "an include is found relative to the main route file's folder (" +
                     (folder.empty() ? std::string(".") : folder) + ")");
        }
        readFile(*bytes, path, offset + choice.offset, depth + 1);
    }

    const PreprocessOptions& options_;
    std::string mainPath_;
    Random random_;
    Preprocessed result_;
    std::vector<IfFrame> ifs_;
    std::map<long, std::string> subs_;
};

}  // namespace

std::string includePath(const std::string& mainPath, const std::string& written) {
    std::string relative = written;
    std::replace(relative.begin(), relative.end(), '\\', '/');
    const bool absolute = (!relative.empty() && relative.front() == '/') ||
                          (relative.size() >= 2 && relative[1] == ':' &&
                           ((relative[0] >= 'A' && relative[0] <= 'Z') ||
                            (relative[0] >= 'a' && relative[0] <= 'z')));
    const std::string folder = folderOf(mainPath);
    if (absolute || folder.empty()) return relative;
    return folder + "/" + relative;
}

std::optional<std::string> readFileFromDisk(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path found = fs::u8path(path);
    if (!fs::is_regular_file(found, error)) {
        // Route files are written on a system that ignores case in file
        // names; match each missing part of the path without regard to it.
        fs::path rebuilt = found.root_path();
        for (const fs::path& part : found.relative_path()) {
            fs::path next = rebuilt / part;
            if (!fs::exists(next, error)) {
                const fs::path folder = rebuilt.empty() ? fs::path(".") : rebuilt;
                for (fs::directory_iterator it(folder, error), done; !error && it != done;
                     it.increment(error)) {
                    if (equalsIgnoreCase(it->path().filename().u8string(), part.u8string())) {
                        next = rebuilt / it->path().filename();
                        break;
                    }
                }
            }
            rebuilt = next;
        }
        found = rebuilt;
        if (!fs::is_regular_file(found, error)) return std::nullopt;
    }
    std::ifstream in(found, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) return std::nullopt;
    return bytes;
}

Preprocessed preprocess(const std::string& mainBytes, const std::string& mainPath,
                        const PreprocessOptions& options) {
    return Preprocessor(options, mainPath).run(mainBytes);
}

}  // namespace velt::drive::routeread
