// Which folder the doctor looks at and how far: Tarnwick's zip unpacked into a folder of its own
// inside the game's, and a folder too crowded to list whole.
#include "sim/doctor/doctor.h"

#include "doctor_support.h"

#include <fmt/format.h>

#include <functional>

namespace {

using testing_support::commandsRunAsTyped;
using testing_support::rightInstall;
using testing_support::ScratchDir;
using testing_support::snapshot;
using testing_support::writeFile;

std::vector<std::string> idsOf(const sim::Examination& examination)
{
    std::vector<std::string> ids;
    for (const sim::DoctorFinding& finding : examination.findings) {
        ids.push_back(finding.id);
    }
    return ids;
}

struct BelowCase {
    const char* name;
    std::function<void(const std::filesystem::path& game, const std::filesystem::path& below)>
        change;
    const char* id;
    std::string message; // {0} the game's folder, {1} the one below it
    std::string toDo;
};

TEST(doctorFolder, belowTheGamesFolderSaysWhatToMoveUpAndWhere)
{
    using std::filesystem::path;
    const auto unpacked = [](const path& game, const path& below) {
        std::filesystem::rename(game / "Tarnwick.asi", below / "Tarnwick.asi");
        std::filesystem::rename(game / "Tarnwick.ini", below / "Tarnwick.ini");
        std::filesystem::create_directory(below / "tools");
    };
    const BelowCase cases[] = {
        {"theZipUnpackedIntoAFolderOfItsOwn", unpacked, "game.inFolderAbove",
         "no program (.exe) in {1}: the game is in the folder above it, {0} (Game.exe), and "
         "Tarnwick's files are here, one folder too deep: the .asi loader looks only beside the "
         "game's .exe",
         "move Tarnwick.asi and Tarnwick.ini from {1} up into {0}; then look at the game's folder: "
         "{2} doctor '{0}'"},
        {"settingsOfTheirOwnAbove",
         [&](const path& game, const path& below) {
             unpacked(game, below);
             writeFile(game / "Tarnwick.ini", "[Settings]\nFPS_Moderate=60\n");
         },
         "game.inFolderAbove", "",
         "move Tarnwick.asi from {1} up into {0} (not Tarnwick.ini: the one already there is the "
         "one read); then look at the game's folder: {2} doctor '{0}'"},
        {"anOlderPluginAbove",
         [&](const path& game, const path& below) {
             unpacked(game, below);
             writeFile(game / "Tarnwick.asi", "old");
         },
         "game.inFolderAbove", "",
         "move Tarnwick.asi and Tarnwick.ini from {1} up into {0}, over the Tarnwick.asi there; "
         "then"},
        {"aFolderOfTheGamesOwn", [](const path&, const path&) {}, "game.missing",
         "no program (.exe) in {1}: this does not look like the game's folder (the folder above "
         "it, {0}, holds one: Game.exe)",
         "give the folder that holds the game's .exe: {2} doctor '{0}', or drop that folder onto "
         "tarnwick-sim.exe"},
    };
#ifdef _WIN32
    const std::string tool = ".\\tarnwick-sim.exe";
#else
    const std::string tool = "./tarnwick-sim";
#endif
    for (const BelowCase& c : cases) {
        ScratchDir scratch;
        const path game = scratch / "Game";
        const path below = game / "Tarnwick-0.1.0-win64";
        std::filesystem::create_directories(below);
        rightInstall(game);
        c.change(game, below);
        const auto before = snapshot(scratch.path());
        const sim::Examination examination = sim::examine(below, "0.1.0");
        ASSERT_EQ(idsOf(examination), std::vector<std::string>{c.id}) << c.name;
        const sim::DoctorFinding& finding = examination.findings.front();
        const auto said = [&](const std::string& text) {
            return fmt::format(fmt::runtime(text), game.string(), below.string(), tool);
        };
        if (!c.message.empty()) {
            EXPECT_EQ(finding.message, said(c.message)) << c.name;
        }
        EXPECT_TRUE(finding.toDo.starts_with(said(c.toDo))) << c.name << ": " << finding.toDo;
        EXPECT_TRUE(commandsRunAsTyped(finding.toDo)) << c.name;
        EXPECT_EQ(snapshot(scratch.path()), before) << c.name << ": a folder changed";
    }
}

struct CrowdedCase {
    const char* name;
    bool game;          // a right install among the filler
    const char* filler; // "{}" numbered
    sim::FolderLimits limits;
    std::vector<std::string> ids; // the first ones
    std::string said;             // in the first finding not game.found; {} the folder
};

// Small limits stand for the real ones, which are the same code with larger numbers.
TEST(doctorFolder, aCrowdedFolderStillShowsTheGameOrSaysWhereTheLookingStopped)
{
    const CrowdedCase cases[] = {
        {"filesLookedUpAreKeptPastTheOthers",
         true,
         "readme{}.txt",
         {.kept = 5, .looked = 1000},
         {"game.found", "hook.found", "loader.found", "plugin.found", "settings.read", "log.found"},
         ""},
        {"noGameAmongThoseLookedAt",
         false,
         "readme{}.txt",
         {.kept = 5, .looked = 10},
         {"game.missing"},
         "looked at the first 10 entries of {} and stopped: none of them is a program (.exe), so "
         "this does not look like the game's folder"},
        {"aGameButNotAllLookedAt",
         true,
         "program{}.exe",
         {.kept = 5, .looked = 10},
         {"game.found", "game.notAllLooked"},
         "looked at the first 10 entries of {} and stopped: a game's folder holds a few hundred"},
    };
    for (const CrowdedCase& c : cases) {
        ScratchDir game;
        if (c.game) {
            rightInstall(game.path());
        }
        for (int i = 0; i < 40; ++i) {
            writeFile(game / fmt::format(fmt::runtime(c.filler), i), "");
        }
        const sim::Examination examination = sim::examine(game.path(), "0.1.0", c.limits);
        std::vector<std::string> ids = idsOf(examination);
        ids.resize(std::min(ids.size(), c.ids.size()));
        EXPECT_EQ(ids, c.ids) << c.name;
        if (!c.said.empty() && examination.findings.size() >= c.ids.size()) {
            const sim::DoctorFinding& finding = examination.findings[c.ids.size() - 1];
            const std::string said = fmt::format(fmt::runtime(c.said), game.path().string());
            EXPECT_TRUE(finding.message.starts_with(said)) << c.name << ": " << finding.message;
            EXPECT_EQ(finding.facts["looked"], 10) << c.name;
        }
    }
}

} // namespace
