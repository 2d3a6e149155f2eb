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
#include "tools/velt-drive/util/number_format.h"

namespace velt::drive {

namespace {

// More drives than anyone would wait for: a mistake in a --vary.
constexpr std::size_t kMaxDrives = 100000;

using Kind = VariedQuantity::Kind;

struct NamedQuantity {
    const char* name;
    Kind kind;
    const char* unit;
    QuantityRange range;
};

// The start and vehicle quantities a sweep varies by name...
constexpr NamedQuantity kByName[] = {
    {"start-speed", Kind::StartSpeed, "km/h", kStartSpeedRangeKmh},
    {"service-brake", Kind::ServiceBrake, "km/h/s", kRateRangeKmhS},
    {"emergency-brake", Kind::EmergencyBrake, "km/h/s", kRateRangeKmhS},
    {"acceleration", Kind::Acceleration, "km/h/s", kRateRangeKmhS},
    {"frame", Kind::Frame, "ms", kFrameRangeMs},
};

// ... and those of one scenario line, by the line's number: "beacon@12".
constexpr NamedQuantity kByLine[] = {
    {"beacon", Kind::BeaconPosition, "m", kTrackRangeM},
    {"signal", Kind::SignalPosition, "m", kTrackRangeM},
    {"hold", Kind::HoldSpeed, "km/h", kHoldSpeedRangeKmh},
};

const char kQuantities[] =
    "start-speed, service-brake, emergency-brake, acceleration, frame, beacon@LINE, "
    "signal@LINE or hold@LINE";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) return parts;
        from = at + 1;
    }
}

int decimalsOf(const std::string& number) {
    const std::size_t point = number.find('.');
    return point == std::string::npos ? 0 : static_cast<int>(number.size() - point - 1);
}

// The lines on which the scenario has things of one kind, for a message.
std::string lineList(const std::vector<int>& lines, const char* what) {
    if (lines.empty()) return std::string("the scenario has no ") + what;
    std::string text = std::string("the ") + what + " are on line" + (lines.size() > 1 ? "s" : "");
    for (std::size_t i = 0; i < lines.size() && i < 12; ++i)
        text += (i == 0 ? " " : ", ") + std::to_string(lines[i]);
    return text + (lines.size() > 12 ? ", ..." : "");
}

template <typename Item>
std::optional<std::size_t> itemOnLine(const std::vector<Item>& items, int line) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].pos.line == line) return i;
    return std::nullopt;
}

class VaryReader {
public:
    VaryReader(const std::string& text, const Scenario& scenario)
        : text_(text), scenario_(scenario) {}

    Vary read() {
        const std::size_t equals = text_.find('=');
        if (equals == std::string::npos)
            fail("expected NAME=FROM:TO:STEP, e.g. start-speed=10:120:10");
        Vary vary;
        vary.name = text_.substr(0, equals);
        const NamedQuantity* first = nullptr;
        for (const std::string& name : split(vary.name, ',')) {
            const auto [varied, named] = lookUp(name);
            if (first != nullptr && std::string(first->unit) != named.unit)
                fail(std::string(first->name) + " is in " + first->unit + " but " + name + " in " +
                     named.unit + ": quantities varied together need one unit");
            if (first == nullptr) first = &named;
            vary.quantities.push_back(varied);
            ranges_.push_back(named.range);
        }
        if (first == nullptr) fail("no quantity named before '='");
        vary.unit = first->unit;
        values(text_.substr(equals + 1), vary);
        return vary;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw SweepError("--vary " + text_ + ": " + what);
    }

