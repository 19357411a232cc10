// The doctor on a game's folder: where it looks, what it finds in each kind of install, and the
// facts it gives scripts.
#include "record/record.h"
#include "sim/doctor/doctor.h"
#include "sim/report/doctor_report.h"
#include "sim/text.h"

#include "doctor_support.h"

#include <algorithm>
#include <chrono>

#include <cstdlib>
#include <cstring>
#include <fmt/format.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>

namespace {

using std::chrono::hours;
using testing_support::commandsRunAsTyped;
using testing_support::FakeDll;
using testing_support::fakeDll;
using testing_support::installed;
using testing_support::older;
using testing_support::rightInstall;
using testing_support::ScratchDir;
using testing_support::snapshot;
using testing_support::writeFile;
using testing_support::writtenBeside;

// The doctor's commands run where the player stands: ".\\tools\\tarnwick-sim.exe" from the
// game's folder once read ".\\tarnwick-sim.exe", which is not there.
TEST(doctorFolder, commandsNameTheToolAsTypedFromTheCurrentFolder)
{
    using std::filesystem::path;
    const std::string tool(sim::toolProgram);
    const path game = path("/games") / "GTA";
    const struct {
        path current;
        std::string command;
    } cases[] = {
        {game / "tools", std::string(sim::ownFolderCommand)},
        {game, (path(".") / "tools" / tool).string()},
        {game.parent_path(), (path(".") / "GTA" / "tools" / tool).string()},
        {path("/home/zoe"), (game / "tools" / tool).string()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::toolCommandFrom(game / "tools", c.current), c.command) << c.current;
    }
    EXPECT_EQ(sim::toolCommandFrom(path("/My Games/GTA/tools"), "/home"),
              (sim::playerShell == sim::Shell::PowerShell ? "& '" : "'") +
                  (path("/My Games/GTA/tools") / tool).string() + "'")
        << "a path with a space, quoted";
}

// A record named "$(touch x)" once ran that when its to-do ("report \"PATH\"") was pasted into
// bash; PowerShell expands inside double quotes too.
TEST(doctorFolder, pathsInCommandsAreQuotedForTheShellTheyArePastedInto)
{
    using sim::Shell;
    const struct {
        std::string path;
        std::optional<std::string> posix;
        std::optional<std::string> powerShell;
    } cases[] = {
        {"C:\\Games\\GTA", "'C:\\Games\\GTA'", "'C:\\Games\\GTA'"},
        {"/g/$(touch pwned).csv", "'/g/$(touch pwned).csv'", "'/g/$(touch pwned).csv'"},
        {"/g/`id`$HOME${x}.csv", "'/g/`id`$HOME${x}.csv'", "'/g/`id`$HOME${x}.csv'"},
        {"/g/it's.csv", "'/g/it'\\''s.csv'", "'/g/it''s.csv'"},
        {"'; rm -rf ~; '", "''\\''; rm -rf ~; '\\'''", "'''; rm -rf ~; '''"},
        {"/g/a\"b\\\".csv", "'/g/a\"b\\\".csv'", "'/g/a\"b\\\".csv'"},
        {"/g/\xE2\x80\x98$(id)\xE2\x80\x99.csv", "'/g/\xE2\x80\x98$(id)\xE2\x80\x99.csv'",
         "'/g/\xE2\x80\x98\xE2\x80\x98$(id)\xE2\x80\x99\xE2\x80\x99.csv'"},
        {"/g/line\nbreak.csv", std::nullopt, std::nullopt},
        {"/g/\x1b]0;x\x07.csv", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::shellArgument(c.path, Shell::Posix), c.posix) << c.path;
        EXPECT_EQ(sim::shellArgument(c.path, Shell::PowerShell), c.powerShell) << c.path;
    }
    const std::filesystem::path tool = std::filesystem::path("/g/$(id) x") / sim::toolProgram;
    EXPECT_EQ(sim::toolCommandFrom("/g/$(id) x", "/home", Shell::Posix), "'" + tool.string() + "'");
    EXPECT_EQ(sim::toolCommandFrom("/g/$(id) x", "/home", Shell::PowerShell),
              "& '" + tool.string() + "'");
}

// The record's to-do pasted into bash as it is printed, the game's folder named with code: the
// path arrives whole and runs nothing.
TEST(doctorFolder, aHostileFolderNameRunsNothingWhenTheRecordsCommandIsPasted)
{
    if constexpr (sim::playerShell != sim::Shell::Posix) {
        GTEST_SKIP() << "bash is the POSIX tool's shell";
    }
    const std::string name = "Tarnwick-record-2026-01-01_00-00-00.csv";
    for (const char* hostile : {"My $(touch pwned) game", "My `touch pwned`'s game",
                                "My \"; touch pwned; \" game", "$HOME ${IFS} 'it''s'"}) {
        ScratchDir scratch;
        const std::filesystem::path game = scratch / hostile;
        std::filesystem::create_directory(game);
        rightInstall(game);
        writeFile(game / "Tarnwick.ini", "[Main]\nRecord=1\n");
        writeFile(game / name, "Tarnwick frame record,version 0.1.0,Record=1\n");
        const sim::Examination examination = sim::examine(game, "0.1.0");
        const auto found =
            std::find_if(examination.findings.begin(), examination.findings.end(),
                         [](const sim::DoctorFinding& f) { return f.id == "record.found"; });
        ASSERT_NE(found, examination.findings.end()) << hostile;
        const std::string& toDo = found->toDo;
        const std::optional<std::string> argument = sim::shellArgument((game / name).string());
        ASSERT_TRUE(argument) << hostile;
        EXPECT_NE(toDo.find(std::string(sim::ownFolderCommand) + " report " + *argument),
                  std::string::npos)
            << toDo;
        writeFile(scratch / "said.sh", "cd \"$1\" && printf %s " + *argument + " >said.txt\n");
        const std::string shell =
            "bash '" + (scratch / "said.sh").string() + "' '" + scratch.path().string() + "'";
        ASSERT_EQ(std::system(shell.c_str()), 0) << *argument;
        EXPECT_FALSE(std::filesystem::exists(scratch / "pwned")) << *argument;
        std::ifstream said(scratch / "said.txt", std::ios::binary);
        const std::string got{std::istreambuf_iterator<char>(said), {}};
        EXPECT_EQ(got, (game / name).string()) << *argument;
    }
}

// The record to drop: the newest by the time in its name (once the last by name, so
// "Tarnwick-record-notes.csv" won), the governed one beside a withheld one (once the withheld
// one, which holds no purge gains), never a link that leads nowhere.
TEST(doctorFolder, theRecordToDropIsTheNewestGovernedOneByTheTimeInItsName)
{
    const auto record = [](int mode) {
        return fmt::format("{},version 0.4.0,build Dec 10 2026 22:33:52,started x,Record={},"
                           "Logging=1,FPS_Moderate=45,FPS_Critical=35,DetectionRange=50\n{}\n",
                           recordTitle, mode, recordColumns);
    };
    const struct {
        const char* name;
        std::vector<std::pair<std::string, int>> files; // name, Record= (0: not a record)
        std::vector<std::string> links;                 // dangling, and one to itself
        std::size_t records;
        std::string toDrop;
        std::vector<std::string> said;
    } cases[] = {
        {"notesAreNoRecord",
         {{"Tarnwick-record-2026-06-28_17-17-51.csv", 1}, {"Tarnwick-record-notes.csv", 0}},
         {},
         1,
         "Tarnwick-record-2026-06-28_17-17-51.csv",
         {"the newest Tarnwick-record-2026-06-28_17-17-51.csv"}},
        {"sessionsOfOneSecondInTheirOrder",
         {{"Tarnwick-record-2026-06-28_17-17-51.csv", 1},
          {"Tarnwick-record-2026-06-28_17-17-51-10.csv", 1},
          {"Tarnwick-record-2026-06-28_17-17-51-2.csv", 1},
          {"Tarnwick-record-2026-06-27_23-00-00-3.csv", 1}},
         {},
         4,
         "Tarnwick-record-2026-06-28_17-17-51-10.csv",
         {"the newest Tarnwick-record-2026-06-28_17-17-51-10.csv"}},
        {"linksThatLeadNowhere",
         {{"Tarnwick-record-2026-06-28_17-17-51.csv", 1}},
         {"Tarnwick-record-2026-12-31_23-59-59.csv", "Tarnwick-record-2027-01-01_00-00-00.csv"},
         1,
         "Tarnwick-record-2026-06-28_17-17-51.csv",
         {"1 frame record beside"}},
        {"withheldNewestBesideAGovernedOne",
         {{"Tarnwick-record-2026-06-28_17-00-00.csv", 1},
          {"Tarnwick-record-2026-06-28_21-00-00.csv", 2}},
         {},
         2,
         "Tarnwick-record-2026-06-28_17-00-00.csv",
         {"drop Tarnwick-record-2026-06-28_17-00-00.csv (Record=1) and "
          "Tarnwick-record-2026-06-28_21-00-00.csv (Record=2) together",
          "the Record=2 one alone holds no purge gains"}},
        {"onlyWithheld",
         {{"Tarnwick-record-2026-06-28_21-00-00.csv", 2}},
         {},
         1,
         "Tarnwick-record-2026-06-28_21-00-00.csv",
         {"its purges were withheld (Record=2), so it shows how the game runs without them but "
          "no purge gains"}},
    };
    for (const auto& c : cases) {
        ScratchDir game;
        rightInstall(game.path());
        for (const auto& [name, mode] : c.files) {
            writeFile(game / name, mode == 0 ? std::string("my notes\n") : record(mode));
        }
        std::error_code error;
        if (!c.links.empty()) {
            std::filesystem::create_symlink(game / "absent.csv", game / c.links[0], error);
            std::filesystem::create_symlink(game / c.links[1], game / c.links[1], error);
        }
        if (error) {
            continue; // a system without symbolic links
        }
        const sim::Examination examination = sim::examine(game.path(), "0.1.0");
        const auto found =
            std::find_if(examination.findings.begin(), examination.findings.end(),
                         [](const sim::DoctorFinding& f) { return f.id == "record.found"; });
        ASSERT_NE(found, examination.findings.end()) << c.name;
        EXPECT_EQ(found->facts["records"].size(), c.records) << c.name << found->facts.dump(1);
        EXPECT_EQ(found->facts["toDrop"], (game / c.toDrop).string()) << c.name;
        const std::string text = found->message + "\n" + found->toDo;
        for (const std::string& phrase : c.said) {
            EXPECT_NE(text.find(phrase), std::string::npos) << c.name << ": " << phrase << "\n"
                                                            << text;
        }
    }
}

// A quoted path in a to-do is never broken across lines: the break would be pasted inside it.
TEST(doctorFolder, aQuotedPathInAToDoStaysOnOneLine)
{
    for (const std::string& path :
         {std::string("'/home/zoe/My Games/Grand Theft Auto V/Tarnwick record of a long evening "
                      "with friends/Tarnwick-record-2026-06-28_17-17-51.csv'"),
          std::string("'/home/zoe/it'\\''s a game with a long name here/and a folder in it "
                      "too'\\''/Tarnwick-record-2026-06-28_17-17-51.csv'"),
          std::string("'C:\\Games\\Zoe''s Games\\Grand Theft Auto V with spaces in its "
                      "name\\Tarnwick-record-2026-06-28_17-17-51.csv'")}) {
        sim::Examination examination{"/g", "0.1.0", {}};
        examination.findings.push_back(
            {"record.found", sim::Severity::Note, "a record",
             "drop it onto tarnwick-sim.exe, or run ./tarnwick-sim report " + path +
                 ": what each "
                 "purge gained"});
        std::ostringstream out;
        sim::printDoctor(out, examination);
        EXPECT_NE(out.str().find(path + ":"), std::string::npos) << out.str();
    }
}

TEST(doctorFolder, theDefaultIsAboveAToolsFolderElseTheCurrentOne)
{
    const std::filesystem::path current = "current";
    EXPECT_EQ(sim::defaultGameFolder("game/tools", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/Tools", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/TOOLS", current), "game");
    EXPECT_EQ(sim::defaultGameFolder("game/bin", current), current);
    EXPECT_EQ(sim::defaultGameFolder("game/tools2", current), current);
}

struct FolderCase {
    const char* name;
    std::function<void(const std::filesystem::path&)> change;
    std::vector<std::string> ids;       // after game.found, hook.found, loader.found
    std::vector<std::string> said = {}; // in the findings' messages and to-dos
};

TEST(doctorFolder, findingsOfEachInstallAndTheFolderUnchanged)
{
    using std::filesystem::path;
    const auto asi = [](FakeDll dll, const char* name = "Tarnwick.asi") {
        return [dll, name](const path& game) { writeFile(game / name, fakeDll(dll)); };
    };
    // A copy of Tarnwick.ini under another name, changed, written an hour before or after it.
    const auto settingsCopy = [](const char* name, hours later) {
        return [name, later](const path& game) {
            writeFile(game / name, "[Settings]\r\nFPS_Moderate=70\r\n");
            writtenBeside(game / name, game / "Tarnwick.ini", later);
        };
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
        {"copiesByName",
         [&](const path& game) {
             asi({.stamp = installed}, "Tarnwick (1).asi")(game);
             asi({.version = "0.0.9", .product = std::nullopt}, "tarnwick_old.asi")(game);
             writeFile(game / "Tarnwick-0.0.9.asi", "MZ cut short");
         },
         {"plugin.found", "plugin.copies", "settings.read", "log.found"},
         {"Tarnwick (1).asi, Tarnwick-0.0.9.asi and tarnwick_old.asi are copies of Tarnwick too, "
          "beside Tarnwick.asi: the loader loads every .asi in the game's folder",
          "delete Tarnwick (1).asi, Tarnwick-0.0.9.asi and tarnwick_old.asi, or move them out"}},
        {"copyByItsProductNotAnotherProductByItsName",
         [&](const path& game) {
             asi({}, "FrameGovernor.asi")(game);
             asi({.product = "Tarnwick Weather"}, "TarnwickWeather.asi")(game);
             asi({.product = "Menu"}, "Menu.asi")(game);
         },
         {"plugin.found", "plugin.copies", "settings.read", "log.found"},
         {"FrameGovernor.asi is a copy of Tarnwick too, beside Tarnwick.asi",
          "delete FrameGovernor.asi, or move it out of the game's folder"}},
        {"copiesWithoutTarnwickAsi",
         [&](const path& game) {
             std::filesystem::rename(game / "Tarnwick.asi", game / "Tarnwick (1).asi");
             asi({}, "Tarnwick - Copy.asi")(game);
         },
         {"plugin.misnamed", "plugin.copies", "settings.read", "log.found"},
         {"no Tarnwick.asi, but Tarnwick (1).asi is here",
          "Tarnwick - Copy.asi is a copy of Tarnwick too, beside Tarnwick (1).asi"}},
        {"anotherProductUnderOurName",
         asi({.version = "2.3.0", .product = "FPS Booster"}),
         {"plugin.otherProduct", "settings.read", "log.found"},
         {"Tarnwick.asi is not Tarnwick: its version resource names another product, FPS "
          "Booster, version 2.3.0",
          "copy Tarnwick.asi from Tarnwick's zip into the game's folder, over this one"}},
        {"settingsSavedAsTextBeside",
         settingsCopy("Tarnwick.ini.txt", hours(1)),
         {"plugin.found", "settings.read", "settings.nearNameNotRead", "log.found"},
         {"your edit in Tarnwick.ini.txt is not read: Tarnwick reads Tarnwick.ini only",
          "copy your edit into Tarnwick.ini and delete Tarnwick.ini.txt; or delete Tarnwick.ini "
          "and rename Tarnwick.ini.txt to Tarnwick.ini (Explorer hides known extensions"}},
        {"settingsCopyEditedLast",
         settingsCopy("Tarnwick (1).ini", hours(1)),
         {"plugin.found", "settings.read", "settings.nearNameNotRead", "log.found"},
         {"your edit in Tarnwick (1).ini is not read",
          "rename Tarnwick (1).ini to Tarnwick.ini\n"}},
        {"settingsCopyKeptBefore",
         settingsCopy("Tarnwick - Copy.ini", hours(-1)),
         {"plugin.found", "settings.read", "settings.nearNameNotRead", "log.found"},
         {"Tarnwick - Copy.ini differs from Tarnwick.ini and is not read",
          "nothing, if Tarnwick - Copy.ini is a copy you keep"}},
        {"settingsCopyTheSame",
         [](const path& game) {
             std::filesystem::copy_file(game / "Tarnwick.ini", game / "Tarnwick - Copy.ini");
             writtenBeside(game / "Tarnwick - Copy.ini", game / "Tarnwick.ini", hours(1));
         },
         {"plugin.found", "settings.read", "log.found"}},
        // The zip unpacked into a folder of its own: both files go up, said one way (the
        // settings once said "copy Tarnwick.ini from the zip" while it lay beside the .asi).
        {"zipUnpackedIntoAFolderBelow",
         [](const path& game) {
             std::filesystem::create_directory(game / "Tarnwick-1.0");
             for (const char* name : {"Tarnwick.asi", "Tarnwick.ini"}) {
                 std::filesystem::rename(game / name, game / "Tarnwick-1.0" / name);
             }
         },
         {"plugin.misplaced", "settings.misplaced", "log.found"},
         {"Tarnwick-1.0/Tarnwick.ini is beside the misplaced Tarnwick.asi",
          "Tarnwick-1.0/Tarnwick.ini into "}},
        // Thresholds the check warns about are no place to go back to ("set them back (45 and
        // 50)" once).
        {"reversedThresholdsNotSetBack",
         [](const path& game) {
             writeFile(game / "Tarnwick.ini", "[Settings]\nFPS_Moderate=45\nFPS_Critical=50\n");
             std::filesystem::remove(game / "Tarnwick.log");
         },
         {"plugin.found", "settings.warnings", "log.missing"},
         {"then set them to the pair you mean, mended as Tarnwick.ini's warnings say"}},
        {"onlyACopyOfTheSettings",
         [](const path& game) {
             std::filesystem::rename(game / "Tarnwick.ini", game / "Tarnwick (1).ini");
         },
         {"plugin.found", "settings.nearName", "log.found"},
         {"no Tarnwick.ini, but Tarnwick (1).ini is here", "rename Tarnwick (1).ini to "
                                                           "Tarnwick.ini"}},
        {"framesRecorded",
         [](const path& game) {
             for (const char* name : {"Tarnwick-record-2026-06-28_17-17-51.csv",
                                      "tarnwick-record-2026-06-28_17-17-51-2.csv",
                                      "Tarnwick-record-2026-06-27_09-00-00.csv"}) {
                 writeFile(game / name, "Tarnwick frame record,version 0.1.0\n");
             }
             std::filesystem::create_directory(game / "Tarnwick-record-old.csv");
             writeFile(game / "Tarnwick-record-2026-06-28.txt", "");
         },
         {"plugin.found", "settings.read", "log.found", "record.found"},
         {"3 frame records beside Tarnwick.log, the newest "
          "tarnwick-record-2026-06-28_17-17-51-2.csv",
          "drop tarnwick-record-2026-06-28_17-17-51-2.csv onto tarnwick-sim.exe"}},
        {"recordSetButNoneYet",
         [](const path& game) { writeFile(game / "Tarnwick.ini", "[Main]\r\nRecord=2\r\n"); },
         {"plugin.found", "settings.read", "log.found", "record.none"},
         {"Record is set in Tarnwick.ini, but there is no frame record yet"}},
    };
    for (const FolderCase& c : cases) {
        ScratchDir game;
        rightInstall(game.path());
        c.change(game.path());
        const auto before = snapshot(game.path());
        const sim::Examination examination = sim::examine(game.path(), "0.1.0");
        std::vector<std::string> ids;
        std::string text;
        for (const sim::DoctorFinding& finding : examination.findings) {
            ids.push_back(finding.id);
            text += finding.message + "\n" + finding.toDo + "\n";
            EXPECT_FALSE(finding.message.empty()) << c.name << ": " << finding.id;
            EXPECT_EQ(finding.toDo.empty(), finding.severity == sim::Severity::Fine)
                << c.name << ": " << finding.id;
            EXPECT_TRUE(commandsRunAsTyped(finding.toDo)) << c.name << ": " << finding.toDo;
        }
        for (const std::string& phrase : c.said) {
            EXPECT_NE(text.find(phrase), std::string::npos) << c.name << ": " << phrase << "\n"
                                                            << text;
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
