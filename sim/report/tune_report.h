// What tune found: text, JSON, the verdict in a few lines and the heat map.
#pragma once

#include "sim/capture/capture.h"
#include "sim/session/lows.h"
#include "sim/session/purge_gains.h"
#include "sim/tune/decision.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
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
    std::optional<std::size_t> run = std::nullopt;    // of a CapFrameX capture, where it was picked
    std::optional<RecordFacts> record = std::nullopt; // a frame record read from a file
};

// The capture's file (its name alone, or the whole path), with its run where one was picked:
// "x.json, run 1".
std::string captureLabel(const CaptureFacts& facts, bool wholePath);

// tune: the captures, the player's pair, the recommendation and its rule, the pairs around it.
struct TuneReport {
    std::vector<CaptureFacts> captures;      // as the result's, in order
    std::string settingsSource;              // the settings file, or "the defaults"
    std::vector<std::string> unreadSettings; // copies of Tarnwick.ini the game does not read
    Range moderate;
    Range critical;
    TuneResult result;
    // Captures of games at different usual rates: each game tuned alone as well (tuneEachGame).
    using Game = TunedGame;
    std::vector<Game> perGame;
};

// The captures of one game as a player names them: "a.csv", "Game.exe in a.csv and 3 more
// captures".
std::string gameLabel(const TuneReport& report, const TuneReport::Game& game);

// Each capture's application as a game's name; empty where it names none (plain text, whose
// application is its file's name).
std::vector<std::string> applicationsOf(const TuneReport& report);

// Where something is set aside, what the figures of play leave out: "of play, leaving out 2
// set-aside stretches (41 s)"; empty where nothing is.
std::string playNote(const PlayFigures& play);
// The figures of play for JSON, and the whole capture's.
nlohmann::json playJson(const PlayFigures& play);
nlohmann::json wholeCaptureJson(std::uint64_t frames, double durationMs, float lowestFps,
                                const FrameTimeCounts& counts);

struct Verdict; // sim/report/verdict.h: what text, JSON and the page say of a TuneReport
// "FPS_Moderate 45, FPS_Critical 35"
std::string pairName(const CellResult& c);
bool samePair(const CellResult& a, const CellResult& b);
void printTune(std::ostream& out, const TuneReport& report, const Verdict& verdict);
// Captures at different usual frame rates judged together: said (each game's own answer, or
// levels of one game), or empty.
std::string mixedRatesWarning(const TuneReport& report);
nlohmann::json tuneJson(const TuneReport& report, const Verdict& verdict);
// A heat map: FPS_Moderate across, FPS_Critical up, colour for purges a minute, pairs that purge
// outside slumps and pairs that miss slumps marked, the player's pair and the recommendation too.
void writeTuneSvg(std::ostream& out, const TuneReport& report);

} // namespace sim
