// Many drives of one plug-in, each starting from the library exactly as
// loaded: the plug-in keeps its state in the library, so two drives never
// share a loaded library. Natively each drive runs in a process of its own,
// forked after the library was opened, several at a time; on Windows one
// after the other, each in the library loaded afresh. What a drive returns
// travels back as bytes. The sweep and the audit of a route both run their
// drives here.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tools/velt-drive/plugin/plugin_library.h"

namespace velt::drive {

struct PoolJob {
    std::string bytes;    // what the drive returned
    std::string failure;  // not empty when it could not be run to its end
};

struct PoolOptions {
    int jobs = 1;  // drives at a time; the Windows build runs one at a time
    // Called after each drive with the number done so far.
    std::function<void(std::size_t done, std::size_t total)> progress;
};

// Runs drive(plugin, i) for i in 0..count-1 and returns what each gave, in
// order. A drive that throws or dies is a failure of its own; the others
// go on. Throws SweepError when the plug-in cannot be loaded or a process
// cannot be started.
std::vector<PoolJob> runDrivesApart(
    const std::string& pluginPath, std::size_t count, const PoolOptions& options,
    const std::function<std::string(const PluginLibrary& plugin, std::size_t index)>& drive);

#if !defined(_WIN32)
// Work handed off from the middle of a drive: fork() makes a process that
// goes on from exactly where this one stands (the plug-in, the drive, its
// explanation) and ends with finish(); this process goes on too. At most
// `width` such processes run at a time; fork() waits for a free one.
class ForkedJobs {
public:
    explicit ForkedJobs(int width);
    ForkedJobs(const ForkedJobs&) = delete;
    ForkedJobs& operator=(const ForkedJobs&) = delete;
    ~ForkedJobs();  // ends whatever still runs

    // True in the new process, false here. Throws SweepError when no
    // process can be made.
    bool fork(std::size_t id);
    // In the new process: sends what it came to, and ends it.
    [[noreturn]] void finish(const std::string& bytes);
    // Waits for every process; what each sent, with its id.
    std::vector<std::pair<std::size_t, PoolJob>> collect();

private:
    struct Running;
    void drain(bool wait);
    std::size_t width_;
    std::vector<Running> running_;
    std::vector<std::pair<std::size_t, PoolJob>> done_;
    int out_ = -1;  // in a forked process: where its result goes
};
#endif

}  // namespace velt::drive