    [[nodiscard]] std::pair<VariedQuantity, const NamedQuantity&> lookUp(
        const std::string& name) const {
        for (const NamedQuantity& named : kByName)
            if (name == named.name) return {{named.kind, name, 0}, named};
        const std::size_t at = name.find('@');
        std::string kind = name.substr(0, at);
        for (const NamedQuantity& named : kByLine) {
            if (at == std::string::npos || kind != named.name) continue;
            const auto line = parseInt32(name.substr(at + 1));
            if (!line || *line < 1)
                fail("'" + name.substr(at + 1) + "' after " + kind.append("@") +
                     " is not a line number; write e.g. " + kind + "12");
            return {{named.kind, name, lineItem(named.kind, *line, name)}, named};
        }
        fail("unknown quantity '" + name + "'; a sweep varies " + kQuantities);
    }

    [[nodiscard]] std::size_t lineItem(Kind kind, int line, const std::string& name) const {
        const std::string where =
            name + ": line " + std::to_string(line) + " of " + scenario_.file + " holds no ";
        if (kind == Kind::BeaconPosition) {
            if (const auto i = itemOnLine(scenario_.beacons, line)) return *i;
            std::vector<int> lines;
            for (const BeaconItem& b : scenario_.beacons) lines.push_back(b.pos.line);
            fail(where + "beacon; " + lineList(lines, "beacons"));
        }
        if (kind == Kind::SignalPosition) {
            std::vector<int> lines;
            for (const SignalItem& s : scenario_.signals)
                if (s.trigger.kind == Trigger::Kind::Position) lines.push_back(s.pos.line);
            if (const auto i = itemOnLine(scenario_.signals, line)) {
                if (scenario_.signals[*i].trigger.kind == Trigger::Kind::Position) return *i;
                fail(name + ": the signal on line " + std::to_string(line) +
                     " is reported at a time, not at a position; " +
                     lineList(lines, "signals placed by position"));
            }
            fail(where + "signal placed by position; " +
                 lineList(lines, "signals placed by position"));
        }
        std::vector<int> lines;
        for (const DriverAction& a : scenario_.driver)
            if (a.kind == DriverAction::Kind::Hold) lines.push_back(a.pos.line);
        const auto i = itemOnLine(scenario_.driver, line);
        if (i && scenario_.driver[*i].kind == DriverAction::Kind::Hold) return *i;
        fail(where + "'hold'; " + lineList(lines, "holds"));
    }

    void values(const std::string& range, Vary& vary) const {
        const std::vector<std::string> parts = split(range, ':');
        if (parts.size() != 3)
            fail("expected FROM:TO:STEP after '=', e.g. 10:120:10, found '" + range + "'");
        const char* roles[] = {"FROM", "TO", "STEP"};
        double numbers[3] = {0, 0, 0};
        for (std::size_t i = 0; i < 3; ++i) {
            const Parsed<double> parsed = parseDecimal(parts[i]);
            if (parsed.status != NumberStatus::Ok)
                fail(std::string(roles[i]) + " '" + parts[i] + "' is not a number");
            numbers[i] = parsed.value;
        }
        const double from = numbers[0];
        const double to = numbers[1];
        const double step = numbers[2];
        if (step == 0.0) fail("the step is 0; give the distance between two values, e.g. 10");
        const double span = (to - from) / step;
        if (span < -1e-9)
            fail("the range is empty: " + parts[0] + " never reaches " + parts[1] +
                 " in steps of " + parts[2] + "; write " + parts[1] + ":" + parts[0] + ":" +
                 parts[2] + ", or go " +
                 (step > 0 ? "down with a negative step" : "up with a positive step"));
        if (span + 1.0 > static_cast<double>(kMaxDrives))
            fail("gives more than " + std::to_string(kMaxDrives) + " values; take a larger step");
        const auto count = static_cast<std::size_t>(std::floor(span + 1e-9)) + 1;
        // Values as written: 0.1 + 2 x 0.1 is 0.3, not 0.30000000000000004.
        vary.decimals = std::min(6, std::max(decimalsOf(parts[0]), decimalsOf(parts[2])));
        for (std::size_t i = 0; i < count; ++i) {
            const double raw = from + static_cast<double>(i) * step;
            const double value = parseDecimal(formatFixed(raw, vary.decimals)).value;
            for (std::size_t q = 0; q < vary.quantities.size(); ++q)
                check(vary.quantities[q], ranges_[q], value, vary.unit);
            vary.values.push_back(value);
        }
    }

