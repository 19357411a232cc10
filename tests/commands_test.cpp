// Longer than most files here on purpose: the tables of what a drop and the settings chooser do,
// side by side, as a player meets them.
// The commands as a player meets them: a capture dropped onto the tool.
#include "sim/cli/commands.h"
#include "sim/cli/settings_source.h"

#include "test_support.h"

#include <nlohmann/json.hpp>

#include <array>
#include <optional>
#include <sstream>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

TEST(Dropped, isSortedByWhatEachIs)
{
    ScratchDir dir;
    writeFile(dir / "run 1.csv", "16.6\n");
    writeFile(dir / "run 2.csv", "16.6\n");
    writeFile(dir / "Tarnwick.INI", "[Settings]\n");
    writeFile(dir / "notes.txt", "remember to buy milk\n");
    writeFile(dir / "captures.zip", "PK\x03\x04");
    writeFile(dir / "run 1.csv.tarnwick.html", "<!DOCTYPE html>");
    writeFile(dir / "Tarnwick.log", "[Dec  1 2026 10:00:00] purge\n");
    const auto at = [&](const char* name) { return (dir / name).string(); };
    const std::string folder = dir.path().string();
    // captures, settings, folders, missing, not captures, logs
    using Counts = std::array<std::size_t, 6>;
    const struct {
        const char* name;
        std::vector<std::string> arguments;
        std::optional<Counts> counts; // none: a command line
    } cases[] = {
        {"one capture", {at("run 1.csv")}, Counts{1, 0, 0, 0, 0, 0}},
        {"two captures", {at("run 1.csv"), at("run 2.csv")}, Counts{2, 0, 0, 0, 0, 0}},
        {"settings alone", {at("Tarnwick.INI")}, Counts{0, 1, 0, 0, 0, 0}},
        {"settings with a capture",
         {at("run 1.csv"), at("Tarnwick.INI")},
         Counts{1, 1, 0, 0, 0, 0}},
        {"a folder", {folder}, Counts{0, 0, 1, 0, 0, 0}},
        {"a folder with a capture", {folder, at("run 1.csv")}, Counts{1, 0, 1, 0, 0, 0}},
        {"missing", {at("absent.csv")}, Counts{0, 0, 0, 1, 0, 0}},
        {"one missing of two", {at("run 1.csv"), at("absent.csv")}, Counts{1, 0, 0, 1, 0, 0}},
        {"what is no capture",
         {at("notes.txt"), at("captures.zip"), at("run 1.csv.tarnwick.html")},
         Counts{0, 0, 0, 0, 3, 0}},
        {"Ctrl+A in the folder",
         {at("run 1.csv"), at("run 1.csv.tarnwick.html"), at("Tarnwick.log")},
         Counts{1, 0, 0, 0, 1, 1}},
        {"a command's word", {"replay"}, std::nullopt},
        {"an option", {"--help"}, std::nullopt},
        {"a capture and an option", {at("run 1.csv"), "--json"}, std::nullopt},
        {"nothing", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"tarnwick-sim"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const sim::Dropped d = sim::whatWasDropped(arguments);
        EXPECT_EQ(d.commandLine, !c.counts) << c.name;
        if (c.counts) {
            EXPECT_EQ((Counts{d.captures.size(), d.settings.size(), d.folders.size(),
                              d.missing.size(), d.others.size(), d.logs.size()}),
                      *c.counts)
                << c.name;
        }
    }
}

std::string twoSpeeds()
{
    std::string frames = "Application,MsBetweenPresents\n";
    for (int i = 0; i < 600; ++i) {
        frames += i % 100 < 50 ? "Game.exe,16\n" : "Game.exe,40\n";
    }
    return frames;
}

sim::Dropped dropOf(const std::vector<std::filesystem::path>& paths)
{
    std::vector<std::string> arguments{"tarnwick-sim"};
    for (const std::filesystem::path& path : paths) {
        arguments.push_back(path.string());
    }
    return sim::whatWasDropped(arguments);
}

TEST(Dropped, capturesGetThePageBesideTheFirst)
{
    ScratchDir dir;
    writeFile(dir / "run 1.csv", twoSpeeds());
    writeFile(dir / "run 2.csv", twoSpeeds());
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::onDrop(dropOf({dir / "run 1.csv", dir / "run 2.csv"}), "0", out, err), 0)
        << err.str();
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "run 1.csv.tarnwick.html"));
    EXPECT_FALSE(std::filesystem::exists(dir / "run 2.csv.tarnwick.html"));
    const std::string text = out.str();
    EXPECT_NE(text.find("your pair: FPS_Moderate 45, FPS_Critical 35 (the defaults"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("page: " + (dir / "run 1.csv.tarnwick.html").string()), std::string::npos)
        << text;
}

