// Capture formats: real captures from capture tools, a small fixture of each other format, and
// one error for each kind of malformed input.
#include "sim/capture/capture.h"
#include "sim/capture/csv.h"
#include "sim/capture/line_reader.h"

#include "test_support.h"

#include <cmath>
#include <numeric>
#include <vector>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

const std::filesystem::path captures = TARNWICK_CAPTURES_DIR;
const std::filesystem::path fixtures = TARNWICK_TEST_DATA_DIR;

struct Replayed {
    sim::CaptureSummary summary;
    std::vector<double> frames;
};

Replayed replay(const std::filesystem::path& path, sim::CaptureOptions options = {})
{
    Replayed replayed;
    options.restart = [&replayed] { replayed.frames.clear(); };
    replayed.summary =
        sim::replayCapture(path, options, [&](double ms) { replayed.frames.push_back(ms); });
    return replayed;
}

struct RealCapture {
    const char* file;
    const char* application;
    const char* column;
    std::size_t frames;
    double totalMs;
    double firstMs;
    std::vector<sim::AppFrames> applications;
};

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
    EXPECT_EQ(summary.application, "Game.exe");
    EXPECT_EQ(frames, (std::vector<double>{20, 21, 22}));
    EXPECT_EQ(restarts, 1);

    // Without a way to forget frames, a first pass only counts.
    frames.clear();
    sim::replayCapture(dir / "two.csv", {}, [&](double ms) { frames.push_back(ms); });
    EXPECT_EQ(frames, (std::vector<double>{20, 21, 22}));
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

TEST(Capture, mangoHudFrameTimeColumn)
{
    const Replayed r = replay(fixtures / "mangohud.csv");
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::MangoHud);
    EXPECT_EQ(r.frames, (std::vector<double>{16.642, 40.0, 40.16}));
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

TEST(Capture, plainTextOneFrameTimePerLine)
{
    const Replayed r = replay(fixtures / "plain.txt");
    EXPECT_EQ(r.summary.format, sim::CaptureFormat::PlainText);
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 33.3, 40.0, 41.5}));
    EXPECT_EQ(r.summary.skippedCells, 1u);
}

struct Malformed {
    const char* name;
    std::string file;
    std::string expected; // after "<path>"
};

