// Capture formats: real captures from capture tools and a small fixture of each other format.
#include "sim/capture/capture.h"

#include "capture_support.h"
#include "test_support.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

using capture_support::captures;
using capture_support::fixtures;
using capture_support::replay;
using capture_support::Replayed;
using testing_support::ScratchDir;
using testing_support::writeFile;

struct RealCapture {
    const char* file;
    const char* application;
    const char* column;
    std::size_t frames;
    double totalMs;
    double firstMs;
    std::vector<sim::AppFrames> applications;
};

// A failing case names itself, not its bytes.
void PrintTo(const RealCapture& c, std::ostream* os)
{
    *os << c.file;
}

class RealCaptures : public ::testing::TestWithParam<RealCapture> {};

TEST_P(RealCaptures, replayTheGameNotTheCompositor)
{
    const RealCapture& c = GetParam();
    const Replayed r = replay(captures / c.file);
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::PresentMon);
    EXPECT_EQ(r.summary.application, c.application);
    EXPECT_EQ(r.summary.frameTimesFrom, c.column);
    ASSERT_EQ(r.frames.size(), c.frames);
    EXPECT_DOUBLE_EQ(r.frames.front(), c.firstMs);
    EXPECT_NEAR(std::accumulate(r.frames.begin(), r.frames.end(), 0.0), c.totalMs, 1e-3);
    ASSERT_EQ(r.summary.applications.size(), c.applications.size());
    for (std::size_t i = 0; i < c.applications.size(); ++i) {
        EXPECT_EQ(r.summary.applications[i].name, c.applications[i].name);
        EXPECT_EQ(r.summary.applications[i].frames, c.applications[i].frames);
    }
}

INSTANTIATE_TEST_SUITE_P(captures, RealCaptures,
                         ::testing::Values(RealCapture{"presentmon-1.csv",
                                                       "FarCryNewDawn.exe",
                                                       "MsBetweenPresents",
                                                       1171,
                                                       15255.999,
                                                       16.811,
                                                       {{"FarCryNewDawn.exe", 1171}}},
                                           RealCapture{"ocat.csv",
                                                       "MetroExodus.exe",
                                                       "MsBetweenPresents",
                                                       2502,
                                                       25386.433,
                                                       9.681,
                                                       {{"MetroExodus.exe", 2502}}},
                                           RealCapture{"presentmon-2-default.csv",
                                                       "Presenter.exe",
                                                       "MsBetweenPresents",
                                                       160,
                                                       2579.7262,
                                                       2.3515,
                                                       {{"dwm.exe", 197}, {"Presenter.exe", 160}}},
                                           RealCapture{"presentmon-2-v1-metrics.csv",
                                                       "Presenter.exe",
                                                       "msBetweenPresents",
                                                       169,
                                                       2723.3509,
                                                       2.3515,
                                                       {{"dwm.exe", 199}, {"Presenter.exe", 169}}},
                                           RealCapture{"presentmon-2-v2-metrics.csv",
                                                       "Presenter.exe",
                                                       "FrameTime",
                                                       160,
                                                       2624.0061,
                                                       7.6275,
                                                       {{"dwm.exe", 197}, {"Presenter.exe", 160}}}),
                         [](const auto& row) { return testing_support::caseName(row.param.file); });

TEST(Capture, applicationChosenByNameWithoutRegardToCase)
{
    sim::CaptureOptions options;
    options.application = "DWM.EXE";
    const Replayed r = replay(captures / "presentmon-2-default.csv", options);
    EXPECT_EQ(r.summary.application, "dwm.exe");
    EXPECT_EQ(r.frames.size(), 197u);
}

TEST(Capture, unknownApplicationIsAnErrorListingTheOthers)
{
    sim::CaptureOptions options;
    options.application = "Game.exe";
    EXPECT_THROW(
        {
            try {
                replay(captures / "presentmon-2-default.csv", options);
            } catch (const sim::CaptureError& error) {
                EXPECT_STREQ(error.what(),
                             (captures / "presentmon-2-default.csv")
                                 .string()
                                 .append(": application 'Game.exe' is not in the capture; it "
                                         "holds dwm.exe (197 frames), Presenter.exe (160 "
                                         "frames)")
                                 .c_str());
                throw;
            }
        },
        sim::CaptureError);
}

