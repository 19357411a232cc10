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
    double ordinaryMs = 0;     // see TuneFrames
    PlayFigures play;          // see TuneFrames
    // The player's purges after which the game was back at its usual rate within a second: most
    // of them, and the capture was recorded with Tarnwick on (see recoveries.h).
    std::size_t recoveriesAfterYours = 0;
};

// The rule's keys, in order: the recommendation is the pair first on them, and yours is kept
// while it stands level with it on every key that decides.
enum class RuleKey {
    None,            // yours is kept
    ModerateAtUsual, // FPS_Moderate leaves ordinary play no room
    OverBudget,      // wastes more purges than the budget allows
    Missed,          // misses slumps
    Room,            // holds less than the room needed either way
    Wait,            // waits longer for a slump's first purge
    MoreRoom,        // among the rest: more room
    Wasted,          // among the rest: fewer wasted purges
    Nearer,          // among the rest: nearer yours
    HigherCritical,  // among the rest: the higher FPS_Critical
    Warned,          // as good, but the settings check warns about yours
    OutsideGrid,     // as good, but yours is not among the pairs judged
    GainsNothing,    // a frame record's purges lift nothing: fewer of them
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

// A capture is one evening's noise: the next evening's game runs a little slower or dips a little
// less deep, which moves its frame rates as moving both thresholds the other way would. A pair's
// room is how far both move, in steps of roomStep up to roomSteps (times 1 + k steps, 1 - k
// steps), with it still within the budget (moved up) and missing no more slumps (moved down).
// A pair with roomNeeded steps holds: yours is kept with that much.
inline constexpr double roomStep = 0.05;
inline constexpr int roomSteps = 6;
inline constexpr int roomNeeded = 3;
// Waits for a slump's first purge this close to the best pair's are as good.
inline constexpr std::int64_t waitToleranceMs = 1000;

struct Room {
    int steps = 0;
    // Where it stops short of roomSteps: what the pair moved one step further does.
    bool overBudget = false; // moved up, it wastes more than the budget
    std::uint64_t outside = 0;
    bool misses = false; // moved down, it misses this many slumps
    std::int64_t missed = 0;
    bool gridEdge = false; // the moved pair lies outside the grid
    double percent() const { return steps * roomStep * 100; }
};
Room roomOf(const TuneResult& r, const CellResult& c);

// c with both thresholds moved by steps of roomStep (up or down), none outside the grid.
std::optional<std::size_t> movedBy(const std::vector<CellResult>& cells, const CellResult& c,
                                   int steps);

// One key of the rule: its figure for a pair (smaller first), whether falling behind on it moves
// yours, how far behind still counts as level, and what it says in the rule.
struct RuleKeyRow {
    RuleKey key;
    const char* name;
    bool decides;
    std::int64_t tolerance;
    const char* rule;
};
extern const std::vector<RuleKeyRow> ruleKeys;

// A pair's figures on each key of ruleKeys, in order.
struct Standing {
    std::vector<std::int64_t> figures;
    auto operator<=>(const Standing&) const = default;
    std::int64_t of(RuleKey key) const;
};
Standing standingOf(const TuneResult& r, const CellResult& c);
// The first deciding key on which yours stands behind best beyond its tolerance; None: level.
RuleKey decidingKey(const Standing& yours, const Standing& best);

std::int64_t missedOf(const CellResult& c, std::size_t slumps);
std::uint64_t overBudgetOf(const CellResult& c, double ordinaryMs);

// The rule the recommendation follows: one short sentence, and the whole of it.
std::string recommendationRule();
std::string recommendationRuleInFull();

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
