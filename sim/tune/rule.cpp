#include "sim/tune/rule.h"

#include "sim/check/settings_check.h"
#include "sim/tune/tune.h"

#include <cmath>
#include <cstdlib>

#include <fmt/format.h>

namespace sim {

// In order. Level with the first pair on every key down to the wait, yours is still changed where
// the settings check warns about it or the grid does not hold it; the keys from "then" on only
// order the rest. A why's named arguments are those the report gives (yoursDoes in
// sim/report/verdict.cpp).
const RuleTable ruleKeys = {
    {RuleKey::ModerateAtUsual, "moderateAtUsual", KeyRole::Decides, 0,
     [](const Judged& p) -> std::int64_t { return moderateFitsPlay(p.r, p.c) ? 0 : 1; }, false,
     "the game Normal at least {normal:g}% of ordinary play's time with FPS_Moderate {room:g}% "
     "higher, as a slower evening would meet it",
     "yours leaves ordinary play too little room: with FPS_Moderate {yoursModerate}, "
     "{moderateRoom:g}% higher as a slower evening would meet it, the game is Normal only "
     "{yoursNormal:.0f}% of ordinary play, and Moderate there two long frames in a row "
     "purge{yoursWastedAside}"},
    {RuleKey::OverBudget, "overBudget", KeyRole::Decides, 0,
     [](const Judged& p) { return static_cast<std::int64_t>(overBudgetOf(p.c, p.r.ordinaryMs)); },
     false,
     "no more than {budget:g} wasted purge for each minute of ordinary play begun (a purge outside "
     "any slump and outside what is set aside)",
     "yours wastes {yoursWasted} outside any slump, over {budgetText}"},
    {RuleKey::Missed, "missed", KeyRole::Decides, 0,
     [](const Judged& p) { return missedOf(p.c, p.r.slumps); }, false, "the most slumps caught",
     "yours misses {yoursMisses}"},
    {RuleKey::Room, "room", KeyRole::Decides, 0,
     [](const Judged& p) -> std::int64_t {
         return roomNeeded - std::min(p.room.steps, roomNeeded);
     },
     true,
     "room: both thresholds moved together by {needed:g}% either way (times 1 + and 1 - the "
     "share), it stays within the budget moved up and misses no more slumps moved down",
     "yours sits near the edge of {captures}: {yoursEdge}; {best} holds {bestRoom:g}% either way"},
    {RuleKey::Wait, "wait", KeyRole::Decides, waitToleranceMs,
     [](const Judged& p) {
         return static_cast<std::int64_t>(std::llround(p.c.slumps.meanDelayMs()));
     },
     false,
     "the shortest wait from a slump's start to its first purge (within a second counts as level)",
     "yours waits {yoursWait:.1f} s on average for a slump's first purge, {best} {bestWait:.1f} s"},
    {RuleKey::Warned, "settingsCheckWarns", KeyRole::Excludes, 0,
     [](const Judged& p) -> std::int64_t {
         return thresholdsDrawAWarning(p.c.moderate, p.c.critical) ? 1 : 0;
     },
     false, "never a pair the settings check warns about",
     "yours would do as well on these frames, but the settings check warns about it, and that "
     "decided: {yoursWarning}"},
    {RuleKey::OutsideGrid, "outsideTheGrid", KeyRole::Decides, 0,
     [](const Judged& p) -> std::int64_t { return p.inGrid ? 0 : 1; }, false, nullptr,
     "yours would do as well on these frames, but lies outside the pairs judged ({grid}); {best} "
     "is the nearest among them"},
    {RuleKey::MoreRoom, "moreRoom", KeyRole::Orders, 0,
     [](const Judged& p) -> std::int64_t { return roomSteps - p.room.steps; }, false,
     "then the most room, in steps of {step:g}% up to {most:g}%", nullptr},
    {RuleKey::Wasted, "wasted", KeyRole::Orders, 0,
     [](const Judged& p) { return static_cast<std::int64_t>(p.c.slumps.outside); }, false,
     "then the fewest wasted purges", nullptr},
    {RuleKey::Nearer, "nearer", KeyRole::Orders, 0,
     [](const Judged& p) -> std::int64_t {
         return std::abs(p.c.moderate - p.r.current.moderate) +
                std::abs(p.c.critical - p.r.current.critical);
     },
     false, "then the pair nearest yours, one step per frame per second on either threshold",
     nullptr},
    {RuleKey::HigherCritical, "higherCritical", KeyRole::Orders, 0,
     [](const Judged& p) -> std::int64_t { return -p.c.critical; }, false,
     "ties to the higher FPS_Critical", nullptr},
};

namespace {

std::string ruleText(const RuleKeyRow& row)
{
    return fmt::format(fmt::runtime(row.rule), fmt::arg("normal", normalInPlay * 100),
                       fmt::arg("room", moderateRoom * 100), fmt::arg("budget", wastedPerMinute),
                       fmt::arg("needed", roomStep * roomNeeded * 100),
                       fmt::arg("step", roomStep * 100),
                       fmt::arg("most", roomStep * roomSteps * 100));
}

bool excluded(const Standing& s, const RuleTable& table)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].role == KeyRole::Excludes && s.figures[i] != 0) {
            return true;
        }
    }
    return false;
}

} // namespace

