// Inputs nobody meant: each gets the documented default or a clear outcome, never a crash or a
// hang, and nothing that was there is lost.
#include "governor/purge.h"
#include "governor/state.h"
#include "host/natives.h"
#include "settings/settings.h"
#include "test_support.h"

#include <cmath>
#include <limits>
#include <random>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

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

TEST_F(BadSettings, executablePathAtAndPastTheLimit)
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

struct Reading {
    const char* name;
    float first;
    float second;
    PerfState from;
    PerfState to;
};

class OddFrameTimes : public ::testing::TestWithParam<Reading> {};

TEST_P(OddFrameTimes, followTheEstimateRules)
{
    const Reading r = GetParam();
    int asked = 0;
    const float fps = estimateFps([&] { return asked++ == 0 ? r.first : r.second; });
    GovernorState governor{r.from, 0};
    advanceState(governor, fps, GovernorSettings{});
    EXPECT_EQ(governor.state, r.to) << r.name << ": fps " << fps;
}

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    readings, OddFrameTimes,
    ::testing::Values(
        Reading{"nanFallsBackTo60", nan, 0.04f, PerfState::Moderate, PerfState::Normal},
        Reading{"zeroFallsBackTo60", 0.0f, 0.04f, PerfState::Moderate, PerfState::Normal},
        Reading{"negativeFallsBackTo60", -0.02f, 0.04f, PerfState::Moderate, PerfState::Normal},
        Reading{"infinityIsZeroFps", inf, inf, PerfState::Normal, PerfState::Moderate},
        Reading{"subnormalIsInfiniteFps", 1e-40f, 1e-40f, PerfState::Critical, PerfState::Moderate},
        Reading{"secondNanChangesNothing", 0.04f, nan, PerfState::Moderate, PerfState::Moderate},
        Reading{"secondNegativeIsNegativeFps", 0.01f, -0.01f, PerfState::Moderate,
                PerfState::Critical},
        Reading{"readingsDifferSecondCounts", 0.001f, 0.05f, PerfState::Moderate,
                PerfState::Critical}),
    [](const auto& row) { return std::string(row.param.name); });

class VanishingVehicles : public testing_support::SimTest {};

TEST_F(VanishingVehicles, handlesGoneBetweenListingAndDeletionAreHarmless)
{
    sim::host().world.playerX = 100.0f;
    const Entity vanishing = sim::addVehicle(500.0f, 0, 0);
    const Entity stays = sim::addVehicle(600.0f, 0, 0);
    // The game removes the first vehicle right after the purge asked whether it exists.
    bool removed = false;
    sim::host().faults.onNative = [&](std::uint64_t hash) {
        if (hash == nativeHash::isMissionEntity && !removed) {
            removed = true;
            sim::removeVehicle(vanishing);
        }
    };
    purgeDistantVehicles(50.0f);
    EXPECT_TRUE(removed);
    EXPECT_EQ(sim::findVehicle(vanishing), nullptr);
    EXPECT_EQ(sim::findVehicle(stays), nullptr) << "the scan went on past the vanished handle";
    EXPECT_TRUE(sim::host().world.vehicles.empty());
}

} // namespace
