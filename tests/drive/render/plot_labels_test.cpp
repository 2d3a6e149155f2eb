// Labels in both plots must be readable: no two text boxes overlap, and no
// beacon label runs across a beacon or signal line. The boxes are read back
// from the SVG itself (position, size, anchor, rotation), with glyphs
// counted at the font's average width.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <regex>

#include "tests/drive/drive_recording.h"
#include "tools/velt-drive/render/cab_timeline.h"
#include "tools/velt-drive/render/plot.h"
#include "tools/velt-drive/render/time_plot.h"

namespace velt::drive {
namespace {

struct TextBox {
    std::string text;
    double left, top, right, bottom;
    bool rotated;
};

std::string attribute(const std::string& attributes, const std::string& name,
                      const std::string& fallback = "") {
    std::smatch match;
    if (std::regex_search(attributes, match, std::regex("(^|\\s)" + name + "=\"([^\"]*)\"")))
        return match[2];
    return fallback;
}

std::vector<TextBox> textBoxes(const std::string& svg) {
    std::vector<TextBox> boxes;
    const std::regex element("<text ([^>]*)>([^<]*)</text>");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
         it != std::sregex_iterator(); ++it) {
        const std::string attributes = (*it)[1];
        std::string text = std::regex_replace(std::string((*it)[2]), std::regex("&[a-z]+;"), "&");
        std::size_t glyphs = 0;
        for (const char c : text) glyphs += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U;
        const double size = std::stod(attribute(attributes, "font-size", "11"));
        const bool bold = attributes.find("font-weight=\"bold\"") != std::string::npos;
        const double width = static_cast<double>(glyphs) * size * (bold ? 0.68 : 0.6);
        const double x = std::stod(attribute(attributes, "x"));
        const double y = std::stod(attribute(attributes, "y"));
        const std::string anchor = attribute(attributes, "text-anchor", "start");
        const double shift = anchor == "middle" ? width / 2 : anchor == "end" ? width : 0.0;
        const bool rotated = attribute(attributes, "transform").find("rotate(-90") == 0;
        if (rotated)  // the baseline runs upward from (x, y); the glyphs lie left of it
            boxes.push_back(
                {text, x - 0.75 * size, y - width + shift, x + 0.2 * size, y + shift, true});
        else
            boxes.push_back(
                {text, x - shift, y - 0.75 * size, x - shift + width, y + 0.2 * size, false});
    }
    return boxes;
}

// Vertical lines taller than 100 px but the grid's: the beacon and signal lines.
std::vector<double> verticalLines(const std::string& svg) {
    std::vector<double> xs;
    const std::regex element(
        "<line x1=\"([-0-9.]+)\" y1=\"([-0-9.]+)\" x2=\"([-0-9.]+)\" y2=\"([-0-9.]+)\" "
        "stroke=\"#[0-9a-f]{6}");
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), element);
         it != std::sregex_iterator(); ++it)
        if ((*it)[1] == (*it)[3] && std::stod((*it)[4]) - std::stod((*it)[2]) > 100)
            xs.push_back(std::stod((*it)[1]));
    return xs;
}

void expectReadable(const std::string& svg, const std::string& what) {
    const std::vector<TextBox> boxes = textBoxes(svg);
    ASSERT_GT(boxes.size(), 10u) << what;
    const double width = std::stod(attribute(svg.substr(0, svg.find('>')), "width"));
    for (const TextBox& box : boxes)
        EXPECT_LE(box.right, width) << what << ": '" << box.text << "' runs past the right edge";
    for (std::size_t i = 0; i < boxes.size(); ++i)
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            const TextBox& a = boxes[i];
            const TextBox& b = boxes[j];
            EXPECT_FALSE(a.left < b.right && b.left < a.right && a.top < b.bottom &&
                         b.top < a.bottom)
                << what << ": '" << a.text << "' overlaps '" << b.text << "'";
        }
    for (const double lineX : verticalLines(svg))
        for (const TextBox& box : boxes)
            if (box.rotated && box.text != "speed (km/h)" && box.text != "notch") {
                EXPECT_FALSE(box.left < lineX && lineX < box.right)
                    << what << ": the line at x " << lineX << " runs through '" << box.text << "'";
            }
}

