// Time in each state is kept in whole nanoseconds: integer sums are exact in any order, so a
// tuner that adds a pair's stretches its own way gets the very same figures as a replay.
#pragma once

#include <algorithm>
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

} // namespace sim
