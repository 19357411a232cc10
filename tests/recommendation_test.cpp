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

// The rule's promises, whatever the capture.
void expectTheRuleHolds(const sim::TuneFrames& frames, const GovernorSettings& yours,
                        const std::string& name)
{
    const sim::TuneResult r = sim::tune(frames, yours, sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(r.recommended) << name;
    const sim::CellResult& best = r.cells[*r.recommended];
    // Within the budget, it catches as many slumps as any pair within the budget with the game
    // Normal in ordinary play.
    std::uint64_t mostCaught = 0;
    for (const sim::CellResult& c : r.cells) {
        if (sim::overBudgetOf(c, r.ordinaryMs) == 0 && sim::moderateFitsPlay(r, c) &&
            !sim::thresholdsDrawAWarning(c.moderate, c.critical)) {
            mostCaught = std::max(mostCaught, c.slumps.caught);
        }
    }
    EXPECT_EQ(sim::overBudgetOf(best, r.ordinaryMs), 0u) << name;
    EXPECT_EQ(best.slumps.caught, mostCaught) << name;
    // No pair allowed stands before it; of those level with it but for FPS_Critical, it has the
    // highest.
    ASSERT_TRUE(r.best) << name;
    const sim::Standing standing = sim::standingOf(r, r.cells[*r.best]);
    for (const sim::CellResult& c : r.cells) {
        if (sim::thresholdsDrawAWarning(c.moderate, c.critical)) {
            continue;
        }
        EXPECT_FALSE(sim::standingOf(r, c) < standing)
            << name << ": " << c.moderate << "/" << c.critical;
    }
    // Yours is kept only where it stands level with the first on every deciding key.
    if (!sim::samePair(best, r.cells[*r.best])) {
        EXPECT_EQ(sim::decidingKey(sim::standingOf(r, best), standing), sim::RuleKey::None) << name;
    }
    // Adopted, it is recommended again.
    const sim::TuneResult again = sim::tune(frames, pair(best.moderate, best.critical),
                                            sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(again.recommended) << name;
    EXPECT_EQ(again.cells[*again.recommended].moderate, best.moderate) << name;
    EXPECT_EQ(again.cells[*again.recommended].critical, best.critical) << name;
}

TEST(Slumps, theRecommendationPurgesInSlumpsAndStaysWhenAdopted)
{
    const std::pair<const char*, Shape> shapes[] = {
        {"noisy slumps", noisySlumps()},
        {"steady with noise", steadyButUneven()},
        {"clean slumps",
         Shape{}.steady(20, 16.7).steady(6, 30).steady(20, 16.7).hitch(150).steady(20, 16.7)},
    };
    for (const auto& [name, shape] : shapes) {
        const sim::TuneFrames frames = framesOf(shape);
        expectTheRuleHolds(frames, GovernorSettings{}, name);
        expectTheRuleHolds(frames, pair(59, 58), std::string(name) + " from 59/58");
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
    EXPECT_EQ(up.outside, 1u);
    EXPECT_FALSE(up.misses);
    // 22 times 0.85 is 18.7, down to 18: two steps of room, the third misses the slump.
    const sim::Room down = sim::roomOf(r, at(30, 22));
    EXPECT_EQ(down.steps, 2);
    EXPECT_TRUE(down.misses);
    EXPECT_EQ(down.missed, 1);
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
