#include "tools/velt-drive/sweep/process_pool.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#if !defined(_WIN32)
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "tools/velt-drive/explain/core_twin.h"
#include "tools/velt-drive/sweep/vary.h"

namespace velt::drive {

namespace {

using DriveFunction = std::function<std::string(const PluginLibrary&, std::size_t)>;

#if defined(_WIN32)

// One drive after the other, each in the library loaded afresh: Windows
// maps a library's data anew once its last handle is closed.
void runEach(const std::string& pluginPath, const PoolOptions& options, const DriveFunction& drive,
             std::vector<PoolJob>& jobs) {
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        platform::AnyFunction code = nullptr;
        {
            PluginLibrary plugin;
            if (!plugin.open(pluginPath)) throw SweepError(plugin.error());
            // The library starts afresh, and so must its twin.
            CoreTwin::startAsLoaded();
            try {
                jobs[i].bytes = drive(plugin, i);
            } catch (const std::exception& error) {
                jobs[i].failure = std::string("the drive failed: ") + error.what();
            }
            code = reinterpret_cast<platform::AnyFunction>(plugin.api().elapse);
        }
        if (platform::stillLoaded(code))
            throw SweepError(pluginPath +
                             ": the library stays loaded after velt-drive closes it, so the "
                             "drives would share its state; close whatever else holds it, or "
                             "run the drives one by one");
        if (options.progress) options.progress(i + 1, jobs.size());
    }
}

#else

// A drive's process writes its result and ends, with these exit codes.
constexpr int kChildDone = 0;
constexpr int kChildFailed = 3;
constexpr int kChildCannotWrite = 4;

// In a job's process: where it tells the pool that a drive it handed off
// has ended (the job's index, four bytes, which a pipe never splits), and
// that index; -1 in the process that runs the pool.
int gDrivesDoneFd = -1;
std::uint32_t gJobIndex = 0;
// In a job's process: the pipe its result goes to.
int gResultFd = -1;

void tellDriveDone() {
    if (gDrivesDoneFd < 0) return;
    const std::uint32_t index = gJobIndex;
    // Progress only: a tick lost to a full or closed pipe costs nothing else.
    const ssize_t n = write(gDrivesDoneFd, &index, sizeof index);
    (void)n;
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Forked before the parent calls anything but GetPluginVersion, each
// process starts from the plug-in exactly as loaded.
[[noreturn]] void driveInChild(const DriveFunction& drive, const PluginLibrary& plugin,
                               std::size_t index, int fd) {
    gJobIndex = static_cast<std::uint32_t>(index);
    gResultFd = fd;
    int code = kChildDone;
    try {
        if (!writeAll(fd, drive(plugin, index))) code = kChildCannotWrite;
    } catch (...) {
        code = kChildFailed;
    }
    // _exit: the parent's buffered output is not this process's to flush.
    _exit(code);
}

std::string processFailure(int status) {
    if (WIFSIGNALED(status))
        return "the drive's process was ended by signal " + std::to_string(WTERMSIG(status)) +
               " (" + strsignal(WTERMSIG(status)) + ")";
    if (!WIFEXITED(status)) return "the drive's process ended abnormally";
    const int code = WEXITSTATUS(status);
    if (code == kChildDone) return "";
    if (code == kChildCannotWrite) return "the drive's process could not return its result";
    return "the drive's process failed (exit code " + std::to_string(code) + ")";
}

struct Running {
    pid_t pid;
    int fd;
    std::size_t job;
    std::string bytes;
};

// Ends whatever still runs when the drives are given up.
class Workers {
public:
    Workers() = default;
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
    ~Workers() {
        for (const Running& r : running) {
            kill(r.pid, SIGKILL);
            close(r.fd);
            reap(r.pid);
        }
    }
    static int reap(pid_t pid) {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return status;
    }
    std::vector<Running> running;
};

// Reads what the running drives have written, waiting for it or only
// looking; a drive whose pipe has closed is reaped, handed to `ended` with
// its result, and leaves `running`. Both kinds of running drive have a pid,
// a pipe and the bytes read so far. `ticks`, when given, is the pipe on
// which the jobs tell of drives they handed off; each index read from it
// goes to `ticked`.
template <typename Run, typename Ended>
void drainRunning(std::vector<Run>& running, bool wait, const Ended& ended, int ticks = -1,
                  const std::function<void(std::uint32_t)>& ticked = {}) {
    std::vector<pollfd> polls;
    polls.reserve(running.size() + 1);
    for (const Run& r : running) polls.push_back({r.fd, POLLIN, 0});
    if (ticks >= 0) polls.push_back({ticks, POLLIN, 0});
    if (poll(polls.data(), polls.size(), wait ? -1 : 0) < 0) {
        if (errno == EINTR) return;
        throw SweepError(std::string("cannot wait for the drives: ") + std::strerror(errno));
    }
    if (ticks >= 0 && (polls.back().revents & POLLIN) != 0) {
        std::uint32_t indices[256];
        const ssize_t n = read(ticks, indices, sizeof indices);
        for (ssize_t k = 0; k + 4 <= n; k += 4) ticked(indices[k / 4]);
    }
    for (std::size_t i = running.size(); i-- > 0;) {
        if ((polls[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        Run& r = running[i];
        char buffer[1 << 14];
        const ssize_t n = read(r.fd, buffer, sizeof(buffer));
        if (n > 0) {
            r.bytes.append(buffer, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        close(r.fd);
        PoolJob job;
        job.failure = processFailure(Workers::reap(r.pid));
        if (job.failure.empty()) job.bytes = std::move(r.bytes);
        ended(r, std::move(job));
        running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

// The pipe on which the jobs tell of the drives they hand off, closed when
// the pool is done.
struct TicksPipe {
    int fds[2] = {-1, -1};
    TicksPipe() {
        if (pipe(fds) != 0)
            throw SweepError(std::string("cannot start the drives: ") + std::strerror(errno));
    }
    TicksPipe(const TicksPipe&) = delete;
    TicksPipe& operator=(const TicksPipe&) = delete;
    ~TicksPipe() {
        close(fds[0]);
        close(fds[1]);
    }
};

void runInProcesses(const std::string& pluginPath, const PoolOptions& options,
                    const DriveFunction& drive, std::vector<PoolJob>& jobs) {
    PluginLibrary plugin;
    if (!plugin.open(pluginPath)) throw SweepError(plugin.error());
    const auto width = static_cast<std::size_t>(std::max(1, options.jobs));
    // Progress counts drives: a job stands for drivesOf(job), counted as
    // its handed-off drives tell of their end, the rest when it ends.
    std::vector<std::size_t> units(jobs.size(), 1);
    if (options.drivesOf)
        for (std::size_t i = 0; i < jobs.size(); ++i) units[i] = options.drivesOf(i);
    std::size_t total = 0;
    for (const std::size_t u : units) total += u;
    std::vector<std::size_t> ticked(jobs.size(), 0);
    std::size_t counted = 0;
    const auto tell = [&] {
        if (options.progress) options.progress(counted, total);
    };
    TicksPipe ticks;
    Workers workers;
    std::vector<Running>& running = workers.running;
    std::size_t next = 0;
    std::size_t done = 0;
    while (done < jobs.size()) {
        while (running.size() < width && next < jobs.size()) {
            int fds[2];
            if (pipe(fds) != 0)
                throw SweepError(std::string("cannot start a drive: ") + std::strerror(errno));
            const pid_t pid = fork();
            if (pid < 0) {
                close(fds[0]);
                close(fds[1]);
                throw SweepError(std::string("cannot start a drive: ") + std::strerror(errno));
            }
            if (pid == 0) {
                close(fds[0]);
                close(ticks.fds[0]);
                for (const Running& r : running) close(r.fd);
                gDrivesDoneFd = ticks.fds[1];
                driveInChild(drive, plugin, next, fds[1]);
            }
            close(fds[1]);
            running.push_back({pid, fds[0], next++, {}});
        }
        drainRunning(
            running, true,
            [&](const Running& r, PoolJob job) {
                jobs[r.job] = std::move(job);
                ++done;
                counted += units[r.job] - std::min(ticked[r.job], units[r.job]);
                ticked[r.job] = units[r.job];  // a tick read after its end counts no more
                tell();
            },
            ticks.fds[0],
            [&](std::uint32_t job) {
                if (job >= jobs.size() || ticked[job] >= units[job]) return;
                ++ticked[job];
                ++counted;
                tell();
            });
    }
}

#endif

}  // namespace

#if !defined(_WIN32)

struct ForkedJobs::Running {
    pid_t pid;
    int fd;
    std::size_t id;
    std::string bytes;
};

ForkedJobs::ForkedJobs(int width, Ended ended)
    : width_(static_cast<std::size_t>(std::max(1, width))), ended_(std::move(ended)) {}

ForkedJobs::~ForkedJobs() {
    for (const Running& r : running_) {
        kill(r.pid, SIGKILL);
        close(r.fd);
        Workers::reap(r.pid);
    }
}

bool ForkedJobs::fork(std::size_t id) {
    while (running_.size() >= width_) drain(true);
    int fds[2];
    if (pipe(fds) != 0)
        throw SweepError(std::string("cannot start a drive: ") + std::strerror(errno));
    const pid_t pid = ::fork();
    if (pid < 0) {
        close(fds[0]);
        close(fds[1]);
        throw SweepError(std::string("cannot start a drive: ") + std::strerror(errno));
    }
    if (pid == 0) {
        // The others are this process's siblings, not its own to end.
        close(fds[0]);
        for (const Running& r : running_) close(r.fd);
        running_.clear();
        done_.clear();
        out_ = fds[1];
        return true;
    }
    close(fds[1]);
    running_.push_back({pid, fds[0], id, {}});
    drain(false);
    return false;
}

void ForkedJobs::finish(const std::string& bytes) {
    _exit(writeAll(out_, bytes) ? kChildDone : kChildCannotWrite);
}

void ForkedJobs::drain(bool wait) {
    drainRunning(running_, wait, [&](const Running& r, PoolJob job) {
        if (ended_) {
            ended_(r.id, std::move(job));
        } else {
            done_.emplace_back(r.id, std::move(job));
        }
        tellDriveDone();
    });
}

std::vector<std::pair<std::size_t, PoolJob>> ForkedJobs::collect() {
    while (!running_.empty()) drain(true);
    return std::move(done_);
}

bool sendPartOfResult(const std::string& bytes) {
    return gResultFd >= 0 && writeAll(gResultFd, bytes);
}

#endif

std::vector<PoolJob> runDrivesApart(const std::string& pluginPath, std::size_t count,
                                    const PoolOptions& options, const DriveFunction& drive) {
    std::vector<PoolJob> jobs(count);
#if defined(_WIN32)
    runEach(pluginPath, options, drive, jobs);
#else
    runInProcesses(pluginPath, options, drive, jobs);
#endif
    return jobs;
}

}  // namespace velt::drive
