// Hysteresis rules of the performance state.
#include "governor/state.h"

void advanceState(GovernorState& governor, float fps, const GovernorSettings& settings)
{
    // Thresholds are converted as signed values at every comparison, so any pair works.
    const auto moderate = static_cast<float>(settings.fpsModerate);
    const auto critical = static_cast<float>(settings.fpsCritical);
    switch (governor.state) {
    case PerfState::Normal:
        if (fps < moderate) {
            governor.state = PerfState::Moderate;
        }
        return;
    case PerfState::Moderate:
        if (fps > moderate + hysteresisFps) {
            governor.state = PerfState::Normal;
        } else if (fps < critical) {
            governor.state = PerfState::Critical;
        }
        return;
    case PerfState::Critical:
        if (fps > critical + hysteresisFps) {
            governor.state = PerfState::Moderate;
        }
        return;
    }
}

bool purgeDue(const GovernorState& governor, std::uint32_t nowMs)
{
    // Unsigned subtraction keeps working across the counter's wrap.
    return static_cast<std::uint32_t>(nowMs - governor.lastPurgeTick) > purgeIntervalMs;
}

void notePurge(GovernorState& governor, std::uint32_t tickMs)
{
    governor.lastPurgeTick = tickMs;
}

const char* perfStateName(PerfState state)
{
    switch (state) {
    case PerfState::Normal:
        return "Normal";
    case PerfState::Moderate:
        return "Moderate";
    case PerfState::Critical:
        return "Critical";
    }
    return "?";
}
