// libFuzzer target: every input is a host session (entry_point_script.h),
// played against a freshly loaded plug-in with the invariants checked after
// each frame. At exit it reports how many entry-point calls were made.
#include <cstdio>
#include <cstdlib>

#include "entry_points_harness.h"

namespace {
std::uint64_t sessions = 0;

void reportCalls() {
    (void)std::fprintf(stderr, "velt-fuzz: %llu entry-point calls in %llu sessions\n",
                       static_cast<unsigned long long>(velt::fuzz::entryPointCalls()),
                       static_cast<unsigned long long>(sessions));
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
    // Should the report not register, the fuzzing runs on without it.
    (void)std::atexit(reportCalls);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ++sessions;
    velt::fuzz::runSession(data, size);
    return 0;
}
