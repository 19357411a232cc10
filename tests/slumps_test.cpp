// Slumps found from captures of known shape, and each purge judged by them.
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
using testing_support::noisySlumps;
using testing_support::pair;
using testing_support::Shape;
using testing_support::steadyButUneven;

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
    ASSERT_EQ(paused.asideSpans.size(), 1u);
    EXPECT_NEAR(paused.asideSpans[0].endMs - paused.asideSpans[0].startMs, 30000, 1);
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
    verdict.asideSpans = {{60000, 90000}};
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
    EXPECT_TRUE(sim::placeOf(verdict, 60000).inAside);
}

// A trace written a second at a time, so that each second holds exactly the frames given: evenly
// paced, or alternately a tenth longer and shorter (as uneven as play).
struct Seconds {
    sim::FrameRateTrace trace;
    double atMs = 0;
    Seconds& add(std::size_t seconds, std::size_t frames, bool even = false)
    {
        for (std::size_t s = 0; s < seconds; ++s) {
            const double frameMs = 1000.0 / static_cast<double>(frames);
            for (std::size_t i = 0; i < frames; ++i) {
                const double early = even ? 0 : (i % 2 == 0 ? 0.05 : -0.05);
                sim::traceFrame(trace, atMs + (static_cast<double>(i) + 0.5 + early) * frameMs);
            }
            atMs += 1000;
        }
        return *this;
    }
};

TEST(NotPlay, aPauseIsASingleFrameOfAtLeastItsLength)
{
    for (const double frameMs : {1500.0, 1499.0}) {
        sim::FrameRateTrace trace;
        sim::traceFrame(trace, 1000);
        sim::traceFrame(trace, 1000 + frameMs);
        sim::traceFrame(trace, 1010 + frameMs);
        EXPECT_EQ(sim::notPlayOf(trace).pauses, frameMs == 1500 ? 1u : 0u) << frameMs;
    }
}

// As a capture gives it: after frames of 16.7 ms the clock's running sum puts a frame of exactly
// the pause's length a hair short of it, yet that frame is a pause all the same.
TEST(NotPlay, aFrameOfExactlyThePausesLengthAfterPlayIsAPause)
{
    for (const double seconds : {0.1, 1.0, 1.7, 3.0, 10.0, 61.3}) {
        const Shape shape = Shape{}.steady(seconds, 16.7).hitch(1500).steady(2, 16.7);
        EXPECT_EQ(framesOf(shape).slumps.pauses, 1u) << seconds << " s of play first";
    }
}

TEST(NotPlay, aSecondFasterThanPlayByItsShareIsALoadingScreenOrMenu)
{
    // Play runs at 40 frames a second, unevenly: twice that is still play, and so is an even
    // second of 1.15 times it (46); a frame more is a loading screen or a menu.
    struct Case {
        std::size_t frames;
        bool even;
        bool aside;
    };
    const Case cases[] = {
        {80, false, false}, {81, false, true},  {46, true, false},
        {47, true, true},   {47, false, false}, // uneven, it is play that ran faster
    };
    for (const Case& c : cases) {
        Seconds seconds;
        seconds.add(20, 40).add(1, c.frames, c.even).add(20, 40);
        const sim::NotPlay aside = sim::notPlayOf(seconds.trace);
        EXPECT_EQ(aside.loadingMs, c.aside ? 1000.0 : 0.0)
            << c.frames << (c.even ? " even" : " uneven");
    }
}

TEST(Slumps, aDipAtTheTargetIsNoneAndAFrameUnderIsOne)
{
    for (const std::size_t dip : {40u, 39u}) {
        Seconds seconds;
        seconds.add(20, 60, true).add(5, dip, true).add(20, 60, true);
        const sim::SlumpVerdict verdict = sim::judgeSlumps(seconds.trace, 40.0);
        ASSERT_EQ(verdict.slumps.size(), dip < 40 ? 1u : 0u) << dip;
        if (dip < 40) {
            // Less its edge tenths, which hold the target's 4 frames.
            EXPECT_NEAR(verdict.slumps[0].startMs, 20000, 500);
            EXPECT_NEAR(verdict.slumps[0].endMs, 25000, 500);
        }
    }
}

TEST(Slumps, aSideOfTooFewPlayedSecondsLeavesTheOtherToJudge)
{
    // 15 s at 60 fps, then a minute at 100. A second with fewer than levelSideSeconds played
    // before it is judged by the minute after it alone (slow below 80); from the one with
    // exactly that many before it on, by the lower side (below 48): the slump ends there.
    Seconds seconds;
    seconds.add(15, 60, true).add(60, 100, true);
    const sim::SlumpVerdict verdict = sim::judgeSlumps(seconds.trace, std::nullopt);
    ASSERT_EQ(verdict.slumps.size(), 1u);
    EXPECT_EQ(verdict.slumps[0].startMs, 0.0);
    // 10 s, and the window that ends 0.4 s into a second is judged as that second's.
    EXPECT_NEAR(verdict.slumps[0].endMs, 10400, 100);
}

} // namespace
