// The slump rules' numbers as the help and the page say them, given the constants themselves.
#include "sim/report/slumps_report.h"

#include <gtest/gtest.h>

namespace {

TEST(SlumpWords, sayTheNumbersAsTheTextsDo)
{
    EXPECT_EQ(sim::percentText(0.8), "80%");
    EXPECT_EQ(sim::percentText(0.75), "75%");
    EXPECT_EQ(sim::secondsSpelt(1), "one second");
    EXPECT_EQ(sim::secondsSpelt(2), "two seconds");
    EXPECT_EQ(sim::secondsSpelt(12), "12 seconds");
    EXPECT_EQ(sim::percentileAsShare(90), "nine in ten");
    EXPECT_EQ(sim::percentileAsShare(95), "95 in a hundred");
}

} // namespace
