// The rule as one table: the ranking, the why and the rule in --help all follow it; the room's
// steps pinned from both sides.
#include "sim/report/verdict.h"
#include "sim/tune/decision.h"
#include "sim/tune/rule.h"
#include "sim/tune/tune.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// FPS_Moderate 20 to 100, every FPS_Critical from 10 below it; each pair as figures says.
template <typename Figures>
sim::TuneResult gridOf(std::size_t slumps, double ordinaryMs, Figures figures)
{
    sim::TuneResult r;
    r.slumps = slumps;
    r.ordinaryMs = ordinaryMs;
    r.durationMs = 600000;
    r.normalFrom = 1000; // the game Normal in ordinary play whatever FPS_Moderate
    for (std::int32_t m = 20; m <= 100; ++m) {
        for (std::int32_t c = 10; c < m; ++c) {
            sim::CellResult& cell = r.cells.emplace_back();
            cell.moderate = m;
            cell.critical = c;
            figures(cell);
        }
    }
    return r;
}

const sim::CellResult& at(const sim::TuneResult& r, std::int32_t moderate, std::int32_t critical)
{
    return r.cells[*sim::cellIndexOf(r.cells, moderate, critical)];
}

// Two slumps: FPS_Critical 30 to 34 catch one of them half a second in, the rest both 4 s in;
// yours, 45/29, catches both with room all the way down.
sim::TuneResult quickOrComplete()
{
    sim::TuneResult r = gridOf(2, 0, [](sim::CellResult& c) {
        const bool quick = c.critical >= 30 && c.critical <= 34;
        c.slumps.caught = quick ? 1 : 2;
        c.slumps.delaySumMs = quick ? 500.0 : 8000.0;
    });
    r.current = at(r, 45, 29);
    return r;
}

std::string whyOf(const sim::TuneResult& ranked)
{
    sim::TuneReport report;
    report.moderate = sim::defaultModerate;
    report.critical = sim::defaultCritical;
    report.result = ranked;
    return sim::judge(report, std::nullopt).why;
}

// The shipped table with the wait moved before the slumps caught.
sim::RuleTable waitFirst()
{
    sim::RuleTable table = sim::ruleKeys;
    const auto key = [&](sim::RuleKey k) {
        return std::find_if(table.begin(), table.end(),
                            [k](const sim::RuleKeyRow& row) { return row.key == k; });
    };
    const sim::RuleKeyRow wait = *key(sim::RuleKey::Wait);
    table.erase(key(sim::RuleKey::Wait));
    table.insert(key(sim::RuleKey::Missed), wait);
    return table;
}

TEST(Rule, aKeyMovedInTheTableMovesTheRankingTheWhyAndTheRuleTogether)
{
    // As shipped: the most slumps caught first, so yours (both caught, as soon as any pair that
    // catches both) is kept.
    sim::TuneResult shipped = quickOrComplete();
    sim::recommend(shipped);
    ASSERT_TRUE(shipped.recommended);
    EXPECT_EQ(shipped.decidedBy, sim::RuleKey::None);
    EXPECT_TRUE(sim::samePair(shipped.cells[*shipped.recommended], shipped.current));
    EXPECT_EQ(whyOf(shipped).rfind("yours purges only in slumps", 0), 0u) << whyOf(shipped);

    // The wait first: the quick pair nearest yours wins, and the wait is what the why says.
    const sim::RuleTable moved = waitFirst();
    sim::TuneResult quick = quickOrComplete();
    sim::recommend(quick, moved);
    ASSERT_TRUE(quick.recommended);
    EXPECT_EQ(quick.decidedBy, sim::RuleKey::Wait);
    EXPECT_EQ(quick.cells[*quick.recommended].critical, 30);
    EXPECT_EQ(quick.cells[*quick.recommended].moderate, 45);
    // The decision carries the key and its figures from that same walk, for the report to word.
    const sim::Decision decided = sim::decide(quick, {}, {}, false);
    EXPECT_EQ(decided.answer, sim::Answer::Change);
    EXPECT_EQ(decided.decidedBy, sim::RuleKey::Wait);
    EXPECT_EQ(decided.yoursOnKey, 4000);
    EXPECT_EQ(decided.bestOnKey, 500);
    EXPECT_NE(whyOf(quick).find("yours waits 4.0 s on average for a slump's first purge, "
                                "FPS_Moderate 45, FPS_Critical 30 0.5 s"),
              std::string::npos)
        << whyOf(quick);

    // The rule in --help reads the keys in the table's order.
    const auto order = [](const std::string& rule) {
        return rule.find("the most slumps caught") < rule.find("the shortest wait");
    };
    EXPECT_TRUE(order(sim::recommendationRuleInFull()));
    EXPECT_FALSE(order(sim::recommendationRuleInFull(moved)));

    // The why is the row's own sentence.
    sim::RuleTable reworded = moved;
    for (sim::RuleKeyRow& row : reworded) {
        if (row.key == sim::RuleKey::Wait) {
            row.why = "yours waits {yoursWait:.1f} s where {best} waits {bestWait:.1f} s";
        }
    }
    sim::TuneResult again = quickOrComplete();
    sim::recommend(again, reworded);
    EXPECT_NE(whyOf(again).find("yours waits 4.0 s where FPS_Moderate 45, FPS_Critical 30 waits "
                                "0.5 s"),
              std::string::npos)
        << whyOf(again);
}

