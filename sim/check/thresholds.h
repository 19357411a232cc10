// How far a frame-rate threshold can reach, for the tools that check, take and tune them.
#pragma once

#include <cstdint>

namespace sim {

// No monitor refreshes faster: a threshold above it holds the game strained forever. The command
// line takes thresholds from 1 to it.
inline constexpr std::int32_t highestRefreshRate = 500;

// The tuner's grid holds thresholds within -gridThresholdBound..gridThresholdBound (a sixteen-bit
// lane holds every figure of a step), with room beyond what the command line gives.
inline constexpr std::int32_t gridThresholdBound = 1000;
static_assert(highestRefreshRate <= gridThresholdBound);

// A frame's estimate is held to twice the bound: every comparison with a threshold and its
// hysteresis keeps its answer. One past it stands for a rate that compares with nothing.
inline constexpr std::int32_t heldLevelBound = 2 * gridThresholdBound;
inline constexpr std::int32_t incomparableLevel = heldLevelBound + 1;

} // namespace sim
