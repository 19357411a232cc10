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
// A stretch of the capture that is not play.
struct Span {
    double startMs = 0;
    double endMs = 0;
};

struct FrameRateTrace {
    std::deque<std::uint8_t> framesPerTenth; // grows without copying what it holds
    double endMs = 0;                        // where the last frame ended
    std::vector<Span> pauses;                // single frames of pauseFrameMs or more, in order
    // Per second, how much each frame's time differs from the one before, added up (as the
    // logarithm of their ratio): near 0 for a menu's even pace, large for play.
    std::deque<float> unevennessPerSecond;
    double lastFrameMs = 0;
};

inline constexpr double traceTenthMs = 100;
inline constexpr std::size_t tenthsPerSecond = 10;
// Unless the player names a target, a slump is below this share of the capture's usual rate.
inline constexpr double slumpShareOfUsual = 0.8;

// A single frame this long is the game stopped (alt-tab, a save, a loading hitch), not played: no
// frame of play holds a second's frame rate down for longer than a slump needs.
inline constexpr double pauseFrameMs = 1500;
// A second with more than this many times the frames of the capture's play is a loading screen or
// a menu: play that fast in a game that usually runs at half the rate is not what is tuned for.
// The capture's play is its median uneven second (menus keep an even pace, play does not), or its
// median second where too few are uneven to tell.
inline constexpr double loadingOverMedian = 2;
// An even-paced second this much faster than the capture's play is a menu too: a pause menu runs
// a little faster than the game around it, and evenly.
inline constexpr double menuOverPlay = 1.15;
// A second is even-paced when its frames' times differ from one to the next by less than this on
// average (as the logarithm of their ratio): 2%, where play's frame-pacing noise alone is 5% or
// more.
inline constexpr double evenPaceStep = 0.02;
// Too few uneven seconds to take the capture's play from: a capture locked to a rate.
inline constexpr double unevenShareToTell = 0.25;

// in: endMs, the session's clock once the frame is over; frames come in order. frameMs, the
// frame's own length on the clock, judges a pause: the difference of two running sums can fall a
// hair short of a frame of exactly pauseFrameMs.
void traceFrame(FrameRateTrace& trace, double endMs, double frameMs);
// A frame as long as from the last one's end.
void traceFrame(FrameRateTrace& trace, double endMs);

// What of a capture is not play: its pauses, and its seconds of loading screens or menus.
struct NotPlay {
    std::vector<Span> spans;  // in order, apart from each other
    double loadingMs = 0;     // of them, loading screens and menus
    std::size_t pauses = 0;   // of them, single frames of pauseFrameMs or more
    std::vector<bool> tenths; // a tenth of the trace that is not play
};
NotPlay notPlayOf(const FrameRateTrace& trace);

// The play around a second, to judge it by: the better seconds (usualPercentile) of the played
// seconds within this many seconds before it, and of those after it, the lower of the two. A
// slump is a dip that comes back, so the play on both sides of it runs faster; a level (another
// scene, another setting, interiors against streets) holds its own pace for longer than this on
// one side, so it is judged against itself. A side with fewer played seconds than levelSideSeconds
// (at the capture's ends) is not enough to judge by: the other side alone judges.
inline constexpr std::size_t levelWindowSeconds = 60;
inline constexpr std::size_t levelSideSeconds = 10;

// The frame rate the game runs at when nothing is wrong: that of the capture's better seconds of
// play, the 90th percentile of its whole seconds' frame counts, leaving out what is set aside.
// Not the median: a capture made to tune Tarnwick may spend most of its time in slumps. 0 for a
// capture with less than a second of play.
inline constexpr std::size_t usualPercentile = 90;
double usualFps(const FrameRateTrace& trace, const NotPlay& aside);

// The frames over the second before atMs (over less where the capture is younger), as a rate.
double fpsOverLastSecond(const FrameRateTrace& trace, double atMs);

struct Slump {
    double startMs = 0;
    double endMs = 0;
    double fps = 0; // its frames over its length
};

// A stretch of play that holds its own pace, apart from slumps: said where a capture has more
// than one, levelsApart or more from each other.
struct PlayLevel {
    double startMs = 0;
    double endMs = 0;
    double fps = 0;
};
inline constexpr double levelsApart = 0.2;
// Shorter than this, a stretch is not said as a level of its own.
inline constexpr double levelShortestMs = 30000;

