// How far the doctor looks into a folder too crowded to list whole.
#include "sim/doctor/doctor.h"

#include "doctor_support.h"

#include <fmt/format.h>

#include <functional>

namespace {

using testing_support::rightInstall;
using testing_support::ScratchDir;
using testing_support::writeFile;

std::vector<std::string> idsOf(const sim::Examination& examination)
{
    std::vector<std::string> ids;
    for (const sim::DoctorFinding& finding : examination.findings) {
        ids.push_back(finding.id);
    }
    return ids;
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