// What comes with the captures is taken for what it is; what is no capture gets no page.
TEST(Dropped, eachThingDroppedIsTakenForWhatItIs)
{
    ScratchDir dir;
    writeFile(dir / "run.csv", twoSpeeds());
    writeFile(dir / "Tarnwick.ini", "[Settings]\nFPS_Moderate=70\nFPS_Critical=62\n");
    writeFile(dir / "notes.txt", "remember to buy milk\n");
    writeFile(dir / "captures.zip", "PK\x03\x04");
    const struct {
        const char* name;
        std::vector<std::filesystem::path> dropped;
        int status;
        std::vector<std::string> said; // on the console, out and err together
        bool page;                     // run.csv.tarnwick.html written
    } cases[] = {
        {"settings with the capture",
         {dir / "run.csv", dir / "Tarnwick.ini"},
         0,
         {"your pair: FPS_Moderate 70, FPS_Critical 62 (from ",
          "Tarnwick.ini, dropped with the captures)"},
         true},
        {"a missing file among several",
         {dir / "run.csv", dir / "gone.csv"},
         1,
         {"there is no file ", "gone.csv: check its name", "page: "},
         true},
        {"no capture at all",
         {dir / "notes.txt", dir / "captures.zip"},
         1,
         {"notes.txt is not a frame-time capture", "captures.zip is an archive: unpack it"},
         false},
        {"a folder with a capture",
         {dir.path(), dir / "run.csv"},
         1,
         {"no program (.exe)", "page: "},
         true},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "run.csv.tarnwick.html");
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::onDrop(dropOf(c.dropped), "0", out, err), c.status) << c.name;
        const std::string said = out.str() + err.str();
        for (const std::string& part : c.said) {
            EXPECT_NE(said.find(part), std::string::npos) << c.name << ": " << said;
        }
        EXPECT_EQ(std::filesystem::exists(dir / "run.csv.tarnwick.html"), c.page) << c.name;
        EXPECT_FALSE(std::filesystem::exists(dir / "notes.txt.tarnwick.html")) << c.name;
    }
}

// Slow and fast frames in turn: the state changes at nearly every frame.
std::string flickeryCapture(int frames)
{
    std::string text = "Application,MsBetweenPresents\n";
    for (int i = 0; i < frames; ++i) {
        text += i % 4 < 2 ? "Game.exe,40\n" : "Game.exe,10\n";
    }
    return text;
}

TEST(ReplayText, listsTheFirstStateChangesAndCountsTheRest)
{
    ScratchDir dir;
    writeFile(dir / "flicker.csv", flickeryCapture(2000));
    sim::ReplayOptions options;
    options.capture = dir / "flicker.csv";
    options.everySeconds = 10.0;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(sim::replayCommand(options, out, err), 0) << err.str();
    const std::string text = out.str();
    // 2000 frames of 25 ms on average: 50 s, so five rows of 10 s.
    EXPECT_NE(text.find("  time s     fps  state     changes purges\n    10.0"), std::string::npos)
        << text;
    EXPECT_NE(text.find("\n    50.0"), std::string::npos) << text;
    EXPECT_NE(text.find("state changes: 2000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  ... and 1980 more"), std::string::npos) << text;

    options.everySeconds.reset();
    options.common.json = true;
    std::ostringstream json;
    ASSERT_EQ(sim::replayCommand(options, json, err), 0);
    EXPECT_EQ(nlohmann::json::parse(json.str())["stateChanges"].size(), 2000u);
}