std::string recommendationRule()
{
    return fmt::format("catch the most slumps, soonest, with no more than {:g} wasted purge a "
                       "minute of ordinary play and the game Normal there",
                       wastedPerMinute);
}

std::string recommendationRuleInFull(const RuleTable& table)
{
    // The keys that order the pairs, then what no pair may be.
    std::string text;
    for (const KeyRole role : {KeyRole::Decides, KeyRole::Excludes}) {
        for (const RuleKeyRow& row : table) {
            const bool excludes = row.role == KeyRole::Excludes;
            if (row.rule != nullptr && excludes == (role == KeyRole::Excludes)) {
                text += (text.empty() ? "" : "; ") + ruleText(row);
            }
        }
    }
    return text + ". Yours is kept while it stands level with the first pair on every key before "
                  "\"then\"";
}

const RuleKeyRow* rowOf(RuleKey key, const RuleTable& table)
{
    for (const RuleKeyRow& row : table) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

const char* ruleKeyName(RuleKey key, const RuleTable& table)
{
    if (const RuleKeyRow* row = rowOf(key, table)) {
        return row->name;
    }
    return key == RuleKey::GainsNothing ? "purgesGainNothing" : "none";
}

std::int64_t Standing::of(RuleKey key, const RuleTable& table) const
{
    for (std::size_t i = 0; i < table.size() && i < figures.size(); ++i) {
        if (table[i].key == key) {
            return figures[i];
        }
    }
    return 0;
}

Standing standingOf(const TuneResult& r, const CellResult& c, const RuleTable& table)
{
    Standing standing;
    standing.room = roomOf(r, c);
    standing.inGrid = cellIndexOf(r.cells, c.moderate, c.critical).has_value();
    const Judged judged{r, c, standing.room, standing.inGrid};
    for (const RuleKeyRow& row : table) {
        standing.figures.push_back(row.figure(judged));
    }
    return standing;
}

std::optional<std::size_t> decidingRow(const Standing& yours, const Standing& best,
                                       const RuleTable& table)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (table[i].role != KeyRole::Orders &&
            yours.figures[i] > best.figures[i] + table[i].tolerance) {
            return i;
        }
    }
    return std::nullopt;
}

void recommend(TuneResult& r, const RuleTable& table)
{
    r.best.reset();
    r.recommended.reset();
    r.decidedBy = RuleKey::None;
    r.decidedRow = nullptr;
    r.rankedWith = &table;
    std::optional<Standing> first;
    for (std::size_t i = 0; i < r.cells.size(); ++i) {
        Standing standing = standingOf(r, r.cells[i], table);
        if (!excluded(standing, table) && (!first || standing.figures < first->figures)) {
            r.best = i;
            first = std::move(standing);
        }
    }
    if (!r.best) {
        return;
    }
    r.bestStanding = std::move(*first);
    r.yoursStanding = standingOf(r, r.current, table);
    if (const std::optional<std::size_t> row =
            decidingRow(r.yoursStanding, r.bestStanding, table)) {
        r.decidedRow = &table[*row];
        // Outside the grid, yours has no neighbours the grid can show: that it lies outside
        // decided.
        if (r.decidedRow->aroundThePair && !r.yoursStanding.inGrid) {
            if (const RuleKeyRow* outside = rowOf(RuleKey::OutsideGrid, table)) {
                r.decidedRow = outside;
            }
        }
        r.decidedBy = r.decidedRow->key;
        r.recommended = r.best;
    } else {
        // Level on every key that decides or excludes, yours is in the grid and warned of nothing.
        r.recommended = cellIndexOf(r.cells, r.current.moderate, r.current.critical);
    }
}

} // namespace sim
