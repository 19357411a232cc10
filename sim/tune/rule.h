// The rule the recommendation follows, as one table: each key's figure for a pair (smaller first),
// how far behind still counts as level, what falling behind on it does to yours, and what it says
// in the rule and in the why. The ranking, the why and the --help text all come from it.
#pragma once

#include "sim/tune/cell.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct TuneResult;

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
    // Where it stops short of roomSteps, what the pair moved one step further does.
    bool overBudget = false;          // moved up, it wastes more than the budget
    std::uint64_t wastedMovedUp = 0;  // moved up, its wasted purges (0: no such pair)
    bool misses = false;              // moved down, it misses more slumps
    std::int64_t missedMovedDown = 0; // moved down, the slumps it misses (0: no such pair)
    bool gridEdge = false;            // a moved pair lies outside the grid
    double percent() const { return steps * roomStep * 100; }
};

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
    GainsNothing,    // a frame record's purges lift nothing: fewer of them (not a key: an answer)
};

enum class KeyRole {
    Decides,  // yours behind the first pair on it is changed
    Excludes, // a pair with it is never recommended; yours with it is changed where level before it
    Orders,   // orders the pairs level on every key before it; yours is kept whatever it says
};

// A pair as the keys see it: its room and whether the grid holds it, worked out once.
struct Judged {
    const TuneResult& r;
    const CellResult& c;
    const Room& room;
    bool inGrid;
};

struct RuleKeyRow {
    RuleKey key;
    const char* name; // the key that decided, as JSON names it
    KeyRole role;
    std::int64_t tolerance; // behind by this much still counts as level
    std::int64_t (*figure)(const Judged&);
    // Measured on the pairs around it: a pair outside the grid falls behind on it because it lies
    // outside, and that is what decided.
    bool aroundThePair;
    const char* rule; // its part of the rule ({normal}, {room}, {budget}, ...); nullptr: none
    // What yours does where this key decided, worded by the report from the decision's figures
    // (named arguments); nullptr: it never decides.
    const char* why;
};
using RuleTable = std::vector<RuleKeyRow>;
extern const RuleTable ruleKeys;

// A pair's figures on each key of a table, in order, with what they came from.
struct Standing {
    std::vector<std::int64_t> figures;
    Room room;
    bool inGrid = false;
    std::int64_t of(RuleKey key, const RuleTable& table = ruleKeys) const;
};
Standing standingOf(const TuneResult& r, const CellResult& c, const RuleTable& table = ruleKeys);

// The first row of table on which yours stands behind best beyond its tolerance, on the rows that
// decide or exclude; none: level.
std::optional<std::size_t> decidingRow(const Standing& yours, const Standing& best,
                                       const RuleTable& table = ruleKeys);

// r's best, recommended, decidedBy and the standings behind them, from one walk of table over the
// pairs: the first pair no key excludes, and yours where it stands level with it.
void recommend(TuneResult& r, const RuleTable& table = ruleKeys);

// The rule the recommendation follows: one short sentence, and the whole of it (the keys in
// order, then what no pair may be).
std::string recommendationRule();
std::string recommendationRuleInFull(const RuleTable& table = ruleKeys);

// The key that decided, as JSON names it.
const char* ruleKeyName(RuleKey key, const RuleTable& table = ruleKeys);
const RuleKeyRow* rowOf(RuleKey key, const RuleTable& table = ruleKeys);

} // namespace sim
