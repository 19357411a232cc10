// Slumps found from captures of known shape, and what the tuner recommends over them.
#include "shape_support.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"
#include "sim/tune/tune.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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
    const std::vector<sim::Slump> slumps = {{10000, 20000, 30}, {40000, 50000, 30}};
    const sim::SlumpScore score =
        sim::scorePurges(slumps, {5000, 10500, 17600, 20000, 30000, 52000});
    EXPECT_EQ(score.inSlumps, 3u);
    EXPECT_EQ(score.outside, 3u);
    EXPECT_EQ(score.caught, 1u) << "the second slump had no purge";
    EXPECT_EQ(score.delaySumMs, 500.0);
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
// a tenth from it on either side.
TEST(Slumps, theRecommendationKeepsItsDistanceFromTheCapturesNoise)
{
    // 30 fps locked with a dropped frame every 20 s: nothing needs a purge.
    Shape locked;
    for (int i = 0; i < 15; ++i) {
        locked.add(20, [](std::mt19937& r) { return jittered(r, 33.3, 0.02); }).hitch(50);
    }
    const sim::TuneResult quiet =
        sim::tune(framesOf(locked), GovernorSettings{}, sim::defaultModerate, sim::defaultCritical);
    ASSERT_TRUE(quiet.recommended);
    const sim::CellResult& calm = quiet.cells[*quiet.recommended];
    const auto eager = sim::neighbourOf(quiet.cells, calm, true);
    ASSERT_TRUE(eager);
    EXPECT_EQ(calm.purges, 0u);
    EXPECT_EQ(quiet.cells[*eager].slumps.outside, 0u) << calm.critical << " is at the edge";
    // 144 fps with three dips to about 90: every dip caught, even a tenth more warily.
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
    const auto wary = sim::neighbourOf(dips.cells, best, false);
    ASSERT_TRUE(wary);
    EXPECT_EQ(best.slumps.outside, 0u);
    EXPECT_EQ(dips.cells[*wary].slumps.caught, 3u) << best.critical << " catches only narrowly";
}

} // namespace