TEST(Capture, laterApplicationWithMoreFramesIsReplayedAfterARestart)
{
    ScratchDir dir;
    writeFile(dir / "two.csv", "Application,MsBetweenPresents\ndwm.exe,16\nLauncher.exe,50\n"
                               "Game.exe,20\nGame.exe,21\nLauncher.exe,51\nGame.exe,22\n");
    int restarts = 0;
    std::vector<double> frames;
    sim::CaptureOptions options;
    options.restart = [&] {
        ++restarts;
        frames.clear();
    };
    const auto summary =
        sim::replayCapture(dir / "two.csv", options, [&](double ms) { frames.push_back(ms); });
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->application, "Game.exe");
    EXPECT_EQ(frames, (std::vector<double>{20, 21, 22}));
    EXPECT_EQ(restarts, 1);

    // Without a way to forget frames, a first pass only counts.
    frames.clear();
    EXPECT_TRUE(sim::replayCapture(dir / "two.csv", {}, [&](double ms) { frames.push_back(ms); }));
    EXPECT_EQ(frames, (std::vector<double>{20, 21, 22}));
}

// The game, not another program: the game's program where its folder is known, else the most
// frames, with any other application that may be the game (a fifth of the judged one's frames, no
// system process) named so the player can pick it.
TEST(Capture, theGamesProgramIsJudgedAndAnotherThatMayBeTheGameIsNamed)
{
    ScratchDir dir;
    const auto capture = [&dir](int launcher, int game, int dwm = 0,
                                const std::string& gameName = "Game.exe") {
        std::string text = "Application,MsBetweenPresents\n";
        for (int i = 0; i < std::max({launcher, game, dwm}); ++i) {
            text += i < dwm ? "dwm.exe,16\n" : "";
            text += i < launcher ? "Launcher.exe,7\n" : "";
            text += i < game ? gameName + ",20\n" : "";
        }
        const std::string name = std::to_string(launcher) + "-" + std::to_string(game) + "-" +
                                 std::to_string(dwm) + "-" + gameName;
        writeFile(dir / (name + ".csv"), text);
        return dir / (name + ".csv");
    };
    using sim::ChosenBy;
    const struct {
        const char* name;
        std::filesystem::path file;
        std::vector<std::string> programs;
        std::optional<std::string> app;
        const char* judged;
        ChosenBy by;
        const char* mayBe; // nullptr: none
    } cases[] = {
        {"a launcher with more frames",
         capture(3000, 1000),
         {},
         {},
         "Launcher.exe",
         ChosenBy::MostFrames,
         "Game.exe"},
        {"the game's folder known",
         capture(3000, 1000),
         {"Game.exe", "Tarnwick.ini"},
         {},
         "Game.exe",
         ChosenBy::GameFolder,
         nullptr},
        {"its program named in other case",
         capture(3000, 1000),
         {"GAME.EXE"},
         {},
         "Game.exe",
         ChosenBy::GameFolder,
         nullptr},
        {"a name without .exe",
         capture(3000, 1000, 0, "Game"),
         {"Game.exe"},
         {},
         "Game",
         ChosenBy::GameFolder,
         nullptr},
        {"both in the game's folder",
         capture(3000, 1000),
         {"Game.exe", "Launcher.exe"},
         {},
         "Launcher.exe",
         ChosenBy::GameFolder,
         "Game.exe"},
        {"the folder's program is not in the capture",
         capture(3000, 1000),
         {"Other.exe"},
         {},
         "Launcher.exe",
         ChosenBy::MostFrames,
         "Game.exe"},
        {"exactly a fifth",
         capture(3000, 600),
         {},
         {},
         "Launcher.exe",
         ChosenBy::MostFrames,
         "Game.exe"},
        {"just under a fifth",
         capture(3000, 599),
         {},
         {},
         "Launcher.exe",
         ChosenBy::MostFrames,
         nullptr},
        {"the compositor is never the game",
         capture(0, 1000, 3000),
         {},
         {},
         "Game.exe",
         ChosenBy::MostFrames,
         nullptr},
        {"asked for",
         capture(3000, 1000),
         {"Game.exe"},
         "launcher.exe",
         "Launcher.exe",
         ChosenBy::Asked,
         nullptr},
        {"alone", capture(0, 1000), {}, {}, "Game.exe", ChosenBy::Alone, nullptr},
    };
    for (const auto& c : cases) {
        sim::CaptureOptions options;
        options.gamePrograms = c.programs;
        options.application = c.app;
        // Read once while counting (a restart when another has more frames), or counted first.
        for (const bool restart : {true, false}) {
            Replayed r;
            if (restart) {
                r = replay(c.file, options);
            } else {
                const auto read =
                    sim::replayCapture(c.file, options, [&](double ms) { r.frames.push_back(ms); });
                ASSERT_TRUE(read) << c.name;
                r.summary = *read;
            }
            const std::string& judged = r.summary.application;
            EXPECT_EQ(judged, c.judged) << c.name;
            EXPECT_EQ(r.summary.chosenBy, c.by) << c.name;
            for (const sim::AppFrames& app : r.summary.applications) {
                if (app.name == judged) {
                    EXPECT_EQ(r.frames.size(), app.frames) << c.name;
                }
            }
            const std::string said = sim::judgedApplicationText(r.summary);
            if (c.mayBe == nullptr) {
                EXPECT_FALSE(r.summary.mayBeTheGame) << c.name << ": " << said;
                EXPECT_EQ(said, "") << c.name;
                continue;
            }
            ASSERT_TRUE(r.summary.mayBeTheGame) << c.name;
            EXPECT_EQ(r.summary.mayBeTheGame->name, c.mayBe) << c.name;
            EXPECT_EQ(said.rfind("judged " + judged + " (", 0), 0u) << said;
            EXPECT_NE(said.find(std::string("--app ") + c.mayBe + " judges it"), std::string::npos)
                << said;
        }
    }
}

