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
    if (endMs - trace.endMs >= pauseFrameMs) {
        trace.pauses.push_back({trace.endMs, endMs});
    }
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

namespace {

std::size_t tenthOf(double ms)
{
    return static_cast<std::size_t>(std::max(0.0, ms) / traceTenthMs);
}

// Seconds counted by their frames: memory does not grow with the capture.
struct SecondCounts {
    static constexpr std::size_t mostInASecond =
        std::numeric_limits<std::uint8_t>::max() * tenthsPerSecond;
    std::vector<std::uint64_t> with = std::vector<std::uint64_t>(mostInASecond + 1, 0);
    std::uint64_t seconds = 0;
    // The frames of the second at this percentile, slowest first, as if they were sorted.
    double at(std::size_t percentile) const
    {
        const std::uint64_t place = seconds * percentile / 100;
        std::uint64_t passed = 0;
        for (std::size_t frames = 0; frames < with.size(); ++frames) {
            passed += with[frames];
            if (passed > place) {
                return static_cast<double>(frames);
            }
        }
        return static_cast<double>(mostInASecond);
    }
};

bool anyAside(const std::vector<bool>& aside, std::size_t first, std::size_t last)
{
    for (std::size_t t = first; t <= last && t < aside.size(); ++t) {
        if (aside[t]) {
            return true;
        }
    }
    return false;
}

// Whole seconds of the capture, in order, that hold nothing set aside.
template <class F>
void eachPlayedSecond(const FrameRateTrace& trace, const std::vector<bool>& aside, F&& f)
{
    for (std::size_t first = 0; first + tenthsPerSecond <= wholeTenths(trace);
         first += tenthsPerSecond) {
        const std::size_t last = first + tenthsPerSecondIndex;
        if (!anyAside(aside, first, last)) {
            f(first, framesIn(trace, first, last));
        }
    }
}

void markAside(std::vector<bool>& aside, double startMs, double endMs)
{
    for (std::size_t t = tenthOf(startMs); t <= tenthOf(endMs) && t < aside.size(); ++t) {
        aside[t] = true;
    }
}

} // namespace

SetAside setAsideOf(const FrameRateTrace& trace)
{
    SetAside result;
    result.tenths.assign(trace.framesPerTenth.size(), false);
    for (const Span& pause : trace.pauses) {
        markAside(result.tenths, pause.startMs, pause.endMs);
    }
    result.pauses = trace.pauses.size();
    SecondCounts counts;
    eachPlayedSecond(trace, result.tenths, [&](std::size_t, std::uint64_t frames) {
        ++counts.with[frames];
        ++counts.seconds;
    });
    std::vector<Span> loading;
    const double median = counts.seconds > 0 ? counts.at(50) : 0;
    if (median >= 1) {
        eachPlayedSecond(trace, result.tenths, [&](std::size_t first, std::uint64_t frames) {
            if (static_cast<double>(frames) <= median * loadingOverMedian) {
                return;
            }
            const double startMs = static_cast<double>(first) * traceTenthMs;
            if (!loading.empty() && loading.back().endMs == startMs) {
                loading.back().endMs += 1000;
            } else {
                loading.push_back({startMs, startMs + 1000});
            }
            result.loadingMs += 1000;
        });
    }
    // Both kinds in one list in time order, joined where they touch.
    std::vector<Span> all = trace.pauses;
    all.insert(all.end(), loading.begin(), loading.end());
    std::sort(all.begin(), all.end(),
              [](const Span& a, const Span& b) { return a.startMs < b.startMs; });
    for (const Span& span : all) {
        if (!result.spans.empty() && span.startMs <= result.spans.back().endMs) {
            result.spans.back().endMs = std::max(result.spans.back().endMs, span.endMs);
        } else {
            result.spans.push_back(span);
        }
    }
    for (const Span& span : loading) {
        // A loading second's last tenth is the next second's first frames' neighbour only.
        markAside(result.tenths, span.startMs, span.endMs - traceTenthMs);
    }
    return result;
}

double usualFps(const FrameRateTrace& trace, const SetAside& aside)
{
    SecondCounts counts;
    eachPlayedSecond(trace, aside.tenths, [&](std::size_t, std::uint64_t frames) {
        ++counts.with[frames];
        ++counts.seconds;
    });
    return counts.seconds == 0 ? 0 : counts.at(usualPercentile);
}

