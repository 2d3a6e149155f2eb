#include "tools/velt-drive/number_format.h"

#include <cstdint>

namespace velt::drive {

namespace {

constexpr std::int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

}  // namespace

std::string formatFixed(double value, int decimals) {
    if (decimals < 0) decimals = 0;
    if (decimals > 6) decimals = 6;
    const std::int64_t scale = kPowersOfTen[decimals];
    // Beyond this the trace has gone wrong anyway; keep the conversion defined.
    constexpr double kLimit = 9.0e15;
    double scaled = value * static_cast<double>(scale);
    if (!(scaled < kLimit)) scaled = kLimit;
    if (!(scaled > -kLimit)) scaled = -kLimit;
    const bool negative = scaled < 0.0;
    const double magnitude = negative ? -scaled : scaled;
    const auto units = static_cast<std::int64_t>(magnitude + 0.5);
    std::string text;
    if (negative && units != 0) text += '-';
    text += std::to_string(units / scale);
    if (decimals > 0) {
        std::string fraction = std::to_string(units % scale);
        text += '.';
        text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += fraction;
    }
    return text;
}

std::optional<double> parseDecimal(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t mantissa = 0;
    int digits = 0;
    int fractionDigits = 0;
    bool point = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        // Fifteen significant digits keep the mantissa exact in a double.
        if (digits >= 15) return std::nullopt;
        if (mantissa != 0 || c != '0') ++digits;
        mantissa = mantissa * 10 + (c - '0');
        if (point) ++fractionDigits;
        if (fractionDigits > 6) return std::nullopt;
    }
    const bool anyDigit = text.find_first_of("0123456789") != std::string_view::npos;
    if (!anyDigit) return std::nullopt;
    double value = static_cast<double>(mantissa) / static_cast<double>(kPowersOfTen[fractionDigits]);
    return negative ? -value : value;
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > 2147483648LL) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
    return static_cast<std::int32_t>(value);
}

}  // namespace velt::drive