// Said once in the text, counted in the JSON only when it happened.
TEST(ReplayText, aCutLastLineIsSaidInTextAndJson)
{
    ScratchDir dir;
    const std::string whole = flickeryCapture(40);
    writeFile(dir / "whole.csv", whole);
    writeFile(dir / "cut.csv", whole + "Game.ex");
    const auto replayed = [&](const char* file, bool json) {
        sim::ReplayOptions options;
        options.capture = dir / file;
        options.common.json = json;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::replayCommand(options, out, err), 0) << err.str();
        return out.str();
    };
    const std::string said = "the last line is cut short (7 bytes): left out; the capture tool "
                             "was probably stopped while writing\n";
    const std::string text = replayed("cut.csv", false);
    EXPECT_NE(text.find("(40 frames)\n" + said), std::string::npos) << text;
    EXPECT_EQ(replayed("whole.csv", false).find("cut short"), std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(replayed("cut.csv", true))["cutLastLineBytes"], 7);
    EXPECT_FALSE(nlohmann::json::parse(replayed("whole.csv", true)).contains("cutLastLineBytes"));
}

// The grid goes through the frames while the capture is read. A launcher replayed first until the
// game turns out to have more frames must leave nothing behind.
TEST(TuneCommand, aGameFoundAfterALauncherIsTunedAsIfAlone)
{
    ScratchDir dir;
    std::string game;
    for (int i = 0; i < 12000; ++i) {
        game += "Game.exe," + std::to_string(8 + (i * 7919) % 40) + "\n";
    }
    std::string launcher;
    for (int i = 0; i < 5000; ++i) {
        launcher += i % 3 == 0 ? "Launcher.exe,60\n" : "Launcher.exe,9\n";
    }
    writeFile(dir / "both.csv", "Application,MsBetweenPresents\n" + launcher + game);
    writeFile(dir / "game.csv", "Application,MsBetweenPresents\n" + game);
    const auto tuned = [&dir](const std::string& file) {
        sim::TuneOptions options;
        options.captures = {dir / file};
        options.common.json = true;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::tuneCommand(options, out, err), 0) << err.str();
        return nlohmann::json::parse(out.str());
    };
    const nlohmann::json both = tuned("both.csv");
    const nlohmann::json alone = tuned("game.csv");
    EXPECT_EQ(both["application"], "Game.exe");
    ASSERT_EQ(both["cells"].size(), 6015u);
    EXPECT_EQ(both["cells"], alone["cells"]);
    EXPECT_EQ(both["recommended"], alone["recommended"]);
}

