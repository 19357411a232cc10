// The settings check: file text in, findings out, word for word; and never a value other than the
// plug-in's own.
#include "sim/check/settings_check.h"

#include "test_support.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

std::vector<std::string> findingsOf(const sim::SettingsCheck& check)
{
    std::vector<std::string> lines;
    for (const sim::Finding& f : check.findings) {
        lines.push_back(std::string(sim::findingLevelName(f.level)) + ": " +
                        (f.line == 0 ? "" : "line " + std::to_string(f.line) + ": ") + f.message);
    }
    return lines;
}

struct CheckCase {
    const char* name;
    std::string file;
    std::vector<std::string> findings;
};

// A failing case names itself, not its bytes.
void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.name;
}

class SettingsCheckTable : public testing_support::SimTest,
                           public ::testing::WithParamInterface<CheckCase> {};

TEST_P(SettingsCheckTable, findsWhatAPlayerSurelyDidNotMean)
{
    ScratchDir dir;
    writeFile(dir / "Tarnwick.ini", GetParam().file);
    EXPECT_EQ(findingsOf(*sim::checkSettings(dir / "Tarnwick.ini")), GetParam().findings);
}

using namespace std::string_literals;

const CheckCase checkCases[] = {
    {"defaultsFileHasNoFindings",
     "[Main]\nEnabled=1\nLogging=1\n[Settings]\nFPS_Moderate=45\nFPS_Critical=35\n"
     "DetectionRange=50\n",
     {}},
    {"misspeltSection",
     "[Setting]\nFPS_Moderate=60\n",
     {"warning: line 1: [Setting] is not a Tarnwick section, so the keys below it are not read; "
      "did you mean [Settings]?"}},
    {"unknownSectionWithoutKnownKeysIsANote",
     "[Graphics]\nQuality=3\n",
     {"note: line 1: [Graphics] is not a Tarnwick section, so the keys below it are not read"}},
    {"misspeltKeys",
     "[Settings]\nFPS_Moderat=60\nDetectionRang=10\nfps_modreate=1\n",
     {"warning: line 2: `FPS_Moderat` is not a Tarnwick key; did you mean `FPS_Moderate`? The "
      "default 45 applies.",
      "warning: line 3: `DetectionRang` is not a Tarnwick key; did you mean `DetectionRange`? The "
      "default 50 applies.",
      "warning: line 4: `fps_modreate` is not a Tarnwick key; did you mean `FPS_Moderate`? The "
      "default 45 applies."}},
    {"misspeltKeyBesideTheRightOne",
     "[Settings]\nFPS_Moderate=50\nFPS_Moderat=60\n",
     {"warning: line 3: `FPS_Moderat` is not a Tarnwick key; did you mean `FPS_Moderate`? That is "
      "set on line 2."}},
    {"unrelatedKeyIsANote",
     "[Settings]\nShadows=high\n",
     {"note: line 2: `Shadows` is not a Tarnwick key: it is not read"}},
    {"knownKeyInTheWrongSection",
     "[Main]\nFPS_Critical=30\n",
     {"warning: line 2: `FPS_Critical` belongs under [Settings], not [Main]; here it is not read, "
      "so the default 35 applies"}},
    {"wordsForNumbers",
     "[Main]\nLogging=yes\n[Settings]\nFPS_Moderate=fast\n",
     {"warning: line 2: `Logging=yes` is not a number: the plug-in reads 0, so no log is written",
      "warning: line 4: `FPS_Moderate=fast` is not a number: the plug-in reads 0",
      "warning: line 4: FPS_Moderate is 0: a frame rate never falls below it, so the game never "
      "counts as strained and nothing is purged"}},
    {"enabledAsAWordSwitchesTarnwickOff",
     "[Main]\nEnabled=yes\n",
     {"note: Enabled is 0: the plug-in stops there, reads no other key and never logs",
      "warning: line 2: `Enabled=yes` is not a number: the plug-in reads 0, so Tarnwick is "
      "switched off"}},
    {"enabledAnyNumberButZeroIsOn",
     "[Main]\nEnabled=2\n",
     {"note: line 2: `Enabled=2`: any number but 0 switches Tarnwick on"}},
    {"decimalsExponentHexAndTrailingWords",
     "[Settings]\nFPS_Moderate=45.7\nFPS_Critical=1e3\nDetectionRange=0x3C\n",
     {"warning: line 2: `FPS_Moderate=45.7` has decimals: whole numbers only, the plug-in reads 45",
      "warning: line 3: `FPS_Critical=1e3` has an exponent, which is not understood: the plug-in "
      "reads 1",
      "note: line 4: `DetectionRange=0x3C` is read as hexadecimal: 60"}},
    {"trailingWordsEmptyValueAndNoEquals",
     "[Settings]\nFPS_Moderate=50 fps\nFPS_Critical=\nDetectionRange\n",
     {"note: line 2: `FPS_Moderate=50 fps` has more after its number, which is ignored: the "
      "plug-in reads 50",
      "note: line 3: `FPS_Critical=` has no value, so the default 35 applies",
      "warning: line 4: `DetectionRange` has no `=` and no value, so the default 50 applies"}},
    {"valueTooLongForTheReader",
     "[Settings]\nFPS_Moderate=" + std::string(28, '0') + "45\n",
     {"warning: line 2: `FPS_Moderate=" + std::string(28, '0') +
          "45` is longer than the 29 characters the reader takes: the plug-in reads 4",
      "warning: line 2: FPS_Critical (35) is not below FPS_Moderate (4): every drop below 4 fps "
      "goes on to Critical"}},
    {"negativeRange",
     "[Settings]\nDetectionRange=-5\n",
     {"warning: line 2: DetectionRange is read as 4294967291 (about 4.29e9), as a negative number "
      "is: no vehicle is ever that far, so nothing is ever purged"}},
    {"rangesThatRemoveEverythingOrNothing",
     "[Settings]\nDetectionRange=3\n",
     {"warning: line 2: DetectionRange 3 is so near that a purge removes nearly every ambient "
      "vehicle, even those beside the player"}},
    {"farRange",
     "[Settings]\nDetectionRange=5000\n",
     {"warning: line 2: DetectionRange 5000 is farther than vehicles stay from the player: purges "
      "remove almost nothing"}},
    {"thresholdsAtOrBelowZero",
     "[Settings]\nFPS_Critical=-1\n",
     {"warning: line 2: FPS_Critical is -1: a frame rate never falls below it, so the game never "
      "reaches Critical and nothing is purged"}},
    {"thresholdAboveAnyRefreshRate",
     "[Settings]\nFPS_Moderate=1000\nFPS_Critical=999\n",
     {"warning: line 3: FPS_Critical is 999, above any monitor's refresh rate: the game always "
      "counts as strained and a purge runs every 7 seconds"}},
    {"criticalNotBelowModerate",
     "[Settings]\nFPS_Moderate=30\nFPS_Critical=40\n",
     {"warning: line 3: FPS_Critical (40) is not below FPS_Moderate (30): every drop below 30 fps "
      "goes on to Critical"}},
    {"thresholdThatWrapsAt32Bits",
     "[Settings]\nFPS_Moderate=4294967341\n",
     {"warning: line 2: `FPS_Moderate=4294967341` is beyond 32 bits and wraps: the plug-in reads "
      "45"}},
    {"negativeThresholdThatWrapsAt32Bits",
     "[Settings]\nFPS_Moderate=-4294967236\n",
     {"warning: line 2: `FPS_Moderate=-4294967236` is beyond 32 bits and wraps: the plug-in reads "
      "60"}},
    {"negativeRecordThatWrapsAt32Bits",
     "[Main]\nRecord=-4294967294\n",
     {"warning: line 2: `Record=-4294967294` is beyond 32 bits and wraps: the plug-in reads 2"}},
    {"leastSignedThresholdDoesNotWrap",
     "[Settings]\nFPS_Critical=-2147483648\n",
     {"warning: line 2: FPS_Critical is -2147483648: a frame rate never falls below it, so the "
      "game never reaches Critical and nothing is purged"}},
    {"repeatedKeyAndSectionAndKeyBeforeAnySection",
     "FPS_Moderate=30\n[Settings]\nFPS_Moderate=40\nFPS_Moderate=50\n[Settings]\nFPS_Critical=20\n",
     {"warning: line 1: `FPS_Moderate` comes before any [section], so it is not read; it belongs "
      "under [Settings]",
      "warning: line 4: `FPS_Moderate` again: only the first, on line 3, counts",
      "warning: line 5: [Settings] again: only the first, on line 2, is searched, so the keys "
      "below are not read"}},
    {"quotesAreDropped",
     "[Settings]\nFPS_Moderate=\"50\"\n",
     {"note: line 2: `FPS_Moderate=\"50\"` has quotes, which are dropped: the plug-in reads 50"}},
    {"utf16IsRead",
     "\xFF\xFE"s + std::string("[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\r\0\n\0F\0P\0S\0_\0C\0r\0i\0t\0i\0"
                               "c\0a\0l\0=\0-\0002\0\r\0\n\0",
                               58),
     {"note: the file is UTF-16 text: Windows reads it, and so does this check",
      "warning: line 2: FPS_Critical is -2: a frame rate never falls below it, so the game never "
      "reaches Critical and nothing is purged"}},
    {"utf16WithoutAMark",
     std::string("[\0S\0e\0t\0t\0i\0n\0g\0s\0]\0\r\0\n\0F\0P\0S\0_\0C\0r\0i\0t\0i\0c\0a\0l\0=\0"
                 "9\0\r\0\n\0",
                 56),
     {"warning: the file looks like UTF-16 text without a byte-order mark: Windows reads it as "
      "bytes, finds no section and no key, so every key takes its default; save it as ANSI or "
      "UTF-8 (Notepad: Save As, Encoding)"}},
    // A file of junk: five of a kind in full, quoted short, and the rest counted.
    {"junkIsQuotedShortAndCounted",
     "[Settings]\n" +
         [] {
             std::string lines;
             for (int i = 0; i < 2000; ++i) {
                 lines += std::string(300, static_cast<char>('a' + i % 26)) + "\n";
             }
             return lines;
         }() +
         "[Other]\n",
     {"note: line 2: `" + std::string(60, 'a') +
          "... (cut short; the whole text is 300 bytes)` is not a Tarnwick key: it is not read",
      "note: line 3: `" + std::string(60, 'b') +
          "... (cut short; the whole text is 300 bytes)` is not a Tarnwick key: it is not read",
      "note: line 4: `" + std::string(60, 'c') +
          "... (cut short; the whole text is 300 bytes)` is not a Tarnwick key: it is not read",
      "note: line 5: `" + std::string(60, 'd') +
          "... (cut short; the whole text is 300 bytes)` is not a Tarnwick key: it is not read",
      "note: line 6: `" + std::string(60, 'e') +
          "... (cut short; the whole text is 300 bytes)` is not a Tarnwick key: it is not read",
      "note: line 7: and 1995 more lines that are not Tarnwick keys, from here to line 2001",
      "note: line 2002: [Other] is not a Tarnwick section, so the keys below it are not read"}},
};