// The time view names each intervention inside the speed area, never across
// the speed line (read from its path, too long for std::regex as a whole).
void expectInterventionLabelsClearOfTheSpeedLine(const std::string& svg, const std::string& what) {
    const std::size_t from = svg.find(" d=\"", svg.find("clip-path=\"url(#speed-area)\"")) + 4;
    const std::string d = svg.substr(from, svg.find('"', from) - from);
    std::vector<std::array<double, 3>> points;  // x, y, and 1 where the line breaks before it
    const std::regex point("([ML]) ?([-0-9.]+) ([-0-9.]+)");
    for (auto it = std::sregex_iterator(d.begin(), d.end(), point); it != std::sregex_iterator();
         ++it)
        points.push_back({std::stod((*it)[2]), std::stod((*it)[3]), (*it)[1] == "M" ? 1.0 : 0.0});
    ASSERT_GT(points.size(), 10u) << what;
    for (const TextBox& box : textBoxes(svg)) {
        if (box.text.find(" brake") == std::string::npos &&
            box.text.find("power cut") == std::string::npos)
            continue;
        for (std::size_t i = 1; i < points.size(); ++i) {
            const auto& a = points[i - 1];
            const auto& b = points[i];
            if (b[2] > 0 || b[0] <= a[0] || b[0] < box.left || a[0] > box.right) continue;
            auto at = [&](double x) {
                return a[1] + (b[1] - a[1]) * std::clamp((x - a[0]) / (b[0] - a[0]), 0.0, 1.0);
            };
            EXPECT_TRUE(std::max(at(box.left), at(box.right)) <= box.top ||
                        std::min(at(box.left), at(box.right)) >= box.bottom)
                << what << ": the speed line runs through '" << box.text << "'";
        }
    }
}

void expectBothPlotsReadable(const Scenario& scenario, const std::string& name) {
    PlotRecorder plot(scenario);
    CabTimeline timeline(scenario);
    Analysis analysis(scenario);
    const DriveEnd end = driveExplained(scenario, {&plot, &timeline, &analysis});
    expectReadable(plot.render(analysis.report(), end), name + " against position");
    const std::string timeView = renderTimePlot(timeline, analysis.report(), end);
    expectReadable(timeView, name + " against time");
    expectInterventionLabelsClearOfTheSpeedLine(timeView, name + " against time");
}

TEST(PlotLabels, NeverOverlapInTheBundledScenarios) {
    for (const char* name :
         {"demo", "examples/door-link", "station-stop", "ccp-restriction", "legacy-alarm-missed",
          "examples/station-stop-line2", "line2-ccp-spb-overspeed", "station-stop-door-link",
          "overspeed-cut", "examples/cpp-stop-before-signal"})
        expectBothPlotsReadable(
            readScenario(std::string(VELT_SCENARIO_DIR) + "/" + name + ".drive"), name);
}

// A stop just short of an SPB target at a station, beacons a few metres
// apart, and lamp sounds and chimes falling on one spot: everything an
// author's route crowds together.
TEST(PlotLabels, NeverOverlapWhereTargetsStopsStationsAndChimesCrowd) {
    const Scenario scenario = parseScenario(
        "start speed 60 km/h\n"
        "signal 5 at 11 m\nbeacon route at 10 m optional 0\nbeacon section at 12 m optional 1\n"
        "beacon clf at 16 m optional 20\nbeacon door-link at 18 m optional 1\n"
        "beacon kind-blink at 20 m optional 500\nbeacon spb at 1800 m optional 400\n"
        "station \"Long Platform Name\" at 2200 m\n"
        "brake 3 at 2029 m until stopped\nkey 15\nkey 15\nkey 15\n"
        "doors open at the station\ndoors close after 5 s\nend at 200 s\n",
        "crowded.drive");
    expectBothPlotsReadable(scenario, "crowded");
}

// A sound repeated a second apart is one label with its count in the time
// view, not one label per start stacked with leaders.
TEST(PlotLabels, NameASoundRepeatedCloseTogetherOnce) {
    const Scenario scenario = parseScenario(
        "start speed 0 km/h\nkey 15 at 1 s\nkey 15 at 2 s\nkey 15 at 3 s\nkey 15 at 4 s\n"
        "end at 200 s\n",
        "repeats.drive");
    CabTimeline timeline(scenario);
    Analysis analysis(scenario);
    const DriveEnd end = driveExplained(scenario, {&timeline, &analysis});
    std::vector<std::string> named;
    for (const TextBox& box : textBoxes(renderTimePlot(timeline, analysis.report(), end)))
        if (box.text.find("lamp switch sound") != std::string::npos) named.push_back(box.text);
    EXPECT_EQ(named, std::vector<std::string>{"lamp switch sound (4 times)"});
}

}  // namespace
}  // namespace velt::drive
