// Reading a train file as the host does: its line rules, the version
// header, the defaults it falls back to, and the warnings an author gets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "tests/drive/train/train_text.h"

namespace velt::drive {
namespace {

// Warnings about the lines of the file, leaving out those about the file as a whole.
std::size_t lineWarnings(const ReadTrain& read) {
    return static_cast<std::size_t>(
        std::count_if(read.warnings.begin(), read.warnings.end(),
                      [](const Diagnostic& d) { return d.where.line > 0; }));
}

struct LineRuleCase {
    const char* rule;
    const char* body;
    std::function<double(const TrainFile&)> field;
    double expected;
    std::size_t warnings;
};

TEST(TrainFileReading, FollowsTheHostsLineRules) {
    const auto deceleration = [](const TrainFile& t) { return t.decelerationKmhS; };
    const auto friction = [](const TrainFile& t) { return t.staticFriction; };
    const auto power = [](const TrainFile& t) { return static_cast<double>(t.powerNotches); };
    const LineRuleCase cases[] = {
        {"a comment is cut off", "#PERFORMANCE\n3.5 ; 4.0\n", deceleration, 3.5, 0},
        {"a blank line takes a position", "#PERFORMANCE\n\n0.3\n", friction, 0.3, 0},
        {"a comment-only line takes a position", "#PERFORMANCE\n; D\n0.3\n", friction, 0.3, 0},
        {"sections in any case, by their alias", "#deceleration\n2.5\n", deceleration, 2.5, 0},
        {"trailing commas are dropped", "#PERFORMANCE\n2.5 , ,\n", deceleration, 2.5, 0},
        {"spaces inside a number are removed", "#PERFORMANCE\n2 .5\n", deceleration, 2.5, 0},
        {"a decimal comma reads as the whole part", "#PERFORMANCE\n1,5\n", deceleration, 1.0, 1},
        {"integers round half to even (2.5)", "#HANDLE\n0\n2.5\n", power, 2.0, 0},
        {"integers round half to even (3.5)", "#HANDLE\n0\n3.5\n", power, 4.0, 0},
        {"an unknown section is skipped", "#WHEELS\n9\n#PERFORMANCE\n2\n", deceleration, 2.0, 1},
        {"the next '#' line ends a section", "#PERFORMANCE\n#DELAY\n2\n", deceleration, 1.0, 0},
        {"#ACCELERATION skips blank lines",
         "#HANDLE\n0\n2\n#ACCELERATION\n1,1,10,20,1\n\n2,2,10,20,1\n",
         [](const TrainFile& t) { return t.acceleration.at(1).a0KmhS; }, 2.0, 0},
    };
    for (const LineRuleCase& c : cases) {
        SCOPED_TRACE(c.rule);
        const ReadTrain read = readText(c.body);
        EXPECT_DOUBLE_EQ(c.field(read.train), c.expected);
        EXPECT_EQ(lineWarnings(read), c.warnings);
    }
}

struct HeaderCase {
    const char* firstLine;
    TrainFormat format;
    bool newer;
    bool warned;
};

TEST(TrainFileReading, ReadsTheFormatTheHeaderNames) {
    const HeaderCase cases[] = {
        {"X1200000", TrainFormat::Oldest, false, false},
        {"X2000000", TrainFormat::Current, false, false},
        {"X1557", TrainFormat::Current, true, false},
        {"X1100000", TrainFormat::Current, false, true},  // a number the host does not know
        {"#HANDLE", TrainFormat::Current, false, true},   // loads, with a warning
        {"this is no header", TrainFormat::Current, false, true},  // the host refuses it
    };
    for (const HeaderCase& c : cases) {
        SCOPED_TRACE(c.firstLine);
        const ReadTrain read = readText("#HANDLE\n0\n5\n8\n0\n0\n0\n0\n4\n6\n", c.firstLine);
        EXPECT_EQ(read.train.header.format, c.format);
        EXPECT_EQ(read.train.header.newer, c.newer);
        EXPECT_EQ(read.train.powerNotches, 5);
        // The driver's notch limits come with the newest headers alone.
        EXPECT_EQ(read.train.driverPowerNotches.value_or(0), c.newer ? 4 : 0);
        EXPECT_EQ(read.train.driverBrakeNotches.value_or(0), c.newer ? 6 : 0);
        const bool warnedAtLine1 =
            std::any_of(read.warnings.begin(), read.warnings.end(),
                        [](const Diagnostic& d) { return d.where.line == 1; });
        EXPECT_EQ(warnedAtLine1, c.warned);
    }
}

TEST(TrainFileReading, RecordsEveryFieldThatKeptItsDefault) {
    const ReadTrain read =
        readText("#PERFORMANCE\n2.0\n\n0\nx\n#HANDLE\n0\n2\n#ACCELERATION\n1, 1, 10\n");
    const auto defaulted = [&](const char* section, int index, const char* name) {
        for (const DefaultedField& d : read.train.defaulted)
            if (d.section == section && d.index == index && (*name == '\0' || d.name == name))
                return d.value + " at " + formatLocation(d.where);
        return std::string("read");
    };
    const struct {
        const char* section;
        int index;
        const char* name;
        const char* expected;  // the default and where it was missed, or "read"
    } cases[] = {
        {"PERFORMANCE", 0, "", "read"},
        {"PERFORMANCE", 1, "", "0.35 at t.dat:2"},      // a blank line: points at the section
        {"PERFORMANCE", 2, "", "read"},                 // not a field velt-drive reads
        {"PERFORMANCE", 3, "", "0.0025 at t.dat:6:1"},  // 'x'
        {"PERFORMANCE", 4, "", "1.1 at t.dat:2"},
        {"DELAY", 2, "", "0 at t.dat"},  // no such section
        {"ACCELERATION", 1, "notch 1 v1 (km/h)", "read"},
        {"ACCELERATION", 1, "notch 1 e", "1 at t.dat:11:1"},
        {"ACCELERATION", 2, "notch 2", "no traction at t.dat:10"},
        {"ACCELERATION", 3, "", "read"},  // there are only 2 power notches
    };
    for (const auto& c : cases)
        EXPECT_EQ(defaulted(c.section, c.index, c.name), c.expected)
            << "#" << c.section << " " << c.index << " " << c.name;
}

struct WarningCase {
    const char* what;
    const char* body;
    const char* firstLine;  // formatDiagnostic's first line starts so
};

TEST(TrainFileReading, WarnsWithTheFileAndLine) {
    const WarningCase cases[] = {
        {"brake notches 0 or less", "#HANDLE\n0\n4\n-1\n",
         "t.dat:5:1: warning: #HANDLE 2 (brake notches): -1 is out of range"},
        {"a decimal comma", "#PERFORMANCE\n  3,5\n",
         "t.dat:3:4: warning: #PERFORMANCE 0 (deceleration (km/h/s)): '3,5' reads as 3"},
        {"v1 above v2", "#HANDLE\n0\n1\n#ACCELERATION\n3, 3, 50, 40, 2\n",
         "t.dat:6:1: warning: #ACCELERATION notch 1: v1 is above v2"},
        {"an unreadable curve value", "#HANDLE\n0\n1\n#ACCELERATION\n3, x, 50, 60, 2\n",
         "t.dat:6:4: warning: #ACCELERATION notch 1 a1 (km/h/s): 'x' is not a number"},
        {"a hold brake the automatic air brake switches off", "#BRAKE\n2\n#DEVICE\n0\n0\n0\n0\n1\n",
         "t.dat:4: warning: the hold brake"},
        {"a section given twice", "#DELAY\n1\n#DELAY\n2\n",
         "t.dat:4:1: warning: #DELAY is given again"},
        {"a handle rule the drive does not enforce", "#HANDLE\n0\n4\n8\n0\n1\n",
         "t.dat:7:1: warning: #HANDLE 4 (emergency brake effect) is not acted on"},
    };
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.what);
        const ReadTrain read = readText(c.body);
        const bool found = std::any_of(
            read.warnings.begin(), read.warnings.end(),
            [&](const Diagnostic& d) { return formatDiagnostic(d).rfind(c.firstLine, 0) == 0; });
        EXPECT_TRUE(found) << (read.warnings.empty() ? std::string("no warnings")
                                                     : formatDiagnostic(read.warnings.front()));
    }
    EXPECT_EQ(trainFrom("#HANDLE\n0\n4\n-1\n").brakeNotches, 8);
    EXPECT_EQ(trainFrom("#DELAY\n1\n#DELAY\n2\n").powerUpDelayS, 2.0);
}