TEST(Capture, headerWithoutFramesIsAnError)
{
    ScratchDir dir;
    writeFile(dir / "none.csv", "Application,MsBetweenPresents\n");
    EXPECT_THROW(replay(dir / "none.csv"), sim::CaptureError);
}

TEST(Capture, indentedHeaderWithQuotedNames)
{
    // Found by fuzzing: the header was recognised trimmed, then read again untrimmed.
    ScratchDir dir;
    writeFile(dir / "quoted.csv", "  \"MsBetweenPresents\",Application\n16.6,Game.exe\n");
    const Replayed r = replay(dir / "quoted.csv");
    EXPECT_EQ(r.frames, (std::vector<double>{16.6}));
    EXPECT_EQ(r.summary.application, "Game.exe");
}

TEST(Capture, givenFormatSkipsRecognition)
{
    ScratchDir dir;
    writeFile(dir / "numbers.csv", "12.5\n13\n");
    sim::CaptureOptions options;
    options.format = sim::CaptureFormat::PlainText;
    EXPECT_EQ(replay(dir / "numbers.csv", options).frames, (std::vector<double>{12.5, 13}));
    options.format = sim::CaptureFormat::MangoHud; // two lines cannot hold its frame header
    EXPECT_THROW(replay(dir / "numbers.csv", options), sim::CaptureError);
}

TEST(Capture, compositorAloneIsReplayed)
{
    ScratchDir dir;
    writeFile(dir / "dwm.csv", "Application,MsBetweenPresents\ndwm.exe,16.6\ndwm.exe,16.7\n");
    EXPECT_EQ(replay(dir / "dwm.csv").summary.application, "dwm.exe");
}

TEST(Capture, keyValueLinesBeforeTheHeaderAndNaCellsAreSkipped)
{
    const Replayed r = replay(fixtures / "keyvalue-header.csv");
    EXPECT_EQ(r.frames, (std::vector<double>{20.5, 19.5}));
    EXPECT_EQ(r.summary.skippedCells, 2u);
    EXPECT_EQ(r.summary.application, "Game.exe");
}

TEST(Capture, capFrameXRunsAndProcessName)
{
    Replayed r = replay(fixtures / "capframex.json");
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::CapFrameX);
    EXPECT_EQ(r.summary.application, "Cyberpunk2077.exe");
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 33.3, 20.0}));
    EXPECT_EQ(r.summary.skippedCells, 1u);
    sim::CaptureOptions second;
    second.run = 1;
    EXPECT_EQ(replay(fixtures / "capframex.json", second).frames,
              (std::vector<double>{10.0, 12.5}));
}

// Runs counted once are each replayed from that one reading, exactly as a reading of the run
// alone gives it: frames, generated frames, NA cells and what each run lacks.
TEST(Capture, capFrameXRunsCountedAreReplayedAsReadAlone)
{
    ScratchDir dir;
    const auto path = dir / "runs.json";
    writeFile(path, "{\"Info\": {\"ProcessName\": \"Game.exe\", \"GPU\": \"X\"}, \"Runs\": ["
                    "{\"CaptureData\": {\"MsBetweenPresents\": [16, 0.0, 17, \"NA\"]}},"
                    "{\"CaptureData\": {}},"
                    "{\"CaptureData\": {\"MsBetweenPresents\": [20, -1, 21]}}]}");
    const auto each = [&] {
        std::vector<std::string> said;
        for (std::size_t run = 0; run < 4; ++run) {
            sim::CaptureOptions options;
            options.run = run;
            try {
                const Replayed r = replay(path, options);
                said.push_back(std::to_string(r.frames.size()) + " frames, " +
                               std::to_string(r.summary.generatedFrames) + " generated, " +
                               std::to_string(r.summary.skippedCells) + " NA, " +
                               r.summary.frameTimesFrom + ", " + r.summary.application + ", " +
                               std::to_string(r.summary.system.size()) + " system");
            } catch (const sim::CaptureError& error) {
                said.push_back(error.what());
            }
        }
        return said;
    };
    const std::vector<std::string> alone = each();
    EXPECT_EQ(sim::capFrameXRunCount(path), 3u);
    EXPECT_EQ(each(), alone);
    EXPECT_EQ(alone[0], "2 frames, 1 generated, 1 NA, Runs[0].CaptureData.MsBetweenPresents, "
                        "Game.exe, 1 system");
}

