// What tune found: text, JSON, the verdict in a few lines and the heat map.
#pragma once

#include "sim/capture/capture.h"
#include "sim/session/lows.h"
#include "sim/tune/tune.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// What was read of one capture.
struct CaptureFacts {
    std::filesystem::path capture;
    CaptureSummary summary;
    std::uint64_t frames = 0;
    FrameTimeCounts frameTimes;
};

// tune: the captures, the player's pair, the recommendation and its rule, the pairs around it.
struct TuneReport {
    std::vector<CaptureFacts> captures; // as the result's, in order
    std::string settingsSource;         // the settings file, or "the defaults"
    Range moderate;
    Range critical;
    TuneResult result;
};
// "FPS_Moderate 45, FPS_Critical 35"
std::string pairName(const CellResult& c);
bool samePair(const CellResult& a, const CellResult& b);
void printTune(std::ostream& out, const TuneReport& report);
// Why the recommendation is what it is, in one sentence of a player's words.
std::string recommendationWhy(const TuneResult& result);
// Captures of games at different usual frame rates judged together: said, or empty.
std::string mixedRatesWarning(const TuneResult& result);
nlohmann::json tuneJson(const TuneReport& report);
// The answer in two or three lines: what the player's pair does, what to set instead and why.
void printVerdict(std::ostream& out, const TuneReport& report);
// A heat map: FPS_Moderate across, FPS_Critical up, colour for purges a minute, pairs that purge
// outside slumps and pairs that miss slumps marked, the player's pair and the recommendation too.
void writeTuneSvg(std::ostream& out, const TuneReport& report);

} // namespace sim
