// The frame record: written by the plug-in's own pass through the simulated platform, read back
// by the tools, and what the city drive's purges measure against what the city puts in.
#include "governor/main.h"
#include "record/record.h"
#include "sim/capture/frame_record.h"
#include "sim/session/city.h"
#include "sim/session/purge_gains.h"
#include "sim/session/session.h"

#include "test_support.h"

#include <algorithm>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

const char* const recordName = "Tarnwick-record-2026-06-28_17-17-51.csv";

class RecordTest : public testing_support::GameTest {
  protected:
    void settings(const std::string& text) { writeFile(game / "Tarnwick.ini", text); }
    void frames(int count, float seconds)
    {
        for (int i = 0; i < count; ++i) {
            sim::host().clock.frameTimeSeconds = seconds;
            sim::runFrame();
            sim::host().clock.tickMs += static_cast<std::uint32_t>(seconds * 1000.0f);
        }
    }
    void farVehicles(int count)
    {
        for (int i = 0; i < count; ++i) {
            sim::addVehicle(100.0f + static_cast<float>(i), 0, 0);
        }
    }
    std::string record() const { return readFile(game / recordName); }
    std::string log() const { return readFile(game / "Tarnwick.log"); }
};

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool endsWhole(const std::string& text)
{
    return text.empty() || text.back() == '\n';
}

TEST_F(RecordTest, keyAbsentMeansTheSameNativesAndNoFile)
{
    // The natives of an unrecorded evening, then the same evening with Record=0.
    std::vector<std::vector<sim::HookCall>> calls;
    std::vector<std::string> logs;
    for (const char* ini : {"", "[Main]\nRecord=0\n"}) {
        sim::resetHost();
        sim::host().machine.exePath = (game / "game.exe").string();
        sim::host().machine.logPath = (game / "Tarnwick.log").string();
        sim::host().clock.tickMs = 100000;
        std::filesystem::remove(game / "Tarnwick.log");
        settings(ini);
        farVehicles(5);
        sim::host().record.recording = true;
        sim::loadPlugin();
        frames(300, 0.04f);
        // A pushed slot may hold an address, which differs from run to run: the natives and their
        // order are the hashes and the operations.
        std::vector<sim::HookCall> seen = sim::host().record.calls;
        for (sim::HookCall& call : seen) {
            call.value = call.op == sim::HookOp::NativePush64 ? 0 : call.value;
        }
        calls.push_back(std::move(seen));
        logs.push_back(log());
    }
    EXPECT_EQ(calls[0], calls[1]);
    EXPECT_EQ(logs[0], logs[1]);
    EXPECT_FALSE(std::filesystem::exists(game / recordName));
}

TEST_F(RecordTest, rowsAFramePurgesWithWhatTheyTookAndTheLogAsEver)
{
    settings("[Main]\nRecord=1\n");
    farVehicles(12);
    sim::addVehicle(10, 0, 0);        // near
    sim::addVehicle(500, 0, 0, true); // a mission's
    sim::loadPlugin();
    frames(200, 0.04f); // 8 s at 25 fps: purges at the second frame and 7 s later
    frames(60, 0.016f); // then a second more, so the buffer is written
    const std::vector<std::string> lines = linesOf(record());
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(lines[0].starts_with("Tarnwick frame record,version ")) << lines[0];
    EXPECT_NE(lines[0].find(",Record=1,Logging=1,FPS_Moderate=45,FPS_Critical=35,"
                            "DetectionRange=50"),
              std::string::npos)
        << lines[0];
    EXPECT_EQ(lines[1], recordColumns);
    EXPECT_EQ(lines[2], "0,40.000,Moderate,1,12,1,,") << "the first frame counts";
    EXPECT_EQ(lines[3], "40,40.000,Critical,1,12,1,12,purge");
    EXPECT_TRUE(endsWhole(record()));
    // The log is the one an unrecorded evening writes: a line a purge.
    const std::string written = log();
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 2);
}

