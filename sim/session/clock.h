// The session's clock and the time it keeps in each state. Time is kept in whole nanoseconds:
// integer sums are exact in any order, so a tuner that adds a pair's stretches its own way gets
// the very same figures as a replay.
#pragma once

#include "governor/state.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

namespace sim {

// in: clockMs, a frame's length on the session's clock (never negative).
inline std::int64_t wholeNanoseconds(double clockMs)
{
    // A frame of more than a thousand years is held there rather than overflow.
    return std::llround(std::min(clockMs, 3.0e13) * 1.0e6);
}

inline double millisecondsOf(std::int64_t nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1.0e6;
}

// The mean frame rate: frames over the time they took. 0 over no time.
inline double framesPerSecond(std::uint64_t frames, double ms)
{
    return ms > 0 ? static_cast<double>(frames) * 1000.0 / ms : 0.0;
}

struct SessionClock {
    std::uint32_t uptimeMs = 600000; // the tick counter when the session starts
    double elapsedMs = 0;
    std::int64_t elapsedNs = 0;

    // A frame time that is not positive moves no time.
    static double lengthOf(double frameTimeMs)
    {
        return std::isfinite(frameTimeMs) && frameTimeMs > 0 ? frameTimeMs : 0.0;
    }
    void advance(double frameTimeMs)
    {
        const double clockMs = lengthOf(frameTimeMs);
        elapsedMs += clockMs;
        elapsedNs += wholeNanoseconds(clockMs);
    }
    // The counter wraps like the real one: simulated time modulo 2^32.
    std::uint32_t tick() const
    {
        return uptimeMs +
               static_cast<std::uint32_t>(std::fmod(std::floor(elapsedMs), 4294967296.0));
    }
};

// A frame's time counts under the state the game was in while it was drawn, the one before the
// frame's own decision: a state's stretch runs from the end of the frame that entered it to the end
// of the frame that left it, as differences of the session's clock, so a tuner that skips the
// frames between gets the very same sums.
struct StateTimes {
    std::array<std::int64_t, 3> closedNs{}; // each state's stretches before the current one
    std::int64_t sinceNs = 0;               // when the current state's stretch began

    // in: atNs, the clock once the frame that changed the state is over.
    void change(PerfState from, std::int64_t atNs)
    {
        closedNs[static_cast<std::size_t>(from)] += atNs - sinceNs;
        sinceNs = atNs;
    }
    double ms(PerfState state, PerfState now, std::int64_t endNs) const
    {
        const auto s = static_cast<std::size_t>(state);
        return millisecondsOf(closedNs[s] + (state == now ? endNs - sinceNs : 0));
    }
};

} // namespace sim
