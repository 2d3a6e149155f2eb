#include "tools/velt-drive/render/plot_labels.h"

#include <algorithm>

#include "tools/velt-drive/util/number_format.h"
#include "tools/velt-drive/util/svg_canvas.h"

namespace velt::drive {

LabelSpot labelSpot(double px, double py, const std::string& content, double size, bool bold,
                    const std::string& anchor, const std::string& attributes,
                    const std::optional<std::pair<double, double>>& from,
                    const std::string& leaderColour) {
    LabelSpot result{labelBox(px, py, content, size, bold, anchor), ""};
    if (from) {
        const Box& b = result.box;
        const double lx = std::clamp(from->first, b.left, b.right);
        const double ly = from->second < b.top ? b.top : b.bottom;
        result.svg += svgLine(from->first, from->second, lx, ly,
                              "stroke=\"" + leaderColour + R"(" stroke-dasharray="1,2")");
    }
    result.svg += svgText(px, py, content,
                          "text-anchor=\"" + anchor + "\" " + attributes +
                              (bold ? " font-weight=\"bold\"" : "") +
                              (size != 11 ? " font-size=\"" + svgNumber(size) + "\"" : ""));
    return result;
}

std::vector<LabelSpot> spotsBesidePoint(double px, double py, const std::string& content,
                                        double size, bool bold, const std::string& attributes,
                                        const std::string& leaderColour) {
    std::vector<LabelSpot> spots;
    spots.push_back(labelSpot(px + 5, py - 6, content, size, bold, "start", attributes));
    spots.push_back(labelSpot(px - 5, py - 6, content, size, bold, "end", attributes));
    for (int row = 1; row <= 10; ++row) {
        const double ly = py - 6 - (size + 3) * row;
        spots.push_back(labelSpot(px + 5, ly, content, size, bold, "start", attributes,
                                  std::make_pair(px, py - 2), leaderColour));
        spots.push_back(labelSpot(px - 5, ly, content, size, bold, "end", attributes,
                                  std::make_pair(px, py - 2), leaderColour));
    }
    return spots;
}

}  // namespace velt::drive