    void check(const VariedQuantity& quantity, const QuantityRange& range, double value,
               const std::string& unit) const {
        const std::string shown = quantity.name + " " + formatPlain(value) + " " + unit;
        if (value < range.low || value > range.high)
            fail(shown + " is outside " + formatPlain(range.low) + " to " +
                 formatPlain(range.high) + " " + unit);
        if (quantity.kind == Kind::Frame && value != std::floor(value))
            fail(shown + " is not a whole number of milliseconds");
        const double top = scenario_.vehicle.maxSpeedKmh;
        if ((quantity.kind == Kind::StartSpeed || quantity.kind == Kind::HoldSpeed) && value > top)
            fail(shown + " is above the vehicle's maximum speed of " + formatPlain(top) +
                 " km/h ('vehicle max-speed')");
    }

    const std::string& text_;
    const Scenario& scenario_;
    std::vector<QuantityRange> ranges_;
};

// The compact form of a drive's outcome: numbers as their bytes, texts
// with their length. Written and read by the same executable.
class ByteWriter {
public:
    void number(std::uint64_t value) { raw(&value, sizeof(value)); }
    void real(double value) { raw(&value, sizeof(value)); }
    void text(const std::string& value) {
        number(value.size());
        bytes_ += value;
    }
    void point(const FramePoint& p) {
        number(p.frame);
        number(static_cast<std::uint64_t>(p.elapsedMs));
        real(p.positionM);
        real(p.speedKmh);
    }
    void maybe(const std::optional<FramePoint>& p) {
        number(p ? 1 : 0);
        if (p) point(*p);
    }
    std::string take() { return std::move(bytes_); }

private:
    void raw(const void* data, std::size_t size) {
        bytes_.append(static_cast<const char*>(data), size);
    }
    std::string bytes_;
};

class ByteReader {
public:
    explicit ByteReader(const std::string& bytes) : bytes_(bytes) {}
    [[nodiscard]] bool ok() const { return ok_ && at_ == bytes_.size(); }