double fpsOverLastSecond(const FrameRateTrace& trace, double atMs)
{
    const auto last = static_cast<std::size_t>(std::max(0.0, atMs) / traceTenthMs);
    const std::size_t first = last >= tenthsPerSecondIndex ? last - tenthsPerSecondIndex : 0;
    const double seconds = static_cast<double>(last - first + 1) / tenthsPerSecond;
    return static_cast<double>(framesIn(trace, first, last)) / seconds;
}

namespace {

// Window ends (tenths) of slow seconds, and the tenths a slump of them spans.
struct Run {
    std::size_t first;
    std::size_t last;
    std::size_t from = 0;
    std::size_t to = 0;
};

// Each whole tenth from the tenth one on ends a second: slow when that second holds fewer
// frames than the target and nothing set aside. Runs of slow seconds' ends, joined across gaps
// under a second.
std::vector<Run> slowRuns(const FrameRateTrace& trace, double targetFps,
                          const std::vector<bool>& aside)
{
    std::vector<Run> runs;
    std::uint64_t window = framesIn(trace, 0, tenthsPerSecondIndex - 1);
    const auto asideAt = [&aside](std::size_t t) -> std::size_t {
        return t < aside.size() && aside[t] ? 1 : 0;
    };
    std::size_t asideInWindow = 0;
    for (std::size_t t = 0; t + 1 < tenthsPerSecond; ++t) {
        asideInWindow += asideAt(t);
    }
    const std::size_t whole = wholeTenths(trace);
    for (std::size_t t = tenthsPerSecondIndex; t < whole; ++t) {
        window += trace.framesPerTenth[t];
        asideInWindow += asideAt(t);
        if (asideInWindow == 0 && static_cast<double>(window) < targetFps) {
            if (!runs.empty() && t - runs.back().last <= tenthsPerSecond) {
                runs.back().last = t;
            } else {
                runs.push_back({t, t});
            }
        }
        const std::size_t leaving = t - tenthsPerSecondIndex;
        window -= trace.framesPerTenth[leaving];
        asideInWindow -= asideAt(leaving);
    }
    return runs;
}

} // namespace

std::vector<Slump> findSlumps(const FrameRateTrace& trace, double targetFps, const SetAside& aside)
{
    std::vector<Run> runs = slowRuns(trace, targetFps, aside.tenths);
    // A tenth at the target's pace or faster, at either edge of the first or last slow second, is
    // the game before it sank or after it recovered: not the slump's.
    const double fastTenth = targetFps / static_cast<double>(tenthsPerSecond);
    const auto fast = [&](std::size_t tenth) {
        return static_cast<double>(trace.framesPerTenth[tenth]) >= fastTenth;
    };
    std::vector<Run> joined;
    for (Run run : runs) {
        run.from = run.first - tenthsPerSecondIndex;
        while (run.from < run.first && fast(run.from)) {
            ++run.from;
        }
        run.to = run.last;
        while (run.to > run.last - tenthsPerSecondIndex && fast(run.to)) {
            --run.to;
        }
        // Where the game sank again less than a second after it recovered, it is one slump.
        if (!joined.empty() && run.from < joined.back().to + 1 + tenthsPerSecond) {
            joined.back().last = run.last;
            joined.back().to = run.to;
        } else {
            joined.push_back(run);
        }
    }
    std::vector<Slump> slumps;
    const std::size_t whole = wholeTenths(trace);
    for (const Run& run : joined) {
        if (run.last - run.first < slumpLowSeconds * tenthsPerSecond) {
            continue;
        }
        Slump slump;
        slump.startMs = static_cast<double>(run.from) * traceTenthMs;
        // A slump still on when the capture ends holds its last frames too.
        slump.endMs = run.last + 1 == whole && run.to == run.last
                          ? trace.endMs
                          : static_cast<double>(run.to + 1) * traceTenthMs;
        const double seconds = static_cast<double>(run.to + 1 - run.from) / tenthsPerSecond;
        slump.fps = static_cast<double>(framesIn(trace, run.from, run.to)) / seconds;
        slumps.push_back(slump);
    }
    return slumps;
}

SlumpVerdict judgeSlumps(const FrameRateTrace& trace, std::optional<double> targetFps)
{
    SlumpVerdict verdict;
    const SetAside aside = setAsideOf(trace);
    verdict.usualFps = usualFps(trace, aside);
    verdict.targetGiven = targetFps.has_value();
    verdict.targetFps = targetFps.value_or(std::round(verdict.usualFps * slumpShareOfUsual));
    verdict.slumps = findSlumps(trace, verdict.targetFps, aside);
    verdict.setAside = aside.spans;
    verdict.loadingMs = aside.loadingMs;
    verdict.pauses = aside.pauses;
    return verdict;
}

} // namespace sim