TEST_F(RecordTest, negativeThresholdsReachTheHeaderAndComeBackAsThePluginHoldsThem)
{
    settings("[Main]\nRecord=1\n[Settings]\nFPS_Moderate=-1\nFPS_Critical=-2147483648\n");
    sim::loadPlugin();
    frames(60, 0.02f);
    frames(60, 0.02f);
    const std::vector<std::string> lines = linesOf(record());
    ASSERT_GE(lines.size(), 1u);
    EXPECT_NE(lines[0].find(",FPS_Moderate=-1,FPS_Critical=-2147483648,"), std::string::npos)
        << lines[0];
    const sim::Result<sim::FrameRecordFile> read = sim::loadFrameRecord(game / recordName);
    ASSERT_TRUE(read) << sim::failureText(read.failure());
    EXPECT_EQ(read->fpsModerate, -1);
    EXPECT_EQ(read->fpsCritical, -2147483648.0);
}

TEST_F(RecordTest, withoutPurgingMarksWhereItWouldHaveAndTakesNothing)
{
    settings("[Main]\nRecord=2\n");
    farVehicles(7);
    sim::loadPlugin();
    frames(100, 0.04f);
    frames(70, 0.016f);
    EXPECT_EQ(sim::host().record.deletions, 0u);
    EXPECT_FALSE(std::filesystem::exists(game / "Tarnwick.log")) << "nothing was purged";
    const std::vector<std::string> lines = linesOf(record());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[3], "40,40.000,Critical,0,7,0,,purge withheld (Record=2)");
}

TEST_F(RecordTest, writtenAtMostOnceASecond)
{
    settings("[Main]\nRecord=1\n");
    sim::loadPlugin();
    frames(1, 0.016f);
    const std::size_t header = record().size();
    frames(50, 0.016f); // 0.8 s: still in the buffer
    EXPECT_EQ(record().size(), header);
    frames(20, 0.016f);
    EXPECT_GT(record().size(), header);
    EXPECT_TRUE(endsWhole(record()));
}

// Each failure the disk can give: the governor purges as ever, the log is as without recording,
// and the record holds whole lines.
TEST_F(RecordTest, fullDiskWriteErrorAndNoFileLeaveTheGovernorAlone)
{
    struct Case {
        const char* label;
        std::optional<std::uint64_t> diskBytesLeft;
        std::optional<int> writesBeforeFailure;
        bool createFails;
    };
    const Case cases[] = {
        {"disk full mid-line", 700, std::nullopt, false},
        {"write error", std::nullopt, 2, false},
        {"no file can be made", std::nullopt, std::nullopt, true},
    };
    for (const Case& c : cases) {
        sim::resetHost();
        sim::host().machine.exePath = (game / "game.exe").string();
        sim::host().machine.logPath = (game / "Tarnwick.log").string();
        sim::host().clock.tickMs = 100000;
        std::filesystem::remove(game / "Tarnwick.log");
        std::filesystem::remove(game / recordName);
        settings("[Main]\nRecord=1\n");
        sim::host().machine.diskBytesLeft = c.diskBytesLeft;
        sim::host().machine.recordWritesBeforeFailure = c.writesBeforeFailure;
        sim::host().machine.recordCreateFails = c.createFails;
        farVehicles(3);
        sim::loadPlugin();
        frames(400, 0.04f); // 16 s: three purges
        const std::string written = log();
        EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3) << c.label;
        EXPECT_EQ(sim::host().record.deletions, 3u) << c.label;
        const std::string text = readFile(game / recordName);
        EXPECT_TRUE(endsWhole(text)) << c.label << ": " << text.substr(text.size() - 40);
    }
}

TEST_F(RecordTest, sizeLimitEndsWithALineSayingSo)
{
    settings("[Main]\nRecord=1\n");
    sim::loadPlugin();
    // Frames of no time write every 256 KiB, not every second: the limit comes fast.
    const std::uint64_t rows = recordLimitBytes / 15;
    sim::host().clock.frameTimeSeconds = 0.0001f;
    for (std::uint64_t i = 0; i < rows; ++i) {
        sim::runFrame();
    }
    const std::uintmax_t size = std::filesystem::file_size(game / recordName);
    EXPECT_LE(size, recordLimitBytes);
    const std::string text = readFile(game / recordName);
    ASSERT_TRUE(endsWhole(text));
    const std::string last = text.substr(text.rfind('\n', text.size() - 2) + 1);
    EXPECT_EQ(last, "0,,,,,,,recording stopped: size limit of 64 MiB\n");
}

