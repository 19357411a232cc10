// Slumps: where the game sank and stayed low, found from the capture alone, so that every pair of
// thresholds is judged against the same stretches. A purge is worth it in a slump and wasted
// anywhere else: on a single hitch, on frame-pacing noise, at the usual frame rate.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim {

// Frames counted by the tenth of a second they end in, on the session's clock: the frame rate over
// wall time in a byte a tenth (36 MB for the longest capture read, 1,000 hours). A tenth holds at
// most 255 frames: 2,550 fps, five times the fastest monitor.
struct FrameRateTrace {
    std::deque<std::uint8_t> framesPerTenth; // grows without copying what it holds
    double endMs = 0;                        // where the last frame ended
};

inline constexpr double traceTenthMs = 100;
inline constexpr std::size_t tenthsPerSecond = 10;
// Unless the player names a target, a slump is below this share of the capture's usual rate.
inline constexpr double slumpShareOfUsual = 0.8;

void traceFrame(FrameRateTrace& trace, double endMs);

// The frame rate the game runs at when nothing is wrong: that of the capture's better seconds,
// the 90th percentile of its whole seconds' frame counts. Not the median: a capture made to tune
// Tarnwick may spend most of its time in slumps. 0 for a capture shorter than a second.
inline constexpr std::size_t usualPercentile = 90;
double usualFps(const FrameRateTrace& trace);

// The frames over the second before atMs (over less where the capture is younger), as a rate.
double fpsOverLastSecond(const FrameRateTrace& trace, double atMs);

struct Slump {
    double startMs = 0;
    double endMs = 0;
    double fps = 0; // its frames over its length
};

// How long the frame rate over the last second must stay below the target: a single frame
// shorter than about a second and a half never holds it down that long.
inline constexpr std::size_t slumpLowSeconds = 2;

// The capture's slumps, in time order: stretches in which the frame rate over the last second
// stays below targetFps for slumpLowSeconds; a recovery shorter than a second does not end one.
// A slump runs from the first slow second to the last, less the tenths at either edge that still
// run at the target's pace: it starts where the game sank and ends where it recovered.
std::vector<Slump> findSlumps(const FrameRateTrace& trace, double targetFps);

// Where each slump stood: the target, and the usual rate it was taken from.
struct SlumpVerdict {
    double usualFps = 0;
    double targetFps = 0;
    bool targetGiven = false; // by the player, rather than taken from the usual rate
    std::vector<Slump> slumps;
};

SlumpVerdict judgeSlumps(const FrameRateTrace& trace, std::optional<double> targetFps);

// What one pair's purges did against the slumps, in the order they ran.
struct SlumpScore {
    std::uint64_t inSlumps = 0;
    std::uint64_t outside = 0;
    std::uint64_t caught = 0;   // slumps with a purge in them
    double delaySumMs = 0;      // from each caught slump's start to its first purge
    std::size_t lastCaught = 0; // one past the index of the slump caught last; 0: none yet
    double meanDelayMs() const { return caught > 0 ? delaySumMs / static_cast<double>(caught) : 0; }
};

// in: slump, the index of the slump the purge fell in, if any (see SlumpCursor).
void scorePurge(SlumpScore& score, const std::vector<Slump>& slumps,
                std::optional<std::size_t> slump, double atMs);

// Every purge of a run, by their times in order.
SlumpScore scorePurges(const std::vector<Slump>& slumps, const std::vector<double>& purgeTimesMs);

// A slump's start is known to within a tenth, and the first slow frames set a purge off before
// the frame rate over any stretch can show it: a purge this little before a slump is in it.
inline constexpr double slumpLeadMs = 500;

// Walks the slumps alongside frames that come in time order.
struct SlumpCursor {
    std::size_t next = 0; // the first slump not over before the last time asked
    std::optional<std::size_t> at(const std::vector<Slump>& slumps, double ms)
    {
        while (next < slumps.size() && slumps[next].endMs < ms) {
            ++next;
        }
        if (next < slumps.size() && slumps[next].startMs - slumpLeadMs <= ms) {
            return next;
        }
        return std::nullopt;
    }
};

// The slump that holds atMs, if any, for times in any order.
std::optional<std::size_t> slumpAt(const std::vector<Slump>& slumps, double atMs);

} // namespace sim