// How long the frame rate over the last second must stay below the target: a single frame
// shorter than about a second and a half never holds it down that long.
inline constexpr std::size_t slumpLowSeconds = 2;

// The capture's slumps, in time order: stretches of play in which the frame rate over the last
// second stays below the target for slumpLowSeconds; a recovery shorter than a second does not end
// one. The target is targetFps where given, else slumpShareOfUsual of the play around each second
// (levelWindowSeconds). A slump runs from the first slow second to the last, less the tenths at
// either edge that still run at the target's pace: it starts where the game sank and ends where it
// recovered. No second that holds what is set aside is judged.
std::vector<Slump> findSlumps(const FrameRateTrace& trace, std::optional<double> targetFps,
                              const NotPlay& aside);
// The levels of a capture's play (see PlayLevel), none where it holds one pace.
std::vector<PlayLevel> levelsOf(const FrameRateTrace& trace, const NotPlay& aside,
                                const std::vector<Slump>& slumps);

// Where each slump stood: the target, and the usual rate it was taken from.
struct SlumpVerdict {
    double usualFps = 0;
    double targetFps = 0;     // given, or slumpShareOfUsual of the usual rate (each slump is
                              // judged by the play around it)
    bool targetGiven = false; // by the player, rather than taken from the play around
    std::vector<PlayLevel> levels;
    std::vector<Slump> slumps;
    std::vector<Span> asideSpans; // not play: never a slump, no purge in it judged
    double loadingMs = 0;
    std::size_t pauses = 0;
};

SlumpVerdict judgeSlumps(const FrameRateTrace& trace, std::optional<double> targetFps);

// What one pair's purges did against the slumps, in the order they ran.
struct SlumpScore {
    std::uint64_t inSlumps = 0;
    std::uint64_t outside = 0;
    std::uint64_t setAside = 0; // in what is not play: neither
    std::uint64_t caught = 0;   // slumps with a purge in them
    double delaySumMs = 0;      // from each caught slump's start to its first purge
    std::size_t lastCaught = 0; // one past the index of the slump caught last; 0: none yet
    double meanDelayMs() const { return caught > 0 ? delaySumMs / static_cast<double>(caught) : 0; }
};

// Where a purge fell: in a slump (its index), in what is set aside, or outside both.
struct PurgePlace {
    std::optional<std::size_t> slump;
    bool inAside = false;
};

void scorePurge(SlumpScore& score, const std::vector<Slump>& slumps, PurgePlace place, double atMs);

// Every purge of a run, by their times in order.
SlumpScore scorePurges(const SlumpVerdict& verdict, const std::vector<double>& purgeTimesMs);

// The game's first frames after alt-tab or a loading screen are still its own: a purge they set
// off belongs to what was set aside.
inline constexpr double afterAsideMs = 1000;

// A slump's edges are known to within a tenth, and its slow frames set a purge off before the
// frame rate over any stretch can show it sank, and after it shows it recovered: a purge this
// close to a slump, before or after, is its own.
inline constexpr double slumpEdgeMs = 500;

// Walks the slumps and what is set aside alongside frames that come in time order.
struct SlumpCursor {
    std::size_t next = 0;      // the first slump not over before the last time asked
    std::size_t nextAside = 0; // the same for what is set aside
    PurgePlace at(const SlumpVerdict& verdict, double ms)
    {
        const std::vector<Span>& aside = verdict.asideSpans;
        while (nextAside < aside.size() && aside[nextAside].endMs + afterAsideMs < ms) {
            ++nextAside;
        }
        if (nextAside < aside.size() && aside[nextAside].startMs <= ms) {
            return {std::nullopt, true};
        }
        const std::vector<Slump>& slumps = verdict.slumps;
        while (next < slumps.size() && slumps[next].endMs + slumpEdgeMs < ms) {
            ++next;
        }
        if (next < slumps.size() && slumps[next].startMs - slumpEdgeMs <= ms) {
            return {next, false};
        }
        return {};
    }
};

// Where a purge at atMs fell, for times in any order.
PurgePlace placeOf(const SlumpVerdict& verdict, double atMs);

} // namespace sim