// Every key that can decide has a row, a why, and a name of its own.
TEST(Rule, everyKeyThatDecidesIsARowWithAWhy)
{
    for (const sim::RuleKey key : {sim::RuleKey::ModerateAtUsual, sim::RuleKey::OverBudget,
                                   sim::RuleKey::Missed, sim::RuleKey::Room, sim::RuleKey::Wait,
                                   sim::RuleKey::Warned, sim::RuleKey::OutsideGrid}) {
        const sim::RuleKeyRow* row = sim::rowOf(key);
        ASSERT_NE(row, nullptr) << static_cast<int>(key);
        EXPECT_NE(row->role, sim::KeyRole::Orders) << row->name;
        EXPECT_NE(row->why, nullptr) << row->name;
    }
    for (const sim::RuleKeyRow& row : sim::ruleKeys) {
        EXPECT_EQ(row.role == sim::KeyRole::Orders, row.why == nullptr) << row.name;
        EXPECT_EQ(std::count_if(sim::ruleKeys.begin(), sim::ruleKeys.end(),
                                [&](const sim::RuleKeyRow& other) {
                                    return std::string_view(other.name) == row.name;
                                }),
                  1)
            << row.name;
    }
}

// A row's why is a template filled in when its key decides: one that names a figure the wording
// does not give would stop the tool on that evening alone.
TEST(Rule, everyWhyFillsInFromTheDecisionsFigures)
{
    const sim::TuneResult r = quickOrComplete();
    sim::TuneReport report;
    report.moderate = sim::defaultModerate;
    report.critical = sim::defaultCritical;
    report.result = r;
    sim::Decision d;
    d.yours = at(r, 45, 29);
    d.best = at(r, 45, 32);
    d.slumps = 2;
    d.captures = 1;
    for (const sim::RuleKeyRow& row : sim::ruleKeys) {
        if (row.why == nullptr) {
            continue;
        }
        d.decidedBy = row.key;
        d.decidedRow = &row;
        std::string why;
        EXPECT_NO_THROW(why = sim::yoursDoes(d, report, "it warns")) << row.name;
        EXPECT_FALSE(why.empty()) << row.name;
        EXPECT_EQ(why.find_first_of("{}"), std::string::npos) << row.name << ": " << why;
    }
}

// FPS_Critical 30 moved up 5% a step reads 32, 33, 35, 36 (ceilings of 31.5, 33, 34.5, 36);
// moved down 28, 27, 25, 24 (floors of 28.5, 27, 25.5, 24).
struct RoomCase {
    const char* name;
    std::int32_t wastesTwoFrom; // FPS_Critical from which a pair wastes over the budget of one
    std::int32_t missesUpTo;    // FPS_Critical up to which a pair misses the slump
    int steps;
    bool overBudget;
    bool misses;
};

TEST(Rule, theRoomsStepsArePinnedFromBothSides)
{
    const RoomCase cases[] = {
        // Wasting one, on the budget, holds: the move to 32 and 33 is still within it.
        {"on the budget up to the third step", 35, 0, 2, true, false},
        {"one purge over only past the third", 36, 0, 3, true, false},
        {"a miss at the third step down", 1000, 25, 2, false, true},
        {"a miss only past the third down", 1000, 24, 3, false, true},
    };
    for (const RoomCase& c : cases) {
        sim::TuneResult r = gridOf(1, 60000, [&c](sim::CellResult& cell) {
            cell.slumps.caught = cell.critical <= c.missesUpTo ? 0 : 1;
            cell.slumps.delaySumMs = cell.slumps.caught > 0 ? 1000.0 : 0.0;
            cell.slumps.outside = cell.critical >= c.wastesTwoFrom ? 2
                                  : cell.critical >= 32            ? 1
                                                                   : 0;
        });
        r.current = at(r, 60, 30);
        const sim::Room room = sim::roomOf(r, r.current);
        EXPECT_EQ(room.steps, c.steps) << c.name;
        EXPECT_EQ(room.overBudget, c.overBudget) << c.name;
        EXPECT_EQ(room.misses, c.misses) << c.name;
        EXPECT_FALSE(room.gridEdge) << c.name;
        // roomNeeded steps keep yours; one fewer does not, and the room decided.
        sim::recommend(r);
        ASSERT_TRUE(r.recommended) << c.name;
        const bool kept = c.steps >= sim::roomNeeded;
        EXPECT_EQ(r.decidedBy, kept ? sim::RuleKey::None : sim::RuleKey::Room) << c.name;
        EXPECT_EQ(sim::samePair(r.cells[*r.recommended], r.current), kept) << c.name;
    }
    EXPECT_EQ(sim::roomNeeded, 3) << "the cases above pin three steps";
    EXPECT_DOUBLE_EQ(sim::roomStep, 0.05) << "the cases above pin steps of 5%";
}

} // namespace
