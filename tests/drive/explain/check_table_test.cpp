// The table of the checks names each one once, with a CSV word of its own,
// and ranks every check that brakes in one merge order.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "tools/velt-drive/explain/check_table.h"

namespace velt::drive {
namespace {

TEST(CheckTable, NamesEveryCheckOnceAndRanksTheBrakingOnesInOneOrder) {
    std::set<std::string> names;
    std::set<std::string> words;
    std::set<int> ranks;
    for (const CheckInfo& info : kCheckTable) {
        EXPECT_TRUE(names.insert(info.name).second) << info.name;
        EXPECT_TRUE(words.insert(info.word).second) << info.word;
        if (info.mergeRank >= 0) {
            EXPECT_TRUE(ranks.insert(info.mergeRank).second) << info.name;
        }
    }
    // None and the overspeed cut never brake; every other check does.
    EXPECT_EQ(ranks.size(), kCheckCount - 2);
    EXPECT_EQ(kMergeOrder.size(), ranks.size());
    EXPECT_EQ(kMergeOrder.front(), Check::Signal);
    EXPECT_EQ(*ranks.rbegin(), static_cast<int>(ranks.size()) - 1) << "ranks run from 0 unbroken";
    // The CLF limit merges before the SPB pattern, though it comes after it in Check.
    EXPECT_LT(checkInfo(Check::Clf).mergeRank, checkInfo(Check::Spb).mergeRank);
}

}  // namespace
}  // namespace velt::drive