// A file of a thousand runs was read whole once for each (43 s for tune): the runs are kept from
// the reading that counts them. Shown by a file changed since, under the same size and time.
TEST(Capture, capFrameXRunsAreReadOnce)
{
    ScratchDir dir;
    const auto path = dir / "runs.json";
    const auto runs = [](const char* second) {
        return std::string("{\"Runs\": [{\"CaptureData\": {\"MsBetweenPresents\": [16]}}, "
                           "{\"CaptureData\": {\"MsBetweenPresents\": [") +
               second + "]}}]}";
    };
    writeFile(path, runs("25"));
    const auto written = std::filesystem::last_write_time(path);
    ASSERT_EQ(sim::capFrameXRunCount(path), 2u);
    writeFile(path, runs("99"));
    std::filesystem::last_write_time(path, written);
    sim::CaptureOptions second;
    second.run = 1;
    EXPECT_EQ(replay(path, second).frames, (std::vector<double>{25}));
}

TEST(Capture, mangoHudFrameTimeColumn)
{
    const Replayed r = replay(fixtures / "mangohud.csv");
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::MangoHud);
    EXPECT_EQ(r.frames, (std::vector<double>{16.642, 40.0, 40.16}));
}

// MangoHud names its log for the program and the time: the program is the application, not the
// file; a name not made that way is the file's own.
TEST(Capture, mangoHudApplicationIsTheProgramItsLogIsNamedFor)
{
    ScratchDir dir;
    const std::pair<const char*, const char*> names[] = {
        {"Game_2025-01-31_20-00-00.csv", "Game"},
        {"My Game_x64_2025-01-31_20-00-00.csv", "My Game_x64"},
        {"Game_2025-01-31_20-00-0x.csv", "Game_2025-01-31_20-00-0x.csv"},
        {"_2025-01-31_20-00-00.csv", "_2025-01-31_20-00-00.csv"},
        {"mine.csv", "mine.csv"}};
    for (const auto& [name, application] : names) {
        std::filesystem::copy_file(fixtures / "mangohud.csv", dir / name);
        EXPECT_EQ(replay(dir / name).summary.application, application) << name;
    }
}

TEST(Capture, sampledMonitoringLogIsRefusedNotReplayed)
{
    try {
        replay(fixtures / "monitoring-log.csv");
        ADD_FAILURE() << "a log of one row a second was replayed as frames";
    } catch (const sim::CaptureError& error) {
        const std::string what = error.what();
        EXPECT_NE(what.find("monitoring-log.csv:3: a hardware-monitoring log"), std::string::npos)
            << what;
        EXPECT_NE(what.find("one row per sample, not one per frame"), std::string::npos) << what;
    }
}

TEST(Capture, zeroOrNegativeFrameTimesAreReplayedAndCounted)
{
    ScratchDir dir;
    writeFile(dir / "c.csv",
              "Application,MsBetweenPresents\nGame.exe,0\nGame.exe,20\nGame.exe,-3\n");
    const Replayed r = replay(dir / "c.csv");
    EXPECT_EQ(r.frames, (std::vector<double>{0, 20, -3}));
    EXPECT_EQ(r.summary.nonPositiveFrameTimes, 2u);
}

// Either side of a nanosecond: below it a frame time is zero (4.9e-324 once made "mean fps inf").
TEST(Capture, frameTimesUnderANanosecondAreZero)
{
    ScratchDir dir;
    writeFile(dir / "c.txt", "4.9e-324\n0.0000009\n0.0000011\n20\n");
    const Replayed r = replay(dir / "c.txt");
    EXPECT_EQ(r.frames, (std::vector<double>{0, 0, 0.0000011, 20}));
    EXPECT_EQ(r.summary.nonPositiveFrameTimes, 2u);
}

