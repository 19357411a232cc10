// The frame rate over a session at bounded resolution: a fixed number of stretches covers any
// length, each stretch twice as long as before whenever they run out.
#pragma once

#include "governor/state.h"
#include "sim/session/clock.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace sim {

struct FpsBucket {
    double startMs = 0;
    double ms = 0;
    std::uint64_t frames = 0;
    float minFps = std::numeric_limits<float>::infinity();
    float maxFps = 0;
    PerfState worst = PerfState::Normal; // the worst state any of its frames ended in
    double meanFps() const { return framesPerSecond(frames, ms); }
};

struct FpsHistory {
    std::vector<FpsBucket> buckets;
    double bucketWidthMs = 100;
};

inline constexpr std::size_t maxFpsBuckets = 1000;

// in: endMs, the session's time at the end of the frame; frameMs, its length; fps, its estimate;
// state, the governor's state after the frame.
void recordFrame(FpsHistory& history, double endMs, double frameMs, float fps, PerfState state);

} // namespace sim
