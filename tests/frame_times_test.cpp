// Hitches as a capture tool counts stutter, and the frame-time chart that must show every one of
// them however long the capture.
#include "sim/report/frame_times.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <regex>
#include <sstream>
#include <vector>

namespace {

sim::TuneFrames framesOf(const std::vector<double>& ms)
{
    sim::TuneFrames frames;
    for (const double m : ms) {
        sim::addFrame(frames, m);
    }
    return frames;
}

// count frames of ms, then the rest.
std::vector<double> steady(std::size_t count, double ms, std::vector<double> then = {})
{
    std::vector<double> all(count, ms);
    all.insert(all.end(), then.begin(), then.end());
    return all;
}

std::vector<std::size_t> hitchFrames(const std::vector<double>& ms)
{
    std::vector<std::size_t> at;
    for (const sim::Hitch& hitch : sim::findHitches(framesOf(ms))) {
        at.push_back(hitch.frame);
    }
    return at;
}

TEST(Hitches, areFramesWellOverTheirNeighboursMedian)
{
    struct Case {
        const char* what;
        std::vector<double> ms;
        std::vector<std::size_t> hitches;
    };
    std::vector<double> slump = steady(100, 16.7, steady(100, 40.0));
    std::vector<double> withZero = steady(30, 16.7, {50, 0, 16.7});
    const std::vector<Case> cases{
        {"a spike of three times the pace",
         steady(30, 16.7, steady(1, 50, steady(30, 16.7))),
         {30}},
        {"just under 2.5 times", steady(30, 16.7, steady(1, 41.7, steady(30, 16.7))), {}},
        {"two spikes together", steady(30, 16.7, steady(2, 60, steady(30, 16.7))), {30, 31}},
        {"the first frame", steady(1, 100, steady(30, 16.7)), {0}},
        {"the edge of a slump, which moves the median with it", slump, {}},
        {"a zero frame is no frame and no neighbour", withZero, {30}},
        {"a single frame has no neighbours", {500}, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(hitchFrames(c.ms), c.hitches) << c.what;
    }
}

// The factor and the window pinned from both sides, in frame times a float holds exactly (a
// sixty-fourth of a second, 2.5 times it, a quarter of a second).
TEST(Hitches, holdTheirFactorAndWindowAtTheEdges)
{
    constexpr double fast = 15.625;
    constexpr double slow = 62.5;
    constexpr double spike = 100; // 2.5 times (fast + slow) / 2, and a little more
    // Frame 30 of 61 at spikeMs; slow frames 1 to 5 frames from it on both sides, and one more at
    // `alsoSlowAt` frames before it: 11 slow neighbours make the median slow, 10 of 20 make it
    // halfway.
    const auto around = [&](double spikeMs, std::size_t slowNear, std::size_t alsoSlowAt) {
        std::vector<double> ms(61, fast);
        ms[30] = spikeMs;
        for (std::size_t d = 1; d <= slowNear; ++d) {
            ms[30 - d] = slow;
            ms[30 + d] = slow;
        }
        if (alsoSlowAt > 0) {
            ms[30 - alsoSlowAt] = slow;
        }
        return ms;
    };
    // One neighbour faster than the rest: the median alone, not the fastest, decides.
    const auto withFaster = [](std::vector<double> ms) {
        ms[31] = 7.8125;
        return ms;
    };
    struct Case {
        const char* what;
        std::vector<double> ms;
        bool hitch;
    };
    const std::vector<Case> cases{
        {"exactly the factor times the median", withFaster(around(fast * 2.5, 0, 0)), false},
        {"just over the factor", withFaster(around(fast * 2.5 + 0.01, 0, 0)), true},
        {"a slow neighbour 10 frames away is in the window", around(spike, 5, 10), false},
        {"one 11 frames away is not", around(spike, 5, 11), true},
    };
    for (const Case& c : cases) {
        const std::vector<std::size_t> at = hitchFrames(c.ms);
        EXPECT_EQ(std::find(at.begin(), at.end(), 30u) != at.end(), c.hitch) << c.what;
    }
}

TEST(Hitches, withAPurgeAreThoseThePurgeFollowsAtOnce)
{
    const sim::TuneFrames frames = framesOf(steady(30, 16.7, steady(1, 60, steady(60, 16.7))));
    const std::vector<sim::Hitch> hitches = sim::findHitches(frames);
    ASSERT_EQ(hitches.size(), 1u);
    const auto at = [&](std::size_t frame) { return std::vector{frames.elapsedMs[frame]}; };
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, at(30)), 1u) << "on the hitch's frame";
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, at(32)), 1u) << "two frames after";
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, at(33)), 0u) << "three frames after";
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, at(29)), 0u) << "before it";
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, {}), 0u);
}