// A launcher that draws more frames than the game: judged where the game's folder is not known,
// and said first, with the way to judge the game; the game where the settings file lies beside
// its program. Every command lists what it read and did not judge.
TEST(Commands, aLauncherWithMoreFramesIsNeverJudgedSilently)
{
    ScratchDir dir;
    std::string rows = "Application,MsBetweenPresents\n";
    for (int i = 0; i < 9000; ++i) {
        rows += "Launcher.exe,7\n";
        rows += i % 3 == 0 ? "Game.exe,25\n" : "";
    }
    writeFile(dir / "both.csv", rows);
    std::filesystem::create_directories(dir / "Game");
    writeFile(dir / "Game" / "Game.exe", "");
    writeFile(dir / "Game" / "Tarnwick.ini", "[Settings]\n");
    const std::string note = "judged Launcher.exe (9000 frames), the one with the most frames; "
                             "Game.exe (3000 frames) may be the game: --app Game.exe judges it";
    for (const bool known : {false, true}) {
        sim::CommonOptions common;
        common.ini = dir / "Game" / "Tarnwick.ini";
        const std::vector<std::string> programs =
            known ? sim::gameProgramsFor(common, dir.path()) : std::vector<std::string>{};
        ASSERT_EQ(programs,
                  known ? std::vector<std::string>{"Game.exe"} : std::vector<std::string>{});
        const char* judged = known ? "Game.exe" : "Launcher.exe";
        const char* other = known ? "Launcher.exe" : "Game.exe";
        const auto run = [&](const std::string& command, bool json) {
            std::ostringstream out;
            std::ostringstream err;
            int status = 0;
            if (command == "replay") {
                sim::ReplayOptions options;
                options.capture = dir / "both.csv";
                options.choice.gamePrograms = programs;
                options.common.json = json;
                status = sim::replayCommand(options, out, err);
            } else if (command == "tune") {
                sim::TuneOptions options;
                options.captures = {dir / "both.csv"};
                options.choice.gamePrograms = programs;
                options.common.json = json;
                status = sim::tuneCommand(options, out, err);
            } else {
                sim::ReportOptions options;
                options.captures = {dir / "both.csv"};
                options.choice.gamePrograms = programs;
                options.common.page = dir / "page.html";
                status = sim::reportCommand(options, out, err);
            }
            EXPECT_EQ(status, 0) << command << ": " << err.str();
            return out.str();
        };
        for (const char* command : {"replay", "tune"}) {
            const nlohmann::json json = nlohmann::json::parse(run(command, true));
            EXPECT_EQ(json["application"], judged) << command;
            ASSERT_EQ(json["otherApplications"].size(), 1u) << command;
            EXPECT_EQ(json["otherApplications"][0]["name"], other) << command;
            EXPECT_EQ(json["applicationChosenBy"], known ? "gameFolder" : "mostFrames");
            EXPECT_EQ(json["mayBeTheGame"].is_null(), known) << command;
            const std::string text = run(command, false);
            EXPECT_EQ(text.rfind(note, 0) == 0, !known) << command << ":\n" << text;
            EXPECT_NE(text.find(std::string(other) + " ("), std::string::npos) << text;
        }
        EXPECT_EQ(nlohmann::json::parse(run("tune", true))["verdict"]["applicationNotes"].size(),
                  known ? 0u : 1u);
        const std::string console = run("report", false);
        EXPECT_EQ(console.find(note) != std::string::npos, !known) << console;
        const std::string page = testing_support::readFile(dir / "page.html");
        EXPECT_EQ(
            page.find("<div class='verdict'><p class='warning'><strong>Judged Launcher.exe") !=
                std::string::npos,
            !known)
            << page.substr(page.find("<div class='verdict'>"), 300);
        EXPECT_NE(page.find(std::string("read, not judged: ") + other), std::string::npos);
    }
}

// A CapFrameX capture of several runs is several captures, each judged as its own, unless --run
// picks one.
TEST(TuneCommand, eachRunOfACapFrameXCaptureIsACaptureOfItsOwn)
{
    ScratchDir dir;
    const auto run = [](double ms) {
        std::string frames;
        for (int i = 0; i < 600; ++i) {
            frames += (i == 0 ? "" : ",") + std::to_string(ms);
        }
        return R"({"CaptureData":{"MsBetweenPresents":[)" + frames + "]}}";
    };
    writeFile(dir / "runs.json", R"({"Info":{"ProcessName":"Game.exe"},"Runs":[)" + run(16.7) +
                                     "," + run(33.3) + "]}");
    const auto tuned = [&dir](std::optional<std::size_t> picked) {
        sim::TuneOptions options;
        options.captures = {dir / "runs.json"};
        options.choice.run = picked;
        options.common.json = true;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::tuneCommand(options, out, err), 0) << err.str();
        return nlohmann::json::parse(out.str());
    };
    const nlohmann::json each = tuned(std::nullopt);
    ASSERT_EQ(each["captures"].size(), 2u);
    EXPECT_EQ(each["captures"][0]["run"], 0);
    EXPECT_EQ(each["captures"][1]["run"], 1);
    EXPECT_EQ(each["captures"][1]["frames"], 600);
    const nlohmann::json second = tuned(1);
    ASSERT_EQ(second["captures"].size(), 1u);
    EXPECT_EQ(second["captures"][0]["run"], 1);
    EXPECT_NEAR(second["captures"][0]["onePercentLowFps"].get<double>(), 1000 / 33.3, 0.1);
    // The same lows under the names of their method, beside the old keys.
    const nlohmann::json& lows = second["captures"][0]["lows"];
    EXPECT_EQ(lows["p1Fps"], second["captures"][0]["onePercentLowFps"]);
    EXPECT_EQ(lows["p01Fps"], second["captures"][0]["pointOnePercentLowFps"]);
    EXPECT_NEAR(lows["averageOnePercentFps"].get<double>(), 1000 / 33.3, 0.1);
    EXPECT_NE(lows["method"].get<std::string>().find("nearest rank"), std::string::npos);
}

} // namespace

