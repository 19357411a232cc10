#include "sim/tune/recoveries.h"

#include "sim/tune/tune.h"

#include <algorithm>

namespace sim {
namespace {

// The median frame rate of the frames that end within (fromMs, toMs]; 0 without any.
double medianFps(const TuneFrames& frames, double fromMs, double toMs)
{
    const auto first = std::upper_bound(frames.elapsedMs.begin(), frames.elapsedMs.end(), fromMs);
    const auto last = std::upper_bound(first, frames.elapsedMs.end(), toMs);
    const auto from = static_cast<std::size_t>(first - frames.elapsedMs.begin());
    const auto to = static_cast<std::size_t>(last - frames.elapsedMs.begin());
    if (from == to) {
        return 0;
    }
    std::vector<float> seconds(frames.frameSeconds.begin() + static_cast<std::ptrdiff_t>(from),
                               frames.frameSeconds.begin() + static_cast<std::ptrdiff_t>(to));
    const auto middle = seconds.begin() + static_cast<std::ptrdiff_t>(seconds.size() / 2);
    std::nth_element(seconds.begin(), middle, seconds.end());
    return *middle > 0 ? 1.0 / *middle : 0;
}

} // namespace

std::size_t purgesEndingDips(const TuneFrames& frames, const std::vector<double>& purgeTimesMs)
{
    const double usual = frames.slumps.usualFps / (1 + moderateRoom);
    std::size_t ending = 0;
    for (const double t : purgeTimesMs) {
        const double before = medianFps(frames, t - recoveryWindowMs, t);
        const double after = medianFps(frames, t, t + recoveryWindowMs);
        if (after >= usual && after >= before * recoveryJump) {
            ++ending;
        }
    }
    return ending;
}

bool looksRecordedWithTarnwickOn(std::size_t endingDips, std::size_t purges)
{
    return endingDips >= fewestTellingPurges && endingDips * 2 > purges;
}

} // namespace sim