class MalformedCaptures : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedCaptures, oneClearErrorNamingFileAndLine)
{
    ScratchDir dir;
    const auto path = dir / "capture.csv";
    writeFile(path, GetParam().file);
    try {
        replay(path);
        ADD_FAILURE() << "no error for " << GetParam().name;
    } catch (const sim::CaptureError& error) {
        EXPECT_EQ(error.what(), path.string() + GetParam().expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    errors, MalformedCaptures,
    ::testing::Values(
        Malformed{"empty", "", ": the capture is empty"},
        Malformed{"blankLinesOnly", "\n  \n\n", ": the capture is empty"},
        Malformed{"noFrameTimeColumn", "Application,ProcessID,TimeInSeconds\nGame.exe,1,0.5\n",
                  ":1: no frame-time column: the header names none of MsBetweenPresents, "
                  "msBetweenPresents or FrameTime"},
        Malformed{"nonNumericCell", "Application,MsBetweenPresents\nGame.exe,16.6\nGame.exe,fast\n",
                  ":3: frame time 'fast' in column MsBetweenPresents is not a number"},
        Malformed{"numberWithTrailingText", "Application,MsBetweenPresents\nGame.exe,16.6ms\n",
                  ":2: frame time '16.6ms' in column MsBetweenPresents is not a number"},
        Malformed{"infiniteValue", "Application,MsBetweenPresents\nGame.exe,inf\n",
                  ":2: frame time 'inf' in column MsBetweenPresents is not a finite number"},
        Malformed{"beyondDouble", "Application,MsBetweenPresents\nGame.exe,1e999\n",
                  ":2: frame time '1e999' in column MsBetweenPresents is out of range"},
        Malformed{"tooFewColumns", "Application,ProcessID,MsBetweenPresents\nGame.exe,1\n",
                  ":2: expected at least 3 columns, found 2"},
        // Longer than the first read: looking past it must not move the line from under us.
        Malformed{"longLinesAfterAHeaderWithoutFrameTimeColumn",
                  std::string(600 << 10, 'a') + ",b\n" + std::string(900 << 10, 'c') + "\nd\n",
                  ":1: no frame-time column: the header names none of MsBetweenPresents, "
                  "msBetweenPresents or FrameTime"},
        Malformed{"unknownFormat", "hello world\nthis is not a capture\n",
                  ":1: unrecognised capture format: expected PresentMon or OCAT CSV, CapFrameX "
                  "JSON, MangoHud CSV, or one frame time in milliseconds per line"},
        Malformed{"plainTextWithWord", "16.6\n16.7\nstutter\n",
                  ":3: frame time 'stutter' in column 1 is not a number"},
        Malformed{"brokenJson", "{\n  \"Runs\": [\n", ":3: not valid JSON"},
        Malformed{"jsonNumberBeyondDouble", "{\"Runs\": [1e999]}",
                  ":1: not valid JSON: number overflow parsing '1e999'"},
        Malformed{"sampledLogWithItsHeaderFirst",
                  "Date,Time,GPU Temperature,GPU Power,Framerate,Frametime\n"
                  "07.12.2026,21:04:11,61,180.4,58.9,16.978\n",
                  ":1: a hardware-monitoring log, not a frame-time capture: its header names "
                  "Framerate and Frametime among sensor columns, so it holds one row per sample, "
                  "not one per frame; record a per-frame capture instead (PresentMon, OCAT, "
                  "CapFrameX or MangoHud)"},
        Malformed{"frameTimeHeaderAfterTwoLinesIsNotMangoHud",
                  "session,42\nmachine,test\nfps,frametime\n60,16.6\n",
                  ":1: no frame-time column: the header names none of MsBetweenPresents, "
                  "msBetweenPresents or FrameTime"},
        Malformed{"everyFrameTimeZeroOrNegative",
                  "Application,MsBetweenPresents\nGame.exe,0\nGame.exe,-16.6\n",
                  ": no usable frame time: all 2 frame times of Game.exe are zero or negative"},
        Malformed{"everyFrameTimeCellNA", "Application,MsBetweenPresents\nGame.exe,NA\nGame.exe,\n",
                  ": no usable frame time: all 2 frame-time cells of Game.exe are NA or empty"},
        Malformed{"jsonRunWithoutOneFrame",
                  "{\"Runs\": [{\"CaptureData\": {\"MsBetweenPresents\": []}}]}",
                  ": no usable frame time: the capture holds no frames of capture.csv"},
        Malformed{"jsonWithoutRuns", "{\"Info\": {}}", ": no Runs array: not a CapFrameX capture"},
        Malformed{"jsonRunWithoutFrames", "{\"Runs\": [{\"CaptureData\": {}}]}",
                  ": no frame times: Runs[0].CaptureData.MsBetweenPresents is missing"},
        Malformed{"mangoHudSampledEvery100ms",
                  "os,cpu\nLinux,x\nfps,frametime,elapsed\n250,4,100000000\n250,4,200000000\n"
                  "250,4,300000000\n250,4,2000000000\n",
                  ": a log of samples, not of frames: its own clock (elapsed) runs 1.9 s over 4 "
                  "rows whose frame times add up to 0.0 s; record one row per frame (for "
                  "MangoHud: a log interval of 0, log_interval=0)"},
        Malformed{
            "presentMonClockFarAheadOfItsFrames",
            "Application,TimeInSeconds,MsBetweenPresents\nG.exe,1,16\nG.exe,2,16\n"
            "G.exe,3,16\n",
            ": a log of samples, not of frames: its own clock (TimeInSeconds) runs 2.0 s over "
            "3 rows whose frame times add up to 0.0 s; record one row per frame (for "
            "MangoHud: a log interval of 0, log_interval=0)"},
        Malformed{"mangoHudWithoutFrameTime", "\nos,cpu\nLinux,x\nfps,frame_time\n60,16\n",
                  ":4: a MangoHud log whose header names no frametime column"},
        Malformed{"jsonTextFrameTime",
                  "{\"Runs\": [{\"CaptureData\": {\"MsBetweenPresents\": [1, \"x\"]}}]}",
                  ": Runs[0].CaptureData.MsBetweenPresents[1] is not a number"}),
    [](const auto& row) { return std::string(row.param.name); });

// Captures as Windows tools save them: every encoding and line end gives the frames the UTF-8
// original with line feeds gives.
std::string utf16(const std::string& text, bool bigEndian, bool mark)
{
    std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char c : text) { // the fixtures are ASCII
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

std::string withLineEnds(std::string text, const std::string& end)
{
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? end : std::string(1, c);
    }
    return out;
}

TEST(Capture, everyEncodingAndLineEndAWindowsToolWritesReadsTheSame)
{
    ScratchDir dir;
    for (const std::filesystem::path& original :
         {captures / "presentmon-1.csv", captures / "ocat.csv", fixtures / "mangohud.csv",
          fixtures / "plain.txt"}) {
        const std::string text = testing_support::readFile(original);
        const Replayed expected = replay(original);
        const std::pair<const char*, std::string> variants[] = {
            {"utf16le-bom", utf16(text, false, true)},
            {"utf16le", utf16(text, false, false)},
            {"utf16be-bom", utf16(text, true, true)},
            {"utf16be", utf16(text, true, false)},
            {"cr-only", withLineEnds(text, "\r")},
            {"crlf", withLineEnds(text, "\r\n")},
            {"utf16le-crlf", utf16(withLineEnds(text, "\r\n"), false, true)}};
        for (const auto& [label, bytes] : variants) {
            const std::filesystem::path copy =
                dir / (std::string(label) + original.extension().string());
            writeFile(copy, bytes);
            const Replayed got = replay(copy);
            EXPECT_EQ(got.frames, expected.frames) << original << " " << label;
            EXPECT_EQ(got.summary.format, expected.summary.format) << original << " " << label;
            if (expected.summary.format == sim::CaptureFormat::PresentMon) { // else the file name
                EXPECT_EQ(got.summary.application, expected.summary.application) << label;
            }
        }
    }
}

TEST(Capture, utf16NamesAndLoneSurrogatesBecomeUtf8)
{
    ScratchDir dir;
    // "Zoë 🎮.exe" with its surrogate pair, then a name with a lone high surrogate.
    const std::u16string text = u"Application,MsBetweenPresents\r\nZo\u00EB \U0001F3AE.exe,16\r\n"
                                u"Bad\xD800.exe,16\r\nBad\xD800.exe,16\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    writeFile(dir / "names.csv", bytes);
    const Replayed r = replay(dir / "names.csv");
    ASSERT_EQ(r.summary.applications.size(), 2u);
    EXPECT_EQ(r.summary.applications[0].name, "Zoë \xF0\x9F\x8E\xAE.exe");
    EXPECT_EQ(r.summary.applications[1].name, "Bad\xEF\xBF\xBD.exe");
    EXPECT_EQ(r.summary.application, r.summary.applications[1].name) << "the most frames";
}

// Lines are split sixteen bytes at a time: fields ending on, before and after those edges, quotes
// anywhere, and a limit on the fields taken.
TEST(SplitCsv, fieldsAcrossEveryEdgeOfSixteenBytes)
{
    struct Row {
        std::string line;
        std::size_t maxFields;
        std::vector<std::string> fields;
    };
    const std::string fifteen(15, 'a');
    const std::string sixteen(16, 'b');
    const std::vector<Row> rows = {
        {"", 5, {""}},
        {",", 5, {"", ""}},
        {fifteen + "," + sixteen + ",c", 5, {fifteen, sixteen, "c"}},
        {sixteen + "," + fifteen + ",", 5, {sixteen, fifteen, ""}},
        {sixteen + sixteen + ",x", 5, {sixteen + sixteen, "x"}},
        {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r",
         11,
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}},
        {"a,b,c", 0, {}},
        {fifteen + ",\"q,uoted\",z", 5, {fifteen, "q,uoted", "z"}},
        {sixteen + sixteen + ",\"x\"", 5, {sixteen + sixteen, "x"}},
        {"mid\"quote,b", 5, {"mid\"quote", "b"}},
    };
    std::vector<std::string_view> fields;
    for (const Row& row : rows) {
        EXPECT_EQ(sim::splitCsv(row.line, fields, row.maxFields), row.fields.size()) << row.line;
        EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.end()), row.fields) << row.line;
    }
}

