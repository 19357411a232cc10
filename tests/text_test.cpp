#include "sim/text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

struct Bytes {
    const char* label;
    std::string bytes;
    std::string utf8;
};

// A failing case names itself, not its bytes.
void PrintTo(const Bytes& c, std::ostream* os)
{
    *os << c.label;
}

class PlayerText : public ::testing::TestWithParam<Bytes> {};

TEST_P(PlayerText, isUtf8ShowingWhatWasTyped)
{
    EXPECT_EQ(sim::playerText(GetParam().bytes), GetParam().utf8);
    EXPECT_EQ(sim::playerText(GetParam().utf8), GetParam().utf8) << "UTF-8 passes unchanged";
}

INSTANTIATE_TEST_SUITE_P(names, PlayerText,
                         ::testing::Values(Bytes{"ascii", "Game.exe", "Game.exe"},
                                           Bytes{"utf8", "Zo\xC3\xAB \xE2\x82\xAC", "Zoë €"},
                                           Bytes{"windows1252Superscripts", "\xB2\xB3", "²³"},
                                           Bytes{"windows1252Euro", "\x80 \x8A\x9F", "€ ŠŸ"},
                                           Bytes{"undefinedInWindows1252", "\x81\x8D\x8F\x90\x9D",
                                                 "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
                                           Bytes{"overlongSlash", "\xC0\xAF", "À¯"},
                                           Bytes{"loneSurrogate", "\xED\xA0\x80", "í\u00A0€"},
                                           Bytes{"cutSequence", "a\xE2\x82", "aâ‚"},
                                           Bytes{"beyondUnicode", "\xF4\x90\x80\x80", "ô\uFFFD€€"},
                                           Bytes{"nul", "a\0b"s, "a\0b"s}),
                         [](const auto& row) { return std::string(row.param.label); });

TEST(PlayerText, everyByteAloneAndAfterALeadIsUtf8ThatJsonParses)
{
    for (int lead : {-1, 0xC3, 0xE2, 0xF0}) {
        for (int byte = 0; byte < 256; ++byte) {
            std::string bytes;
            if (lead >= 0) {
                bytes += static_cast<char>(lead);
            }
            bytes += static_cast<char>(byte);
            const std::string text = sim::playerText(bytes);
            EXPECT_EQ(sim::playerText(text), text) << lead << " " << byte;
            const std::string json = sim::jsonText({{bytes, bytes}});
            ASSERT_TRUE(nlohmann::json::accept(json)) << lead << " " << byte;
            EXPECT_EQ(nlohmann::json::parse(json)[text], text);
        }
    }
}

TEST(MarkupText, namesShowAsTextNeverAsMarkup)
{
    EXPECT_EQ(sim::markupText("<script>alert('x')</script> & \"Q\""),
              "&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt; &amp; &quot;Q&quot;");
    EXPECT_EQ(sim::markupText("a\x01\x1F\tb\xB2"), "a\uFFFD\uFFFD\tb²")
        << "XML forbids C0 controls";
}

TEST(Shown, longTextIsCutWithinALetterNeverAndSaysItsLength)
{
    EXPECT_EQ(sim::shown("short"), "short");
    const std::string longName = std::string(59, 'N') + "ë" + std::string(100, 'x');
    EXPECT_EQ(sim::shown(longName),
              std::string(59, 'N') + "... (cut short; the whole text is 161 bytes)");
    EXPECT_EQ(sim::shown(std::string(70, '\xB2')).substr(0, 6), "²²²") << "and as UTF-8";
    EXPECT_EQ(sim::shown("Evil\x1B[2J\0X\xC2\x9B.exe\x9B\tz"s),
              "Evil\uFFFD[2J\uFFFDX\uFFFD.exe›\tz")
        << "no control character reaches a terminal, and a NUL cuts no message";
}

} // namespace
