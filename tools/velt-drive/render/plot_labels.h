// The places a label of the plot against position may take: each a box the
// label placer weighs against the others, and the SVG that draws the label
// there (with a dotted leader back to what it names, when it stands apart).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tools/velt-drive/util/svg_text.h"

namespace velt::drive {

// One place a label may go: the room it takes and the SVG that draws it there.
struct LabelSpot {
    Box box;
    std::string svg;
};

// A horizontal label spot with its baseline at (px, py); when `from` is
// given, a dotted leader line runs from there to the label.
LabelSpot labelSpot(double px, double py, const std::string& content, double size, bool bold,
                    const std::string& anchor, const std::string& attributes,
                    const std::optional<std::pair<double, double>>& from = std::nullopt,
                    const std::string& leaderColour = "#888");

// A label beside a point: right of it, left of it, then stacked upward
// in rows with a leader line back to the point.
std::vector<LabelSpot> spotsBesidePoint(double px, double py, const std::string& content,
                                        double size, bool bold, const std::string& attributes,
                                        const std::string& leaderColour);

}  // namespace velt::drive
