// The lows: the frame rates at the slow end of a capture's frame times.
#include "sim/session/lows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>
#include <vector>

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

// The distribution's points in one walk: each share's frame time as the lows take it.
TEST(FrameTimeLows, frameTimesAtManySharesAreEachTheLowsFrameTime)
{
    sim::FrameTimeCounts counts;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> ms(5.0, 60.0);
    for (int i = 0; i < 20000; ++i) {
        sim::countFrameTime(counts, ms(random));
    }
    const std::vector<double> shares{1.0, 0.5, 0.1, 0.01, 0.001, 0.0001, 0.0};
    const std::vector<double> times = sim::frameTimesAt(counts, shares);
    ASSERT_EQ(times.size(), shares.size());
    for (std::size_t i = 0; i < shares.size(); ++i) {
        EXPECT_DOUBLE_EQ(1000 / times[i], sim::lowFps(counts, shares[i])) << shares[i];
    }
    EXPECT_LT(times.front(), 5.01) << "every frame reaches the fastest";
    EXPECT_TRUE(sim::frameTimesAt(sim::FrameTimeCounts{}, shares).empty());
}

// Frames counted in batches over many bins give what sorting every frame time gives: the
// nearest-rank frame time, to the bins' width.
TEST(FrameTimeLows, overManyBatchesAreTheNearestRankOfAllFrameTimes)
{
    for (const std::size_t frames : {1u, 999u, 4096u, 4097u, 50000u}) {
        std::mt19937 random(static_cast<unsigned>(frames));
        std::lognormal_distribution<double> frameMs(std::log(16.0), 0.4);
        sim::FrameTimeCounts counts;
        std::vector<double> all;
        for (std::size_t i = 0; i < frames; ++i) {
            all.push_back(frameMs(random));
            sim::countFrameTime(counts, all.back());
        }
        std::sort(all.begin(), all.end(), std::greater<>());
        for (const double share : {0.01, 0.001, 0.5}) {
            const auto rank = std::max<std::size_t>(
                static_cast<std::size_t>(std::ceil(share * static_cast<double>(frames))), 1);
            const double expected = 1000.0 / all[rank - 1];
            EXPECT_NEAR(sim::lowFps(counts, share), expected, expected * 1e-4)
                << frames << " frames, share " << share;
        }
        EXPECT_EQ(counts.frames, frames);
    }
}

} // namespace
