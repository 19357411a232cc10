// Slumps found from captures of known shape, and what the tuner recommends over them.
#include "shape_support.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"
#include "sim/tune/tune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <random>

namespace {

using testing_support::framesOf;
using testing_support::jittered;
using testing_support::pair;
using testing_support::Shape;

// About 60 fps, then six stretches of about a minute at 16 to 30 ms: 20,000 frames.
Shape noisySlumps()
{
    Shape shape;
    const auto usual = [](std::mt19937& r) { return jittered(r, 16.7, 0.05); };
    const auto slump = [](std::mt19937& r) {
        return std::uniform_real_distribution<double>(16.0, 30.0)(r);
    };
    for (int i = 0; i < 6; ++i) {
        shape.add(10, usual).add(55, slump);
    }
    while (shape.ms.size() < 20000) {
        shape.ms.push_back(usual(shape.random));
    }
    return shape;
}

// Five minutes at about 50 fps with ordinary frame-pacing noise.
Shape steadyButUneven()
{
    return Shape{}.add(300, [](std::mt19937& r) { return jittered(r, 20.0, 0.25); });
}

// 60 fps with a frame of 200 to 800 ms every 2 to 5 seconds: stutter, not a slump.
Shape stutter()
{
    Shape shape;
    std::uniform_real_distribution<double> every(2, 5);
    std::uniform_real_distribution<double> hitch(200, 800);
    for (int i = 0; i < 40; ++i) {
        shape.steady(every(shape.random), 16.7).hitch(hitch(shape.random));
    }
    return shape;
}

// 60 fps, sinking to 40 over 30 s and wavering by 3 fps on the way, 10 s there, then back.
Shape drift()
{
    Shape shape;
    shape.add(30, [](std::mt19937& r) { return jittered(r, 16.7, 0.05); });
    for (double t = 0; t < 30000;) {
        const double fps = 60 - 20 * t / 30000 + 3 * std::sin(2 * std::numbers::pi * t / 4000);
        shape.ms.push_back(jittered(shape.random, 1000.0 / fps, 0.05));
        t += shape.ms.back();
    }
    return shape.add(10, [](std::mt19937& r) { return jittered(r, 25, 0.05); })
        .add(30, [](std::mt19937& r) { return jittered(r, 16.7, 0.05); });
}

struct SlumpCase {
    const char* name;
    Shape shape;
    // Each expected slump's start and end in seconds, within a second.
    std::vector<std::pair<double, double>> slumps;
};

TEST(Slumps, areFoundFromTheCaptureAlone)
{
    const double startEndLength = 60;
    const SlumpCase cases[] = {
        {"calm", Shape{}.add(120, [](std::mt19937& r) { return jittered(r, 16.7, 0.03); }), {}},
        {"steady with noise", steadyButUneven(), {}},
        {"noisy slumps",
         noisySlumps(),
         {{10, 65}, {75, 130}, {140, 195}, {205, 260}, {270, 325}, {335, 390}}},
        {"clean slumps, single hitches between",
         Shape{}
             .steady(20, 16.7)
             .steady(5, 30)
             .steady(10, 16.7)
             .hitch(150)
             .steady(15, 16.7)
             .steady(5, 30)
             .steady(10, 16.7)
             .hitch(400)
             .steady(10, 16.7),
         {{20, 25}, {50, 55}}},
        {"slumps at the start and the end",
         Shape{}.steady(5, 33.3).steady(50, 16.7).steady(5, 33.3),
         {{0, 5}, {55, startEndLength}}},
        {"shorter than a slump", Shape{}.steady(1.5, 33.3), {}},
        {"a single freeze of a second", Shape{}.steady(20, 16.7).hitch(1000).steady(20, 16.7), {}},
        {"shader stutter", stutter(), {}},
        {"a loading screen, then a slump",
         Shape{}.steady(60, 16.7).steady(20, 2).steady(60, 16.7).steady(8, 33.3).steady(30, 16.7),
         {{140, 148}}},
        {"a pause of 30 s", Shape{}.steady(30, 16.7).hitch(30000).steady(30, 16.7), {}},
        {"a drift from 60 to 40 fps", drift(), {{48, 70}}},
    };
    for (const SlumpCase& c : cases) {
        const sim::TuneFrames frames = framesOf(c.shape);
        const std::vector<sim::Slump>& found = frames.slumps.slumps;
        ASSERT_EQ(found.size(), c.slumps.size()) << c.name;
        for (std::size_t i = 0; i < found.size(); ++i) {
            EXPECT_NEAR(found[i].startMs / 1000.0, c.slumps[i].first, 1.0) << c.name << " " << i;
            EXPECT_NEAR(found[i].endMs / 1000.0, c.slumps[i].second, 1.0) << c.name << " " << i;
            EXPECT_LT(found[i].fps, frames.slumps.targetFps) << c.name << " " << i;
        }
    }
    // What is not play is set aside, said, and not in the usual rate.
    const sim::SlumpVerdict loading = framesOf(cases[8].shape).slumps;
    EXPECT_NEAR(loading.usualFps, 60, 1);
    EXPECT_EQ(loading.loadingMs, 20000.0);
    EXPECT_EQ(loading.pauses, 0u);
    const sim::SlumpVerdict paused = framesOf(cases[9].shape).slumps;
    EXPECT_EQ(paused.pauses, 1u);
    ASSERT_EQ(paused.setAside.size(), 1u);
    EXPECT_NEAR(paused.setAside[0].endMs - paused.setAside[0].startMs, 30000, 1);
    // A slump still on at either end holds the capture's first and last frames.
    const sim::TuneFrames ends = framesOf(cases[4].shape);
    EXPECT_EQ(ends.slumps.slumps.front().startMs, 0.0);
    EXPECT_EQ(ends.slumps.slumps.back().endMs, ends.elapsedMs.back());
}

TEST(Slumps, aTargetOfTheirOwnOverridesTheUsualRate)
{
    // A game locked at 30 fps has no slump of its own, but is one slump below 45 fps.
    const Shape locked = Shape{}.steady(30, 33.3);
    EXPECT_TRUE(framesOf(locked).slumps.slumps.empty());
    const sim::TuneFrames frames = framesOf(locked, 45.0);
    ASSERT_EQ(frames.slumps.slumps.size(), 1u);
    EXPECT_TRUE(frames.slumps.targetGiven);
    EXPECT_NEAR(frames.slumps.slumps[0].fps, 30.0, 0.1);
}

TEST(Slumps, aPurgeCountsOnceInsideAndTheFirstOneSetsTheDelay)
{
    sim::SlumpVerdict verdict;
    verdict.slumps = {{10000, 20000, 30}, {40000, 50000, 30}};
    verdict.setAside = {{60000, 90000}};
    // Before the first slump's lead, in its lead (no delay), in it, just after it (set off by its
    // last slow frames), between, just after the second, after its trail, in a pause.
    const sim::SlumpScore score =
        sim::scorePurges(verdict, {5000, 9600, 17600, 20400, 30000, 50400, 52000, 90000});
    EXPECT_EQ(score.inSlumps, 4u);
    EXPECT_EQ(score.outside, 3u);
    EXPECT_EQ(score.setAside, 1u);
    EXPECT_EQ(score.caught, 2u);
    EXPECT_EQ(score.delaySumMs, 10400.0) << "the first from its lead, the second from its trail";
    EXPECT_TRUE(sim::placeOf(verdict, 20400).slump.has_value());
    EXPECT_FALSE(sim::placeOf(verdict, 20600).slump.has_value());
    EXPECT_TRUE(sim::placeOf(verdict, 60000).setAside);
}

// The rule's promises, whatever the capture.
void expectTheRuleHolds(const sim::TuneFrames& frames, const GovernorSettings& yours,
                        const std::string& name)
{
    const sim::TuneResult r = sim::tune(frames, yours, sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(r.recommended) << name;
    const sim::CellResult& best = r.cells[*r.recommended];
    std::uint64_t fewestOutside = best.slumps.outside;
    std::uint64_t mostCaught = 0;
    for (const sim::CellResult& c : r.cells) {
        fewestOutside = std::min(fewestOutside, c.slumps.outside);
    }
    for (const sim::CellResult& c : r.cells) {
        if (c.slumps.outside == fewestOutside) {
            mostCaught = std::max(mostCaught, c.slumps.caught);
        }
    }
    EXPECT_EQ(best.slumps.outside, fewestOutside) << name;
    EXPECT_EQ(best.slumps.caught, mostCaught) << name;
    // No pair allowed stands before it; of those level with it but for FPS_Critical, it has the
    // highest.
    const sim::Standing standing = sim::standingOf(r, best);
    for (const sim::CellResult& c : r.cells) {
        if (sim::thresholdsDrawAWarning(c.moderate, c.critical)) {
            continue;
        }
        sim::Standing other = sim::standingOf(r, c);
        EXPECT_FALSE(other < standing) << name << ": " << c.moderate << "/" << c.critical;
        other.lowerCritical = standing.lowerCritical;
        if (other == standing && !sim::samePair(c, best)) {
            EXPECT_LT(c.critical, best.critical) << name << ": " << c.moderate << "/" << c.critical;
        }
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
        EXPECT_EQ(best.slumps.outside, 0u);
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
    EXPECT_EQ(steady.cells[*steady.recommended].purges, 0u);
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
    EXPECT_EQ(calm.purges, 0u);
    EXPECT_EQ(sim::roomOf(quiet.cells, calm, 0).steps, sim::roomSteps) << calm.critical;
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
    const sim::Room room = sim::roomOf(dips.cells, best, 3);
    ASSERT_GE(room.steps, 2) << best.moderate << "/" << best.critical;
    const auto wary = sim::movedBy(dips.cells, best, -room.steps);
    ASSERT_TRUE(wary);
    EXPECT_EQ(best.slumps.outside, 0u);
    EXPECT_EQ(dips.cells[*wary].slumps.caught, 3u) << best.critical << " catches only narrowly";
}

// A pair's room ends at the first step where, moved up, it purges outside a slump more often or,
// moved down, misses more slumps than it does itself.
TEST(Slumps, aPairsRoomEndsWhereAMovedPairFaresWorse)
{
    std::vector<sim::CellResult> cells;
    for (std::int32_t m = 20; m <= 40; ++m) {
        for (std::int32_t c = 10; c < m; ++c) {
            sim::CellResult& cell = cells.emplace_back();
            cell.moderate = m;
            cell.critical = c;
            cell.slumps.outside = c >= 33 ? 1u : 0u; // eager enough to purge on a hitch
            cell.slumps.caught = c <= 18 ? 0u : 1u;  // too wary to catch the one slump
        }
    }
    const auto at = [&cells](std::int32_t m, std::int32_t c) {
        for (const sim::CellResult& cell : cells) {
            if (cell.moderate == m && cell.critical == c) {
                return cell;
            }
        }
        return sim::CellResult{};
    };
    // 25 moved up by 30% is 33: five steps of room, the sixth purges outside.
    const sim::Room up = sim::roomOf(cells, at(30, 25), 1);
    EXPECT_EQ(up.steps, 5);
    EXPECT_TRUE(up.purgesOutside);
    EXPECT_EQ(up.outside, 1u);
    EXPECT_FALSE(up.misses);
    // 22 moved down by 20% is 18: three steps of room, the fourth misses the slump.
    const sim::Room down = sim::roomOf(cells, at(30, 22), 1);
    EXPECT_EQ(down.steps, 3);
    EXPECT_TRUE(down.misses);
    EXPECT_EQ(down.missed, 1);
    EXPECT_FALSE(down.purgesOutside);
    // Moved beyond the grid, a pair is held to its edge: 39 up by 5% is 41, held to 40.
    EXPECT_TRUE(sim::movedBy(cells, at(39, 20), 1));
}

} // namespace