namespace {

// The settings judged are the game's, whatever other copies lie about.
TEST(SettingsJudged, areTheOnesTheGameReads)
{
    ScratchDir dir;
    const auto make = [&](const std::string& name, const std::string& text = "") {
        std::filesystem::create_directories((dir / name).parent_path());
        writeFile(dir / name, text);
    };
    make("Game/game.exe");
    make("Game/ScriptHookV.dll");
    make("Game/tools/tarnwick-sim.exe");
    make("Bare/game.exe");
    make("Bare/tools/Tarnwick.ini", "[Settings]\n");
    make("Game/Tarnwick.ini", "[Settings]\nFPS_Moderate=50\n");
    make("Game/Tarnwick-0.1.0-win64/tools/tarnwick-sim.exe");
    make("Game/Tarnwick-0.1.0-win64/Tarnwick.ini", "[Settings]\n");
    make("Downloads/setup.exe");
    make("Downloads/Tarnwick-0.1.0-win64/tools/tarnwick-sim.exe");
    make("Downloads/Tarnwick-0.1.0-win64/Tarnwick.ini", "[Settings]\n");
    const struct {
        const char* name;
        std::optional<std::string> ini;
        std::string tool;
        std::optional<std::string> judged;
        std::string source;
        std::vector<std::string> unread;
    } cases[] = {
        {"in the game's tools",
         std::nullopt,
         "Game/tools",
         "Game/Tarnwick.ini",
         "beside the game's .exe",
         {}},
        {"the game has none; tools has one",
         std::nullopt,
         "Bare/tools",
         std::nullopt,
         "the defaults: there is no Tarnwick.ini beside the game's .exe",
         {"Bare/tools/Tarnwick.ini"}},
        {"unpacked into a folder of its own",
         std::nullopt,
         "Game/Tarnwick-0.1.0-win64/tools",
         "Game/Tarnwick.ini",
         "beside the game's .exe",
         {"Game/Tarnwick-0.1.0-win64/Tarnwick.ini"}},
        {"not in a game's folder",
         std::nullopt,
         "Downloads/Tarnwick-0.1.0-win64/tools",
         std::nullopt,
         "this tool does not lie in a game's folder",
         {}},
        {"given, but not the game's",
         "Game/Tarnwick-0.1.0-win64/Tarnwick.ini",
         "Game/Tarnwick-0.1.0-win64/tools",
         "Game/Tarnwick-0.1.0-win64/Tarnwick.ini",
         "Tarnwick.ini, dropped with the captures",
         {"Game/Tarnwick-0.1.0-win64/Tarnwick.ini"}},
    };
    for (const auto& c : cases) {
        const std::optional<std::filesystem::path> ini =
            c.ini ? std::optional(dir / *c.ini) : std::nullopt;
        const sim::SettingsChoice choice = sim::chooseSettings(ini, true, dir / c.tool);
        EXPECT_EQ(choice.file, c.judged ? std::optional(dir / *c.judged) : std::nullopt) << c.name;
        EXPECT_NE(choice.source.find(c.source), std::string::npos)
            << c.name << ": " << choice.source;
        std::vector<std::filesystem::path> unread;
        for (const std::string& path : c.unread) {
            unread.push_back(dir / path);
        }
        EXPECT_EQ(choice.unread, unread) << c.name;
    }
}

} // namespace
