#include "tools/velt-drive/route/text.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <limits>

namespace velt::drive::routetext {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

// Exact powers of ten: every one up to 1e22 is a double without rounding.
constexpr std::array<double, 23> kPowersOfTen{1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                              1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                              1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The digits of a number already known to be well formed: [sign] digits
// [. digits] [(e|E) [sign] digits]. Up to 19 significant digits go into an
// integer, which is then scaled by exact powers of ten in a fixed order:
// correctly rounded for every value a route writes in practice (up to 15
// significant digits and 22 decimals), and the same bits everywhere.
double convertDecimal(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t mantissa = 0;
    int significant = 0;
    long exponent = 0;
    bool fraction = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.') {
            fraction = true;
            continue;
        }
        if (!isDigit(c)) break;
        if (significant < 19) {
            if (mantissa != 0 || c != '0') ++significant;
            mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
            if (fraction) --exponent;
        } else if (!fraction) {
            ++exponent;  // a dropped digit of the integer part
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        long written = 0;
        for (; i < text.size() && isDigit(text[i]); ++i) {
            if (written < 100000) written = written * 10 + (text[i] - '0');
        }
        exponent += negativeExponent ? -written : written;
    }
    auto value = static_cast<double>(mantissa);
    if (mantissa != 0) {
        if (exponent > 400) {
            value = std::numeric_limits<double>::infinity();
        } else if (exponent < -400) {
            value = 0.0;
        } else {
            while (exponent > 22) {
                value *= kPowersOfTen[22];
                exponent -= 22;
            }
            while (exponent < -22) {
                value /= kPowersOfTen[22];
                exponent += 22;
            }
            if (exponent > 0) value *= kPowersOfTen[static_cast<std::size_t>(exponent)];
            if (exponent < 0) value /= kPowersOfTen[static_cast<std::size_t>(-exponent)];
        }
    }
    return negative ? -value : value;
}

// The length of the number at the start of `text` ([sign] digits [. digits]
// with at least one digit, and an exponent when `exponent` is set and it is
// complete), or 0 when none starts there.
std::size_t numberPrefix(std::string_view text, bool exponent) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        std::size_t j = i + 1;
        std::size_t fractionDigits = 0;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
            ++fractionDigits;
        }
        if (digits + fractionDigits > 0) {
            i = j;
            digits += fractionDigits;
        }
    }
    if (digits == 0) return 0;
    if (exponent && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t first = j;
        while (j < text.size() && isDigit(text[j])) ++j;
        if (j > first) i = j;
    }
    return i;
}

std::optional<std::int64_t> readDigits(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c)) return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

std::string_view trim(std::string_view text) {
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && (isSpace(text[first]) || text[first] == '\r' || text[first] == '\n'))
        ++first;
    while (last > first &&
           (isSpace(text[last - 1]) || text[last - 1] == '\r' || text[last - 1] == '\n'))
        --last;
    return text.substr(first, last - first);
}

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lowerAscii(c);
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool startsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::optional<double> readStrictNumber(std::string_view text) {
    if (text.empty() || numberPrefix(text, false) != text.size()) return std::nullopt;
    const double value = convertDecimal(text);
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<double> readLooseNumber(std::string_view text) {
    std::string packed;
    packed.reserve(text.size());
    for (const char c : text) {
        if (!isSpace(c)) packed.push_back(c);
    }
    const std::size_t length = numberPrefix(packed, true);
    if (length == 0) return std::nullopt;
    const double value = convertDecimal(std::string_view(packed).substr(0, length));
    if (!std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<std::int32_t> roundHalfEven(double value) {
    if (!(value > -2147483648.5 && value < 2147483647.5)) return std::nullopt;
    const double below = std::floor(value);
    const double part = value - below;  // exact: both lie within one binade of value
    double rounded = below;
    if (part > 0.5) {
        rounded = below + 1.0;
    } else if (part == 0.5) {
        const double half = below / 2.0;
        if (half != std::floor(half)) rounded = below + 1.0;  // below is odd
    }
    if (rounded > 2147483647.0 || rounded < -2147483648.0) return std::nullopt;
    return static_cast<std::int32_t>(rounded);
}

std::optional<std::int32_t> readTimeOfDay(std::string_view text) {
    std::string packed;
    for (const char c : text) {
        if (!isSpace(c)) packed.push_back(c);
    }
    const std::string_view t = packed;
    std::int64_t hours = 0;
    std::int64_t minutes = 0;
    std::int64_t seconds = 0;
    if (const std::size_t colon = t.find(':'); colon != std::string_view::npos) {
        const std::size_t second = t.find(':', colon + 1);
        const auto h = readDigits(t.substr(0, colon));
        const auto m =
            readDigits(t.substr(colon + 1, second == std::string_view::npos ? std::string_view::npos
                                                                            : second - colon - 1));
        if (!h || !m) return std::nullopt;
        hours = *h;
        minutes = *m;
        if (second != std::string_view::npos) {
            const auto s = readDigits(t.substr(second + 1));
            if (!s) return std::nullopt;
            seconds = *s;
        }
    } else if (const std::size_t dot = t.find('.'); dot != std::string_view::npos) {
        const std::string_view h = t.substr(0, dot);
        const std::string_view fraction = t.substr(dot + 1);
        if (h.empty() && fraction.empty()) return std::nullopt;
        if (!h.empty()) {
            const auto parsed = readDigits(h);
            if (!parsed) return std::nullopt;
            hours = *parsed;
        }
        for (const char c : fraction) {
            if (!isDigit(c)) return std::nullopt;
        }
        // Minutes are the first two digits (or the one digit written);
        // seconds the next two; anything further is below a second.
        if (!fraction.empty()) minutes = *readDigits(fraction.substr(0, 2));
        if (fraction.size() > 2) seconds = *readDigits(fraction.substr(2, 2));
    } else {
        const auto h = readDigits(t);
        if (!h) return std::nullopt;
        hours = *h;
    }
    const std::int64_t ms = ((hours * 60 + minutes) * 60 + seconds) * 1000;
    if (ms > 2147483647) return std::nullopt;
    return static_cast<std::int32_t>(ms);
}

}  // namespace velt::drive::routetext