INSTANTIATE_TEST_SUITE_P(cases, SettingsCheckTable, ::testing::ValuesIn(checkCases),
                         [](const auto& row) { return std::string(row.param.name); });

class SettingsCheckTest : public testing_support::SimTest {
  protected:
    ScratchDir dir;
};

TEST_F(SettingsCheckTest, missingFileIsANoteAndEveryDefault)
{
    const sim::SettingsCheck check = *sim::checkSettings(dir / "Tarnwick.ini");
    EXPECT_FALSE(check.exists);
    EXPECT_EQ(findingsOf(check),
              (std::vector<std::string>{"note: " + (dir / "Tarnwick.ini").string() +
                                        " does not exist: every key takes its default (not an "
                                        "error)"}));
    for (const sim::CheckedSetting& s : check.shown) {
        EXPECT_FALSE(s.line.has_value()) << s.key;
    }
}

TEST_F(SettingsCheckTest, aMissingFileWithANearNameBesideItIsAWarningNamingIt)
{
    for (const char* near : {"Tarnwick.ini.txt", "tarnwick.INI", "Tarnwick .ini"}) {
        ScratchDir folder;
        writeFile(folder / near, "[Settings]\nFPS_Moderate=60\n");
        writeFile(folder / "Other.ini", "");
        const sim::SettingsCheck check = *sim::checkSettings(folder / "Tarnwick.ini");
        if (std::filesystem::exists(folder / "Tarnwick.ini")) {
            continue; // a file system without regard to case: the file is there
        }
        EXPECT_EQ(
            findingsOf(check),
            (std::vector<std::string>{
                "warning: " + (folder / "Tarnwick.ini").string() + " does not exist, but " + near +
                " does beside it: the plug-in reads only Tarnwick.ini, so every key "
                "takes its default; rename the file (an editor that hides extensions "
                "may have added one)"}))
            << near;
        EXPECT_EQ(check.settings.fpsModerate, 45);
    }
}

