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
    traceFrame(trace, endMs, endMs - trace.endMs);
}

void traceFrame(FrameRateTrace& trace, double endMs, double ownMs)
{
    const double frameMs = endMs - trace.endMs;
    if (ownMs >= pauseFrameMs) {
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
    const std::size_t second = tenth / tenthsPerSecond;
    if (second >= trace.unevennessPerSecond.size()) {
        trace.unevennessPerSecond.resize(second + 1, 0.0F);
    }
    if (frameMs > 0 && trace.lastFrameMs > 0) {
        trace.unevennessPerSecond[second] +=
            static_cast<float>(std::abs(std::log(frameMs / trace.lastFrameMs)));
    }
    trace.lastFrameMs = std::max(frameMs, 0.0);
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

namespace {

bool evenPaced(const FrameRateTrace& trace, std::size_t second, std::uint64_t frames)
{
    return frames > 1 && second < trace.unevennessPerSecond.size() &&
           trace.unevennessPerSecond[second] / static_cast<double>(frames - 1) < evenPaceStep;
}

// The frames of the capture's play in a second: its median uneven second, where enough are
// uneven to tell; its median second otherwise.
double playFrames(const FrameRateTrace& trace, const std::vector<bool>& aside)
{
    SecondCounts all;
    SecondCounts uneven;
    eachPlayedSecond(trace, aside, [&](std::size_t first, std::uint64_t frames) {
        ++all.with[frames];
        ++all.seconds;
        if (!evenPaced(trace, first / tenthsPerSecond, frames)) {
            ++uneven.with[frames];
            ++uneven.seconds;
        }
    });
    if (all.seconds == 0) {
        return 0;
    }
    const bool enoughUneven =
        static_cast<double>(uneven.seconds) >= unevenShareToTell * static_cast<double>(all.seconds);
    return enoughUneven ? uneven.at(50) : all.at(50);
}

} // namespace

NotPlay notPlayOf(const FrameRateTrace& trace)
{
    NotPlay result;
    result.tenths.assign(trace.framesPerTenth.size(), false);
    for (const Span& pause : trace.pauses) {
        markAside(result.tenths, pause.startMs, pause.endMs);
    }
    result.pauses = trace.pauses.size();
    std::vector<Span> loading;
    const double play = playFrames(trace, result.tenths);
    if (play >= 1) {
        eachPlayedSecond(trace, result.tenths, [&](std::size_t first, std::uint64_t frames) {
            const auto f = static_cast<double>(frames);
            const bool menu =
                f > play * loadingOverMedian ||
                (f > play * menuOverPlay && evenPaced(trace, first / tenthsPerSecond, frames));
            if (!menu) {
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

double usualFps(const FrameRateTrace& trace, const NotPlay& aside)
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

// Values kept sorted as a window slides over them: a few dozen at most.
struct SortedWindow {
    std::vector<std::uint16_t> values;
    void add(std::uint16_t v)
    {
        values.insert(std::upper_bound(values.begin(), values.end(), v), v);
    }
    void remove(std::uint16_t v)
    {
        const auto at = std::lower_bound(values.begin(), values.end(), v);
        if (at != values.end() && *at == v) {
            values.erase(at);
        }
    }
    double at(std::size_t percentile) const { return values[values.size() * percentile / 100]; }
};

constexpr int notPlayed = -1;

// Each whole second's frames, or notPlayed where it holds what is set aside.
std::vector<int> playedSeconds(const FrameRateTrace& trace, const std::vector<bool>& aside)
{
    std::vector<int> seconds(wholeTenths(trace) / tenthsPerSecond, notPlayed);
    eachPlayedSecond(trace, aside, [&](std::size_t first, std::uint64_t frames) {
        seconds[first / tenthsPerSecond] = static_cast<int>(frames);
    });
    return seconds;
}

// Slides a window of played seconds [s + from, s + to] along the capture.
struct SecondsWindow {
    const std::vector<int>& played;
    std::ptrdiff_t from;
    std::ptrdiff_t to;
    SortedWindow window;
    void put(std::ptrdiff_t second, bool in)
    {
        if (second < 0 || second >= static_cast<std::ptrdiff_t>(played.size()) ||
            played[static_cast<std::size_t>(second)] == notPlayed) {
            return;
        }
        const auto v = static_cast<std::uint16_t>(played[static_cast<std::size_t>(second)]);
        in ? window.add(v) : window.remove(v);
    }
    void start()
    {
        for (std::ptrdiff_t t = from; t <= to; ++t) {
            put(t, true);
        }
    }
    void step(std::ptrdiff_t s) // from the window of s to that of s + 1
    {
        put(s + from, false);
        put(s + 1 + to, true);
    }
};

// Per whole second, the frames below which a second there is slow: slumpShareOfUsual of the
// play around it (see levelWindowSeconds).
std::vector<double> targetsAround(const FrameRateTrace& trace, const std::vector<bool>& aside)
{
    const std::vector<int> played = playedSeconds(trace, aside);
    const auto w = static_cast<std::ptrdiff_t>(levelWindowSeconds);
    SecondsWindow before{played, -w, -1, {}};
    SecondsWindow after{played, 1, w, {}};
    before.start();
    after.start();
    std::vector<double> targets(played.size(), 0.0);
    for (std::size_t s = 0; s < played.size(); ++s) {
        const std::size_t b = before.window.values.size();
        const std::size_t a = after.window.values.size();
        double around = 0;
        if (b >= levelSideSeconds && a >= levelSideSeconds) {
            around = std::min(before.window.at(usualPercentile), after.window.at(usualPercentile));
        } else if (b > 0 && b >= a) {
            around = before.window.at(usualPercentile);
        } else if (a > 0) {
            around = after.window.at(usualPercentile);
        }
        targets[s] = around * slumpShareOfUsual;
        before.step(static_cast<std::ptrdiff_t>(s));
        after.step(static_cast<std::ptrdiff_t>(s));
    }
    return targets;
}

// Window ends (tenths) of slow seconds, and the tenths a slump of them spans.
struct Run {
    std::size_t first;
    std::size_t last;
    std::size_t from = 0;
    std::size_t to = 0;
};

// The target of the second a tenth's window mostly lies in.
struct Targets {
    std::optional<double> given;
    std::vector<double> around;
    double at(std::size_t windowEnd) const
    {
        if (given) {
            return *given;
        }
        const std::size_t second = (windowEnd - tenthsPerSecond / 2 + 1) / tenthsPerSecond;
        return around.empty() ? 0.0 : around[std::min(second, around.size() - 1)];
    }
};

// Each whole tenth from the tenth one on ends a second: slow when that second holds fewer
// frames than the target and nothing set aside. Runs of slow seconds' ends, joined across gaps
// under a second.
std::vector<Run> slowRuns(const FrameRateTrace& trace, const Targets& targets,
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
        if (asideInWindow == 0 && static_cast<double>(window) < targets.at(t)) {
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

std::vector<Slump> findSlumps(const FrameRateTrace& trace, std::optional<double> targetFps,
                              const NotPlay& aside)
{
    Targets targets{targetFps, {}};
    if (!targetFps) {
        targets.around = targetsAround(trace, aside.tenths);
    }
    std::vector<Run> runs = slowRuns(trace, targets, aside.tenths);
    // A tenth at the target's pace or faster, at either edge of the first or last slow second, is
    // the game before it sank or after it recovered: not the slump's.
    const auto fast = [&](std::size_t tenth, std::size_t windowEnd) {
        return static_cast<double>(trace.framesPerTenth[tenth]) >=
               targets.at(windowEnd) / static_cast<double>(tenthsPerSecond);
    };
    std::vector<Run> joined;
    for (Run run : runs) {
        run.from = run.first - tenthsPerSecondIndex;
        while (run.from < run.first && fast(run.from, run.first)) {
            ++run.from;
        }
        run.to = run.last;
        while (run.to > run.last - tenthsPerSecondIndex && fast(run.to, run.last)) {
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

std::vector<PlayLevel> levelsOf(const FrameRateTrace& trace, const NotPlay& aside,
                                const std::vector<Slump>& slumps)
{
    std::vector<int> played = playedSeconds(trace, aside.tenths);
    for (const Slump& slump : slumps) {
        const auto first = static_cast<std::size_t>(slump.startMs / 1000.0);
        for (std::size_t s = first;
             s < played.size() && static_cast<double>(s) * 1000.0 < slump.endMs; ++s) {
            played[s] = notPlayed;
        }
    }
    // Each second's pace: the median of the play within half a window either side, which follows
    // a level's steps and passes over its hitches.
    const auto half = static_cast<std::ptrdiff_t>(levelWindowSeconds / 2);
    SecondsWindow around{played, -half, half, {}};
    around.start();
    std::vector<PlayLevel> levels;
    double paceOfLevel = 0;
    std::uint64_t frames = 0;
    std::size_t seconds = 0;
    const auto close = [&] {
        if (seconds > 0 && !levels.empty()) {
            levels.back().fps = static_cast<double>(frames) / static_cast<double>(seconds);
        }
        frames = 0;
        seconds = 0;
    };
    for (std::size_t s = 0; s < played.size(); ++s) {
        if (played[s] != notPlayed && !around.window.values.empty()) {
            const double pace = around.window.at(50);
            const double startMs = static_cast<double>(s) * 1000.0;
            if (levels.empty() || std::abs(pace - paceOfLevel) > paceOfLevel * levelsApart / 2) {
                close();
                levels.push_back({startMs, startMs + 1000.0, 0});
                paceOfLevel = pace;
            }
            levels.back().endMs = startMs + 1000.0;
            frames += static_cast<std::uint64_t>(played[s]);
            ++seconds;
        }
        around.step(static_cast<std::ptrdiff_t>(s));
    }
    close();
    // Short stretches are the steps between levels, not levels.
    std::erase_if(levels, [](const PlayLevel& l) { return l.endMs - l.startMs < levelShortestMs; });
    std::vector<PlayLevel> merged;
    for (const PlayLevel& level : levels) {
        if (!merged.empty() && std::abs(level.fps - merged.back().fps) <
                                   std::max(level.fps, merged.back().fps) * levelsApart) {
            const double a = merged.back().endMs - merged.back().startMs;
            const double b = level.endMs - level.startMs;
            merged.back().fps = (merged.back().fps * a + level.fps * b) / (a + b);
            merged.back().endMs = level.endMs;
        } else {
            merged.push_back(level);
        }
    }
    if (merged.size() < 2) {
        merged.clear();
    }
    return merged;
}

SlumpVerdict judgeSlumps(const FrameRateTrace& trace, std::optional<double> targetFps)
{
    SlumpVerdict verdict;
    const NotPlay aside = notPlayOf(trace);
    verdict.usualFps = usualFps(trace, aside);
    verdict.targetGiven = targetFps.has_value();
    verdict.targetFps = targetFps.value_or(std::round(verdict.usualFps * slumpShareOfUsual));
    verdict.slumps = findSlumps(trace, targetFps, aside);
    verdict.levels = levelsOf(trace, aside, verdict.slumps);
    verdict.asideSpans = aside.spans;
    verdict.loadingMs = aside.loadingMs;
    verdict.pauses = aside.pauses;
    return verdict;
}

} // namespace sim
