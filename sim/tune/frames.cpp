#include "sim/tune/frames.h"

#include <algorithm>
#include <cmath>

namespace sim {

void addFrame(TuneFrames& frames, double frameTimeMs)
{
    frames.clock.advance(frameTimeMs);
    frames.elapsedMs.push_back(frames.clock.elapsedMs);
    frames.elapsedNs.push_back(frames.clock.elapsedNs);
    frames.ticks.push_back(frames.clock.tick());
    traceFrame(frames.trace, frames.clock.elapsedMs);
    const auto seconds = static_cast<float>(frameTimeMs / 1000.0);
    frames.frameSeconds.push_back(seconds);
    const float fps = estimateFps([seconds] { return seconds; });
    // Thresholds lie within -1000..1000: levels held to twice that keep every comparison.
    const auto held = [](double v) {
        return static_cast<std::int16_t>(std::clamp(v, -2000.0, 2000.0));
    };
    const double x = fps;
    frames.levels.push_back(std::isnan(fps)
                                ? TuneFrames::incomparable
                                : TuneFrames::Level{held(std::floor(x)), held(std::ceil(x))});
}

void finishFrames(TuneFrames& frames, std::optional<double> targetFps)
{
    frames.slumps = judgeSlumps(frames.trace, targetFps);
}

} // namespace sim
