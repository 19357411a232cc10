// Hitches, the frame-time chart's columns and the distribution, from the frames the tuner keeps.
#include "sim/report/frame_times.h"
#include "sim/report/chart_layout.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace sim {
namespace {

bool isFrame(float seconds)
{
    return seconds > 0 && std::isfinite(seconds);
}

// A chart's top: a round figure above what most frames reach, so that one spike of seconds does
// not flatten the rest (it is drawn clipped, and its hitch mark still shows it).
double niceAbove(double ms)
{
    for (const double step : {5.0, 10.0, 25.0, 50.0, 100.0, 250.0, 500.0, 1000.0}) {
        if (ms <= step * 8) {
            return std::ceil(ms / step) * step;
        }
    }
    return std::ceil(ms / 1000.0) * 1000.0;
}

} // namespace

std::vector<Hitch> findHitches(const TuneFrames& frames)
{
    std::vector<std::size_t> kept; // frames with a time, in order
    const std::vector<float>& seconds = frames.frameSeconds;
    for (std::size_t i = 0; i < seconds.size(); ++i) {
        if (isFrame(seconds[i])) {
            kept.push_back(i);
        }
    }
    std::vector<Hitch> hitches;
    std::array<float, 2 * hitchNeighbours> around{};
    for (std::size_t k = 0; k < kept.size(); ++k) {
        const float here = seconds[kept[k]];
        const std::size_t from = k >= hitchNeighbours ? k - hitchNeighbours : 0;
        const std::size_t to = std::min(kept.size(), k + hitchNeighbours + 1);
        std::size_t n = 0;
        float fastest = here;
        for (std::size_t j = from; j < to; ++j) {
            if (j != k) {
                around[n++] = seconds[kept[j]];
                fastest = std::min(fastest, around[n - 1]);
            }
        }
        // The median is at least the fastest neighbour: most frames end here, unsorted.
        if (n == 0 || here <= hitchFactor * fastest) {
            continue;
        }
        const auto middle = around.begin() + static_cast<std::ptrdiff_t>(n / 2);
        std::nth_element(around.begin(), middle, around.begin() + static_cast<std::ptrdiff_t>(n));
        double median = *middle;
        if (n % 2 == 0) {
            median = (median + *std::max_element(around.begin(), middle)) / 2;
        }
        if (here > hitchFactor * median) {
            hitches.push_back({kept[k], frames.elapsedMs[kept[k]], here * 1000.0, median * 1000.0});
        }
    }
    return hitches;
}

namespace {

// The purge at once after each hitch, for each hitch that has one.
std::vector<double> purgeOfEachHitch(const std::vector<Hitch>& hitches, const TuneFrames& frames,
                                     const std::vector<double>& purgeTimesMs)
{
    std::vector<double> purges;
    for (const Hitch& hitch : hitches) {
        const std::size_t last = std::min(hitch.frame + 2, frames.elapsedMs.size() - 1);
        const auto purge = std::lower_bound(purgeTimesMs.begin(), purgeTimesMs.end(),
                                            frames.elapsedMs[hitch.frame]);
        if (purge != purgeTimesMs.end() && *purge <= frames.elapsedMs[last]) {
            purges.push_back(*purge);
        }
    }
    return purges;
}

} // namespace

std::uint64_t hitchesWithPurge(const std::vector<Hitch>& hitches, const TuneFrames& frames,
                               const std::vector<double>& purgeTimesMs)
{
    return purgeOfEachHitch(hitches, frames, purgeTimesMs).size();
}

std::vector<double> purgesAtHitches(const std::vector<Hitch>& hitches, const TuneFrames& frames,
                                    const std::vector<double>& purgeTimesMs)
{
    std::vector<double> purges = purgeOfEachHitch(hitches, frames, purgeTimesMs);
    purges.erase(std::unique(purges.begin(), purges.end()), purges.end());
    return purges;
}

FrameTimeView viewFrameTimes(const TuneFrames& frames, const FrameTimeCounts& counts,
                             const std::vector<Hitch>& hitches, double durationMs)
{
    FrameTimeView view;
    view.columns.resize(static_cast<std::size_t>(chart::right - chart::left));
    const std::size_t last = view.columns.size() - 1;
    const auto columnOf = [&](double ms) {
        return durationMs > 0
                   ? std::min(last, static_cast<std::size_t>(std::max(0.0, ms / durationMs) *
                                                             static_cast<double>(last + 1)))
                   : 0;
    };
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        const float seconds = frames.frameSeconds[i];
        if (!isFrame(seconds)) {
            continue;
        }
        const float ms = seconds * 1000.0F;
        FrameTimeColumn& c = view.columns[columnOf(frames.elapsedMs[i] - ms / 2)];
        c.minMs = c.frames == 0 ? ms : std::min(c.minMs, ms);
        c.maxMs = std::max(c.maxMs, ms);
        c.sumMs += ms;
        ++c.frames;
    }
    for (const Hitch& hitch : hitches) {
        ++view.columns[columnOf(hitch.endMs - hitch.ms / 2)].hitches;
    }
    // The same counts and ranks as the lows, so that the curve passes through them.
    std::vector<double> shares;
    for (std::size_t k = 0; k < distributionPoints; ++k) {
        const double decades =
            distributionDecades * static_cast<double>(k) / (distributionPoints - 1);
        shares.push_back(std::pow(10.0, -decades));
    }
    view.percentileMs = frameTimesAt(counts, shares);
    const std::vector<double> marks = frameTimesAt(counts, {0.5, 0.001});
    if (marks.empty()) {
        return view;
    }
    view.medianMs = marks[0];
    view.wants = {durationMs, niceAbove(std::max(marks[1] * 1.25, view.medianMs * 3))};
    return view;
}

} // namespace sim
