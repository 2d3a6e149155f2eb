// What both plots need to write SVG text that stays readable: escaping,
// numbers with one decimal, the room a label takes, and a placer that finds
// each label a free spot or stacks it away with a leader line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace velt::drive {

std::string escapeXml(const std::string& text);
std::string svgNumber(double value);  // one decimal, the same on every runtime

// A generous estimate of a label's width in the plots' font (DejaVu Sans):
// digits and capitals are the widest glyphs, so every glyph is counted as one.
double textWidth(const std::string& text, double size, bool bold = false);

struct Box {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;

    [[nodiscard]] bool overlaps(const Box& other) const {
        return left < other.right && other.left < right && top < other.bottom && other.top < bottom;
    }
};

// The box of a horizontal label with its baseline at y; anchor is "start",
// "middle" or "end".
Box labelBox(double x, double y, const std::string& text, double size, bool bold,
             const std::string& anchor = "start");

// Hands out room for labels: each label takes the first of its candidate
// boxes that lies inside the area and covers nothing reserved before it.
class LabelPlacer {
public:
    explicit LabelPlacer(Box area) : area_(area) {}

    void reserve(const Box& box) { taken_.push_back(box); }
    [[nodiscard]] bool isFree(const Box& box) const;

    // The index of the candidate taken (and now reserved), or nothing.
    std::optional<std::size_t> place(const std::vector<Box>& candidates);

private:
    Box area_;
    std::vector<Box> taken_;
};

}  // namespace velt::drive