// A folder of its own in the build tree.
class TrainFolder : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(VELT_TEST_WORK_DIR) / test->name();
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    // Writes the file and returns its path.
    [[nodiscard]] std::string write(const std::string& name, const std::string& text) const {
        std::ofstream(dir_ / name, std::ios::binary) << text;
        return (dir_ / name).string();
    }
    std::filesystem::path dir_;
};

TEST_F(TrainFolder, ReadsTheTrainDatInAFolderAndNamesWhatItLeavesUnread) {
    for (const auto& [name, text] :
         {std::pair<std::string, std::string>{"Train.DAT", "X2000000\n#HANDLE\n0\n3\n"},
          {"extensions.cfg", "[Car0]\nLength = 18\n"},
          {"TRAIN.xml", "<Train/>\n"}})
        EXPECT_FALSE(write(name, text).empty());
    const ReadTrain read = readTrain(dir_.string());
    EXPECT_EQ(read.train.powerNotches, 3);
    std::string unread;
    for (const Diagnostic& d : read.warnings)
        if (d.where.line == 0 && d.message.find("is not read") != std::string::npos)
            unread += std::filesystem::path(d.where.file).filename().string() + " ";
    EXPECT_EQ(unread, "extensions.cfg TRAIN.xml ");
}

TEST_F(TrainFolder, RefusesWhatIsNoTrainFile) {
    const std::string withNul = write("nul.dat", std::string("X2000000\n#HAN\0DLE\n", 18));
    const std::string empty = write("empty.dat", "; nothing\n\n");
    const struct {
        std::string path;
        int line;
        int column;
    } cases[] = {
        {(dir_ / "missing").string(), 0, 0},
        {dir_.string(), 0, 0},  // a folder without train.dat
        {withNul, 2, 5},
        {empty, 0, 0},
#if !defined(_WIN32)
        {"/dev/zero", 0, 0},  // a device: read, it would never end
#endif
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            (void)readTrain(c.path);
            ADD_FAILURE() << "read without an error";
        } catch (const DiagnosticError& e) {
            EXPECT_EQ(e.diagnostic().severity, Severity::Error);
            EXPECT_EQ(e.diagnostic().where.line, c.line);
            EXPECT_EQ(e.diagnostic().where.column, c.column);
            EXPECT_FALSE(e.diagnostic().help.empty());
        }
    }
}

TEST(TrainFileReading, TheExampleTrainReadsWithoutWarnings) {
    const ReadTrain read = readTrain(VELT_EXAMPLE_TRAINS_DIR "/commuter");
    for (const Diagnostic& d : read.warnings) ADD_FAILURE() << formatDiagnostic(d);
    EXPECT_TRUE(read.train.defaulted.empty());
    EXPECT_EQ(describeFormat(read.train.header), "the current format (header TRAIN2000000)");
}

}  // namespace
}  // namespace velt::drive
