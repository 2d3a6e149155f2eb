#include "tools/velt-drive/util/svg_text.h"

#include <algorithm>

#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// Ascent and descent of the font, in ems, with a little air.
constexpr double kAscent = 0.82;
constexpr double kDescent = 0.26;

}  // namespace

std::string escapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

std::string svgNumber(double value) { return formatFixed(value, 1); }

double textWidth(const std::string& text, double size, bool bold) {
    std::size_t glyphs = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) ++glyphs;  // UTF-8 lead bytes
    return static_cast<double>(glyphs) * size * (bold ? 0.7 : 0.64);
}

Box labelBox(double x, double y, const std::string& text, double size, bool bold,
             const std::string& anchor) {
    const double width = textWidth(text, size, bold);
    double left = x;
    if (anchor == "middle") left = x - width / 2;
    if (anchor == "end") left = x - width;
    return {left, y - kAscent * size, left + width, y + kDescent * size};
}

bool LabelPlacer::isFree(const Box& box) const {
    if (box.left < area_.left || box.right > area_.right || box.top < area_.top ||
        box.bottom > area_.bottom)
        return false;
    return std::none_of(taken_.begin(), taken_.end(),
                        [&](const Box& taken) { return box.overlaps(taken); });
}

std::optional<std::size_t> LabelPlacer::place(const std::vector<Box>& candidates) {
    for (std::size_t i = 0; i < candidates.size(); ++i) {
        if (!isFree(candidates[i])) continue;
        taken_.push_back(candidates[i]);
        return i;
    }
    return std::nullopt;
}

}  // namespace velt::drive
