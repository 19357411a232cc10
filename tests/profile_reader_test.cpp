// The portable profile reader beyond its table (tests/profile): where the file is, not what it
// says.
#include "sim/host/profile_reader.h"

#include "test_support.h"

#include <string>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

TEST(ProfileReader, missingFileOrFolderInPlaceGivesDefault)
{
    ScratchDir dir;
    EXPECT_EQ(sim::readProfileInt("Settings", "FPS_Moderate", -7, (dir / "absent.ini").c_str()),
              static_cast<std::uint32_t>(-7));
    EXPECT_EQ(sim::readProfileInt("Settings", "FPS_Moderate", 45, dir.path().c_str()), 45u);
}

TEST(ProfileReader, backslashesInThePathAreSeparators)
{
    ScratchDir dir;
    writeFile(dir / "Tarnwick.ini", "[Settings]\nFPS_Moderate=33\n");
    const std::string windowsStyle = dir.path().string() + "\\Tarnwick.ini";
    EXPECT_EQ(sim::readProfileInt("Settings", "FPS_Moderate", 45, windowsStyle.c_str()), 33u);
}

} // namespace
