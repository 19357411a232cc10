// The performance state machine: frame-rate estimate, hysteresis between three levels, and when a
// purge of distant vehicles is due.
#pragma once

#include "settings/settings.h"

#include <cstdint>

enum class PerfState : std::int32_t { Normal = 0, Moderate = 1, Critical = 2 };

struct GovernorState {
    PerfState state = PerfState::Normal;
    std::uint32_t lastPurgeTick = 0;
};

inline constexpr float hysteresisFps = 5.0f;
inline constexpr float fallbackFps = 60.0f;
inline constexpr std::uint32_t purgeIntervalMs = 7000;

// in: frameTimeSeconds, called once, and a second time when the first reading is positive.
template <class FrameTimeSource> float estimateFps(FrameTimeSource&& frameTimeSeconds)
{
    const float first = frameTimeSeconds();
    // Also false for NaN, which must take the fallback too.
    if (!(first > 0.0f)) {
        return fallbackFps;
    }
    return 1.0f / frameTimeSeconds();
}

// At most one transition a call, chosen by the state at entry.
void advanceState(GovernorState& governor, float fps, const GovernorSettings& settings);

// in: nowMs, the tick counter. True when more than purgeIntervalMs passed since the last purge.
bool purgeDue(const GovernorState& governor, std::uint32_t nowMs);

// in: tickMs, read after the purge finished.
void notePurge(GovernorState& governor, std::uint32_t tickMs);

const char* perfStateName(PerfState state);