std::string manyFrames(int count)
{
    std::string text = "Application,MsBetweenPresents\n";
    for (int i = 0; i < count; ++i) {
        text += "Game.exe," + std::to_string(10 + i % 50) + "\n";
    }
    return text;
}

// The capture is read on a thread of its own: frames still come in order, an error near the end
// comes after every frame before it, and a replay that gives up stops the reading.
TEST(Capture, readingAheadKeepsOrderAndErrors)
{
    ScratchDir dir;
    constexpr int count = 100000;
    writeFile(dir / "late-error.csv", manyFrames(count) + "Game.exe,oops\n");
    std::vector<double> frames;
    EXPECT_THROW(sim::replayCapture(dir / "late-error.csv", {},
                                    [&frames](double ms) { frames.push_back(ms); }),
                 sim::CaptureError);
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(frames[static_cast<std::size_t>(i)], 10 + i % 50) << "frame " << i;
    }

    writeFile(dir / "long.csv", manyFrames(count));
    int seen = 0;
    EXPECT_THROW(sim::replayCapture(dir / "long.csv", {},
                                    [&seen](double) {
                                        if (++seen == 5000) {
                                            throw std::runtime_error("replay gave up");
                                        }
                                    }),
                 std::runtime_error);
    EXPECT_EQ(seen, 5000);
}

