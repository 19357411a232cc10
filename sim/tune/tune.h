// `tarnwick-sim tune`: every pair of thresholds of a grid over one capture, and the pair to
// recommend.
#pragma once

#include "sim/tune/cell.h"
#include "sim/tune/columns.h"

#include <optional>
#include <string>
#include <vector>

namespace sim {

struct Range {
    std::int32_t low;
    std::int32_t high;
};

// Every pair a player would plausibly set: FPS_Moderate 20 to 120, FPS_Critical 10 to 110, only
// pairs with FPS_Critical below FPS_Moderate.
inline constexpr Range defaultModerate{20, 120};
inline constexpr Range defaultCritical{10, 110};

// One capture's part: its slumps, and the player's pair and the recommendation on it, each with
// every purge's time.
struct TunedCapture {
    double durationMs = 0;
    SlumpVerdict slumps;
    CellResult current;
    CellResult recommended;    // nothing without a recommendation
    double ordinaryLowFps = 0; // see TuneFrames
    // The player's purges after which the game was back at its usual rate within a second: most
    // of them, and the capture was recorded with Tarnwick on (see recoveries.h).
    std::size_t recoveriesAfterYours = 0;
};

// Several captures are judged together: a pair's figures are added over them.
struct TuneResult {
    double durationMs = 0;
    std::size_t slumps = 0;
    std::vector<CellResult> cells;          // FPS_Moderate ascending, then FPS_Critical ascending
    CellResult current;                     // the settings file's own pair, in the grid or not
    std::optional<std::size_t> recommended; // index into cells
    std::vector<TunedCapture> captures;     // in the order given
};

// The rule the recommendation follows, in one sentence.
std::string recommendationRule();

// FPS_Moderate leaves this much room below the frame rate ordinary play reaches (all but its
// slowest frames), and so does the hysteresis above it: the game is Normal where it usually runs,
// a little slower the next evening as well. Moderate there, a game purges on any single long frame.
inline constexpr double moderateRoom = 0.1;
bool moderateFitsPlay(const CellResult& c, double ordinaryLowFps);

// A capture is one evening's noise: the next evening's game runs a little slower or dips a little
// less deep, which moves its frame rates as moving both thresholds the other way would. A pair's
// room is how far they move, in steps of roomStep up to roomSteps, with it still purging outside
// slumps no more often (moved up) and missing no more slumps (moved down) than it does itself.
inline constexpr double roomStep = 0.05;
inline constexpr int roomSteps = 6;

struct Room {
    int steps = 0;
    // Where it stops short of roomSteps: what the pair moved one step further does.
    bool purgesOutside = false; // moved up, it purges outside slumps this often
    std::uint64_t outside = 0;
    bool misses = false; // moved down, it misses this many slumps
    std::int64_t missed = 0;
    double percent() const { return steps * roomStep * 100; }
};
Room roomOf(const std::vector<CellResult>& cells, const CellResult& c, std::size_t slumps);

// c with both thresholds moved by steps of roomStep (up or down), held to the grid's edges.
std::optional<std::size_t> movedBy(const std::vector<CellResult>& cells, const CellResult& c,
                                   int steps);

// The rule's keys for one pair, in order, smaller first: what the recommendation is chosen by,
// and what its why names where yours falls behind.
struct Standing {
    bool moderateInPlay; // FPS_Moderate leaves ordinary play no room
    // No slump here, and FPS_Critical lower than yours by more than the room: a capture without a
    // slump shows a pair purging needlessly, not how low FPS_Critical may go and still catch one.
    bool criticalBeyondReach;
    std::uint64_t outside;
    std::int64_t missed;
    int lessRoom; // roomSteps less the pair's room; none where nothing needs a purge
    std::int64_t waitSeconds;
    std::int32_t distance; // from yours
    std::int32_t lowerCritical;
    auto operator<=>(const Standing&) const = default;
};
Standing standingOf(const TuneResult& r, const CellResult& c);
// Without a slump, the lowest FPS_Critical a recommendation moves yours to.
std::int32_t lowestCriticalWithoutSlumps(const CellResult& yours);

// The lowest of the captures' ordinary lows: the one FPS_Moderate must leave room below.
double lowestOrdinaryFps(const TuneResult& r);

// in: frames, finished (see finishFrames); base, the settings file's values (the detection range
// and the rest); the grid's pairs replace its thresholds. The player's pair and the
// recommendation keep every purge's time. Uses both cores.
TuneResult tune(const std::vector<const TuneFrames*>& captures, const GovernorSettings& base,
                Range moderate, Range critical);
TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical);

// The grid's columns, FPS_Moderate ascending.
std::vector<ColumnSpan> gridColumns(Range moderate, Range critical);

double perMinute(double count, double durationMs);

} // namespace sim
