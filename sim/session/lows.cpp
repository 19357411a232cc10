#include "sim/session/lows.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>
#include <vector>

namespace sim {
namespace {

constexpr double shortestMs = 0.01;
constexpr double longestMs = 1.0e6;
constexpr double binGrowth = 1.0001; // each bin a hundredth of a percent wider than the last

// Bin edges by repeated multiplication, not by logarithms: the same on every platform's maths
// library, so the Windows tool reports the very same figures.
const std::vector<double>& binEdges()
{
    static const std::vector<double> edges = [] {
        std::vector<double> e{shortestMs};
        while (e.back() < longestMs) {
            e.push_back(e.back() * binGrowth);
        }
        return e;
    }();
    return edges;
}

std::size_t binOf(double ms, std::size_t guess)
{
    static const double logGrowth = std::log(binGrowth);
    const std::vector<double>& edges = binEdges();
    const std::size_t last = edges.size() - 2;
    const double clamped = std::clamp(ms, shortestMs, longestMs);
    // A guess only starts the search; the edges decide, so every platform puts a frame in one
    // bin. The last frame's bin is a good guess; else the logarithm is.
    const bool near = std::fabs(clamped - edges[guess]) < edges[guess] * 0.01;
    auto bin =
        near ? guess
             : std::min(static_cast<std::size_t>(std::log(clamped / shortestMs) / logGrowth), last);
    while (bin > 0 && clamped < edges[bin]) {
        --bin;
    }
    while (bin < last && clamped >= edges[bin + 1]) {
        ++bin;
    }
    return bin;
}

// The middle of a bin: within 0.005 % of any frame time in it.
double msOfBin(std::size_t bin)
{
    const std::vector<double>& edges = binEdges();
    return (edges[bin] + edges[bin + 1]) / 2;
}

// Large enough that merging costs little per frame, small enough to be nothing beside the frames.
constexpr std::size_t pendingBatch = 4096;

// The pending bins merged into counted, which stays ascending with each bin once.
void merge(std::vector<BinCount>& counted, std::vector<std::uint32_t>& pending)
{
    std::sort(pending.begin(), pending.end());
    std::vector<BinCount> merged;
    merged.reserve(counted.size() + pending.size());
    auto old = counted.begin();
    for (std::size_t i = 0; i < pending.size();) {
        const std::uint32_t bin = pending[i];
        std::uint32_t frames = 0;
        for (; i < pending.size() && pending[i] == bin; ++i) {
            ++frames;
        }
        for (; old != counted.end() && old->bin < bin; ++old) {
            merged.push_back(*old);
        }
        if (old != counted.end() && old->bin == bin) {
            frames += (old++)->frames;
        }
        merged.push_back({bin, frames});
    }
    merged.insert(merged.end(), old, counted.end());
    counted = std::move(merged);
    pending.clear();
}

// Every frame's bin, ascending, for a figure asked of counts that may still hold a batch.
std::vector<BinCount> allCounted(const FrameTimeCounts& counts)
{
    std::vector<BinCount> counted = counts.counted;
    std::vector<std::uint32_t> pending = counts.pending;
    merge(counted, pending);
    return counted;
}

} // namespace

void countFrameTime(FrameTimeCounts& counts, double ms)
{
    if (!(ms > 0) || !std::isfinite(ms)) {
        return;
    }
    counts.lastBin = binOf(ms, counts.lastBin);
    counts.pending.push_back(static_cast<std::uint32_t>(counts.lastBin));
    if (counts.pending.size() >= pendingBatch) {
        merge(counts.counted, counts.pending);
    }
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
    const std::vector<BinCount> counted = allCounted(counts);
    std::uint64_t seen = 0;
    for (auto it = counted.rbegin(); it != counted.rend(); ++it) {
        seen += it->frames;
        if (seen >= std::max<std::uint64_t>(slowest, 1)) {
            return 1000.0 / msOfBin(it->bin);
        }
    }
    return 0;
}

std::vector<double> frameTimesAt(const FrameTimeCounts& counts, const std::vector<double>& shares)
{
    std::vector<double> times;
    if (counts.frames == 0) {
        return times;
    }
    const std::vector<BinCount> counted = allCounted(counts);
    auto bin = counted.begin();
    std::uint64_t seen = bin->frames;
    for (const double share : shares) {
        // Nearest rank from the slow end, as lowFps, counted from the fast end.
        const std::uint64_t slowest = std::clamp<std::uint64_t>(
            static_cast<std::uint64_t>(
                std::ceil(std::clamp(share, 0.0, 1.0) * static_cast<double>(counts.frames))),
            1, counts.frames);
        const std::uint64_t rank = counts.frames - slowest + 1;
        while (seen < rank && bin + 1 != counted.end()) {
            seen += (++bin)->frames;
        }
        times.push_back(msOfBin(bin->bin));
    }
    return times;
}

double averageLowFps(const FrameTimeCounts& counts, double share)
{
    if (counts.frames == 0) {
        return 0;
    }
    const std::uint64_t slowest = std::max<std::uint64_t>(
        static_cast<std::uint64_t>(std::ceil(share * static_cast<double>(counts.frames))), 1);
    const std::vector<BinCount> counted = allCounted(counts);
    std::uint64_t taken = 0;
    double totalMs = 0;
    for (auto it = counted.rbegin(); it != counted.rend() && taken < slowest; ++it) {
        const std::uint64_t here = std::min<std::uint64_t>(it->frames, slowest - taken);
        taken += here;
        totalMs += static_cast<double>(here) * msOfBin(it->bin);
    }
    return 1000.0 * static_cast<double>(taken) / totalMs;
}

} // namespace sim
