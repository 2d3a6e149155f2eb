// The Windows build expands `*.drive` itself; the rule is tested here, on
// every platform.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tools/velt-drive/util/wildcards.h"

namespace velt::drive {
namespace {

TEST(Wildcards, MatchStarsAndQuestionMarks) {
    const struct {
        const char* pattern;
        const char* name;
        bool ignoreCase;
        bool matches;
    } cases[] = {
        {"*.drive", "cpp-sweep.drive", false, true},
        {"*.drive", "cpp-sweep.drive.bak", false, false},
        {"*.drive", "CPP.DRIVE", false, false},
        {"*.drive", "CPP.DRIVE", true, true},
        {"cpp-*.drive", "cpp-.drive", false, true},
        {"c?p*", "cpp-sweep.drive", false, true},
        {"c?p*", "cp", false, false},
        {"*s*s*", "sweeps", false, true},
        {"a*b*c", "abxbxc", false, true},
        {"a*b*c", "abxbxd", false, false},
        {"*", "", false, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wildcardMatch(c.pattern, c.name, c.ignoreCase), c.matches)
            << c.pattern << " against " << c.name;
}

TEST(Wildcards, ExpandTheLastPartInTheFolderAsWritten) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(testing::TempDir()) / "velt-wildcards";
    fs::remove_all(dir);
    fs::create_directories(dir / "sub.drive");
    for (const char* name : {"b.drive", "a.drive", "c.txt", ".hidden.drive", "A2.DRIVE"})
        std::ofstream(dir / name) << "end at 1 s\n";
    const std::string folder = dir.string() + "/";
    EXPECT_EQ(expandWildcards(folder + "*.drive", false),
              (std::vector<std::string>{folder + "a.drive", folder + "b.drive"}))
        << "sorted, files only, no hidden ones";
    EXPECT_EQ(
        expandWildcards(folder + "*.drive", true),
        (std::vector<std::string>{folder + "A2.DRIVE", folder + "a.drive", folder + "b.drive"}));
    EXPECT_EQ(expandWildcards(folder + "*.none", false),
              (std::vector<std::string>{folder + "*.none"}))
        << "nothing matched: the argument stays, so its message names it";
    EXPECT_EQ(expandWildcards(folder + "a.drive", false),
              (std::vector<std::string>{folder + "a.drive"}));
    fs::remove_all(dir);
}

// What a Windows build prints for a path in a message: every separator its
// own, the rest of the name byte for byte (a UTF-8 name included).
TEST(Wildcards, WritePathsWithOneSeparator) {
    EXPECT_EQ(withSeparator("scenarios/examples/a.drive", '\\'), "scenarios\\examples\\a.drive");
    EXPECT_EQ(withSeparator("C:\\routes/caf\xc3\xa9.drive", '\\'), "C:\\routes\\caf\xc3\xa9.drive");
    EXPECT_EQ(withSeparator("a\\b/c", '/'), "a/b/c");
    EXPECT_EQ(
        nativeSeparators("a/b"),
        std::string("a") + static_cast<char>(std::filesystem::path::preferred_separator) + "b");
}

}  // namespace
}  // namespace velt::drive
