// Runs N frames of one state (or of the floor), for counting instructions:
//
//   valgrind --tool=callgrind velt_frame_count velt_armed 20000
//
// Two runs with different N cancel the start-up:
// instructions per frame = (total(N2) - total(N1)) / (N2 - N1).
// Laps are reset to their snapshot between them, as in the benchmarks; the
// reset is part of the count, a few instructions per frame at most.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/floor_elapse.h"
#include "bench/frame_states.h"

int main(int argc, char** argv) {
    using namespace velt::bench;
    if (argc != 3) {
        (void)std::fprintf(stderr, "usage: %s <state|floor> <frames>\n", argv[0]);
        return 2;
    }
    const bool floor = std::strcmp(argv[1], "floor") == 0;
    FrameState state = FrameState::kVeltArmed;
    if (!floor && !frameStateNamed(argv[1], state)) {
        (void)std::fprintf(stderr, "unknown state %s\n", argv[1]);
        return 2;
    }
    const long frames = std::strtol(argv[2], nullptr, 10);

    FrameLap lap(state);
    if (const char* wrong = lap.verify()) {
        (void)std::fprintf(stderr, "%s\n", wrong);
        return 1;
    }
    std::int32_t sink = 0;
    for (long done = 0; done < frames; done += lap.frames()) {
        lap.restore();
        sink ^= floor ? runLap<&floorElapse>(lap, lap.panel(), lap.sound())
                      : runLap<&::Elapse>(lap, lap.panel(), lap.sound());
    }
    (void)std::printf("%s %ld frames (%d per lap) %d\n", argv[1], frames, lap.frames(), sink);
    return 0;
}
