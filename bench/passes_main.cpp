// Runs a fixed number of governor passes against the minimal hook, for instruction counts:
//   valgrind --tool=callgrind --toggle-collect=runPasses tarnwick-bench-passes normal 100000
#include "bench/minimal_hook.h"

#include "governor/main.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((noinline)) void runPasses(GovernorState* governor,
                                                    const GovernorSettings* settings, long count)
{
    for (long i = 0; i < count; ++i) {
        governorPass(*governor, *settings);
    }
}

int main(int argc, char** argv)
{
    if (argc != 3 ||
        (std::strcmp(argv[1], "normal") != 0 && std::strcmp(argv[1], "critical") != 0)) {
        std::fprintf(stderr, "usage: tarnwick-bench-passes normal|critical COUNT\n");
        return 2;
    }
    const bool critical = std::strcmp(argv[1], "critical") == 0;
    bench::frameTimeSeconds = critical ? 0.04f : 0.01f;
    const GovernorSettings settings;
    GovernorState governor{critical ? PerfState::Critical : PerfState::Normal, bench::tickMs};
    runPasses(&governor, &settings, std::atol(argv[2]));
    return governor.state == (critical ? PerfState::Critical : PerfState::Normal) ? 0 : 1;
}
