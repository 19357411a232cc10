#include "sim/tune/frames.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace sim {

void addFrame(TuneFrames& frames, double frameTimeMs)
{
    frames.clock.advance(frameTimeMs);
    frames.elapsedMs.push_back(frames.clock.elapsedMs);
    frames.elapsedNs.push_back(frames.clock.elapsedNs);
    frames.ticks.push_back(frames.clock.tick());
    traceFrame(frames.trace, frames.clock.elapsedMs, SessionClock::lengthOf(frameTimeMs));
    const auto seconds = static_cast<float>(frameTimeMs / 1000.0);
    frames.frameSeconds.push_back(seconds);
    const float fps = estimateFps([seconds] { return seconds; });
    const auto held = [](double v) {
        constexpr auto bound = static_cast<double>(heldLevelBound);
        return static_cast<std::int16_t>(std::clamp(v, -bound, bound));
    };
    const double x = fps;
    frames.levels.push_back(std::isnan(fps)
                                ? TuneFrames::incomparable
                                : TuneFrames::Level{held(std::floor(x)), held(std::ceil(x))});
}

bool endsSetAside(const std::vector<Span>& asideSpans, std::size_t& cursor, double endMs)
{
    while (cursor < asideSpans.size() && asideSpans[cursor].endMs < endMs) {
        ++cursor;
    }
    return cursor < asideSpans.size() && asideSpans[cursor].startMs < endMs;
}

namespace {

void countPlay(TuneFrames& frames)
{
    PlayFigures& play = frames.play;
    const std::vector<Span>& aside = frames.slumps.asideSpans;
    play.setAsideStretches = aside.size();
    for (const Span& span : aside) {
        play.setAsideMs += span.endMs - span.startMs;
    }
    std::size_t cursor = 0;
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        const float seconds = frames.frameSeconds[i];
        const float fps = estimateFps([seconds] { return seconds; });
        if (fps < play.wholeLowestFps) {
            play.wholeLowestFps = fps;
        }
        if (endsSetAside(aside, cursor, frames.elapsedMs[i])) {
            continue;
        }
        ++play.frames;
        play.ms += frames.elapsedMs[i] - (i == 0 ? 0.0 : frames.elapsedMs[i - 1]);
        countFrameTime(play.frameTimes, static_cast<double>(seconds) * 1000.0);
        if (fps < play.lowestFps) {
            play.lowestFps = fps;
        }
    }
}

} // namespace

void finishFrames(TuneFrames& frames, std::optional<double> targetFps)
{
    frames.slumps = judgeSlumps(frames.trace, targetFps);
    countPlay(frames);
    std::vector<float> ordinary;
    SlumpCursor cursor;
    frames.ordinary.assign(frames.frameSeconds.size(), false);
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        const PurgePlace place = cursor.at(frames.slumps, frames.elapsedMs[i]);
        if (!place.slump && !place.inAside) {
            frames.ordinary[i] = true;
            ordinary.push_back(frames.frameSeconds[i]);
            frames.ordinaryMs += frames.elapsedMs[i] - (i == 0 ? 0.0 : frames.elapsedMs[i - 1]);
        }
    }
    if (ordinary.empty()) {
        return;
    }
    const auto slowest =
        ordinary.begin() + static_cast<std::ptrdiff_t>((ordinary.size() - 1) / ordinaryLowOneIn);
    std::nth_element(ordinary.begin(), slowest, ordinary.end(), std::greater<>());
    frames.ordinaryLowFps = *slowest > 0 ? 1.0 / static_cast<double>(*slowest) : 0;
}

} // namespace sim
