// A capture kept once for the tuner, as what the plug-in's state functions read of each frame and
// when, with its slumps; every pair of the grid runs over the same frames.
#pragma once

#include "sim/check/thresholds.h"
#include "sim/session/clock.h"
#include "sim/session/lows.h"
#include "sim/session/slumps.h"

#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

namespace sim {

// The headline figures over the frames of play alone: what is set aside (loading screens, menus,
// pauses) would lift the mean and sink the lowest frame rate of an evening it was no part of.
struct PlayFigures {
    std::uint64_t frames = 0;
    double ms = 0;                                            // their time on the session's clock
    float lowestFps = std::numeric_limits<float>::infinity(); // as the plug-in estimated it
    FrameTimeCounts frameTimes;
    std::size_t setAsideStretches = 0; // left out
    double setAsideMs = 0;
    float wholeLowestFps = std::numeric_limits<float>::infinity(); // every frame's, beside it
    double meanFps() const { return framesPerSecond(frames, ms); }
};

struct TuneFrames {
    // A frame's estimate as the thresholds see it: x < T for a whole T exactly when floor(x) < T,
    // and x > T + h exactly when ceil(x) - (h + 1) >= T, h the hysteresis. Levels are held to
    // heldLevelBound (the grid's thresholds lie within gridThresholdBound); NaN, which compares
    // with nothing, is a floor above every threshold and a ceiling below every one.
    struct Level {
        std::int16_t floor = 0;
        std::int16_t ceil = 0;
    };
    static constexpr Level incomparable{incomparableLevel, -incomparableLevel};
    SessionClock clock;                  // where the session's clock stands after the last frame
    std::vector<float> frameSeconds;     // each frame's time as the plug-in reads it
    std::vector<double> elapsedMs;       // the session's clock once each frame is over
    std::vector<std::int64_t> elapsedNs; // the same in whole nanoseconds, for time in states
    std::vector<std::uint32_t> ticks;    // the tick counter then, as the plug-in reads it
    std::vector<Level> levels;
    FrameRateTrace trace; // the frame rate over wall time, for the slumps
    SlumpVerdict slumps;  // judged once every frame is in
    // The frame rate that all but the slowest of ordinary play's frames (outside slumps and what
    // is set aside) reach: where the game runs when nothing is wrong, frame by frame.
    double ordinaryLowFps = 0;
    double ordinaryMs = 0;      // the time of those frames
    std::vector<bool> ordinary; // each frame: one of those
    PlayFigures play;
};

// A frame is set aside when it ends within a stretch that is (a pause's own frame ends its
// stretch).
bool endsSetAside(const std::vector<Span>& asideSpans, std::size_t& cursor, double endMs);

// All but one frame in this many.
inline constexpr std::size_t ordinaryLowOneIn = 100;

void addFrame(TuneFrames& frames, double frameTimeMs);
// Once every frame is in: the slumps below targetFps (none: below a share of the capture's usual
// rate).
void finishFrames(TuneFrames& frames, std::optional<double> targetFps = std::nullopt);

} // namespace sim
