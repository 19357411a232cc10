#include "sim/tune/grid.h"

#include "sim/session/clock.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

// Follows one pair; the comparisons are the state functions' own, on the same floats.
struct Walk {
    Walk(const TuneFrames& f, const GovernorSettings& s) : frames(f), settings(s) {}
    const TuneFrames& frames;
    const GovernorSettings& settings;
    float moderate = static_cast<float>(settings.fpsModerate);
    float critical = static_cast<float>(settings.fpsCritical);
    GovernorState governor;
    CellResult cell;
    std::array<std::int64_t, 3> closedNs{};
    std::int64_t sinceNs = 0;
    SlumpCursor slumpCursor;

    // True when no frame of the block can change the state or set off a purge.
    bool blockIsQuiet(std::size_t block) const
    {
        const float low = frames.blockLowest[block];
        const float high = frames.blockHighest[block];
        switch (governor.state) {
        case PerfState::Normal:
            return !(low < moderate);
        case PerfState::Moderate:
            return !(high > moderate + hysteresisFps) && !(low < critical);
        case PerfState::Critical: {
            const std::size_t last = std::min((block + 1) * tuneBlock, frames.fps.size()) - 1;
            return !(high > critical + hysteresisFps) && !purgeDue(governor, frames.ticks[last]);
        }
        }
        return false;
    }

    void frame(std::size_t i)
    {
        const PerfState from = governor.state;
        advanceState(governor, frames.fps[i], settings);
        if (governor.state != from) {
            const std::int64_t before = i == 0 ? 0 : frames.elapsedNs[i - 1];
            ++cell.changes;
            closedNs[static_cast<std::size_t>(from)] += before - sinceNs;
            sinceNs = before;
        }
        if (governor.state == PerfState::Critical && purgeDue(governor, frames.ticks[i])) {
            notePurge(governor, frames.ticks[i]);
            cell.purgeTimesMs.push_back(frames.elapsedMs[i]);
            ++cell.purges;
            cell.lastPurgeMs = frames.elapsedMs[i];
            const std::vector<Slump>& slumps = frames.slumps.slumps;
            scorePurge(cell.slumps, slumps, slumpCursor.at(slumps, cell.lastPurgeMs),
                       cell.lastPurgeMs);
        }
    }
};

} // namespace

void addFrame(TuneFrames& frames, double frameTimeMs)
{
    const double clockMs = std::isfinite(frameTimeMs) && frameTimeMs > 0 ? frameTimeMs : 0.0;
    const double before = frames.elapsedMs.empty() ? 0.0 : frames.elapsedMs.back();
    frames.elapsedMs.push_back(before + clockMs);
    // As the session: the counter wraps, simulated time modulo 2^32.
    frames.ticks.push_back(frames.uptimeMs + static_cast<std::uint32_t>(std::fmod(
                                                 std::floor(before + clockMs), 4294967296.0)));
    const std::int64_t beforeNs = frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back();
    frames.elapsedNs.push_back(beforeNs + wholeNanoseconds(clockMs));
    const auto seconds = static_cast<float>(frameTimeMs / 1000.0);
    const float fps = estimateFps([seconds] { return seconds; });
    frames.fps.push_back(fps);
    traceFrame(frames.trace, frames.elapsedMs.back());
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
    frames.blockLowest.clear();
    frames.blockHighest.clear();
    for (std::size_t start = 0; start < frames.fps.size(); start += tuneBlock) {
        float low = std::numeric_limits<float>::infinity();
        float high = -std::numeric_limits<float>::infinity();
        const std::size_t end = std::min(start + tuneBlock, frames.fps.size());
        for (std::size_t i = start; i < end; ++i) {
            const float fps = frames.fps[i];
            if (!std::isnan(fps)) {
                low = std::min(low, fps);
                high = std::max(high, fps);
            }
        }
        frames.blockLowest.push_back(low);
        frames.blockHighest.push_back(high);
    }
}

CellResult evaluateCell(const TuneFrames& frames, const GovernorSettings& settings)
{
    Walk walk(frames, settings);
    walk.cell.moderate = settings.fpsModerate;
    walk.cell.critical = settings.fpsCritical;
    const std::size_t n = frames.fps.size();
    if (settings.enabled) {
        for (std::size_t i = 0; i < n;) {
            if (i % tuneBlock == 0 && i + tuneBlock <= n && walk.blockIsQuiet(i / tuneBlock)) {
                i += tuneBlock;
                continue;
            }
            walk.frame(i++);
        }
    }
    const auto now = static_cast<std::size_t>(walk.governor.state);
    const std::int64_t endNs = n == 0 ? 0 : frames.elapsedNs[n - 1];
    for (std::size_t s = 0; s < 3; ++s) {
        const std::int64_t open = s == now ? endNs - walk.sinceNs : 0;
        walk.cell.timeInStateMs[s] = millisecondsOf(walk.closedNs[s] + open);
    }
    return walk.cell;
}

} // namespace sim
