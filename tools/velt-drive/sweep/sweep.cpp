#include "tools/velt-drive/sweep/sweep.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#if !defined(_WIN32)
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

#include "tools/velt-drive/drive/drive.h"
#include "tools/velt-drive/explain/check_table.h"
#include "tools/velt-drive/explain/explained_drive.h"
#include "tools/velt-drive/plugin/plugin_library.h"
#include "tools/velt-drive/sweep/outcome_codec.h"
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// One drive, with velt-drive's own core beside the plug-in unless it is a
// black box: the interventions and their causes come from its explanation.
DriveOutcome driveOnce(const Scenario& base, const std::vector<Vary>& varies,
                       const std::vector<double>& values, const PluginLibrary& plugin,
                       const SweepOptions& options) {
    const Scenario scenario = variant(base, varies, values);
    // Only the interventions: the sweep tells nothing else of the explanation.
    ExplainedDrive drive(scenario, plugin,
                         options.blackBox ? Explain::Nothing : Explain::Interventions,
                         options.route);
    OutcomeRecorder recorder(scenario, drive.explainer());
    drive.run({&recorder});
    return recorder.outcome();
}

#if defined(_WIN32)

// One drive after the other, each in the library loaded afresh: Windows
// maps a library's data anew once its last handle is closed.
void runEach(const Scenario& base, const std::vector<Vary>& varies, const std::string& pluginPath,
             const SweepOptions& options, std::vector<SweepDrive>& drives) {
    for (std::size_t i = 0; i < drives.size(); ++i) {
        platform::AnyFunction code = nullptr;
        {
            PluginLibrary plugin;
            if (!plugin.open(pluginPath)) throw SweepError(plugin.error());
            // The library starts afresh, and so must its twin.
            CoreTwin::startAsLoaded();
            drives[i].outcome = driveOnce(base, varies, drives[i].values, plugin, options);
            code = reinterpret_cast<platform::AnyFunction>(plugin.api().elapse);
        }
        if (platform::stillLoaded(code))
            throw SweepError(pluginPath +
                             ": the library stays loaded after velt-drive closes it, so the "
                             "drives of a sweep would share its state; close whatever else "
                             "holds it, or run the drives one by one");
        if (options.progress) options.progress(i + 1, drives.size());
    }
}

#else

// A drive's process writes its outcome and ends, with these exit codes.
constexpr int kChildDone = 0;
constexpr int kChildFailed = 3;
constexpr int kChildCannotWrite = 4;

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
[[noreturn]] void driveInChild(const Scenario& base, const std::vector<Vary>& varies,
                               const std::vector<double>& values, const PluginLibrary& plugin,
                               const SweepOptions& options, int fd) {
    int code = kChildDone;
    try {
        if (!writeAll(fd, encodeOutcome(driveOnce(base, varies, values, plugin, options))))
            code = kChildCannotWrite;
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
    std::size_t drive;
    std::string bytes;
};

// Ends whatever still runs when the sweep is given up.
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

void runInProcesses(const Scenario& base, const std::vector<Vary>& varies,
                    const std::string& pluginPath, const SweepOptions& options,
                    std::vector<SweepDrive>& drives) {
    PluginLibrary plugin;
    if (!plugin.open(pluginPath)) throw SweepError(plugin.error());
    const auto jobs = static_cast<std::size_t>(std::max(1, options.jobs));
    Workers workers;
    std::vector<Running>& running = workers.running;
    std::size_t next = 0;
    std::size_t done = 0;
    std::vector<pollfd> polls;
    while (done < drives.size()) {
        while (running.size() < jobs && next < drives.size()) {
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
                for (const Running& r : running) close(r.fd);
                driveInChild(base, varies, drives[next].values, plugin, options, fds[1]);
            }
            close(fds[1]);
            running.push_back({pid, fds[0], next++, {}});
        }
        polls.clear();
        for (const Running& r : running) polls.push_back({r.fd, POLLIN, 0});
        if (poll(polls.data(), polls.size(), -1) < 0) {
            if (errno == EINTR) continue;
            throw SweepError(std::string("cannot wait for the drives: ") + std::strerror(errno));
        }
        for (std::size_t i = running.size(); i-- > 0;) {
            if ((polls[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            Running& r = running[i];
            char buffer[1 << 14];
            const ssize_t n = read(r.fd, buffer, sizeof(buffer));
            if (n > 0) {
                r.bytes.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            close(r.fd);
            SweepDrive& drive = drives[r.drive];
            drive.failure = processFailure(Workers::reap(r.pid));
            if (drive.failure.empty() && !decodeOutcome(r.bytes, drive.outcome))
                drive.failure = "the drive's result came back incomplete";
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
            ++done;
            if (options.progress) options.progress(done, drives.size());
        }
    }
}

#endif

}  // namespace

std::vector<SweepDrive> runSweep(const Scenario& base, const std::vector<Vary>& varies,
                                 const std::string& pluginPath, const SweepOptions& options) {
    std::vector<SweepDrive> drives(combinationCount(varies));
    for (std::size_t i = 0; i < drives.size(); ++i) drives[i].values = combination(varies, i);
#if defined(_WIN32)
    runEach(base, varies, pluginPath, options, drives);
#else
    runInProcesses(base, varies, pluginPath, options, drives);
#endif
    // A library that is not this velt: what the drive says is not about it.
    for (SweepDrive& drive : drives)
        if (drive.failure.empty() && !drive.outcome.divergence.empty())
            drive.failure = drive.outcome.divergence;
    return drives;
}

}  // namespace velt::drive
