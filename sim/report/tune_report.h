// What tune found: text, JSON, the verdict in a few lines and the heat map.
#pragma once

#include "sim/capture/capture.h"
#include "sim/session/lows.h"
#include "sim/session/purge_gains.h"
#include "sim/tune/tune.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// A capture that is Tarnwick's own frame record: how it was made, and what its purges gained over
// the part played.
struct RecordFacts {
    int mode = 1; // Record= of its header: 1 governed, 2 purges withheld
    double fpsModerate = 45;
    double fpsCritical = 35;
    PurgeGains gains;
    std::size_t purges = 0; // run or withheld, in the part played
};

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
    // Captures of games at different usual rates: a game is an application (names compared as
    // Windows compares them), its captures at other settings levels of it, tuned together as
    // well, for one answer each. A game, not a capture: a thousand captures of two games are two
    // answers, and two grids held.
    struct Game {
        std::vector<std::size_t> captures; // indices into captures, ascending
        TuneResult result;                 // its captures in that order
        std::string application;           // empty: not named (plain text), told by usual rate
    };
    std::vector<Game> perGame;
};

// The captures of one game as a player names them: "a.csv", "Game.exe in a.csv and 3 more
// captures".
std::string gameLabel(const TuneReport& report, const TuneReport::Game& game);

// The games of report's captures: one an application; captures that name none (plain text, whose
// application is its file's name) told apart by usual rate among themselves (gamesByUsualRate).
// In the order of their first capture, each game's captures ascending.
std::vector<TuneReport::Game> gamesOf(const TuneReport& report);

// The captures (by index) grouped by usual rate, each group the captures within mixedRatesApart
// of its slowest, in the order of their first capture; a capture without a usual rate (0) is a
// game of its own kind with the others like it.
std::vector<std::vector<std::size_t>> gamesByUsualRate(const std::vector<double>& usualFps);

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
// Games whose usual rates lie more than this share apart: a threshold that suits one game's slumps
// is the other's usual rate.
inline constexpr double mixedRatesApart = 0.2;
bool mixedRates(const TuneResult& result);
// Captures at different usual frame rates judged together: said (each game's own answer, or
// levels of one game), or empty.
std::string mixedRatesWarning(const TuneReport& report);
nlohmann::json tuneJson(const TuneReport& report, const Verdict& verdict);
// A heat map: FPS_Moderate across, FPS_Critical up, colour for purges a minute, pairs that purge
// outside slumps and pairs that miss slumps marked, the player's pair and the recommendation too.
void writeTuneSvg(std::ostream& out, const TuneReport& report);

} // namespace sim
