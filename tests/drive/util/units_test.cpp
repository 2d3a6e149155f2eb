// How velt-drive writes lengths, speeds, times, CSV fields and SVG elements:
// each in one place, the decimals the caller's.
#include <gtest/gtest.h>

#include "tools/velt-drive/util/csv.h"
#include "tools/velt-drive/util/svg_canvas.h"
#include "tools/velt-drive/util/units.h"

namespace velt::drive {
namespace {

TEST(Units, WriteTheDecimalsAskedForOrAsManyAsTheValueTakes) {
    const struct {
        std::string written;
        const char* expected;
    } cases[] = {
        {metresText(669.06), "669.1 m"},
        {metresText(-0.04), "0.0 m"},
        {metresText(1152.4, 0), "1152 m"},
        {kmhText(45.0), "45 km/h"},
        {kmhText(0.483), "0.483 km/h"},  // not the 0.5 km/h it lies below
        {kmhText(0.0004), "0 km/h"},
        {kmhText(44.96, 1), "45.0 km/h"},
        {secondsText(secondsOf(2000)), "2 s"},
        {secondsText(secondsOf(250)), "0.25 s"},
        {secondsText(secondsOf(98300), 3), "98.300 s"},
        {secondsText(4.25, 1), "4.3 s"},  // half away from zero, exact in binary
    };
    for (const auto& c : cases) EXPECT_EQ(c.written, c.expected);
}

TEST(Csv, QuotesAFieldOnlyWhenItMust) {
    EXPECT_EQ(csvField("plain words"), "plain words");
    EXPECT_EQ(csvField("a, b"), "\"a, b\"");
    EXPECT_EQ(csvField("say \"stop\""), "\"say \"\"stop\"\"\"");
    EXPECT_EQ(csvField("two\nlines"), "\"two\nlines\"");
}

TEST(SvgCanvas, WritesElementsWithOneDecimalAndEscapedText) {
    EXPECT_EQ(svgLine(1, 2.25, 3.04, 4, "stroke=\"#eee\""),
              "<line x1=\"1.0\" y1=\"2.3\" x2=\"3.0\" y2=\"4.0\" stroke=\"#eee\"/>\n");
    EXPECT_EQ(svgRect(0, 0, 10, 5.5, "fill=\"none\""),
              "<rect x=\"0.0\" y=\"0.0\" width=\"10.0\" height=\"5.5\" fill=\"none\"/>\n");
    EXPECT_EQ(svgText(7, 8, "a < b & \"c\"", "fill=\"#333\""),
              "<text x=\"7.0\" y=\"8.0\" fill=\"#333\">a &lt; b &amp; &quot;c&quot;</text>\n");
}

}  // namespace
}  // namespace velt::drive