TEST(LineReader, linesLongerThanTheBufferAndMixedLineEnds)
{
    ScratchDir dir;
    const std::string longLine(sim::maxLineBytes, 'x'); // the longest there may be
    writeFile(dir / "lines", "a\r\n" + longLine + "\nb\n\nc");
    sim::LineReader reader(dir / "lines");
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) {
        lines.emplace_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a", longLine, "b", "", "c"}));
    EXPECT_EQ(reader.lineNumber(), 5u);
}

// A source without line ends (a file of NUL bytes, /dev/zero) is not read into one growing line.
TEST(LineReader, aLineLongerThanAnyCaptureHoldsIsAnErrorNamingIt)
{
    ScratchDir dir;
    writeFile(dir / "lines", "a\n" + std::string(sim::maxLineBytes + 1, '\0') + "\nb\n");
    sim::LineReader reader(dir / "lines");
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
    try {
        reader.next(line);
        FAIL() << "read a line longer than the limit";
    } catch (const sim::CaptureError& error) {
        EXPECT_NE(std::string(error.what()).find(":2: a line longer than 1 MiB"), std::string::npos)
            << error.what();
    }
}

TEST(LineReader, directoryOrMissingFileIsAClearError)
{
    ScratchDir dir;
    EXPECT_THROW(sim::LineReader{dir.path()}, sim::CaptureError);
    EXPECT_THROW(sim::LineReader{dir / "absent.csv"}, sim::CaptureError);
}

} // namespace
