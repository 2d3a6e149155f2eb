#include "tools/velt-drive/util/number_format.h"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace velt::drive {

namespace {

constexpr std::int64_t kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000};

// Sign, digits and at most one point, with at least one digit: the only
// shape of number a scenario takes. Returns where the digits begin.
std::optional<std::size_t> plainNumberShape(std::string_view text, bool allowPoint) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    const std::size_t start = i;
    bool point = false;
    bool digit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && allowPoint && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit) return std::nullopt;
    return start;
}

}  // namespace

char* appendFixed(char* out, double value, int decimals) {
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
    // Half up on a magnitude is half away from zero; the traces compared
    // across runtimes were all made this way.
    const auto units =
        static_cast<std::int64_t>(magnitude + 0.5);  // NOLINT(bugprone-incorrect-roundings)
    if (negative && units != 0) *out++ = '-';
    out = std::to_chars(out, out + 20, units / scale).ptr;
    if (decimals > 0) {
        *out++ = '.';
        char fraction[8];
        const char* end = std::to_chars(fraction, fraction + sizeof(fraction), units % scale).ptr;
        const auto length = static_cast<int>(end - fraction);
        for (int pad = length; pad < decimals; ++pad) *out++ = '0';
        std::memcpy(out, fraction, static_cast<std::size_t>(length));
        out += length;
    }
    return out;
}

std::string formatFixed(double value, int decimals) {
    char buffer[kMaxFixedChars];
    return {buffer, appendFixed(buffer, value, decimals)};
}

std::string formatPlain(double value) {
    std::string text = formatFixed(value, 3);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

Parsed<double> parseDecimal(std::string_view text) {
    const auto start = plainNumberShape(text, true);
    if (!start) return {};
    // from_chars takes no '+', and reads "inf" or "1e3", which the shape
    // check has already turned away.
    const std::string_view digits = text.substr(*start);
    double value = 0.0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value,
                                              std::chars_format::fixed);
    if (error == std::errc::result_out_of_range) return {NumberStatus::OutOfRange, 0.0};
    if (error != std::errc() || end != digits.data() + digits.size()) return {};
    return {NumberStatus::Ok, text[0] == '-' ? -value : value};
}

Parsed<std::int64_t> parseInteger(std::string_view text) {
    const auto start = plainNumberShape(text, false);
    if (!start) return {};
    // Keep the minus sign: the most negative value has no positive twin.
    const std::string_view digits = text[0] == '+' ? text.substr(1) : text;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error == std::errc::result_out_of_range) return {NumberStatus::OutOfRange, 0};
    if (error != std::errc() || end != digits.data() + digits.size()) return {};
    return {NumberStatus::Ok, value};
}

std::optional<std::int32_t> parseInt32(std::string_view text) {
    const Parsed<std::int64_t> parsed = parseInteger(text);
    if (parsed.status != NumberStatus::Ok || parsed.value < INT32_MIN || parsed.value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(parsed.value);
}

}  // namespace velt::drive