TEST_F(RecordTest, theToolsReplayTheFramesAsThePluginReadThem)
{
    settings("[Main]\nRecord=1\n");
    farVehicles(4);
    sim::loadPlugin();
    frames(100, 0.04f);
    frames(100, 0.02f);
    const sim::Result<sim::FrameRecordFile> read = sim::loadFrameRecord(game / recordName);
    ASSERT_TRUE(read) << sim::failureText(read.failure());
    // Up to the last second is still in the plug-in's buffer.
    EXPECT_GE(read->frameTimesMs.size(), 150u);
    EXPECT_LT(read->frameTimesMs.size(), 200u);
    EXPECT_DOUBLE_EQ(read->frameTimesMs.front(), 40.0);
    ASSERT_EQ(read->purges.size(), 1u);
    EXPECT_EQ(read->purges[0].taken, 4);
    EXPECT_EQ(read->purges[0].frame, 2u);
    std::uint64_t frames = 0;
    const auto summary = sim::replayCapture(game / recordName, {}, [&](double) { ++frames; });
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->format, sim::CaptureFormat::TarnwickRecord);
    EXPECT_EQ(frames, read->frameTimesMs.size());
}

// The city drive with recording on: the record's purges, measured, against what the city puts in
// (each vehicle msPerVehicle, more within sight).
TEST(RecordedCityDrive, measuresWhatTheCityPutsIn)
{
    ScratchDir dir;
    writeFile(dir / "Tarnwick.ini", "[Main]\nRecord=1\n");
    auto session = sim::Session::open({dir / "Tarnwick.ini"});
    ASSERT_TRUE(session);
    sim::CityDrive city(1);
    double frameMs = 1000.0 / 60.0;
    while ((*session)->nowMs() < 1200 * 1000.0) {
        (*session)->frame(frameMs);
        frameMs = city.step(frameMs);
    }
    const std::string text = (*session)->pluginRecord();
    writeFile(dir / "record.csv", text);
    const sim::Result<sim::FrameRecordFile> read = sim::loadFrameRecord(dir / "record.csv");
    ASSERT_TRUE(read) << sim::failureText(read.failure());
    std::vector<sim::GainPurge> purges;
    for (const sim::RecordedPurge& p : read->purges) {
        purges.push_back({p.timeMs, p.taken, p.withheld});
    }
    const sim::PurgeGains gains = sim::measurePurgeGains(read->frameTimesMs, purges);
    ASSERT_GE(gains.ran, 5u) << sim::gainsSentence(gains);
    // What the session saw the plug-in delete is what the record says it took.
    std::uint64_t taken = 0;
    for (const sim::RecordedPurge& p : read->purges) {
        taken += static_cast<std::uint64_t>(p.taken);
    }
    std::uint64_t removed = 0;
    for (const sim::PurgeEvent& p : (*session)->result().purges) {
        if (p.timeMs <= read->purges.back().timeMs + 1) {
            removed += p.removed;
        }
    }
    EXPECT_EQ(taken, removed);
    ASSERT_TRUE(gains.msPerVehicle);
    // Traffic keeps coming while the windows run, so a little less than put in is measured.
    EXPECT_GT(*gains.msPerVehicle, sim::cityMsPerVehicle * 0.8) << sim::gainsSentence(gains);
    EXPECT_LT(*gains.msPerVehicle, (sim::cityMsPerVehicle + sim::cityMsPerVisibleVehicle) * 1.1)
        << sim::gainsSentence(gains);
    // Each purge lifts the drive; the governor catches every low, so no low moment is left
    // without a purge to compare with (that takes an evening with Record=2).
    EXPECT_GT(gains.meanGainFps, 5.0) << sim::gainsSentence(gains);
    EXPECT_EQ(gains.yardstick, sim::Yardstick::None) << sim::gainsSentence(gains);
    std::cout << sim::gainsSentence(gains) << "\n";
}

// Rows a record may hold that the plug-in never writes, and what reading it makes of them.
struct HostileRowsCase {
    const char* name;
    std::string rows; // after the header and the columns
    std::size_t purgesKept;
    std::uint64_t purgesSetAside;
    std::uint64_t skippedCells;
    const char* rule; // in the summary's reading rules; "" for none
};

