// One numbered table of profile files, each read for one key.
#include "settings/profile_reader.h"

#include "test_support.h"

#include <sstream>
#include <string>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

struct Case {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::uint32_t expected;
};

using namespace std::string_literals;

std::string utf16le(std::string_view ascii)
{
    std::string bytes("\xFF\xFE");
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

constexpr std::int32_t defaultValue = 45;
constexpr std::uint32_t fallback = 45;

// Where Windows' exact behaviour is an assumption, the case name says so.
const Case cases[] = {
    {"plain", "[Settings]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate", 30},
    {"sectionMatchedWithoutCase", "[settings]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate", 30},
    {"keyMatchedWithoutCase", "[Settings]\nfps_moderate=30\n", "Settings", "FPS_Moderate", 30},
    {"spacesAroundNameAndValue", "  [Settings]  \n  FPS_Moderate  =  30  \n", "Settings",
     "FPS_Moderate", 30},
    {"tabsAroundNameAndValue", "[Settings]\n\tFPS_Moderate\t=\t30\t\n", "Settings", "FPS_Moderate",
     30},
    {"crlfLines", "[Settings]\r\nFPS_Moderate=30\r\n", "Settings", "FPS_Moderate", 30},
    {"crOnlyLines", "[Main]\rEnabled=1\r[Settings]\rFPS_Moderate=30\r", "Settings", "FPS_Moderate",
     30},
    {"noFinalNewline", "[Settings]\nFPS_Moderate=30", "Settings", "FPS_Moderate", 30},
    {"utf8ByteOrderMark", "\xEF\xBB\xBF[Settings]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate",
     30},
    {"utf16ByteOrderMark", utf16le("[Settings]\r\nFPS_Moderate=30\r\n"), "Settings", "FPS_Moderate",
     30},
    {"semicolonCommentLineIsNoKey", "[Settings]\n;FPS_Moderate=30\n", "Settings", "FPS_Moderate",
     fallback},
    {"hashCommentLineIsNoKey", "[Settings]\n# FPS_Moderate=30\n", "Settings", "FPS_Moderate",
     fallback},
    {"trailingCommentAfterDigitsIgnored", "[Settings]\nFPS_Moderate=30 ; frames\n", "Settings",
     "FPS_Moderate", 30},
    {"missingSection", "[Main]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate", fallback},
    {"missingKey", "[Settings]\nFPS_Critical=30\n", "Settings", "FPS_Moderate", fallback},
    {"emptyFile", "", "Settings", "FPS_Moderate", fallback},
    {"emptyValueGivesDefault", "[Settings]\nFPS_Moderate=\n", "Settings", "FPS_Moderate", fallback},
    {"blankValueGivesDefault", "[Settings]\nFPS_Moderate=   \n", "Settings", "FPS_Moderate",
     fallback},
    {"keyWithoutEqualsGivesDefault", "[Settings]\nFPS_Moderate\n", "Settings", "FPS_Moderate",
     fallback},
    {"nonNumericValueIsZero", "[Settings]\nFPS_Moderate=fast\n", "Settings", "FPS_Moderate", 0},
    {"leadingPlus", "[Settings]\nFPS_Moderate=+30\n", "Settings", "FPS_Moderate", 30},
    {"leadingMinusWraps", "[Settings]\nFPS_Moderate=-1\n", "Settings", "FPS_Moderate", 0xFFFFFFFFu},
    {"digitsFollowedByText", "[Settings]\nFPS_Moderate=30fps\n", "Settings", "FPS_Moderate", 30},
    {"decimalPointStopsDigits", "[Settings]\nFPS_Moderate=29.97\n", "Settings", "FPS_Moderate", 29},
    {"leadingZeros", "[Settings]\nFPS_Moderate=0030\n", "Settings", "FPS_Moderate", 30},
    {"assumedHexPrefixLowerCase", "[Settings]\nFPS_Moderate=0x1E\n", "Settings", "FPS_Moderate",
     30},
    {"assumedUpperCaseHexPrefixIsZero", "[Settings]\nFPS_Moderate=0X1E\n", "Settings",
     "FPS_Moderate", 0},
    {"beyond32BitsWraps", "[Settings]\nFPS_Moderate=4294967326\n", "Settings", "FPS_Moderate", 30},
    {"largestUnsigned", "[Settings]\nDetectionRange=4294967295\n", "Settings", "DetectionRange",
     0xFFFFFFFFu},
    {"assumedQuotesAroundValueStripped", "[Settings]\nFPS_Moderate=\"30\"\n", "Settings",
     "FPS_Moderate", 30},
    {"assumedOnly29CharactersOfAValueRead",
     "[Settings]\nFPS_Moderate=" + std::string(28, '0') + "12\n", "Settings", "FPS_Moderate", 1},
    {"assumedFirstDuplicateKeyWins", "[Settings]\nFPS_Moderate=30\nFPS_Moderate=20\n", "Settings",
     "FPS_Moderate", 30},
    {"assumedOnlyFirstDuplicateSectionSearched",
     "[Settings]\nFPS_Critical=10\n[Settings]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate",
     fallback},
    {"firstDuplicateSectionFound", "[Settings]\nFPS_Moderate=30\n[Settings]\nFPS_Moderate=20\n",
     "Settings", "FPS_Moderate", 30},
    {"keyBeforeAnySectionBelongsToNone", "FPS_Moderate=30\n[Settings]\n", "Settings",
     "FPS_Moderate", fallback},
    {"keyInOtherSectionNotTaken", "[Settings]\n[Other]\nFPS_Moderate=30\n", "Settings",
     "FPS_Moderate", fallback},
    {"spacesInsideBracketsIgnored", "[ Settings ]\nFPS_Moderate=30\n", "Settings", "FPS_Moderate",
     30},
    {"loneCarriageReturnEndsALine", "[Main]\r\n[Settings]\rFPS_Moderate=30\r\n", "Settings",
     "FPS_Moderate", 30},
    {"textAfterClosingBracketIgnored", "[Settings] ; tuning\nFPS_Moderate=30\n", "Settings",
     "FPS_Moderate", 30},
    {"unclosedBracketIsNoSection", "[Settings\nFPS_Moderate=30\n", "Settings", "FPS_Moderate",
     fallback},
    {"equalsInValueKept", "[Settings]\nFPS_Moderate==30\n", "Settings", "FPS_Moderate", 0},
    {"nulByteEndsTheValue", "[Settings]\nFPS_Moderate=3\0"s + "9\n", "Settings", "FPS_Moderate", 3},
};

class ProfileReaderTable : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ProfileReaderTable, readsLikeTheWindowsProfileReader)
{
    const Case& c = cases[GetParam()];
    std::istringstream file(c.file);
    EXPECT_EQ(readProfileIntFrom(file, c.section, c.key, defaultValue), c.expected)
        << "case " << GetParam() << " (" << c.name << ")";
}

INSTANTIATE_TEST_SUITE_P(cases, ProfileReaderTable,
                         ::testing::Range<std::size_t>(0, std::size(cases)),
                         [](const auto& row) { return std::string(cases[row.param].name); });

TEST(profileReader, missingFileOrFolderInPlaceGivesDefault)
{
    ScratchDir dir;
    EXPECT_EQ(readProfileInt("Settings", "FPS_Moderate", -7, (dir / "absent.ini").c_str()),
              static_cast<std::uint32_t>(-7));
    EXPECT_EQ(readProfileInt("Settings", "FPS_Moderate", 45, dir.path().c_str()), 45u);
}

TEST(profileReader, backslashesInThePathAreSeparators)
{
    ScratchDir dir;
    writeFile(dir / "Tarnwick.ini", "[Settings]\nFPS_Moderate=33\n");
    const std::string windowsStyle = dir.path().string() + "\\Tarnwick.ini";
    EXPECT_EQ(readProfileInt("Settings", "FPS_Moderate", 45, windowsStyle.c_str()), 33u);
}

} // namespace
