#include "governor/state.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Step {
    PerfState from;
    float fps;
    PerfState to;
};

// A failing case names itself, not its bytes.
void PrintTo(const Step& c, std::ostream* os)
{
    *os << "from " << perfStateName(c.from) << " at " << c.fps << " fps";
}

const GovernorSettings defaults{};

class StateTable : public ::testing::TestWithParam<Step> {};

TEST_P(StateTable, movesByTheHysteresisRules)
{
    const Step step = GetParam();
    GovernorState governor{step.from, 0};
    advanceState(governor, step.fps, defaults);
    EXPECT_EQ(governor.state, step.to)
        << "from " << perfStateName(step.from) << " at " << step.fps << " fps";
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    defaultThresholds, StateTable,
    ::testing::Values(Step{PerfState::Normal, 45.0f, PerfState::Normal},
                      Step{PerfState::Normal, 44.9f, PerfState::Moderate},
                      Step{PerfState::Normal, 10.0f, PerfState::Moderate}, // one level a pass
                      Step{PerfState::Normal, nan, PerfState::Normal},
                      Step{PerfState::Moderate, 50.0f, PerfState::Moderate},
                      Step{PerfState::Moderate, 50.1f, PerfState::Normal},
                      Step{PerfState::Moderate, 35.0f, PerfState::Moderate},
                      Step{PerfState::Moderate, 34.9f, PerfState::Critical},
                      Step{PerfState::Moderate, nan, PerfState::Moderate},
                      Step{PerfState::Critical, 40.0f, PerfState::Critical},
                      Step{PerfState::Critical, 40.1f, PerfState::Moderate},
                      Step{PerfState::Critical, 60.0f, PerfState::Moderate}, // never to Normal
                      Step{PerfState::Critical, nan, PerfState::Critical}),
    [](const auto& row) {
        std::ostringstream name;
        name << perfStateName(row.param.from) << "_at_" << row.param.fps << "_to_"
             << perfStateName(row.param.to);
        return testing_support::caseName(name.str());
    });

TEST(State, contradictoryThresholdsFollowTheSameRules)
{
    // Critical above moderate: Moderate tests the way up first, then the way down.
    const GovernorSettings swapped{true, true, 30, 50, 50.0f};
    GovernorState governor{PerfState::Moderate, 0};
    advanceState(governor, 40.0f, swapped);
    EXPECT_EQ(governor.state, PerfState::Normal);

    const GovernorSettings negative{true, true, -1, -10, 50.0f};
    governor = {PerfState::Normal, 0};
    advanceState(governor, -2.0f, negative);
    EXPECT_EQ(governor.state, PerfState::Moderate);
    advanceState(governor, -2.0f, negative); // -2 > -1 + 5 is false, -2 < -10 is false
    EXPECT_EQ(governor.state, PerfState::Moderate);
}

TEST(State, twoSlowPassesReachCriticalAndTwoFastPassesReturn)
{
    GovernorState governor;
    advanceState(governor, 10.0f, defaults);
    advanceState(governor, 10.0f, defaults);
    EXPECT_EQ(governor.state, PerfState::Critical);
    advanceState(governor, 100.0f, defaults);
    EXPECT_EQ(governor.state, PerfState::Moderate);
    advanceState(governor, 100.0f, defaults);
    EXPECT_EQ(governor.state, PerfState::Normal);
}

struct Readings {
    std::vector<float> values;
    std::size_t asked = 0;
    float operator()() { return values.at(asked++); }
};

TEST(EstimateFps, positiveReadingIsFollowedByASecondWhoseInverseIsTheEstimate)
{
    Readings readings{{0.04f, 0.02f}};
    EXPECT_FLOAT_EQ(estimateFps(readings), 50.0f);
    EXPECT_EQ(readings.asked, 2u);
}

TEST(EstimateFps, nonPositiveOrNanFirstReadingFallsBackWithoutASecond)
{
    for (const float first : {0.0f, -0.0f, -0.016f, nan, -std::numeric_limits<float>::infinity()}) {
        Readings readings{{first, 0.5f}};
        EXPECT_EQ(estimateFps(readings), 60.0f) << "first reading " << first;
        EXPECT_EQ(readings.asked, 1u) << "first reading " << first;
    }
}

TEST(EstimateFps, zeroSecondReadingGivesInfinityWhichLeavesCritical)
{
    Readings readings{{0.01f, 0.0f}};
    const float fps = estimateFps(readings);
    EXPECT_TRUE(std::isinf(fps));
    GovernorState governor{PerfState::Critical, 0};
    advanceState(governor, fps, defaults);
    EXPECT_EQ(governor.state, PerfState::Moderate);
}

TEST(EstimateFps, extremeSecondReadingsAreInvertedAsTheyStand)
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    const struct {
        float second;
        float fps;
    } cases[] = {{inf, 0.0f}, {-0.01f, -100.0f}, {0.05f, 20.0f}};
    for (const auto& c : cases) {
        Readings readings{{0.001f, c.second}};
        EXPECT_FLOAT_EQ(estimateFps(readings), c.fps) << "second reading " << c.second;
    }
    Readings subnormal{{1e-40f, 1e-40f}};
    EXPECT_TRUE(std::isinf(estimateFps(subnormal))) << "the division overflows";
    Readings nanSecond{{0.04f, nan}};
    EXPECT_TRUE(std::isnan(estimateFps(nanSecond)));
}

TEST(PurgeDue, isStrictlyMoreThanTheIntervalModuloTheCounter)
{
    struct Case {
        std::uint32_t last;
        std::uint32_t now;
        bool due;
    };
    const Case cases[] = {
        {0, 7000, false},           {0, 7001, true},
        {0xFFFFFFFFu, 7000, true},  // wrapped: 7001 since
        {0xFFFFF000u, 2000, false}, // wrapped: 6096 since
        {100000, 107000, false},    {100000, 107001, true},
        {100000, 100000, false},
    };
    for (const Case& c : cases) {
        const GovernorState governor{PerfState::Critical, c.last};
        EXPECT_EQ(purgeDue(governor, c.now), c.due) << "last " << c.last << " now " << c.now;
    }
}

} // namespace