TEST(RecordRows, countsThePluginNeverWritesAreSetAsideAndSaid)
{
    const std::string frames = "0,40.000,Critical,1,12,0,,\n";
    const HostileRowsCase cases[] = {
        {"asWritten",
         frames + "40,40.000,Critical,1,12,0,12,purge\n" + "7080,40.000,Critical,1,9,0,9,purge\n",
         2, 0, 0, ""},
        {"negativeTaken", frames + "40,40.000,Critical,1,12,0,-90,purge\n", 0, 1, 0,
         "1 purge row set aside"},
        {"unreadableTaken", frames + "40,40.000,Critical,1,12,0,many,purge\n", 0, 1, 0,
         "1 purge row set aside"},
        {"moreTakenThanWereThere", frames + "40,40.000,Critical,1,12,0,2147483647,purge\n", 0, 1, 0,
         "1 purge row set aside"},
        {"aPurgeEveryFrame",
         frames + "40,40.000,Critical,1,12,0,12,purge\n" + "80,40.000,Critical,1,12,0,12,purge\n" +
             "7040,40.000,Critical,1,12,0,12,purge\n" + "7041,40.000,Critical,1,12,0,12,purge\n",
         2, 2, 0, "2 purge rows set aside"},
        {"withheldNeedsNoTaken", frames + "40,40.000,Critical,1,12,0,,purge withheld (Record=2)\n",
         1, 0, 0, ""},
        {"emptyFrameTimesAreCounted", frames + "40,,Critical,1,12,0,,\n80,  ,Normal,,,,,\n", 0, 0,
         2, ""},
        {"framesAsTheGameGaveThem",
         frames + "40,nan,Normal,,,,,\n80,-inf,Normal,,,,,\n120,inf,Critical,,,,,\n" +
             "7200120,7200000.000,Critical,,,,,\n",
         0, 0, 0, "2 frame times of NaN or -inf"},
        {"stoppedAtTheLimit", frames + "80,,,,,,,recording stopped: size limit of 64 MiB\n", 0, 0,
         0, "the record stopped at its size limit of 64 MiB"},
    };
    testing_support::ScratchDir dir;
    for (const HostileRowsCase& c : cases) {
        const auto path = dir.path() / (std::string(c.name) + ".csv");
        testing_support::writeFile(path, std::string(recordTitle) +
                                             ",version 0.4.0,Record=1,FPS_Moderate=45,"
                                             "FPS_Critical=35\n" +
                                             recordColumns + "\n" + c.rows);
        const sim::Result<sim::FrameRecordFile> read = sim::loadFrameRecord(path);
        ASSERT_TRUE(read) << c.name << ": " << sim::failureText(read.failure());
        EXPECT_EQ(read->purges.size(), c.purgesKept) << c.name;
        EXPECT_EQ(read->purgesSetAside, c.purgesSetAside) << c.name;
        for (const sim::RecordedPurge& p : read->purges) {
            EXPECT_LE(p.taken, p.distantBefore) << c.name;
            EXPECT_GE(p.taken, 0) << c.name;
        }
        const auto summary = sim::replayCapture(path, {}, [](double) {});
        ASSERT_TRUE(summary) << c.name << ": " << sim::failureText(summary.failure());
        EXPECT_EQ(summary->skippedCells, c.skippedCells) << c.name;
        std::string rules;
        for (const std::string& rule : summary->rules) {
            rules += rule + "\n";
        }
        if (*c.rule == '\0') {
            EXPECT_EQ(rules, "") << c.name;
        } else {
            EXPECT_NE(rules.find(c.rule), std::string::npos) << c.name << ": " << rules;
        }
    }
}

TEST(RecordRows, twoRecordsJoinedAreSaidToBe)
{
    const std::string record = std::string(recordTitle) + ",version 0.4.0,Record=1\n" +
                               recordColumns + "\n0,40.000,Normal,1,12,0,,\n";
    testing_support::ScratchDir dir;
    const auto path = dir.path() / "joined.csv";
    testing_support::writeFile(path, record + record);
    const auto summary = sim::replayCapture(path, {}, [](double) {});
    ASSERT_FALSE(summary);
    const std::string said = sim::failureText(summary.failure());
    EXPECT_NE(said.find("joined.csv:4: a second frame record's first line: two records joined"),
              std::string::npos)
        << said;
}