TEST_F(SettingsCheckTest, aFolderInPlaceOfTheFileCannotBeRead)
{
    const sim::Result<sim::SettingsCheck> check = sim::checkSettings(dir.path());
    ASSERT_FALSE(check);
    EXPECT_EQ(check.failure().kind, sim::FailureKind::Folder);
    EXPECT_EQ(sim::failureText(check.failure()),
              dir.path().string() + " is a folder, not a settings file");
}

TEST_F(SettingsCheckTest, showsWhereEachValueCameFromAndWhatEnabledZeroLeavesUnread)
{
    writeFile(dir / "a.ini", "; tuned\n[Settings]\nFPS_Critical=20\n[Main]\nEnabled=0\n");
    const sim::SettingsCheck check = *sim::checkSettings(dir / "a.ini");
    ASSERT_EQ(check.shown.size(), 6u); // Record, read last, included
    EXPECT_EQ(check.shown[0].line, 5u);
    EXPECT_EQ(check.shown[0].value, 0);
    EXPECT_TRUE(check.shown[0].read);
    EXPECT_FALSE(check.shown[3].read) << "Enabled=0 stops the plug-in before FPS_Critical";
}

TEST_F(SettingsCheckTest, recordOtherThanZeroOneOrTwoRecordsNothingAndSaysSo)
{
    for (const char* value : {"0", "1", "2", "3", "-1"}) {
        writeFile(dir / "a.ini", std::string("[Main]\nRecord=") + value + "\n");
        const sim::SettingsCheck check = *sim::checkSettings(dir / "a.ini");
        const bool warned =
            std::any_of(check.findings.begin(), check.findings.end(), [](const sim::Finding& f) {
                return f.message.find("records nothing") != std::string::npos;
            });
        EXPECT_EQ(warned, std::string(value) == "3" || std::string(value) == "-1") << value;
    }
}

