// What the tuner recommends over captures of known shape, and the rule's keys one by one.
#include "shape_support.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"
#include "sim/tune/tune.h"

#include <gtest/gtest.h>

#include <random>

namespace {

using testing_support::framesOf;
using testing_support::jittered;
using testing_support::noisySlumps;
using testing_support::pair;
using testing_support::Shape;
using testing_support::steadyButUneven;

// A grid of hand-set figures: FPS_Moderate 20 to 100, every FPS_Critical from 10 below it, each
// pair catching every slump a second after its start and wasting nothing until a case says so.
sim::TuneResult handGrid(std::size_t slumps, double ordinaryMs,
                         void (*figures)(sim::CellResult&, std::size_t slumps))
{
    sim::TuneResult r;
    r.slumps = slumps;
    r.ordinaryMs = ordinaryMs;
    r.durationMs = 600000;
    r.normalFrom = 1000; // the game Normal in ordinary play whatever FPS_Moderate, unless set
    for (std::int32_t m = 20; m <= 100; ++m) {
        for (std::int32_t c = 10; c < m; ++c) {
            sim::CellResult& cell = r.cells.emplace_back();
            cell.moderate = m;
            cell.critical = c;
            cell.slumps.caught = slumps;
            cell.slumps.delaySumMs = 1000.0 * static_cast<double>(slumps);
            if (figures != nullptr) {
                figures(cell, slumps);
            }
        }
    }
    return r;
}

// Yours, as tune replays it: the grid's figures where it lies in the grid, the same rule's beyond.
sim::CellResult yoursIn(const sim::TuneResult& r, std::int32_t moderate, std::int32_t critical,
                        void (*figures)(sim::CellResult&, std::size_t slumps))
{
    for (const sim::CellResult& c : r.cells) {
        if (c.moderate == moderate && c.critical == critical) {
            return c;
        }
    }
    sim::CellResult outside;
    outside.moderate = moderate;
    outside.critical = critical;
    outside.slumps.caught = r.slumps;
    outside.slumps.delaySumMs = 1000.0 * static_cast<double>(r.slumps);
    if (figures != nullptr) {
        figures(outside, r.slumps);
    }
    return outside;
}

struct Expected {
    std::int32_t moderate;
    std::int32_t critical;
};

struct RankCase {
    const char* name;
    std::size_t slumps;
    double ordinaryMs;
    void (*figures)(sim::CellResult&, std::size_t);
    Expected yours;
    Expected recommended;
    sim::RuleKey decidedBy;
    bool normalOnlyUpTo50 = false; // the game Normal in ordinary play only with FPS_Moderate <= 50
};

// Each case's winner is known by construction: the comment says why it and no other.
TEST(Recommendation, picksThePairTheRuleSaysOnHandSetFigures)
{
    const RankCase cases[] = {
        // Level everywhere, and yours has the most room there is: kept.
        {"every pair alike", 1, 0, nullptr, {45, 35}, {45, 35}, sim::RuleKey::None},
        // The one pair that catches the slump, whatever its room.
        {"one pair catches",
         1,
         0,
         [](sim::CellResult& c, std::size_t) {
             c.slumps.caught = c.moderate == 50 && c.critical == 40 ? 1 : 0;
             c.slumps.delaySumMs = c.slumps.caught > 0 ? 1000.0 : 0.0;
         },
         {45, 35},
         {50, 40},
         sim::RuleKey::Missed},
        // Catching costs two wasted purges against a budget of one: no pair within it catches,
        // so the nearest whose 30% more (FPS_Critical 30 to 39) still wastes nothing.
        {"the budget before catching",
         1,
         60000,
         [](sim::CellResult& c, std::size_t) {
             const bool eager = c.critical >= 40;
             c.slumps.caught = eager ? 1 : 0;
             c.slumps.outside = eager ? 2 : 0;
             c.slumps.delaySumMs = eager ? 1000.0 : 0.0;
         },
         {60, 50},
         {60, 30},
         sim::RuleKey::OverBudget},
        // FPS_Critical 30 to 34 wait 3 s, the rest 5 s: two seconds behind is behind.
        {"a shorter wait",
         1,
         0,
         [](sim::CellResult& c, std::size_t) {
             c.slumps.delaySumMs = c.critical >= 30 && c.critical <= 34 ? 3000.0 : 5000.0;
         },
         {45, 40},
         {45, 34},
         sim::RuleKey::Wait},
        // 0.8 s behind counts as level: yours is kept.
        {"a wait within a second",
         1,
         0,
         [](sim::CellResult& c, std::size_t) {
             c.slumps.delaySumMs = c.critical >= 30 && c.critical <= 34 ? 4200.0 : 5000.0;
         },
         {45, 40},
         {45, 40},
         sim::RuleKey::None},
        // FPS_Critical not below FPS_Moderate draws the warning; 41/40 and 40/39 are as near,
        // and the higher FPS_Critical breaks the tie.
        {"yours warned of", 1, 0, nullptr, {40, 40}, {41, 40}, sim::RuleKey::Warned},
        // Yours lies past the grid: the pair nearest it with all 30% of room, FPS_Moderate 76
        // (times 1.3 is 98.8, up to 99; 77 would reach 101).
        {"yours outside the grid", 1, 0, nullptr, {150, 140}, {76, 75}, sim::RuleKey::OutsideGrid},
        // FPS_Moderate 45 times 1.1 is 49.5, up to 50: the highest the game stays Normal with.
        {"FPS_Moderate where the game runs",
         1,
         60000,
         nullptr,
         {60, 40},
         {45, 40},
         sim::RuleKey::ModerateAtUsual,
         true},
    };
    for (const RankCase& c : cases) {
        sim::TuneResult r = handGrid(c.slumps, c.ordinaryMs, c.figures);
        if (c.normalOnlyUpTo50) {
            r.normalFrom = 20;
            for (std::int32_t m = 20; m <= sim::moderateWithRoom(100); ++m) {
                r.normalMs.push_back(m <= 50 ? c.ordinaryMs : 0.0);
            }
        }
        r.current = yoursIn(r, c.yours.moderate, c.yours.critical, c.figures);
        sim::recommend(r);
        ASSERT_TRUE(r.recommended) << c.name;
        const sim::CellResult& chosen = r.cells[*r.recommended];
        EXPECT_EQ(chosen.moderate, c.recommended.moderate) << c.name;
        EXPECT_EQ(chosen.critical, c.recommended.critical) << c.name;
        EXPECT_EQ(r.decidedBy, c.decidedBy) << c.name << ": " << sim::ruleKeyName(r.decidedBy);
        // Adopted, it is kept.
        r.current = chosen;
        sim::recommend(r);
        ASSERT_TRUE(r.recommended) << c.name;
        EXPECT_EQ(r.decidedBy, sim::RuleKey::None)
            << c.name << ": " << sim::ruleKeyName(r.decidedBy);
        EXPECT_TRUE(sim::samePair(r.cells[*r.recommended], chosen)) << c.name;
    }
}

// On real-looking captures: the recommendation, adopted, is recommended again.
TEST(Recommendation, isRecommendedAgainOnceAdopted)
{
    const std::pair<const char*, Shape> shapes[] = {
        {"noisy slumps", noisySlumps()},
        {"steady with noise", steadyButUneven()},
        {"clean slumps",
         Shape{}.steady(20, 16.7).steady(6, 30).steady(20, 16.7).hitch(150).steady(20, 16.7)},
    };
    for (const auto& [name, shape] : shapes) {
        const sim::TuneFrames frames = framesOf(shape);
        for (const GovernorSettings& yours : {GovernorSettings{}, pair(59, 58)}) {
            const sim::TuneResult r =
                sim::tune(frames, yours, sim::defaultModerate, sim::defaultCritical);
            ASSERT_TRUE(r.recommended) << name;
            const sim::CellResult& best = r.cells[*r.recommended];
            const sim::TuneResult again = sim::tune(frames, pair(best.moderate, best.critical),
                                                    sim::defaultModerate, sim::defaultCritical);
            ASSERT_TRUE(again.recommended) << name;
            EXPECT_EQ(again.decidedBy, sim::RuleKey::None) << name;
            EXPECT_TRUE(sim::samePair(again.cells[*again.recommended], best)) << name;
        }
    }
}

// The two captures that made the brief-dip rule recommend a pair Critical at the usual rate.
TEST(Slumps, neitherCaptureThatFooledTheOldRuleDoesSoNow)
{
    const sim::TuneFrames noisy = framesOf(noisySlumps());
    for (const GovernorSettings& yours : {GovernorSettings{}, pair(59, 58)}) {
        const sim::TuneResult r =
            sim::tune(noisy, yours, sim::defaultModerate, sim::defaultCritical);
        ASSERT_TRUE(r.recommended);
        const sim::CellResult& best = r.cells[*r.recommended];
        EXPECT_EQ(sim::overBudgetOf(best, r.ordinaryMs), 0u);
        EXPECT_EQ(best.slumps.caught, 6u);
        // Never Critical at the usual rate: Critical only some of the slumps' time.
        double slumpMs = 0;
        for (const sim::Slump& s : r.captures[0].slumps.slumps) {
            slumpMs += s.endMs - s.startMs;
        }
        EXPECT_LT(best.timeInStateMs[2], slumpMs) << best.moderate << "/" << best.critical;
    }
    const sim::TuneResult steady = sim::tune(framesOf(steadyButUneven()), GovernorSettings{},
                                             sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(steady.recommended);
    EXPECT_TRUE(steady.captures[0].slumps.slumps.empty());
    EXPECT_GT(steady.current.purges, 10u) << "the defaults purge on noise";
    EXPECT_GT(sim::overBudgetOf(steady.current, steady.ordinaryMs), 0u);
    EXPECT_EQ(sim::overBudgetOf(steady.cells[*steady.recommended], steady.ordinaryMs), 0u);
    sim::TuneReport report;
    report.moderate = sim::defaultModerate;
    report.critical = sim::defaultCritical;
    report.result = steady;
    EXPECT_NE(sim::judge(report, std::nullopt).why.find("nothing here needs a purge"),
              std::string::npos);
}

// A pair at the very edge of one evening's noise would purge on the next: the recommendation keeps
// its distance from it on either side.
TEST(Slumps, theRecommendationKeepsItsDistanceFromTheCapturesNoise)
{
    // 30 fps locked with a dropped frame every 20 s, and the defaults purging on them: nothing
    // needs a purge, and the pair chosen instead does not sit next to one that would.
    Shape locked;
    for (int i = 0; i < 15; ++i) {
        locked.add(20, [](std::mt19937& r) { return jittered(r, 33.3, 0.02); }).hitch(50).hitch(50);
    }
    const sim::TuneResult quiet =
        sim::tune(framesOf(locked), GovernorSettings{}, sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(quiet.recommended);
    ASSERT_GT(quiet.current.slumps.outside, 0u);
    const sim::CellResult& calm = quiet.cells[*quiet.recommended];
    EXPECT_EQ(sim::overBudgetOf(calm, quiet.ordinaryMs), 0u);
    EXPECT_GE(sim::roomOf(quiet, calm).steps, sim::roomNeeded) << calm.critical;
    // 144 fps with three dips to about 90: every dip caught, even with both thresholds lower.
    Shape fast;
    const auto usual = [](std::mt19937& r) { return jittered(r, 1000.0 / 144, 0.05); };
    const auto dip = [](std::mt19937& r) { return jittered(r, 1000.0 / 90, 0.05); };
    for (int i = 0; i < 3; ++i) {
        fast.add(40, usual).add(15, dip);
    }
    fast.add(40, usual);
    const sim::TuneResult dips =
        sim::tune(framesOf(fast), GovernorSettings{}, sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(dips.recommended);
    ASSERT_EQ(dips.slumps, 3u);
    const sim::CellResult& best = dips.cells[*dips.recommended];
    const sim::Room room = sim::roomOf(dips, best);
    ASSERT_GE(room.steps, 2) << best.moderate << "/" << best.critical;
    const auto wary = sim::movedBy(dips.cells, best, -room.steps);
    ASSERT_TRUE(wary);
    EXPECT_EQ(sim::overBudgetOf(best, dips.ordinaryMs), 0u);
    EXPECT_EQ(dips.cells[*wary].slumps.caught, 3u) << best.critical << " catches only narrowly";
}

// A pair's room ends at the first step where, moved up, it wastes more than the budget or, moved
// down, misses more slumps than it does itself; both moves are the shares the text says.
TEST(Slumps, aPairsRoomEndsWhereAMovedPairFaresWorse)
{
    sim::TuneResult r;
    r.slumps = 1;
    r.ordinaryMs = 0; // no ordinary play: no wasted purge allowed
    for (std::int32_t m = 20; m <= 40; ++m) {
        for (std::int32_t c = 10; c < m; ++c) {
            sim::CellResult& cell = r.cells.emplace_back();
            cell.moderate = m;
            cell.critical = c;
            cell.slumps.outside = c >= 33 ? 1u : 0u; // eager enough to purge on a hitch
            cell.slumps.caught = c <= 18 ? 0u : 1u;  // too wary to catch the one slump
        }
    }
    const auto at = [&r](std::int32_t m, std::int32_t c) {
        for (const sim::CellResult& cell : r.cells) {
            if (cell.moderate == m && cell.critical == c) {
                return cell;
            }
        }
        return sim::CellResult{};
    };
    // 26 times 1.25 is 32.5, up to 33: four steps of room, the fifth wastes one.
    const sim::Room up = sim::roomOf(r, at(30, 26));
    EXPECT_EQ(up.steps, 4);
    EXPECT_TRUE(up.overBudget);
    EXPECT_EQ(up.wastedMovedUp, 1u);
    EXPECT_FALSE(up.misses);
    // 22 times 0.85 is 18.7, down to 18: two steps of room, the third misses the slump.
    const sim::Room down = sim::roomOf(r, at(30, 22));
    EXPECT_EQ(down.steps, 2);
    EXPECT_TRUE(down.misses);
    EXPECT_EQ(down.missedMovedDown, 1);
    EXPECT_FALSE(down.overBudget);
    // Room is never claimed past the grid: 39 up by 5% is 41.
    EXPECT_FALSE(sim::movedBy(r.cells, at(39, 20), 1));
    EXPECT_TRUE(sim::roomOf(r, at(39, 20)).gridEdge);
}

// The budget is a whole purge for each minute of ordinary play begun.
TEST(Slumps, theBudgetCountsWholePurgesOfOrdinaryPlay)
{
    const std::pair<double, std::uint64_t> rows[] = {
        {0, 0}, {1, 1}, {60000, 1}, {60001, 2}, {300000, 5}};
    for (const auto& [ms, allowed] : rows) {
        EXPECT_EQ(sim::wastedAllowed(ms), allowed) << ms;
    }
}

} // namespace