// Two hitches a frame apart with one purge after them: two hitches with a purge, one purge, so
// that the page counts purges as every other line does ("6 of the 12 hitches" once stood beside
// "3 purges outside any slump").
TEST(Hitches, sharingAPurgeCountItOnce)
{
    const sim::TuneFrames frames =
        framesOf(steady(30, 16.7, steady(1, 60, steady(1, 60, steady(60, 16.7)))));
    const std::vector<sim::Hitch> hitches = sim::findHitches(frames);
    ASSERT_EQ(hitches.size(), 2u);
    const std::vector<double> purge{frames.elapsedMs[31]};
    EXPECT_EQ(sim::hitchesWithPurge(hitches, frames, purge), 2u);
    EXPECT_EQ(sim::purgesAtHitches(hitches, frames, purge), purge);
}

TEST(FrameTimeChart, marksEveryHitchAndKeepsItsSizeAtAMillionFrames)
{
    std::vector<double> ms;
    std::size_t spikes = 0;
    for (std::size_t i = 0; i < 1'000'000; ++i) {
        spikes += i % 997 == 500 ? 1u : 0u;
        ms.push_back(i % 997 == 500 ? 70.0 : 8.0 + static_cast<double>(i % 7) * 0.1);
    }
    const sim::TuneFrames frames = framesOf(ms);
    sim::FrameTimeCounts counts;
    for (const double m : ms) {
        sim::countFrameTime(counts, m);
    }
    const std::vector<sim::Hitch> hitches = sim::findHitches(frames);
    EXPECT_EQ(hitches.size(), spikes);
    const double durationMs = frames.elapsedMs.back();
    const sim::FrameTimeView view = sim::viewFrameTimes(frames, counts, hitches, durationMs);
    std::size_t marked = 0;
    std::size_t columns = 0;
    for (const sim::FrameTimeColumn& c : view.columns) {
        marked += c.hitches;
        columns += c.hitches > 0 ? 1u : 0u;
        if (c.hitches > 0) {
            EXPECT_GE(c.maxMs, 70.0F) << "the column's top is its hitch";
        }
    }
    EXPECT_EQ(marked, hitches.size());
    std::ostringstream svg;
    sim::writeFrameTimeSvg(svg, view, view.wants, "frame times");
    const std::string text = svg.str();
    const std::regex mark("<title>\\d+ hitch");
    const auto drawn = static_cast<std::size_t>(std::distance(
        std::sregex_iterator(text.begin(), text.end(), mark), std::sregex_iterator()));
    // Columns closer than a mark is wide share one: the marks drawn are those counted, apart from
    // each other, and stand for every hitch (12 hitches were once said over 8 marks seen).
    const std::vector<sim::HitchMark> marks = sim::hitchMarks(view, view.wants);
    EXPECT_EQ(drawn, marks.size());
    EXPECT_LT(marks.size(), columns);
    std::size_t standFor = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
        standFor += marks[i].hitches;
        if (i > 0) {
            EXPECT_GE(marks[i].x - marks[i - 1].x, sim::hitchMarkWidth) << i;
        }
    }
    EXPECT_EQ(standFor, hitches.size());
    EXPECT_LT(text.size(), 150'000u);
    // The distribution: the fastest frame at its start, the hitches at its slow end, and the lows
    // on it where the lows say.
    EXPECT_NEAR(view.percentileMs.front(), 8.0, 1e-3);
    EXPECT_NEAR(view.percentileMs.back(), 70.0, 1e-2);
    EXPECT_NEAR(view.medianMs, 8.3, 1e-3);
    EXPECT_DOUBLE_EQ(view.percentileMs[200], 1000 / sim::lowFps(counts, 0.01));
}

} // namespace