// A capture tool stopped while writing: the last line, with no line end, short of its cells or
// cut inside its number, is left out and said; a last line that is whole is a frame.
struct CutCapture {
    const char* name;
    std::string file;
    std::vector<double> frames;
    std::uint64_t cutLastLineBytes;
    std::uint64_t cutJsonAfterBytes;
};

// A failing case names itself, not its bytes.
void PrintTo(const CutCapture& c, std::ostream* os)
{
    *os << c.name;
}

class CutCaptures : public ::testing::TestWithParam<CutCapture> {};

TEST_P(CutCaptures, readUpToTheCut)
{
    const CutCapture& c = GetParam();
    ScratchDir dir;
    writeFile(dir / "capture", c.file);
    const Replayed r = replay(dir / "capture");
    EXPECT_EQ(r.frames, c.frames);
    EXPECT_EQ(r.summary.cutLastLineBytes, c.cutLastLineBytes);
    EXPECT_EQ(r.summary.cutJsonAfterBytes, c.cutJsonAfterBytes);
    EXPECT_EQ(r.summary.applications.front().frames, c.frames.size());
}

const std::string table = "Application,ProcessID,MsBetweenPresents\nG.exe,1,16.6\nG.exe,1,20\n";
// OCAT writes its system cells on the first row only.
const std::string ocat = "Application,MsBetweenPresents,MsUntilDisplayed,Motherboard,OS\n"
                         "G.exe,16.6,3,Board,Windows\nG.exe,20,4\n";
const std::string frameTimes = R"({"Info":{"ProcessName":"G.exe"},"Runs":[{"CaptureData":)"
                               R"({"MsBetweenPresents":[16.6, 20, )";

INSTANTIATE_TEST_SUITE_P(
    cut, CutCaptures,
    ::testing::Values(
        CutCapture{"tableShortOfCells", table + "G.e", {16.6, 20}, 3, 0},
        CutCapture{"tableCutInsideTheNumber", table + "G.exe,1,1.5e", {16.6, 20}, 12, 0},
        // The number may be the start of 25.3: only a line end shows it whole.
        CutCapture{
            "tableNumberEndingTheLastLineWithoutLineEnd", table + "G.exe,1,25", {16.6, 20}, 10, 0},
        CutCapture{"tableCutRightAfterTheComma", table + "G.exe,1,", {16.6, 20}, 8, 0},
        CutCapture{"tableFrameTimeBeforeTheCut",
                   "Application,MsBetweenPresents,Runtime\n"
                   "G.exe,16.6,DXGI\nG.exe,25,DX",
                   {16.6, 25},
                   0,
                   0},
        CutCapture{"tableCrLfCutBeforeTheLineFeed", table + "G.exe,1,25\r", {16.6, 20, 25}, 0, 0},
        CutCapture{"ocatShortOfTheRowBefore", ocat + "G.exe,25", {16.6, 20}, 8, 0},
        CutCapture{"ocatWholeRowShorterThanTheFirst", ocat + "G.exe,25,5", {16.6, 20, 25}, 0, 0},
        CutCapture{"mangoHudShortOfCells",
                   "os,cpu\nLinux,x\nfps,frametime,elapsed\n60,16.6,1\n50,20,2\n40,2",
                   {16.6, 20},
                   4,
                   0},
        CutCapture{"plainTextCutInsideTheNumber", "16.6\n20\n2.5e-", {16.6, 20}, 5, 0},
        CutCapture{"plainTextCutInsideNA", "16.6\n20\nN", {16.6, 20}, 1, 0},
        CutCapture{"plainTextNumberOnTheLastLineWithoutLineEnd", "16.6\n20\n25", {16.6, 20}, 2, 0},
        CutCapture{"plainTextOneLineWithoutLineEnd", "25", {25}, 0, 0},
        CutCapture{"capFrameXCutInsideTheNumber", frameTimes + "33.", {16.6, 20}, 0, 90},
        // 33 may be the start of 33.3.
        CutCapture{"capFrameXCutAfterADigit", frameTimes + "33", {16.6, 20}, 0, 89},
        CutCapture{"capFrameXCutAfterTheNumber", frameTimes + "33 ", {16.6, 20, 33}, 0, 90},
        CutCapture{"capFrameXCutAfterTheArray",
                   frameTimes + "33]}}, {\"CaptureData\": {\"MsBetw",
                   {16.6, 20, 33},
                   0,
                   118}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Capture, plainTextOneFrameTimePerLine)
{
    const Replayed r = replay(fixtures / "plain.txt");
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::PlainText);
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 33.3, 40.0, 41.5}));
    EXPECT_EQ(r.summary.skippedCells, 1u);
}

} // namespace
