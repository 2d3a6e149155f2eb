// The pool as the audit uses it: one job hands off drives of its own, which
// pass their results on as each ends and count in the progress one by one,
// as the plain jobs beside it do.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tools/velt-drive/sweep/process_pool.h"

namespace velt::drive {
namespace {

TEST(AuditPool, HandedOffDrivesArePassedOnAndCountedAsTheyEnd) {
    std::vector<std::pair<std::size_t, std::size_t>> told;
    PoolOptions options;
    options.jobs = 2;
    options.progress = [&](std::size_t done, std::size_t total) { told.emplace_back(done, total); };
    // Job 1 stands for five drives; it hands off three, the other two end with it.
    options.drivesOf = [](std::size_t job) -> std::size_t { return job == 1 ? 5 : 1; };
    const std::vector<PoolJob> jobs = runDrivesApart(
        VELT_PLUGIN_PATH, 3, options, [](const PluginLibrary&, std::size_t job) -> std::string {
            if (job != 1) return "plain " + std::to_string(job);
            bool sent = true;
            ForkedJobs copies(2, [&](std::size_t id, const PoolJob& done) {
                sent = sendPartOfResult(std::to_string(id) + "=" + done.bytes + ";") && sent;
            });
            for (std::size_t id = 0; id < 3; ++id)
                if (copies.fork(id)) copies.finish("copy" + std::to_string(id));
            const bool none = copies.collect().empty();
            return {sent && none ? "rest" : "lost"};
        });
    ASSERT_EQ(jobs.size(), 3U);
    EXPECT_EQ(jobs[0].bytes, "plain 0");
    EXPECT_EQ(jobs[2].bytes, "plain 2");
    // The parts in the order the copies ended, then what the job returned.
    const std::string& parts = jobs[1].bytes;
    EXPECT_EQ(parts.size(), std::string("0=copy0;1=copy1;2=copy2;rest").size()) << parts;
    for (const char* part : {"0=copy0;", "1=copy1;", "2=copy2;"})
        EXPECT_NE(parts.find(part), std::string::npos) << parts;
    EXPECT_EQ(parts.substr(parts.size() - 4), "rest");
    // Two plain ends, three handed-off drives, job 1's end with its last two.
    ASSERT_EQ(told.size(), 6U);
    for (std::size_t i = 0; i < told.size(); ++i) {
        EXPECT_EQ(told[i].second, 7U);
        if (i > 0) {
            EXPECT_GE(told[i].first, told[i - 1].first);
        }
    }
    EXPECT_EQ(told.back().first, 7U);
}

}  // namespace
}  // namespace velt::drive
