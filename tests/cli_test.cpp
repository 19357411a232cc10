// What `tarnwick-sim settings` tells a player about a settings file.
#include "sim/cli/settings_report.h"

#include "test_support.h"

#include <sstream>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

std::string report(const std::string& path)
{
    std::ostringstream out;
    EXPECT_EQ(reportSettings(path, out), 0);
    return out.str();
}

class SettingsReport : public testing_support::SimTest {
  protected:
    ScratchDir dir;
    std::string ini = (dir / "Tarnwick.ini").string();
};

TEST_F(SettingsReport, missingFileIsSaidAndDefaultsShown)
{
    EXPECT_EQ(report(ini), "note: " + ini +
                               " does not exist: every key takes its default\n"
                               "enabled = true\nlogging = true\nfpsModerate = 45\n"
                               "fpsCritical = 35\ndetectionRange = 50\n");
}

TEST_F(SettingsReport, disabledStopsAfterEnabled)
{
    writeFile(ini, "[Main]\nEnabled=0\n[Settings]\nFPS_Moderate=0\n");
    const std::string text = report(ini);
    EXPECT_NE(text.find("enabled = false\nnote: Enabled is 0"), std::string::npos) << text;
    EXPECT_EQ(text.find("fpsModerate"), std::string::npos) << text;
}

TEST_F(SettingsReport, warnsOfValuesProbablyNotMeant)
{
    writeFile(ini, "[Settings]\nFPS_Moderate=0\nFPS_Critical=-1\nDetectionRange=0\n");
    const std::string text = report(ini);
    EXPECT_NE(text.find("fpsModerate = 0\nfpsCritical = -1\ndetectionRange = 0\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("warning: fpsModerate is 0"), std::string::npos) << text;
    EXPECT_NE(text.find("warning: fpsCritical is -1"), std::string::npos) << text;
    EXPECT_NE(text.find("warning: detectionRange is 0"), std::string::npos) << text;

    writeFile(ini, "[Settings]\nFPS_Moderate=40\nFPS_Critical=40\n");
    EXPECT_NE(report(ini).find("warning: fpsCritical (40) is not below fpsModerate (40)"),
              std::string::npos);
}

TEST_F(SettingsReport, sensibleSettingsGetNoWarning)
{
    writeFile(ini, "[Settings]\nFPS_Moderate=50\nFPS_Critical=30\nDetectionRange=4294967295\n");
    const std::string text = report(ini);
    EXPECT_EQ(text.find("warning"), std::string::npos) << text;
    EXPECT_NE(text.find("detectionRange = 4294967296\n"), std::string::npos) << text;
}

} // namespace