// Whatever the bytes, the check answers, and its values are the plug-in's own reading.
TEST_F(SettingsCheckTest, garbageBinaryAndHugeLinesNeverCrashNorChangeTheValues)
{
    std::mt19937 random(7);
    std::vector<std::string> files = {std::string(3 << 20, 'x') + "\n[Settings]\nFPS_Moderate=30\n",
                                      "[Settings]\nFPS_Moderate=" + std::string(1 << 20, '9')};
    for (int i = 0; i < 200; ++i) {
        std::string bytes(static_cast<std::size_t>(random() % 300), '\0');
        for (char& c : bytes) {
            c = "[]=;#\r\n \tSettingsMainFPS_Moderate0123456789-x\xFF\xFE\x00"[random() % 47];
        }
        files.push_back(bytes);
    }
    for (const std::string& bytes : files) {
        writeFile(dir / "t.ini", bytes);
        const sim::SettingsCheck check = *sim::checkSettings(dir / "t.ini");
        const GovernorSettings plugin = readSettings((dir / "t.ini").string());
        EXPECT_EQ(check.settings.fpsModerate, plugin.fpsModerate);
        EXPECT_EQ(check.settings.enabled, plugin.enabled);
        EXPECT_EQ(check.shown[2].value, plugin.enabled ? plugin.fpsModerate : check.shown[2].value);
    }
}

} // namespace

// The tuner never recommends a pair that the check would warn about in a player's file.
TEST(SettingsCheck, warnsAboutThePairsTheTunerMustNotRecommend)
{
    const struct {
        std::int32_t moderate;
        std::int32_t critical;
        bool warned;
    } pairs[] = {{45, 35, false}, {500, 499, false}, {60, 60, true},  {40, 50, true},
                 {45, 0, true},   {0, -5, true},     {600, 501, true}};
    for (const auto& p : pairs) {
        EXPECT_EQ(sim::thresholdsDrawAWarning(p.moderate, p.critical), p.warned)
            << p.moderate << "/" << p.critical;
    }
}