    std::uint64_t number() {
        std::uint64_t value = 0;
        raw(&value, sizeof(value));
        return value;
    }
    // A count of things that follow, each at least `least` bytes long.
    std::size_t count(std::size_t least) {
        const std::uint64_t value = number();
        if (value > (bytes_.size() - at_) / least) ok_ = false;
        return ok_ ? static_cast<std::size_t>(value) : 0;
    }
    double real() {
        double value = 0.0;
        raw(&value, sizeof(value));
        return value;
    }
    std::string text() {
        const std::size_t size = count(1);
        std::string value = ok_ ? bytes_.substr(at_, size) : std::string();
        at_ += value.size();
        return value;
    }
    FramePoint point() {
        FramePoint p;
        p.frame = static_cast<std::size_t>(number());
        p.elapsedMs = static_cast<std::int64_t>(number());
        p.positionM = real();
        p.speedKmh = real();
        return p;
    }
    std::optional<FramePoint> maybe() {
        if (number() == 0) return std::nullopt;
        return point();
    }

private:
    void raw(void* data, std::size_t size) {
        if (!ok_ || bytes_.size() - at_ < size) {
            ok_ = false;
            return;
        }
        std::memcpy(data, bytes_.data() + at_, size);
        at_ += size;
    }
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

// One drive, with velt-drive's own core beside the plug-in unless it is a
// black box: the interventions and their causes come from its explanation.
DriveOutcome driveOnce(const Scenario& base, const std::vector<Vary>& varies,
                       const std::vector<double>& values, const PluginLibrary& plugin,
                       bool blackBox) {
    const Scenario scenario = variant(base, varies, values);
    // Only the interventions: the sweep tells nothing else of the explanation.
    ExplainedDrive drive(scenario, plugin, blackBox ? Explain::Nothing : Explain::Interventions);
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
            drives[i].outcome = driveOnce(base, varies, drives[i].values, plugin, options.blackBox);
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
                               bool blackBox, int fd) {
    int code = kChildDone;
    try {
        if (!writeAll(fd, encodeOutcome(driveOnce(base, varies, values, plugin, blackBox))))
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
                driveInChild(base, varies, drives[next].values, plugin, options.blackBox, fds[1]);
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

Vary parseVary(const std::string& text, const Scenario& scenario) {
    return VaryReader(text, scenario).read();
}

std::vector<Vary> parseVaries(const std::vector<std::string>& texts, const Scenario& scenario) {
    std::vector<Vary> varies;
    double drives = 1.0;
    for (const std::string& text : texts) {
        Vary vary = parseVary(text, scenario);
        for (const VariedQuantity& q : vary.quantities)
            for (const Vary& earlier : varies)
                for (const VariedQuantity& e : earlier.quantities)
                    if (e.kind == q.kind && e.item == q.item)
                        throw SweepError("--vary " + text + ": " + q.name +
                                         " is varied already (by --vary " + earlier.name +
                                         "); vary each quantity once");
        drives *= static_cast<double>(vary.values.size());
        varies.push_back(std::move(vary));
    }
    if (drives > static_cast<double>(kMaxDrives))
        throw SweepError("the sweep would run " + formatPlain(drives) + " drives, more than " +
                         std::to_string(kMaxDrives) + "; take larger steps or fewer values");
    return varies;
}

std::size_t combinationCount(const std::vector<Vary>& varies) {
    std::size_t count = 1;
    for (const Vary& vary : varies) count *= vary.values.size();
    return count;
}

std::vector<double> combination(const std::vector<Vary>& varies, std::size_t index) {
    std::vector<double> values(varies.size());
    for (std::size_t i = varies.size(); i-- > 0;) {
        const std::size_t n = varies[i].values.size();
        values[i] = varies[i].values[index % n];
        index /= n;
    }
    return values;
}

Scenario variant(const Scenario& base, const std::vector<Vary>& varies,
                 const std::vector<double>& values) {
    Scenario s = base;
    for (std::size_t i = 0; i < varies.size(); ++i) {
        const double value = values[i];
        for (const VariedQuantity& q : varies[i].quantities) {
            switch (q.kind) {
                case Kind::StartSpeed: s.start.speedKmh = value; break;
                case Kind::ServiceBrake: s.vehicle.serviceBrakeKmhS = value; break;
                case Kind::EmergencyBrake: s.vehicle.emergencyBrakeKmhS = value; break;
                case Kind::Acceleration: s.vehicle.accelerationKmhS = value; break;
                case Kind::Frame: s.frameMs = static_cast<int>(value); break;
                case Kind::BeaconPosition: s.beacons[q.item].positionM = value; break;
                case Kind::SignalPosition: s.signals[q.item].trigger.value = value; break;
                case Kind::HoldSpeed: s.driver[q.item].speedKmh = value; break;
            }
        }
    }
    return s;
}

std::string formatValue(const Vary& vary, double value) {
    return formatFixed(value, vary.decimals) + " " + vary.unit;
}

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

std::string encodeOutcome(const DriveOutcome& o) {
    ByteWriter out;
    out.number(o.stops.size());
    for (const FramePoint& p : o.stops) out.point(p);
    out.number(o.targets.size());
    for (const TargetResult& t : o.targets) {
        out.text(t.name);
        out.number(static_cast<std::uint64_t>(t.line));
        out.real(t.positionM);
        out.maybe(t.stop);
        out.maybe(t.reached);
    }
    out.maybe(o.firstWarning);
    out.number(o.interventions.size());
    for (const InterventionOutcome& i : o.interventions) {
        const Intervention& e = i.explained;
        out.point(e.start);
        out.point(e.end);
        out.number(e.ended ? 1 : 0);
        out.number(static_cast<std::uint64_t>(e.check));
        out.number(static_cast<std::uint64_t>(e.level));
        out.text(e.cause);
        out.text(e.causeRef.file);
        out.number(static_cast<std::uint64_t>(e.causeRef.line));
        out.real(e.causeRef.positionM);
        out.text(e.causeRef.what);
        out.text(e.endedBy);
        out.number(static_cast<std::uint64_t>(e.startLevel));
        out.number(e.raisedToEmergency ? 1 : 0);
        out.point(e.emergencyAt);
        out.number(static_cast<std::uint64_t>(i.applications));
        out.maybe(i.warning);
    }
    out.number(o.expectations.size());
    for (const ExpectationResult& e : o.expectations) {
        out.number(e.met ? 1 : 0);
        out.text(e.detail);
    }
    out.number(o.findings.size());
    for (const Diagnostic& f : o.findings) {
        out.number(static_cast<std::uint64_t>(f.severity));
        out.text(f.where.file);
        out.number(static_cast<std::uint64_t>(f.where.line));
        out.number(static_cast<std::uint64_t>(f.where.column));
        out.text(f.message);
    }
    out.point(o.last);
    out.text(o.endReason);
    out.number(o.frames);
    out.text(o.divergence);
    return out.take();
}

bool decodeOutcome(const std::string& bytes, DriveOutcome& o) {
    ByteReader in(bytes);
    o = DriveOutcome{};
    constexpr std::size_t kPointBytes = 32;
    o.stops.resize(in.count(kPointBytes));
    for (FramePoint& p : o.stops) p = in.point();
    o.targets.resize(in.count(kPointBytes));
    for (TargetResult& t : o.targets) {
        t.name = in.text();
        t.line = static_cast<int>(in.number());
        t.positionM = in.real();
        t.stop = in.maybe();
        t.reached = in.maybe();
    }
    o.firstWarning = in.maybe();
    o.interventions.resize(in.count(kPointBytes));
    for (InterventionOutcome& i : o.interventions) {
        Intervention& e = i.explained;
        e.start = in.point();
        e.end = in.point();
        e.ended = in.number() != 0;
        const std::uint64_t check = in.number();
        e.check = check < kCheckCount ? static_cast<Check>(check) : Check::None;
        e.level = static_cast<int>(in.number() & 3U);
        e.cause = in.text();
        e.causeRef.file = in.text();
        e.causeRef.line = static_cast<int>(in.number());
        e.causeRef.positionM = in.real();
        e.causeRef.what = in.text();
        e.endedBy = in.text();
        e.startLevel = static_cast<int>(in.number() & 3U);
        e.raisedToEmergency = in.number() != 0;
        e.emergencyAt = in.point();
        i.applications = static_cast<int>(in.number());
        i.warning = in.maybe();
    }
    o.expectations.resize(in.count(16));
    for (ExpectationResult& e : o.expectations) {
        e.met = in.number() != 0;
        e.detail = in.text();
    }
    o.findings.resize(in.count(40));
    for (Diagnostic& f : o.findings) {
        const std::uint64_t severity = in.number();
        f.severity = severity <= static_cast<std::uint64_t>(Severity::Note)
                         ? static_cast<Severity>(severity)
                         : Severity::Warning;
        f.where.file = in.text();
        f.where.line = static_cast<int>(in.number());
        f.where.column = static_cast<int>(in.number());
        f.message = in.text();
    }
    o.last = in.point();
    o.endReason = in.text();
    o.frames = static_cast<std::size_t>(in.number());
    o.divergence = in.text();
    return in.ok();
}

}  // namespace velt::drive
