// A capture recorded with Tarnwick on shows its own purges ending the dips: the game sinks, the
// player's pair purges, and the frame rate is back within a second. Such a capture cannot show
// what the game does without them, so it is no ground for tuning.
#pragma once

#include "sim/tune/frames.h"

#include <cstddef>
#include <vector>

namespace sim {

// A purge ends a dip when the median frame over the second after it runs at the usual rate, less
// the room FPS_Moderate leaves, and a good deal faster than the median frame over the second
// before it: medians, so that a single long frame is neither.
inline constexpr double recoveryWindowMs = 1000;
inline constexpr double recoveryJump = 1.2;
std::size_t purgesEndingDips(const TuneFrames& frames, const std::vector<double>& purgeTimesMs);

// Enough of them, and most: the capture was recorded with Tarnwick on.
inline constexpr std::size_t fewestTellingPurges = 3;
bool looksRecordedWithTarnwickOn(std::size_t endingDips, std::size_t purges);

} // namespace sim
