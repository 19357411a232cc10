#include "sim/session/lows.h"

#include <algorithm>
#include <cmath>

namespace sim {
namespace {

constexpr double shortestMs = 0.01;
constexpr double longestMs = 1.0e6;
constexpr double binGrowth = 1.0001; // each bin a hundredth of a percent wider than the last
const double logGrowth = std::log(binGrowth);
const std::size_t binCount =
    static_cast<std::size_t>(std::ceil(std::log(longestMs / shortestMs) / logGrowth)) + 1;

std::size_t binOf(double ms)
{
    const double clamped = std::clamp(ms, shortestMs, longestMs);
    return static_cast<std::size_t>(std::log(clamped / shortestMs) / logGrowth);
}

// The middle of a bin, in ratio: within 0.005 % of any frame time in it.
double msOfBin(std::size_t bin)
{
    return shortestMs * std::pow(binGrowth, static_cast<double>(bin) + 0.5);
}

} // namespace

void countFrameTime(FrameTimeCounts& counts, double ms)
{
    if (!(ms > 0) || !std::isfinite(ms)) {
        return;
    }
    if (counts.bins.empty()) {
        counts.bins.assign(binCount, 0);
    }
    ++counts.bins[binOf(ms)];
    ++counts.frames;
}

double lowFps(const FrameTimeCounts& counts, double share)
{
    if (counts.frames == 0) {
        return 0;
    }
    // Nearest rank from the slow end: the frame time that share of the frames reach or pass.
    const auto slowest =
        static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(counts.frames)));
    std::uint64_t seen = 0;
    for (std::size_t bin = counts.bins.size(); bin-- > 0;) {
        seen += counts.bins[bin];
        if (seen >= std::max<std::uint64_t>(slowest, 1)) {
            return 1000.0 / msOfBin(bin);
        }
    }
    return 0;
}

} // namespace sim
