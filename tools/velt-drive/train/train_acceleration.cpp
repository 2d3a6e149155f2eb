// #ACCELERATION: one line per power notch, each a curve a0, a1, v1, v2, e,
// and the oldest format's way of writing e.
#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tools/velt-drive/train/portable_math.h"
#include "tools/velt-drive/train/train_reader.h"

namespace velt::drive::trainread {

namespace {

// One value of an #ACCELERATION line.
struct CurveRule {
    const char* name;
    Range range;
    double AccelerationCurve::*member;
};

constexpr std::array<CurveRule, 5> kCurveValues = {{
    {"a0 (km/h/s)", kUpToHundred, &AccelerationCurve::a0KmhS},
    {"a1 (km/h/s)", kUpToHundred, &AccelerationCurve::a1KmhS},
    {"v1 (km/h)", kSpeedKmh, &AccelerationCurve::v1Kmh},
    {"v2 (km/h)", kSpeedKmh, &AccelerationCurve::v2Kmh},
    {"e", kUpToHundred, &AccelerationCurve::exponent},
}};
// The oldest format's e becomes the exponent 1 - ln(e) v2 / ln 2.25, so
// any positive e can be read.
constexpr CurveRule kOldestExponent = {"e", kPositive, &AccelerationCurve::exponent};
constexpr double kOldestExponentLow = 1.0;
constexpr double kOldestExponentHigh = 4.0;

// The defaults of a curve value that a line leaves out.
std::string curveDefaultText(std::size_t i) { return i == 4 ? "1" : "0"; }

}  // namespace

void Reader::accelerationLine(const FileLine& line) {
    const int notch = ++accelerationNotch_;
    const std::string what = "#ACCELERATION notch " + std::to_string(notch);
    // The values between commas, each with its column.
    std::vector<std::pair<std::string_view, int>> pieces;
    for (std::size_t start = 0; start <= line.text.size();) {
        const std::size_t comma = std::min(line.text.find(',', start), line.text.size());
        const std::string_view piece = line.text.substr(start, comma - start);
        const std::size_t lead = piece.find_first_not_of(kBlanks);
        pieces.emplace_back(
            lead == std::string_view::npos ? std::string_view() : piece.substr(lead),
            line.column + static_cast<int>(start + (lead == std::string_view::npos ? 0 : lead)));
        start = comma + 1;
    }
    AccelerationCurve curve;
    std::size_t given = 0;
    std::optional<double> writtenExponent;
    for (std::size_t i = 0; i < kCurveValues.size(); ++i) {
        const bool oldest = i == 4 && train_.header.format == TrainFormat::Oldest;
        const CurveRule& rule = oldest ? kOldestExponent : kCurveValues[i];
        const std::string name = "notch " + std::to_string(notch) + " " + rule.name;
        forget("ACCELERATION", notch, name);
        if (i >= pieces.size() || pieces[i].first.empty()) {
            record(defaultOf("ACCELERATION", notch, name, curveDefaultText(i)),
                   DefaultedField::Why::Missing, at(line.number, line.column));
            continue;
        }
        ++given;
        const std::optional<double> value =
            readValue(pieces[i].first, at(line.number, pieces[i].second), what + " " + rule.name,
                      rule.range, defaultOf("ACCELERATION", notch, name, curveDefaultText(i)));
        if (!value) continue;
        curve.*rule.member = *value;
        if (oldest) writtenExponent = value;
    }
    if (given < kCurveValues.size())
        warn(at(line.number, line.column),
             what + " gives " + std::to_string(given) +
                 " of its five values (a0, a1, v1, v2, e): the others keep their defaults");
    if (writtenExponent) curve.exponent = convertOldestExponent(*writtenExponent, curve.v2Kmh);
    if (curve.v1Kmh > curve.v2Kmh) {
        warn(at(line.number, line.column),
             what + ": v1 is above v2; v2 is taken as v1, as the host does");
        curve.v2Kmh = curve.v1Kmh;
    }
    if (train_.acceleration.size() < static_cast<std::size_t>(notch))
        train_.acceleration.resize(static_cast<std::size_t>(notch));
    train_.acceleration[static_cast<std::size_t>(notch) - 1] = curve;
}

// e' = 1 - ln(e) v2 / ln 2.25, kept within 1 (for 0 or less) and 4.
double Reader::convertOldestExponent(double written, double v2Kmh) {
    const double converted = 1.0 - portableLog(written) * v2Kmh / portableLog(2.25);
    if (converted <= 0.0) return kOldestExponentLow;
    if (converted > kOldestExponentHigh) return kOldestExponentHigh;
    return converted;
}

void Reader::checkAcceleration() {
    const auto lines = static_cast<int>(train_.acceleration.size());
    const SourceLocation where = sectionStart(Section::Acceleration);
    for (int notch = lines + 1; notch <= train_.powerNotches; ++notch)
        record(defaultOf("ACCELERATION", notch, "notch " + std::to_string(notch), "no traction"),
               DefaultedField::Why::Missing, where);
    const int notches = train_.powerNotches;
    if (lines < notches) {
        const std::string missing = lines + 1 == notches
                                        ? "power notch " + std::to_string(notches) + ": it gives"
                                        : "power notches " + std::to_string(lines + 1) + " to " +
                                              std::to_string(notches) + ": they give";
        warn(where, "#ACCELERATION has no line for " + missing + " no traction",
             "give one line 'a0, a1, v1, v2, e' per power notch");
    } else if (lines > notches) {
        warn(where, "#ACCELERATION has " + std::to_string(lines) + " lines for " +
                        std::to_string(notches) + " power notches: those after line " +
                        std::to_string(notches) + " are not used");
    }
}

}  // namespace velt::drive::trainread
