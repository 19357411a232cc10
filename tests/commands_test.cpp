// The commands as a player meets them: a capture dropped onto the tool.
#include "sim/cli/commands.h"

#include "test_support.h"

#include <sstream>

namespace {

using testing_support::InDirectory;
using testing_support::ScratchDir;
using testing_support::writeFile;

TEST(DroppedCapture, onlyASingleExistingFileCounts)
{
    ScratchDir dir;
    writeFile(dir / "run 1.csv", "16.6\n");
    const std::string file = (dir / "run 1.csv").string();
    EXPECT_EQ(droppedCapture({"tarnwick-sim", file}), dir / "run 1.csv");
    EXPECT_FALSE(droppedCapture({"tarnwick-sim", "replay"}));
    EXPECT_FALSE(droppedCapture({"tarnwick-sim", "--help"}));
    EXPECT_FALSE(droppedCapture({"tarnwick-sim", dir.path().string()}));
    EXPECT_FALSE(droppedCapture({"tarnwick-sim", file, "--json"}));
    EXPECT_FALSE(droppedCapture({"tarnwick-sim", (dir / "absent.csv").string()}));
}

TEST(DroppedCapture, isReplayedAndChartedBesideItself)
{
    ScratchDir dir;
    InDirectory stay(std::filesystem::current_path()); // the replay enters the capture's folder
    writeFile(dir / "run 1.csv", "Application,MsBetweenPresents\nGame.exe,40\nGame.exe,40\n");
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(replayDroppedCapture(dir / "run 1.csv", out, err), 0) << err.str();
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "run 1.csv.tarnwick.svg"));
    const std::string text = out.str();
    EXPECT_NE(text.find("settings: no Tarnwick.ini beside the tool, so every default"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("summary:"), std::string::npos) << text;
    EXPECT_NE(text.find("chart: " + (dir / "run 1.csv.tarnwick.svg").string()), std::string::npos)
        << text;
}

} // namespace
