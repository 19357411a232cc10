// One clear error, naming the file and the line, for each kind of malformed capture.
#include "sim/capture/capture.h"

#include "capture_support.h"
#include "test_support.h"

#include <string>

namespace {

using capture_support::replay;
using testing_support::ScratchDir;
using testing_support::writeFile;

struct Malformed {
    const char* name;
    std::string file;
    std::string expected; // after "<path>"
    // A file too big to copy into the parameters every test process registers: made when run.
    std::string (*made)() = nullptr;
};

// A failing case names itself, not its bytes.
void PrintTo(const Malformed& c, std::ostream* os)
{
    *os << c.name;
}

class MalformedCaptures : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedCaptures, oneClearErrorNamingFileAndLine)
{
    ScratchDir dir;
    const auto path = dir / "capture.csv";
    writeFile(path, GetParam().made != nullptr ? GetParam().made() : GetParam().file);
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
        // Only the last line, with no line end, can be cut short by a tool stopped while writing.
        Malformed{"shortLineInTheMiddle",
                  "Application,ProcessID,MsBetweenPresents\nGame.exe,1,16\nGame.e\nGame.exe,1,16",
                  ":3: expected at least 3 columns, found 1"},
        Malformed{"numberCutInTheMiddle", "16.6\n1.5e\n20",
                  ":2: frame time '1.5e' in column 1 is not a number"},
        Malformed{"wordOnALastLineWithoutLineEnd", "16.6\n20\nfast",
                  ":3: frame time 'fast' in column 1 is not a number"},
        Malformed{"onlyRowCutShort", "Application,ProcessID,MsBetweenPresents\nGame.e",
                  ": no frames: the capture holds a header and the last line is cut short (6 "
                  "bytes): left out; the capture tool was probably stopped while writing"},
        // Longer than the first read: looking past it must not move the line from under us.
        Malformed{"longLinesAfterAHeaderWithoutFrameTimeColumn", "",
                  ":1: no frame-time column: the header names none of MsBetweenPresents, "
                  "msBetweenPresents or FrameTime",
                  [] {
                      return std::string(600 << 10, 'a') + ",b\n" + std::string(900 << 10, 'c') +
                             "\nd\n";
                  }},
        Malformed{"unknownFormat", "hello world\nthis is not a capture\n",
                  ":1: unrecognised capture format: expected PresentMon or OCAT CSV, CapFrameX "
                  "JSON, MangoHud CSV, or one frame time in milliseconds per line"},
        Malformed{"plainTextWithWord", "16.6\n16.7\nstutter\n",
                  ":3: frame time 'stutter' in column 1 is not a number"},
        Malformed{"brokenJson", "{\n  \"Runs\": [\n  x\n]}\n", ":3: not valid JSON"},
        Malformed{"jsonCutBeforeItsFrames", "{\n  \"Runs\": [\n",
                  ": the file ends inside its JSON (cut short after 14 bytes) before "
                  "Runs[0].CaptureData.MsBetweenPresents: the capture tool was probably stopped "
                  "while writing"},
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
        // Nesting past 64 levels is refused as it comes: a 20 MB file of brackets once took 816 MB.
        Malformed{"jsonNested64Deep", "{\"a\":" + std::string(63, '[') + std::string(63, ']') + "}",
                  ": no Runs array: not a CapFrameX capture"},
        Malformed{"jsonNested65Deep", "{\"a\":" + std::string(64, '[') + std::string(64, ']') + "}",
                  ": JSON nested more than 64 deep: no capture tool writes that, so it is not a "
                  "CapFrameX capture"},
        Malformed{"jsonNestedAMillionDeep", "",
                  ": JSON nested more than 64 deep: no capture tool writes that, so it is not a "
                  "CapFrameX capture",
                  [] { return "{\"a\":" + std::string(1000000, '['); }},
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

} // namespace
