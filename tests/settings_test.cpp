#include "settings/settings.h"

#include "test_support.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

using testing_support::ScratchDir;
using testing_support::SimTest;
using testing_support::writeFile;

TEST(IniPathBeside, cutsAtTheLastSeparatorOfEitherKind)
{
    struct Case {
        const char* exe;
        const char* ini;
    };
    const Case cases[] = {
        {"C:\\Games\\game.exe", "C:\\Games\\Tarnwick.ini"},
        {"C:/Games/game.exe", "C:/Games\\Tarnwick.ini"},
        {"C:\\Games/sub\\dir/game.exe", "C:\\Games/sub\\dir\\Tarnwick.ini"},
        {"game.exe", "game.exe\\Tarnwick.ini"}, // no separator: used whole
        {"", "\\Tarnwick.ini"},
        {"\\game.exe", "\\Tarnwick.ini"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(iniPathBeside(c.exe), c.ini) << "exe path " << c.exe;
    }
}

class SettingsTest : public SimTest {
  protected:
    ScratchDir dir;
    std::string ini() const { return (dir / "Tarnwick.ini").string(); }
    std::vector<sim::ProfileRead> reads() const { return sim::host().machine.profileReads; }
};

TEST_F(SettingsTest, iniPathComesFromTheExecutablesFolder)
{
    sim::host().machine.exePath = "C:\\Games\\GTAV\\game.exe";
    EXPECT_EQ(getIniPath(), "C:\\Games\\GTAV\\Tarnwick.ini");
}

TEST_F(SettingsTest, failedModulePathFallsBackToTheWorkingFolder)
{
    sim::host().machine.modulePathFails = true;
    EXPECT_EQ(getIniPath(), ".\\Tarnwick.ini");
}

TEST_F(SettingsTest, executablePathAtAndPastTheLimit)
{
    const std::string folder = "C:\\" + std::string(240, 'g');
    const std::string name = "\\game.exe";
    const std::string exact = folder + name.substr(0, 259 - folder.size()); // 259: fits
    sim::host().machine.exePath = exact;
    EXPECT_EQ(getIniPath(), folder + "\\Tarnwick.ini");
    sim::host().machine.exePath = exact + "x"; // 260: cut to 259, same folder
    EXPECT_EQ(getIniPath(), folder + "\\Tarnwick.ini");
    sim::host().machine.exePath =
        folder + std::string(5000, 'x'); // the cut falls inside the folder name
    EXPECT_EQ(getIniPath(), "C:\\Tarnwick.ini");
}

TEST_F(SettingsTest, missingFileGivesEveryDefault)
{
    const GovernorSettings settings = readSettings(ini());
    EXPECT_TRUE(settings.enabled);
    EXPECT_TRUE(settings.logging);
    EXPECT_EQ(settings.fpsModerate, 45);
    EXPECT_EQ(settings.fpsCritical, 35);
    EXPECT_EQ(settings.detectionRange, 50.0f);
}

TEST_F(SettingsTest, readsEachKeyOnceInOrder)
{
    writeFile(ini(), "[Main]\nEnabled=2\nLogging=0\n[Settings]\nFPS_Moderate=60\n"
                     "FPS_Critical=30\nDetectionRange=120\n");
    const GovernorSettings settings = readSettings(ini());
    EXPECT_TRUE(settings.enabled); // any nonzero value
    EXPECT_FALSE(settings.logging);
    EXPECT_EQ(settings.fpsModerate, 60);
    EXPECT_EQ(settings.fpsCritical, 30);
    EXPECT_EQ(settings.detectionRange, 120.0f);
    const std::vector<sim::ProfileRead> expected{{"Main", "Enabled"},
                                                 {"Main", "Logging"},
                                                 {"Settings", "FPS_Moderate"},
                                                 {"Settings", "FPS_Critical"},
                                                 {"Settings", "DetectionRange"},
                                                 {"Main", "Record"}};
    EXPECT_EQ(reads(), expected);
}

TEST_F(SettingsTest, recordModesAndStrayValues)
{
    EXPECT_EQ(recordModeOf(0), RecordMode::Off);
    EXPECT_EQ(recordModeOf(1), RecordMode::On);
    EXPECT_EQ(recordModeOf(2), RecordMode::WithoutPurging);
    EXPECT_EQ(recordModeOf(3), RecordMode::Off);           // never stops purges by accident
    EXPECT_EQ(recordModeOf(0xFFFFFFFFu), RecordMode::Off); // -1
}

TEST_F(SettingsTest, enabledZeroStopsBeforeAnyOtherKey)
{
    writeFile(ini(), "[Main]\nEnabled=0\nLogging=0\n[Settings]\nFPS_Moderate=60\n");
    const GovernorSettings settings = readSettings(ini());
    EXPECT_FALSE(settings.enabled);
    EXPECT_EQ(reads(), (std::vector<sim::ProfileRead>{{"Main", "Enabled"}}));
}

TEST_F(SettingsTest, allBitsSetIsMinusOneForThresholdsAndAHugeRange)
{
    writeFile(ini(), "[Settings]\nFPS_Moderate=-1\nFPS_Critical=4294967295\n"
                     "DetectionRange=-1\n");
    const GovernorSettings settings = readSettings(ini());
    EXPECT_EQ(settings.fpsModerate, -1);
    EXPECT_EQ(settings.fpsCritical, -1);
    EXPECT_EQ(settings.detectionRange, 4294967296.0f);
}

TEST_F(SettingsTest, rangeIsConvertedAsUnsignedAndRoundedToFloat)
{
    writeFile(ini(), "[Settings]\nDetectionRange=2147483648\n");
    EXPECT_EQ(readSettings(ini()).detectionRange, 2147483648.0f);
    writeFile(ini(), "[Settings]\nDetectionRange=16777217\n");
    EXPECT_EQ(readSettings(ini()).detectionRange, 16777216.0f); // nearest float
}

TEST_F(SettingsTest, fileFoundThroughTheBackslashPathOfTheExecutable)
{
    writeFile(ini(), "[Settings]\nFPS_Moderate=70\n");
    sim::host().machine.exePath = (dir / "game.exe").string();
    EXPECT_EQ(readSettings(getIniPath()).fpsModerate, 70);
}

// Inputs nobody meant: each gets the documented default, never a crash or a hang.
class BadSettings : public testing_support::SimTest {
  protected:
    ScratchDir game;
    std::string ini = (game / "Tarnwick.ini").string();

    static void expectDefaults(const GovernorSettings& s)
    {
        EXPECT_TRUE(s.enabled);
        EXPECT_TRUE(s.logging);
        EXPECT_EQ(s.fpsModerate, 45);
        EXPECT_EQ(s.fpsCritical, 35);
        EXPECT_EQ(s.detectionRange, 50.0f);
    }
};

TEST_F(BadSettings, binaryJunkGivesDefaults)
{
    std::mt19937 rng(11);
    std::string junk(256 * 1024, '\0');
    for (char& c : junk) {
        // High bytes and control characters, with line ends and brackets among them: no names.
        const auto v = static_cast<unsigned>(rng() % 160);
        c = v < 128 ? static_cast<char>(0x80 + v) : "\n\r[]=;\t\0 "[v % 9];
    }
    writeFile(ini, junk);
    expectDefaults(readSettings(ini));
}

TEST_F(BadSettings, hugeFilesAreReadToTheirKeys)
{
    std::string big;
    for (int i = 0; i < 400000; ++i) {
        big += "; a comment line that a generator wrote too many times over\n";
    }
    big += "[Settings]\nFPS_Moderate=30\n";
    writeFile(ini, big); // about 24 MB
    EXPECT_EQ(readSettings(ini).fpsModerate, 30);

    // One line of 8 MB: only the first 29 characters of a value count.
    writeFile(ini, "[Settings]\nFPS_Moderate=" + std::string(8 * 1024 * 1024, '7') + "\n");
    EXPECT_EQ(readSettings(ini).fpsModerate, -775480207); // 29 sevens, wrapped at 32 bits
}

TEST_F(BadSettings, nulBytesEndNamesAndValues)
{
    using namespace std::string_literals;
    writeFile(ini, "[Main]\0junk\nLogging=0\n[Settings\0]\nFPS_Moderate=3\0"
                   "0\n"s);
    const GovernorSettings s = readSettings(ini);
    EXPECT_FALSE(s.logging);
    EXPECT_EQ(s.fpsModerate, 3) << "names and values end at a NUL, as Windows' do";
}

TEST_F(BadSettings, unreadableInPlaceOfTheFileGivesDefaults)
{
    std::filesystem::create_directory(ini); // a folder where the file should be
    expectDefaults(readSettings(ini));
    writeFile(game / "plain.txt", "not a folder");
    sim::host().machine.exePath =
        (game / "plain.txt" / "game.exe").string(); // a path through a file
    expectDefaults(readSettings(getIniPath()));
}

} // namespace
