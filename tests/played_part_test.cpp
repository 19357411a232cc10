// --from and --to keep the frames that end after the one and by the other.
#include "sim/cli/played_part.h"

#include <gtest/gtest.h>

namespace {

TEST(PlayedPart, keepsTheFramesEndingAfterFromAndByTo)
{
    struct Case {
        std::optional<double> from;
        std::optional<double> to;
        std::uint64_t kept;
        std::uint64_t before;
        std::uint64_t after;
    };
    // Ten frames of 10 ms, and one of no length after the fifth: it ends where the fifth does.
    const Case cases[] = {
        {30.0, 80.0, 6, 3, 2},  {std::nullopt, 50.0, 6, 0, 5},   {50.0, std::nullopt, 5, 6, 0},
        {0.0, 100.0, 11, 0, 0}, {100.0, std::nullopt, 0, 11, 0},
    };
    for (const Case& c : cases) {
        sim::CaptureChoice choice;
        choice.fromSeconds = c.from ? std::optional(*c.from / 1000) : std::nullopt;
        choice.toSeconds = c.to ? std::optional(*c.to / 1000) : std::nullopt;
        sim::PlayedPart part(choice);
        std::uint64_t kept = 0;
        for (int i = 0; i < 10; ++i) {
            kept += part.keeps(10) ? 1u : 0u;
            if (i == 4) {
                kept += part.keeps(0) ? 1u : 0u;
            }
        }
        const std::string at =
            std::to_string(c.from.value_or(-1)) + ".." + std::to_string(c.to.value_or(-1));
        EXPECT_EQ(kept, c.kept) << at;
        EXPECT_EQ(part.before, c.before) << at;
        EXPECT_EQ(part.after, c.after) << at;
    }
}

} // namespace
