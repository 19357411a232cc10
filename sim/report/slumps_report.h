// Slumps and purges, said the same way by every command.
#pragma once

#include "sim/session/slumps.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// The rules' numbers as the texts say them, each text given the constant it states.
std::string percentText(double share);                 // 0.8: "80%"
std::string secondsSpelt(std::size_t seconds);         // 2: "two seconds"
std::string percentileAsShare(std::size_t percentile); // 90: "nine in ten"

// Slumps, said the same way by every command.
std::string slumpsCaughtText(std::uint64_t caught, std::size_t slumps); // "catches both slumps"
std::string purgeTimesText(std::uint64_t purges); // "never", "once", "3 times"
// "catches 5 of the 6 slumps, 0.4 s after each starts on average"
std::string catchesText(std::uint64_t caught, double meanDelayMs, std::size_t slumps);
std::string
slumpTargetText(const SlumpVerdict& verdict); // "below 48 fps (80% of the usual 60 fps)"
std::string noSlumpReason(const SlumpVerdict& verdict, double durationMs);
// "in a slump (28 fps over the last second)", "outside any slump (...)", or in what is set aside.
std::string purgeJudgement(const FrameRateTrace& trace, const SlumpVerdict& verdict, double atMs);
// "left out: 20 s of loading screens or menus and 1 pause, ..."; empty when nothing was.
std::string setAsideText(const SlumpVerdict& verdict);
// "levels: 118 fps 0 s to 60 s, 71 fps 60 s to 300 s (...)", or empty with one pace.
std::string levelsText(const SlumpVerdict& verdict);
nlohmann::json slumpVerdictJson(const SlumpVerdict& verdict);
// Each slump with its first purge by these times, if any; each purge with whether it fell in one.
nlohmann::json slumpsJson(const SlumpVerdict& verdict, const std::vector<double>& purgeTimesMs);
nlohmann::json purgesJson(const std::vector<double>& purgeTimesMs, const SlumpVerdict& verdict);

} // namespace sim
