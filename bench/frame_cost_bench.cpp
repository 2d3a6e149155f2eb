// The cost of a frame against its floor. Each Elapse state and the floor run
// in laps of frames timed as a whole (the lap's reset to its snapshot is not
// timed), in the same binary and, with random interleaving, in the same
// stretch of the run. The event entry points are timed call by call.
//
// After the suite the binary prints ns per frame of every state, its ratio
// to the floor, and last a line "frame cost ratio: R": the busiest state's
// ns per frame over the floor's.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/floor_elapse.h"
#include "bench/frame_states.h"

namespace velt::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFloorName = "floor";

// What reading the clock twice costs; taken off every lap's time.
double clockPairNs() {
    double best = 1e9;
    for (int i = 0; i < 2000; ++i) {
        const auto t0 = Clock::now();
        const auto t1 = Clock::now();
        best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    return best;
}

double g_clockPairNs = 0.0;

template <ElapseFn Fn>
void timeLaps(benchmark::State& st, FrameState state) {
    FrameLap lap(state);
    if (const char* wrong = lap.verify()) {
        st.SkipWithError(wrong);
        return;
    }
    double totalNs = 0.0;
    for (auto _ : st) {
        lap.restore();
        benchmark::ClobberMemory();
        const auto t0 = Clock::now();
        const std::int32_t sink = runLap<Fn>(lap, lap.panel(), lap.sound());
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(sink);
        const double ns = std::max(
            0.0, std::chrono::duration<double, std::nano>(t1 - t0).count() - g_clockPairNs);
        st.SetIterationTime(ns * 1e-9);
        totalNs += ns;
    }
    st.counters["ns_per_frame"] = totalNs / (static_cast<double>(st.iterations()) * lap.frames());
}

// ---- Event entry points, in the Velt state with every pattern armed.

void timeBeacon(benchmark::State& st, BeaconData beacon) {
    FrameLap lap(FrameState::kVeltArmed);
    lap.restore();
    for (auto _ : st) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
        ::SetBeaconData(beacon);
        benchmark::ClobberMemory();
    }
}

void timeSignal(benchmark::State& st) {
    FrameLap lap(FrameState::kVeltArmed);
    lap.restore();
    std::int32_t aspect = 0;
    for (auto _ : st) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
        ::SetSignal(aspect);
        aspect = aspect == 8 ? 0 : aspect + 1;
        benchmark::ClobberMemory();
    }
}

void timeKey(benchmark::State& st, std::int32_t key) {
    FrameLap lap(FrameState::kVeltArmed);
    lap.restore();
    ::SetBrake(8);       // full service: the selector keys act only there
    for (auto _ : st) {  // NOLINT(clang-analyzer-deadcode.DeadStores): the library's loop idiom
        ::KeyDown(key);
        benchmark::ClobberMemory();
    }
}

void registerAll() {
    benchmark::RegisterBenchmark(kFloorName, timeLaps<&floorElapse>, FrameState::kVeltArmed)
        ->UseManualTime();
    for (const FrameStateInfo& info : kFrameStates) {
        const std::string name = std::string("Elapse/") + info.name;
        benchmark::RegisterBenchmark(name.c_str(), timeLaps<&::Elapse>, info.state)
            ->UseManualTime();
    }
    benchmark::RegisterBenchmark("SetBeaconData/cpp", timeBeacon, BeaconData{10, 0, 0.0F, 9999});
    benchmark::RegisterBenchmark("SetBeaconData/ccp", timeBeacon, BeaconData{12, 0, 0.0F, 59999});
    benchmark::RegisterBenchmark("SetBeaconData/spb", timeBeacon, BeaconData{15, 0, 0.0F, 19999});
    benchmark::RegisterBenchmark("SetBeaconData/section", timeBeacon, BeaconData{20, 0, 0.0F, 1});
    benchmark::RegisterBenchmark("SetSignal/aspects_0_to_8", timeSignal);
    benchmark::RegisterBenchmark("KeyDown/confirm", timeKey, 0);
    benchmark::RegisterBenchmark("KeyDown/selector_up", timeKey, 5);
    benchmark::RegisterBenchmark("KeyDown/lamp", timeKey, 15);
}

// Keeps the median of every benchmark (or its single run) for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                failed_ = true;
                continue;
            }
            const std::string& name = run.run_name.function_name;
            const auto perFrame = run.counters.find("ns_per_frame");
            const double ns = perFrame != run.counters.end()
                                  ? static_cast<double>(perFrame->second.value)
                                  : run.GetAdjustedRealTime();
            if (run.run_type == Run::RT_Aggregate) {
                if (run.aggregate_name == "median") {
                    median_[name] = ns;
                }
            } else {
                single_[name] = ns;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    [[nodiscard]] bool failed() const { return failed_; }
    [[nodiscard]] bool has(const std::string& name) const {
        return median_.count(name) != 0 || single_.count(name) != 0;
    }
    [[nodiscard]] double ns(const std::string& name) const {
        const auto m = median_.find(name);
        return m != median_.end() ? m->second : single_.at(name);
    }

private:
    std::map<std::string, double> median_;
    std::map<std::string, double> single_;
    bool failed_ = false;
};

int printSummary(const SummaryReporter& r) {
    if (r.failed() || !r.has(kFloorName)) {
        std::printf("frame cost: a benchmark failed or the floor did not run\n");
        return 1;
    }
    const double floorNs = r.ns(kFloorName);
    std::printf("\n%-34s %10s %9s\n", "frame", "ns/frame", "x floor");
    std::printf("%-34s %10.2f %9.2f\n", kFloorName, floorNs, 1.0);
    double busiestNs = 0.0;
    std::string busiest;
    for (const FrameStateInfo& info : kFrameStates) {
        const std::string name = std::string("Elapse/") + info.name;
        if (!r.has(name)) {
            continue;
        }
        const double ns = r.ns(name);
        std::printf("%-34s %10.2f %9.2f\n", name.c_str(), ns, ns / floorNs);
        if (ns > busiestNs) {
            busiestNs = ns;
            busiest = name;
        }
    }
    std::printf("\n%-34s %10s\n", "event", "ns/call");
    for (const char* name :
         {"SetBeaconData/cpp", "SetBeaconData/ccp", "SetBeaconData/spb", "SetBeaconData/section",
          "SetSignal/aspects_0_to_8", "KeyDown/confirm", "KeyDown/selector_up", "KeyDown/lamp"}) {
        if (r.has(name)) {
            std::printf("%-34s %10.2f\n", name, r.ns(name));
        }
    }
    if (busiest.empty()) {
        std::printf("frame cost: no Elapse state ran\n");
        return 1;
    }
    std::printf("\nbusiest: %s, clock pair taken off each lap: %.1f ns\n", busiest.c_str(),
                g_clockPairNs);
    std::printf("frame cost ratio: %.2f\n", busiestNs / floorNs);
    return 0;
}

}  // namespace
}  // namespace velt::bench

int main(int argc, char** argv) {
    using namespace velt::bench;
    g_clockPairNs = clockPairNs();
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    SummaryReporter reporter(isatty(fileno(stdout)) != 0 ? benchmark::ConsoleReporter::OO_Color
                                                         : benchmark::ConsoleReporter::OO_None);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return printSummary(reporter);
}
