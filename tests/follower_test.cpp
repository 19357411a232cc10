// The follower: the plug-in's own state functions, fed what one pass read.
#include "sim/session/follower.h"

#include <gtest/gtest.h>

namespace {

TEST(Follower, reachesCriticalOnTheSecondSlowPassAndPurgesWhenDue)
{
    sim::Follower follower{GovernorSettings{}, GovernorState{}};
    const sim::FollowedPass first = sim::followPass(follower, 0.04f, 100000, 100000);
    EXPECT_EQ(first.to, PerfState::Moderate);
    EXPECT_FALSE(first.purged);
    const sim::FollowedPass second = sim::followPass(follower, 0.04f, 100040, 100055);
    EXPECT_TRUE(second.changed());
    EXPECT_TRUE(second.purged);
    // The interval runs from the end of the purge, as the plug-in notes it.
    EXPECT_EQ(follower.governor.lastPurgeTick, 100055u);
    EXPECT_FALSE(sim::followPass(follower, 0.04f, 107055, 107055).purged);
    EXPECT_TRUE(sim::followPass(follower, 0.04f, 107056, 107056).purged);
}

TEST(Follower, aDisabledPlugInRunsNoPass)
{
    GovernorSettings off;
    off.enabled = false;
    sim::Follower follower{off, GovernorState{}};
    for (int i = 0; i < 3; ++i) {
        const sim::FollowedPass pass = sim::followPass(follower, 0.5f, 100000, 100000);
        EXPECT_FLOAT_EQ(pass.fps, 2.0f);
        EXPECT_EQ(pass.to, PerfState::Normal);
        EXPECT_FALSE(pass.purged);
    }
}

} // namespace
