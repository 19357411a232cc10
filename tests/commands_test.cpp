// The commands as a player meets them: a capture dropped onto the tool.
#include "sim/cli/commands.h"

#include "test_support.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace {

using testing_support::InDirectory;
using testing_support::ScratchDir;
using testing_support::writeFile;

TEST(Dropped, isToldFromACommandLineByWhatExists)
{
    ScratchDir dir;
    writeFile(dir / "run 1.csv", "16.6\n");
    writeFile(dir / "run 2.csv", "16.6\n");
    writeFile(dir / "Tarnwick.INI", "[Settings]\n");
    const std::string one = (dir / "run 1.csv").string();
    const std::string two = (dir / "run 2.csv").string();
    const std::string folder = dir.path().string();
    const struct {
        std::vector<std::string> arguments;
        sim::DropKind kind;
    } cases[] = {
        {{one}, sim::DropKind::Captures},
        {{one, two}, sim::DropKind::Captures},
        {{(dir / "Tarnwick.INI").string()}, sim::DropKind::Settings},
        {{folder}, sim::DropKind::Folder},
        {{(dir / "absent.csv").string()}, sim::DropKind::Missing},
        {{one, (dir / "absent.csv").string()}, sim::DropKind::Missing},
        {{"replay"}, sim::DropKind::Nothing}, // a word, not a path: a command line's slip
        {{"--help"}, sim::DropKind::Nothing},
        {{one, "--json"}, sim::DropKind::Nothing},
        {{folder, one}, sim::DropKind::Nothing},
        {{}, sim::DropKind::Nothing},
    };
    for (const auto& c : cases) {
        std::vector<std::string> arguments{"tarnwick-sim"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(sim::whatWasDropped(arguments).kind, c.kind)
            << (c.arguments.empty() ? "" : c.arguments.front());
    }
}

TEST(Dropped, capturesGetThePageBesideTheFirst)
{
    ScratchDir dir;
    InDirectory stay(std::filesystem::current_path());
    std::string frames = "Application,MsBetweenPresents\n";
    for (int i = 0; i < 600; ++i) {
        frames += i % 100 < 50 ? "Game.exe,16\n" : "Game.exe,40\n";
    }
    writeFile(dir / "run 1.csv", frames);
    writeFile(dir / "run 2.csv", frames);
    std::ostringstream out;
    std::ostringstream err;
    const sim::Dropped dropped{sim::DropKind::Captures, {dir / "run 1.csv", dir / "run 2.csv"}};
    EXPECT_EQ(sim::onDrop(dropped, "0", out, err), 0) << err.str();
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "run 1.csv.tarnwick.html"));
    EXPECT_FALSE(std::filesystem::exists(dir / "run 2.csv.tarnwick.html"));
    const std::string text = out.str();
    EXPECT_NE(text.find("settings: no Tarnwick.ini beside the tool, so every default"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("your pair: FPS_Moderate 45, FPS_Critical 35"), std::string::npos) << text;
    EXPECT_NE(text.find("page: " + (dir / "run 1.csv.tarnwick.html").string()), std::string::npos)
        << text;
}

TEST(Dropped, aMissingFileIsSaidAsSuch)
{
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::onDrop({sim::DropKind::Missing, {"Z:/captures/nonexist.csv"}}, "0", out, err),
              2);
    EXPECT_NE(err.str().find("there is no file Z:/captures/nonexist.csv"), std::string::npos)
        << err.str();
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

} // namespace
