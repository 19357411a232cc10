// Controls of the minimal hook used by the benchmarks.
#pragma once

#include <cstdint>

namespace bench {

inline constexpr std::uint64_t playerHandle = 0x7000;

extern float frameTimeSeconds;
extern std::uint32_t tickMs;
extern int vehicleCount;

} // namespace bench
