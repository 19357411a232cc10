// The doctor on a game's folder: where it looks, what it finds in each kind of install, and the
// facts it gives scripts.
#include "sim/doctor/doctor.h"
#include "sim/report/doctor_report.h"
#include "sim/text.h"

#include "fake_dll.h"
#include "test_support.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <sstream>

namespace {

using testing_support::FakeDll;
using testing_support::fakeDll;
using testing_support::installed;
using testing_support::logLine;
using testing_support::older;
using testing_support::putLittleEndian;
using testing_support::ScratchDir;
using testing_support::writeFile;

TEST(doctorFolder, theDefaultIsAboveAToolsFolderElseTheCurrentOne)
{
    const std::filesystem::path current = "current";
    EXPECT_EQ(sim::defaultGameFolder("game/tools", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/Tools", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/TOOLS", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/bin", current), current);
    EXPECT_EQ(sim::defaultGameFolder("game/tools2", current), current);
}

// A right install, which each case then changes.
void rightInstall(const std::filesystem::path& game)
{
    for (const char* name : {"Game.exe", "ScriptHookV.dll", "dinput8.dll"}) {
        writeFile(game / name, "");
    }
    writeFile(game / "Tarnwick.asi", fakeDll({.stamp = installed}));
    writeFile(game / "Tarnwick.ini", "[Settings]\r\nFPS_Moderate=60\r\nFPS_Critical=50\r\n");
    writeFile(game / "Tarnwick.log", logLine(older) + logLine(installed));
}

struct FolderCase {
    const char* name;
    std::function<void(const std::filesystem::path&)> change;
    std::vector<std::string> ids; // after game.found, hook.found, loader.found
};

// Everything the doctor might touch: names, sizes and times of every file below the folder.
std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>>
snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0,
                                        entry.last_write_time()};
    }
    return files;
}

TEST(doctorFolder, findingsOfEachInstallAndTheFolderUnchanged)
{
    using std::filesystem::path;
    const auto asi = [](FakeDll dll) {
        return [dll](const path& game) { writeFile(game / "Tarnwick.asi", fakeDll(dll)); };
    };
    const FolderCase cases[] = {
        {"right", [](const path&) {}, {"plugin.found", "settings.read", "log.found"}},
        {"namesInAnyCase",
         [](const path& game) {
             std::filesystem::rename(game / "Tarnwick.asi", game / "TARNWICK.ASI");
             std::filesystem::rename(game / "ScriptHookV.dll", game / "scripthookv.DLL");
         },
         {"plugin.found", "settings.read", "log.found"}},
        {"asiWithADllExtension",
         [](const path& game) {
             std::filesystem::rename(game / "Tarnwick.asi", game / "Tarnwick.asi.dll");
         },
         {"plugin.misnamed", "settings.read", "log.found"}},
        {"olderPlugin",
         asi({.version = "0.0.9", .stamp = installed}),
         {"plugin.older", "settings.read", "log.found"}},
        {"newerPlugin",
         asi({.version = "0.10.0", .stamp = installed}),
         {"plugin.newer", "settings.read", "log.found"}},
        {"pluginWithoutVersion",
         asi({.version = std::nullopt, .stamp = installed}),
         {"plugin.noVersion", "settings.read", "log.found"}},
        {"programUnderThePluginsName",
         asi({.dll = false}),
         {"plugin.notADll", "settings.read", "log.found"}},
        {"settingsWarn",
         [](const path& game) { writeFile(game / "Tarnwick.ini", "[Settings]\nFPS_Moderat=60\n"); },
         {"plugin.found", "settings.warnings", "log.found"}},
        {"settingsAFolder",
         [](const path& game) {
             std::filesystem::remove(game / "Tarnwick.ini");
             std::filesystem::create_directory(game / "Tarnwick.ini");
         },
         {"plugin.found", "settings.unreadable", "log.found"}},
        {"loggingOff",
         [](const path& game) {
             writeFile(game / "Tarnwick.ini", "[Main]\nLogging=0\n");
             std::filesystem::remove(game / "Tarnwick.log");
         },
         {"plugin.found", "settings.read", "log.off"}},
        {"switchedOff",
         [](const path& game) {
             writeFile(game / "Tarnwick.ini", "[Main]\nEnabled=0\n");
             std::filesystem::remove(game / "Tarnwick.log");
         },
         {"plugin.found", "settings.notes", "log.off"}},
        {"logAFolder",
         [](const path& game) {
             std::filesystem::remove(game / "Tarnwick.log");
             std::filesystem::create_directory(game / "Tarnwick.log");
         },
         {"plugin.found", "settings.read", "log.notAFile"}},
        {"logWithoutPurges",
         [](const path& game) { writeFile(game / "Tarnwick.log", "notes\n"); },
         {"plugin.found", "settings.read", "log.noPurges"}},
    };
    for (const FolderCase& c : cases) {
        ScratchDir game;
        rightInstall(game.path());
        c.change(game.path());
        const auto before = snapshot(game.path());
        const sim::Examination examination = sim::examine(game.path(), "0.1.0");
        std::vector<std::string> ids;
        for (const sim::DoctorFinding& finding : examination.findings) {
            ids.push_back(finding.id);
            EXPECT_FALSE(finding.message.empty()) << c.name << ": " << finding.id;
            EXPECT_EQ(finding.toDo.empty(), finding.severity == sim::Severity::Fine)
                << c.name << ": " << finding.id;
        }
        std::vector<std::string> expected = {"game.found", "hook.found", "loader.found"};
        expected.insert(expected.end(), c.ids.begin(), c.ids.end());
        EXPECT_EQ(ids, expected) << c.name;
        EXPECT_EQ(snapshot(game.path()), before) << c.name << ": the folder changed";
    }
}

TEST(doctorFolder, givesScriptsTheFactsBehindEachFinding)
{
    ScratchDir game;
    rightInstall(game.path());
    std::filesystem::last_write_time(
        game / "Tarnwick.log",
        std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(1796734985)));
    const nlohmann::json json =
        nlohmann::json::parse(sim::jsonText(sim::doctorJson(sim::examine(game.path(), "0.1.0"))));
    EXPECT_EQ(json["needsDoing"], 0);
    const nlohmann::json& plugin = json["findings"][3];
    EXPECT_EQ(plugin["facts"]["version"], "0.1.0");
    EXPECT_EQ(plugin["facts"]["buildStamp"], installed);
    const nlohmann::json& log = json["findings"][5];
    EXPECT_EQ(log["id"], "log.found");
    EXPECT_EQ(log["facts"]["purges"], 2);
    EXPECT_EQ(log["facts"]["lastWritten"], "2026-12-08T13:03:05Z");
    EXPECT_EQ(log["facts"]["lastStamp"], installed);
    EXPECT_EQ(log["facts"]["builds"][0]["stamp"], older);
}

} // namespace
