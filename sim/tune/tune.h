// `tarnwick-sim tune`: every pair of thresholds of a grid over one capture, and the pair to
// recommend.
#pragma once

#include "sim/tune/cell.h"
#include "sim/tune/columns.h"
#include "sim/tune/rule.h"

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
    double ordinaryMs = 0;     // see TuneFrames
    PlayFigures play;          // see TuneFrames
    // The player's purges after which the game was back at its usual rate within a second: most
    // of them, and the capture was recorded with Tarnwick on (see recoveries.h).
    std::size_t recoveriesAfterYours = 0;
};

// Several captures are judged together: a pair's figures are added over them.
struct TuneResult {
    double durationMs = 0;
    double ordinaryMs = 0; // play outside slumps and what is set aside
    std::size_t slumps = 0;
    std::vector<CellResult> cells;          // FPS_Moderate ascending, then FPS_Critical ascending
    CellResult current;                     // the settings file's own pair, in the grid or not
    std::optional<std::size_t> recommended; // index into cells
    std::optional<std::size_t> best;        // the pair first on the rule, even where yours is kept
    RuleKey decidedBy = RuleKey::None;      // where yours falls behind best
    const RuleTable* rankedWith = nullptr;  // the table recommend walked
    const RuleKeyRow* decidedRow = nullptr; // the row of decidedBy in it
    Standing yoursStanding;                 // with best: the figures the ranking compared
    Standing bestStanding;
    bool tooShort = false; // too short to tell one pair from another: nothing ranked
    // For each FPS_Moderate from normalFrom on, the share of ordinary play's time the game is
    // Normal (see normalShareOf).
    std::int32_t normalFrom = 0;
    std::vector<double> normalMs;       // of ordinaryMs
    std::vector<TunedCapture> captures; // in the order given
};

// A purge that comes to nothing now and then costs little: distant traffic, out of sight,
// returns. Purges every few seconds empty the streets. A pair may waste this many purges outside
// slumps a minute of ordinary play: one for each minute begun, over the capture.
inline constexpr double wastedPerMinute = 1.0;
std::uint64_t wastedAllowed(double ordinaryMs);

// The game is Normal at least normalInPlay of ordinary play's time with FPS_Moderate moderateRoom
// higher, as a slower evening would meet it: Moderate there, two long frames in a row purge. A
// frame's time counts under the state it was drawn in, the one the frame before left.
inline constexpr double moderateRoom = 0.1;
inline constexpr double normalInPlay = 0.95;
bool moderateFitsPlay(const TuneResult& r, const CellResult& c);
// The share of ordinary play in Normal with FPS_Moderate at moderate; 1 without ordinary play.
double normalShareOf(const TuneResult& r, std::int32_t moderate);
std::int32_t moderateWithRoom(std::int32_t moderate);

Room roomOf(const TuneResult& r, const CellResult& c);

// The index in cells (sorted as TuneResult's) of the pair moderate, critical; none outside the
// grid.
std::optional<std::size_t> cellIndexOf(const std::vector<CellResult>& cells, std::int32_t moderate,
                                       std::int32_t critical);

// c with both thresholds moved by steps of roomStep (up or down), none outside the grid.
std::optional<std::size_t> movedBy(const std::vector<CellResult>& cells, const CellResult& c,
                                   int steps);

// The slumps c misses of slumps; the wasted purges it has beyond the budget.
std::int64_t missedOf(const CellResult& c, std::size_t slumps);
std::uint64_t overBudgetOf(const CellResult& c, double ordinaryMs);

// The lowest of the captures' ordinary lows: the one FPS_Moderate must leave room below.
double lowestOrdinaryFps(const TuneResult& r);

// Shorter than the least time between two purges, a capture cannot tell one pair from another.
bool tooShortToJudge(double durationMs);

// in: frames, finished (see finishFrames); base, the settings file's values (the detection range
// and the rest); the grid's pairs replace its thresholds. The player's pair and the
// recommendation keep every purge's time. Uses both cores.
TuneResult tune(const std::vector<const TuneFrames*>& captures, const GovernorSettings& base,
                Range moderate, Range critical);
TuneResult tune(const TuneFrames& frames, const GovernorSettings& base, Range moderate,
                Range critical);

// The grid's columns, FPS_Moderate ascending.
std::vector<ColumnSpan> gridColumns(Range moderate, Range critical);

// A game far faster than the grid's top slumps where no pair of it could catch it: the grid's top
// raised to the fastest capture's usual rate (at most a monitor's), FPS_Critical's by as much.
void raiseGridToCaptures(Range& moderate, Range& critical,
                         const std::vector<const TuneFrames*>& captures);

double perMinute(double count, double durationMs);

} // namespace sim
