#include "tools/velt-drive/util/svg_canvas.h"

namespace velt::drive {

std::string svgOpen(double width, double height, const std::string& attributes) {
    return R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" + svgNumber(width) +
           "\" height=\"" + svgNumber(height) + "\" viewBox=\"0 0 " + svgNumber(width) + " " +
           svgNumber(height) + "\"" + attributes +
           " font-family=\"DejaVu Sans, Arial, sans-serif\" font-size=\"11\">\n"
           "<rect width=\"100%\" height=\"100%\" fill=\"white\"/>\n";
}

std::string svgLine(double x1, double y1, double x2, double y2, const std::string& attributes) {
    return "<line x1=\"" + svgNumber(x1) + "\" y1=\"" + svgNumber(y1) + "\" x2=\"" + svgNumber(x2) +
           "\" y2=\"" + svgNumber(y2) + "\" " + attributes + "/>\n";
}

std::string svgRect(double x, double y, double width, double height,
                    const std::string& attributes) {
    return "<rect x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" width=\"" +
           svgNumber(width) + "\" height=\"" + svgNumber(height) + "\" " + attributes + "/>\n";
}

std::string svgText(double x, double y, const std::string& content, const std::string& attributes) {
    return "<text x=\"" + svgNumber(x) + "\" y=\"" + svgNumber(y) + "\" " + attributes + ">" +
           escapeXml(content) + "</text>\n";
}

}  // namespace velt::drive
