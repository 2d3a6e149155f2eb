// What `check` says about a route before driving it: each mistake it looks
// for, on a route made to have just that one, is named on its own line;
// what is written on purpose, and the bundled example route, give nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/drive/route/route_files.h"
#include "tools/velt-drive/drive/route_drive.h"
#include "tools/velt-drive/explain/route_checks.h"

namespace velt::drive {
namespace {

// Sections: the implicit one, one from 50 m and the last from 1200 m, so a
// beacon at 600 m has one section ahead of it and one at 1300 m none.
std::vector<Diagnostic> findingsWith(const std::string& line4) {
    const ReadRoute read = testing::readCsv(
        "With Track\n"
        "0, .Sta A;;10.0100;0;L;1, .Stop 1;5;5;0\n"
        "50, .Section 0;2;4\n" +
        line4 +
        "\n"
        "1200, .Section 0;4\n"
        "1600, .Sta C;10.0500;;0;R, .Stop 1;5;5;0\n");
    EXPECT_TRUE(read.warnings.empty()) << line4 << ": " << read.warnings.front().message;
    return checkRoute(RouteTrack(read.route, TrainLength{}));
}

TEST(RouteCheck, NamesEachMistakeOnItsLineAndNothingWrittenOnPurpose) {
    const struct {
        const char* line4;
        const char* says;  // "": no finding
    } cases[] = {
        {"600, .Beacon 7;0;0;0", "velt ignores beacon type 7; the types it reads are"},
        {"600, .Transponder 7;0;0", "velt ignores beacon type 7"},
        {"600, .Beacon 12;0;0;-5", "CCP value -5 is negative"},
        {"600, .Beacon 12;0;0;0", ""},  // lifts a restriction
        {"600, .Beacon 12;0;0;120300", ""},
        {"600, .Beacon 13;0;0;40", "CLF value 40 is outside"},
        {"600, .Beacon 13;0;0;0", ""},
        {"600, .Beacon 13;0;0;31", ""},
        {"600, .Beacon 21;0;0;300", "route code 300 selects line category 3"},
        // The host's own rain beacon carries the intensity as a route code:
        // nothing the author wrote as one.
        {"600, .Rain 300", ""},
        {"600, .Beacon 10;0;1;600", ""},  // the last section: there
        {"600, .Beacon 10;0;2;600",
         "reports section 2 ahead, but the route has 1 section(s) ahead of it"},
        {"1300, .Beacon 10;0;1;600",
         "reports section 1 ahead, but the route has 0 section(s) ahead of it"},
        {"600, .Beacon 10;0;-1;600", ""},
        {"900, .Sta B;10.0300;;0;R", "station B has no Track.Stop after it"},
        {"900, .Sta B;;10.0300;0;R", "station B has no Track.Stop after it"},
        {"900, .Sta B;S;10.0300;0;R", "station B has no Track.Stop after it"},
        {"900, .Sta B;P;;0;R", ""},  // every train passes
        {"900, .Sta B;B;;0;R", ""},  // this train passes
        {"900, .Sta B;D;;0;R", ""},
        {"900, .Sta B;10.0300;;0;R, .Stop 1;5;5;0", ""},
    };
    for (const auto& c : cases) {
        const std::vector<Diagnostic> findings = findingsWith(c.line4);
        if (*c.says == '\0') {
            EXPECT_TRUE(findings.empty()) << c.line4 << ": " << findings.front().message;
            continue;
        }
        ASSERT_EQ(findings.size(), 1U) << c.line4;
        EXPECT_EQ(formatLocation(findings[0].where).rfind("r.csv:4:", 0), 0U)
            << c.line4 << ": " << formatLocation(findings[0].where);
        EXPECT_EQ(findings[0].severity, Severity::Warning);
        EXPECT_NE(findings[0].message.find(c.says), std::string::npos)
            << c.line4 << ": " << findings[0].message;
    }
}

// The bundled route, alone and with the four-car train of its scenario
// (a longer train may need another stop): nothing to say.
TEST(RouteCheck, FindsNothingOnTheExampleRoute) {
    const std::string dir = std::string(VELT_SCENARIO_DIR) + "/examples/routes/";
    const ReadRoute read = readRoute(dir + "valley-line.csv");
    for (const int cars : {1, 4}) {
        const std::vector<Diagnostic> findings =
            checkRoute(RouteTrack(read.route, TrainLength{cars, 20.0}));
        EXPECT_TRUE(findings.empty()) << cars << " cars: " << formatDiagnostic(findings.front());
    }
}

}  // namespace
}  // namespace velt::drive
