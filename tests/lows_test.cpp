// The lows: the frame rates at the slow end of a capture's frame times.
#include "sim/session/lows.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(FrameTimeLows, areTheFrameRatesAtThe99thAnd999thPercentileOfFrameTimes)
{
    // 1000 frames: 985 of 10 ms, 10 of 20 ms, 4 of 40 ms, 1 of 100 ms. The slowest 1 % (10
    // frames) reach 20 ms: 50 fps; the slowest 0.1 % (1 frame) is 100 ms: 10 fps.
    sim::FrameTimeCounts counts;
    for (int i = 0; i < 985; ++i) {
        sim::countFrameTime(counts, 10.0);
    }
    for (const auto& [ms, n] : {std::pair{20.0, 10}, std::pair{40.0, 4}, std::pair{100.0, 1}}) {
        for (int i = 0; i < n; ++i) {
            sim::countFrameTime(counts, ms);
        }
    }
    sim::countFrameTime(counts, 0.0); // not a frame time
    sim::countFrameTime(counts, -5.0);
    EXPECT_EQ(counts.frames, 1000u);
    EXPECT_NEAR(sim::lowFps(counts, 0.01), 50.0, 50.0 * 1e-4);
    EXPECT_NEAR(sim::lowFps(counts, 0.001), 10.0, 10.0 * 1e-4);
    EXPECT_EQ(sim::lowFps(sim::FrameTimeCounts{}, 0.01), 0.0);
}

} // namespace
