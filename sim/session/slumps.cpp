#include "sim/session/slumps.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {
namespace {

constexpr std::size_t tenthsPerSecondIndex = tenthsPerSecond - 1;

// Tenths the capture covers in full: its last, cut short by the end, is never judged.
std::size_t wholeTenths(const FrameRateTrace& trace)
{
    return std::min(trace.framesPerTenth.size(),
                    static_cast<std::size_t>(std::floor(trace.endMs / traceTenthMs)));
}

std::uint64_t framesIn(const FrameRateTrace& trace, std::size_t first, std::size_t last)
{
    std::uint64_t frames = 0;
    for (std::size_t t = first; t <= last && t < trace.framesPerTenth.size(); ++t) {
        frames += trace.framesPerTenth[t];
    }
    return frames;
}

} // namespace

void traceFrame(FrameRateTrace& trace, double endMs)
{
    const auto tenth = static_cast<std::size_t>(std::max(0.0, endMs) / traceTenthMs);
    if (tenth >= trace.framesPerTenth.size()) {
        trace.framesPerTenth.resize(tenth + 1, 0);
    }
    std::uint8_t& frames = trace.framesPerTenth[tenth];
    if (frames < std::numeric_limits<std::uint8_t>::max()) {
        ++frames; // frames of no length pile up in one tenth: held rather than wrapped
    }
    trace.endMs = std::max(trace.endMs, endMs);
}

double usualFps(const FrameRateTrace& trace)
{
    // Seconds counted by their frames: memory does not grow with the capture.
    constexpr std::size_t mostInASecond =
        std::numeric_limits<std::uint8_t>::max() * tenthsPerSecond;
    std::vector<std::uint64_t> secondsWith(mostInASecond + 1, 0);
    std::uint64_t seconds = 0;
    for (std::size_t first = 0; first + tenthsPerSecond <= wholeTenths(trace);
         first += tenthsPerSecond) {
        ++secondsWith[framesIn(trace, first, first + tenthsPerSecondIndex)];
        ++seconds;
    }
    if (seconds == 0) {
        return 0;
    }
    // The second at this place, slowest first, as if they were sorted.
    const std::uint64_t place = seconds * usualPercentile / 100;
    std::uint64_t passed = 0;
    for (std::size_t frames = 0; frames < secondsWith.size(); ++frames) {
        passed += secondsWith[frames];
        if (passed > place) {
            return static_cast<double>(frames);
        }
    }
    return static_cast<double>(mostInASecond);
}

double fpsOverLastSecond(const FrameRateTrace& trace, double atMs)
{
    const auto last = static_cast<std::size_t>(std::max(0.0, atMs) / traceTenthMs);
    const std::size_t first = last >= tenthsPerSecondIndex ? last - tenthsPerSecondIndex : 0;
    const double seconds = static_cast<double>(last - first + 1) / tenthsPerSecond;
    return static_cast<double>(framesIn(trace, first, last)) / seconds;
}

std::vector<Slump> findSlumps(const FrameRateTrace& trace, double targetFps)
{
    // Each whole tenth from the tenth one on ends a second: slow when that second holds fewer
    // frames than the target. Runs of slow seconds' ends, joined across gaps under a second, are
    // slumps when their ends span a second.
    struct Run {
        std::size_t first;
        std::size_t last;
    };
    std::vector<Run> runs;
    std::uint64_t window = framesIn(trace, 0, tenthsPerSecondIndex - 1);
    const std::size_t whole = wholeTenths(trace);
    for (std::size_t t = tenthsPerSecondIndex; t < whole; ++t) {
        window += trace.framesPerTenth[t];
        if (static_cast<double>(window) < targetFps) {
            if (!runs.empty() && t - runs.back().last <= tenthsPerSecond) {
                runs.back().last = t;
            } else {
                runs.push_back({t, t});
            }
        }
        window -= trace.framesPerTenth[t - tenthsPerSecondIndex];
    }
    std::vector<Slump> slumps;
    // A tenth at the target's pace or faster, at either edge of the first or last slow second, is
    // the game before it sank or after it recovered: not the slump's.
    const double fastTenth = targetFps / static_cast<double>(tenthsPerSecond);
    const auto fast = [&](std::size_t tenth) {
        return static_cast<double>(trace.framesPerTenth[tenth]) >= fastTenth;
    };
    for (const Run& run : runs) {
        if (run.last - run.first < slumpLowSeconds * tenthsPerSecond) {
            continue;
        }
        std::size_t from = run.first - tenthsPerSecondIndex;
        while (from < run.first && fast(from)) {
            ++from;
        }
        std::size_t to = run.last; // the last tenth in it
        while (to > run.last - tenthsPerSecondIndex && fast(to)) {
            --to;
        }
        Slump slump;
        slump.startMs = static_cast<double>(from) * traceTenthMs;
        // A slump still on when the capture ends holds its last frames too.
        slump.endMs = run.last + 1 == whole && to == run.last
                          ? trace.endMs
                          : static_cast<double>(to + 1) * traceTenthMs;
        const double seconds = static_cast<double>(to + 1 - from) / tenthsPerSecond;
        slump.fps = static_cast<double>(framesIn(trace, from, to)) / seconds;
        slumps.push_back(slump);
    }
    return slumps;
}

SlumpVerdict judgeSlumps(const FrameRateTrace& trace, std::optional<double> targetFps)
{
    SlumpVerdict verdict;
    verdict.usualFps = usualFps(trace);
    verdict.targetGiven = targetFps.has_value();
    verdict.targetFps = targetFps.value_or(std::round(verdict.usualFps * slumpShareOfUsual));
    verdict.slumps = findSlumps(trace, verdict.targetFps);
    return verdict;
}

void scorePurge(SlumpScore& score, const std::vector<Slump>& slumps,
                std::optional<std::size_t> slump, double atMs)
{
    if (!slump) {
        ++score.outside;
        return;
    }
    ++score.inSlumps;
    if (score.lastCaught != *slump + 1) {
        ++score.caught;
        score.delaySumMs += std::max(0.0, atMs - slumps[*slump].startMs);
        score.lastCaught = *slump + 1;
    }
}

SlumpScore scorePurges(const std::vector<Slump>& slumps, const std::vector<double>& purgeTimesMs)
{
    SlumpScore score;
    SlumpCursor cursor;
    for (const double t : purgeTimesMs) {
        scorePurge(score, slumps, cursor.at(slumps, t), t);
    }
    return score;
}

std::optional<std::size_t> slumpAt(const std::vector<Slump>& slumps, double atMs)
{
    SlumpCursor cursor;
    const auto after = std::partition_point(slumps.begin(), slumps.end(),
                                            [atMs](const Slump& s) { return s.endMs < atMs; });
    cursor.next = static_cast<std::size_t>(after - slumps.begin());
    return cursor.at(slumps, atMs);
}

} // namespace sim