TEST(RecordRows, framesTheGameGaveAreReplayedAsThePluginTookThem)
{
    testing_support::ScratchDir dir;
    const auto path = dir.path() / "asleep.csv";
    testing_support::writeFile(path, std::string(recordTitle) + ",version 0.4.0,Record=1\n" +
                                         recordColumns +
                                         "\n0,40.000,Normal,,,,,\n40,nan,Normal,,,,,\n"
                                         "80,-inf,Normal,,,,,\n120,inf,Critical,,,,,\n"
                                         "7200120,7200000.000,Critical,,,,,\n"
                                         "7200160,16.700,Normal,,,,,\n");
    std::vector<double> replayed;
    const auto summary =
        sim::replayCapture(path, {}, [&replayed](double ms) { replayed.push_back(ms); });
    ASSERT_TRUE(summary) << sim::failureText(summary.failure());
    const std::vector<double> expected = {40.0, 0.0, 0.0, 3600000.0, 3600000.0, 16.7};
    EXPECT_EQ(replayed, expected);
    ASSERT_EQ(summary->rules.size(), 2u);
    EXPECT_NE(summary->rules[0].find("2 frame times of NaN or -inf"), std::string::npos)
        << summary->rules[0];
    EXPECT_NE(summary->rules[1].find("2 frame times of inf or more than an hour"),
              std::string::npos)
        << summary->rules[1];
}

// A record is read by its columns line, as every capture is, not by where cells stand.
struct ColumnsCase {
    const char* name;
    std::string columns;
    std::string rows;
    std::vector<double> frames; // empty: refused
    std::size_t purges;
    const char* refusal; // in the failure; "" when read
};

TEST(RecordColumns, rowsAreReadByTheirColumnNames)
{
    const ColumnsCase cases[] = {
        {"asWritten", recordColumns, "0,40.000,Critical,1,12,0,12,purge\n", {40.0}, 1, ""},
        {"timeAndFrameSwapped",
         "frameTimeMs,timeMs,state,nearVehicles,farVehicles,missionVehicles,vehiclesTaken,event",
         "40.000,0,Critical,1,12,0,12,purge\n",
         {40.0},
         1,
         ""},
        {"aColumnMoreAfterTheFrameTime",
         "timeMs,frameTimeMs,gpuMs,state,nearVehicles,farVehicles,missionVehicles,vehiclesTaken,"
         "event",
         "0,40.000,9.5,Critical,1,12,0,12,purge\n",
         {40.0},
         1,
         ""},
        {"aDecimalCommaWithoutQuotes",
         recordColumns,
         "0,40,000,Critical,1,12,0,12,purge\n",
         {},
         0,
         "row of 9 cells where its columns line names 8: a decimal comma"},
        {"noFrameTimeColumn",
         "timeMs,ft,state,nearVehicles,farVehicles,missionVehicles,"
         "vehiclesTaken,event",
         "0,40.000,Critical,1,12,0,12,purge\n",
         {},
         0,
         "names no frameTimeMs column"},
    };
    testing_support::ScratchDir dir;
    for (const ColumnsCase& c : cases) {
        const auto path = dir.path() / (std::string(c.name) + ".csv");
        testing_support::writeFile(path, std::string(recordTitle) + ",version 0.4.0,Record=1\n" +
                                             c.columns + "\n" + c.rows);
        const sim::Result<sim::FrameRecordFile> read = sim::loadFrameRecord(path);
        if (*c.refusal != '\0') {
            ASSERT_FALSE(read) << c.name;
            EXPECT_NE(sim::failureText(read.failure()).find(c.refusal), std::string::npos)
                << c.name << ": " << sim::failureText(read.failure());
            continue;
        }
        ASSERT_TRUE(read) << c.name << ": " << sim::failureText(read.failure());
        EXPECT_EQ(read->frameTimesMs, c.frames) << c.name;
        ASSERT_EQ(read->purges.size(), c.purges) << c.name;
        EXPECT_EQ(read->purges[0].taken, 12) << c.name;
        EXPECT_EQ(read->purges[0].distantBefore, 12) << c.name;
    }
}

} // namespace
