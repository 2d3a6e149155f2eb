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
    // How many drives job i stands for in the progress (1 when not given):
    // a job that hands off drives of its own with ForkedJobs counts each of
    // them as it ends, and whatever it did not count when it ends itself.
    std::function<std::size_t(std::size_t index)> drivesOf;
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
// `width` such processes run at a time; fork() waits for a free one. Inside
// a job of runDrivesApart, each that ends counts as a drive in its progress.
class ForkedJobs {
public:
    using Ended = std::function<void(std::size_t id, PoolJob job)>;
    // With `ended`, each process's result goes there as soon as it ends,
    // and collect() returns nothing: this process then holds no results,
    // which every later fork() would copy and every new process free.
    explicit ForkedJobs(int width, Ended ended = {});
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
    Ended ended_;
    std::vector<Running> running_;
    std::vector<std::pair<std::size_t, PoolJob>> done_;
    int out_ = -1;  // in a forked process: where its result goes
};

// In a job of runDrivesApart: sends part of its result now, ahead of what
// the job returns; the pool joins the parts in order. A job that hands
// off many drives passes their results on as they come instead of holding
// them. False when they cannot be sent (or outside a job).
bool sendPartOfResult(const std::string& bytes);
#endif

}  // namespace velt::drive
