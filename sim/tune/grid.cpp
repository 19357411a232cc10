#include "sim/tune/grid.h"

#include "sim/session/follower.h"

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

CellResult evaluateCell(const TuneFrames& frames, const GovernorSettings& settings)
{
    CellResult cell;
    cell.moderate = settings.fpsModerate;
    cell.critical = settings.fpsCritical;
    Follower follower{settings, GovernorState{}};
    StateTimes times;
    SlumpCursor slumpCursor;
    const std::vector<Slump>& slumps = frames.slumps.slumps;
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        // The tick does not move while a simulated purge runs.
        const FollowedPass pass =
            followPass(follower, frames.frameSeconds[i], frames.ticks[i], frames.ticks[i]);
        if (pass.changed()) {
            ++cell.changes;
            times.change(pass.from, i == 0 ? 0 : frames.elapsedNs[i - 1]);
        }
        if (pass.purged) {
            const double t = frames.elapsedMs[i];
            cell.purgeTimesMs.push_back(t);
            ++cell.purges;
            scorePurge(cell.slumps, slumps, slumpCursor.at(slumps, t), t);
        }
    }
    const std::int64_t endNs = frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back();
    for (const PerfState s : {PerfState::Normal, PerfState::Moderate, PerfState::Critical}) {
        cell.timeInStateMs[static_cast<std::size_t>(s)] =
            times.ms(s, follower.governor.state, endNs);
    }
    return cell;
}

} // namespace sim
