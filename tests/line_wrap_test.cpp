// Console lines wrapped at spaces, never inside a word or a quoted path.
#include "sim/cli/line_wrap.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct Wrap {
    const char* name;
    std::string line;
    std::size_t width;
    std::string expected;
};

// A failing case names itself, not its bytes.
void PrintTo(const Wrap& c, std::ostream* os)
{
    *os << c.name;
}

class Wrapped : public ::testing::TestWithParam<Wrap> {};

TEST_P(Wrapped, atSpacesWithinTheWidth)
{
    EXPECT_EQ(sim::wrappedForConsole(GetParam().line, GetParam().width), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    console, Wrapped,
    ::testing::Values(
        Wrap{"fitsExactly", "abc def", 7, "abc def"}, Wrap{"oneOver", "abc defg", 7, "abc\n  defg"},
        Wrap{"indentKeptAndDeepened", "  aaa bbb ccc", 9, "  aaa bbb\n    ccc"},
        Wrap{"wordLongerThanALineStaysWhole", "a bbbbbbbbbbbb c", 5, "a\n  bbbbbbbbbbbb\n  c"},
        Wrap{"quotedPathStaysWhole", "see \"C:\\My Games\\x.csv\" now", 12,
             "see\n  \"C:\\My Games\\x.csv\"\n  now"},
        Wrap{"lettersNotBytes", "\xC3\xA9\xC3\xA9\xC3\xA9 abc", 7, "\xC3\xA9\xC3\xA9\xC3\xA9 abc"},
        Wrap{"manyLines", "aa bb cc dd ee", 5, "aa bb\n  cc\n  dd\n  ee"}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Wrapped, streamHoldsEachLineToItsEndAndPassesProgressAsItIs)
{
    std::ostringstream target;
    {
        std::ostream out(target.rdbuf());
        out.setf(std::ios::unitbuf);
        const sim::WrappedConsole wrapped(out, 7);
        out << "abc "
            << "defg" << '\n'
            << "\r50%"
            << "\rdone\n";
    }
    EXPECT_EQ(target.str(), "abc\n  defg\n\r50%\rdone\n");
}

} // namespace
