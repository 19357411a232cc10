#include "settings/settings.h"

#include "test_support.h"

#include <string>
#include <vector>

namespace {

using testing_support::ScratchDir;
using testing_support::SimTest;
using testing_support::writeFile;

TEST(iniPathBeside, cutsAtTheLastSeparatorOfEitherKind)
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

TEST_F(SettingsTest, overlongModulePathIsCutWithinTheBuffer)
{
    // 300 characters: the platform cuts to 259 and the folder ends at the last separator in them.
    const std::string folder = "C:\\" + std::string(250, 'a') + "\\";
    sim::host().machine.exePath = folder + std::string(50, 'b') + ".exe";
    EXPECT_EQ(getIniPath(), folder.substr(0, folder.size() - 1) + "\\Tarnwick.ini");

    sim::host().machine.exePath = "C:\\" + std::string(400, 'c');
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
                                                 {"Settings", "DetectionRange"}};
    EXPECT_EQ(reads(), expected);
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

} // namespace
