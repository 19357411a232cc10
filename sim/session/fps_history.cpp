#include "sim/session/fps_history.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sim {
namespace {

double bucketStart(double ms, double width)
{
    return std::floor(ms / width) * width;
}

// Twice as wide: neighbours merge, so the history keeps its size whatever the length.
void halveResolution(FpsHistory& history)
{
    history.bucketWidthMs *= 2;
    std::vector<FpsBucket> merged;
    for (const FpsBucket& b : history.buckets) {
        const double key = bucketStart(b.startMs, history.bucketWidthMs);
        if (merged.empty() || merged.back().startMs != key) {
            merged.push_back(b);
            merged.back().startMs = key;
            continue;
        }
        FpsBucket& m = merged.back();
        m.ms += b.ms;
        m.frames += b.frames;
        m.minFps = std::min(m.minFps, b.minFps);
        m.maxFps = std::max(m.maxFps, b.maxFps);
        m.worst = std::max(m.worst, b.worst);
    }
    history.buckets = std::move(merged);
}

} // namespace

void recordFrame(FpsHistory& history, double endMs, double frameMs, float fps, PerfState state)
{
    auto& buckets = history.buckets;
    const double start = endMs - frameMs;
    if (buckets.empty() || bucketStart(start, history.bucketWidthMs) > buckets.back().startMs) {
        if (buckets.size() == maxFpsBuckets) {
            halveResolution(history);
        }
        const double key = bucketStart(start, history.bucketWidthMs);
        if (buckets.empty() || key > buckets.back().startMs) {
            buckets.push_back(FpsBucket{});
            buckets.back().startMs = key;
        }
    }
    FpsBucket& bucket = buckets.back();
    bucket.ms += frameMs;
    ++bucket.frames;
    bucket.minFps = std::min(bucket.minFps, fps);
    bucket.maxFps = std::max(bucket.maxFps, fps);
    bucket.worst = std::max(bucket.worst, state);
}

} // namespace sim
