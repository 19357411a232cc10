// The 1 % and 0.1 % low frame rates, as PresentMon-based tools report them: the frame rate at the
// 99th and 99.9th percentile of frame times (nearest rank). Frame times are counted in bins a
// hundredth of a percent wide, so the figure is exact to 0.01 %; only bins that hold a frame are
// kept, so memory is bounded by the bins (however long the capture) and by the frames (however
// many captures are kept side by side).
#pragma once

#include <cstdint>
#include <vector>

namespace sim {

struct BinCount {
    std::uint32_t bin = 0;
    std::uint32_t frames = 0;
};

struct FrameTimeCounts {
    std::vector<BinCount> counted;      // ascending by bin, each bin once
    std::vector<std::uint32_t> pending; // bins of the latest frames, merged into counted in batches
    std::uint64_t frames = 0;
    std::size_t lastBin = 0; // where the last frame went: the next is usually near
};

// in: ms, a frame time; zero, negative and non-finite ones are not frame times and not counted.
void countFrameTime(FrameTimeCounts& counts, double ms);

// in: share, 0.01 for the 1 % low. 0 without frames.
double lowFps(const FrameTimeCounts& counts, double share);
// The frame time that each share of the frames reaches or passes, taken as lowFps takes it (0.01:
// the 99th percentile frame time), in one walk over the counts. in: shares, descending within
// 0..1. Empty without frames.
std::vector<double> frameTimesAt(const FrameTimeCounts& counts, const std::vector<double>& shares);
// The other way tools give lows: the frame rate of the mean of the slowest share of frame times.
double averageLowFps(const FrameTimeCounts& counts, double share);

} // namespace sim
