// Frame records judged by what their purges gained, and two of them set side by side: Tarnwick on
// against off. Records come from the city drive (run --record) or are written here.
#include "record/record.h"
#include "sim/cli/capture_reading.h"
#include "sim/cli/commands.h"
#include "sim/report/session_report.h"
#include "sim/session/purge_gains.h"

#include "test_support.h"

#include <nlohmann/json.hpp>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <cctype>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

// A stretch of steady frames, with a purge (or one withheld) on its last frame.
struct Stretch {
    double seconds = 0;
    double fps = 60;
    bool purge = false;
};

std::string recordOf(int mode, const std::vector<Stretch>& stretches)
{
    std::string text = fmt::format("{},version 0.0.0,build Jan  1 2026 00:00:00,started "
                                   "2026-01-01_00-00-00,Record={},Logging=1,FPS_Moderate=45,"
                                   "FPS_Critical=35,DetectionRange=50\n{}\n",
                                   recordTitle, mode, recordColumns);
    double clockMs = 0;
    for (const Stretch& s : stretches) {
        const double frameMs = 1000.0 / s.fps;
        const auto frames = static_cast<int>(s.seconds * s.fps);
        for (int i = 0; i < frames; ++i) {
            const bool purge = s.purge && i + 1 == frames;
            text += fmt::format("{:.0f},{:.3f},{},,{},,{},{}\n", clockMs, frameMs,
                                purge ? "Critical" : "Normal", purge ? "20" : "",
                                purge ? (mode == 1 ? "20" : "0") : "",
                                purge ? (mode == 1 ? recordPurgeEvent : recordWithheldEvent) : "");
            clockMs += frameMs;
        }
    }
    return text;
}

// Slumps to 25 fps among play at 60, each ended by a purge that lifts the game back at once.
std::vector<Stretch> liftedSlumps(int slumps)
{
    std::vector<Stretch> out;
    for (int i = 0; i < slumps; ++i) {
        out.push_back({50, 60});
        out.push_back({4, 25, true});
    }
    out.push_back({30, 60});
    return out;
}

// The same slumps, each with two purges after which the game stays as slow: no traffic.
std::vector<Stretch> unliftedSlumps(int slumps)
{
    std::vector<Stretch> out;
    for (int i = 0; i < slumps; ++i) {
        out.push_back({50, 60});
        out.push_back({7, 25, true});
        out.push_back({7, 25, true});
        out.push_back({3, 25});
    }
    out.push_back({30, 60});
    return out;
}

nlohmann::json tuned(const std::vector<std::filesystem::path>& captures)
{
    sim::TuneOptions options;
    options.captures = captures;
    options.common.json = true;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::tuneCommand(options, out, err), 0) << err.str();
    return nlohmann::json::parse(out.str());
}

struct WorthCase {
    const char* name;
    std::vector<Stretch> stretches;
    const char* worth;
    const char* decidedBy; // nullptr: not asserted
    const char* saying;
};

TEST(PurgeWorth, theVerdictSaysWhatTheRecordsPurgesGained)
{
    const std::vector<WorthCase> cases = {
        {"lifts", liftedSlumps(6), "lifts", nullptr, "these slumps are traffic"},
        {"lifts nothing", unliftedSlumps(6), "noLift", "purgesGainNothing",
         "purges here take vehicles but do not lift the frame rate: these slumps are not "
         "traffic"},
        {"too few", liftedSlumps(2), "tooFew", nullptr, "more minute"},
    };
    for (const WorthCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        writeFile(dir / "record.csv", recordOf(1, c.stretches));
        const nlohmann::json json = tuned({dir / "record.csv"});
        const nlohmann::json& verdict = json["verdict"];
        ASSERT_TRUE(verdict.contains("purgeWorth")) << verdict.dump(1);
        EXPECT_EQ(verdict["purgeWorth"]["worth"], c.worth) << verdict.dump(1);
        EXPECT_NE(verdict["purgeWorth"]["sentence"].get<std::string>().find(c.saying),
                  std::string::npos)
            << verdict["purgeWorth"]["sentence"];
        if (c.decidedBy != nullptr) {
            EXPECT_EQ(verdict["decidedBy"], c.decidedBy) << verdict.dump(1);
        }
    }
}

TEST(PurgeWorth, purgesThatLiftNothingAreFewerAndTheWayToCompareIsSaid)
{
    ScratchDir dir;
    writeFile(dir / "record.csv", recordOf(1, unliftedSlumps(6)));
    const nlohmann::json json = tuned({dir / "record.csv"});
    const nlohmann::json& verdict = json["verdict"];
    ASSERT_EQ(verdict["answer"], "change") << verdict.dump(1);
    const nlohmann::json& best = verdict["recommended"];
    int bestPurges = -1;
    for (const nlohmann::json& cell : json["cells"]) {
        if (cell["fpsModerate"] == best["fpsModerate"] &&
            cell["fpsCritical"] == best["fpsCritical"]) {
            bestPurges = cell["purges"];
        }
    }
    ASSERT_GE(bestPurges, 0) << best.dump();
    EXPECT_LT(bestPurges, json["current"]["purges"].get<int>()) << verdict.dump(1);
    EXPECT_FALSE(verdict["changes"].empty());
    const std::string why = verdict["why"];
    EXPECT_NE(why.find("Record=2"), std::string::npos) << why;
    EXPECT_EQ(why.find("Enabled=0"), std::string::npos) << why;
}

TEST(PurgeWorth, aCaptureThatIsNoRecordSaysNothingOfIt)
{
    ScratchDir dir;
    std::string capture = "MsBetweenPresents\n";
    for (int i = 0; i < 6000; ++i) {
        capture += i % 600 < 100 ? "40\n" : "16.7\n";
    }
    writeFile(dir / "capture.csv", capture);
    EXPECT_FALSE(tuned({dir / "capture.csv"})["verdict"].contains("purgeWorth"));
}

// --from and --to cut the record's purges as they cut its frames: times count from --from.
TEST(PurgeWorth, theGainsAreThoseOfThePartPlayed)
{
    ScratchDir dir;
    writeFile(dir / "record.csv", recordOf(1, liftedSlumps(6)));
    const auto replayed = [&](std::optional<double> from, std::optional<double> to) {
        sim::ReplayOptions options;
        options.capture = dir / "record.csv";
        options.common.json = true;
        options.choice.fromSeconds = from;
        options.choice.toSeconds = to;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::replayCommand(options, out, err), 0) << err.str();
        return nlohmann::json::parse(out.str())["purgeGains"];
    };
    const nlohmann::json whole = replayed(std::nullopt, std::nullopt);
    const nlohmann::json part = replayed(100, 250);
    ASSERT_EQ(whole["purges"].size(), 6u);
    // Purges at 54, 108, 162, 216, 270 and 324 s: 108 to 216 lie in the part.
    ASSERT_EQ(part["purges"].size(), 3u) << part.dump(1);
    EXPECT_NEAR(part["purges"][0]["timeMs"].get<double>(),
                whole["purges"][1]["timeMs"].get<double>() - 100000, 20);
    EXPECT_NEAR(part["recordMs"].get<double>(), 150000, 20);
    EXPECT_EQ(part["minutesMoreToRecord"].get<int>(), 2) << part.dump(1);
}

// The city drive recorded twice with the same traffic: once governing, once withholding.
class OnOffTest : public ::testing::Test {
  protected:
    std::filesystem::path drive(int mode, double seconds = 600, const std::string& settings = "",
                                const std::string& suffix = "")
    {
        const std::string name = fmt::format("record-{}{}.csv", mode, suffix);
        writeFile(dir / "Tarnwick.ini", fmt::format("[Main]\nRecord={}\n{}", mode, settings));
        sim::RunOptions options;
        options.seconds = seconds;
        options.common.ini = dir / "Tarnwick.ini";
        options.common.record = dir / name;
        options.common.json = true;
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::runCommand(options, out, err), 0) << err.str();
        return dir / name;
    }
    ScratchDir dir;
};

TEST_F(OnOffTest, theGovernedEveningSpendsLessTimeLowThanTheWithheldOne)
{
    const std::filesystem::path on = drive(1);
    const std::filesystem::path off = drive(2);
    // Given off first: which is which is read from each record's header.
    const nlohmann::json json = tuned({off, on});
    ASSERT_TRUE(json.contains("onAgainstOff")) << json.dump(1);
    const nlohmann::json& c = json["onAgainstOff"];
    ASSERT_EQ(c["notCompared"], "") << c.dump(1);
    EXPECT_EQ(c["on"]["record"], "record-1.csv");
    EXPECT_EQ(c["off"]["record"], "record-2.csv");
    EXPECT_EQ(c["fpsCritical"], 35);
    EXPECT_LT(c["on"]["msBelowCritical"].get<double>() * 4,
              c["off"]["msBelowCritical"].get<double>())
        << c.dump(1);
    EXPECT_LT(c["on"]["msBelowModerate"].get<double>(), c["off"]["msBelowModerate"].get<double>());
    EXPECT_GT(c["on"]["meanFps"].get<double>(), c["off"]["meanFps"].get<double>() + 5);
    EXPECT_GT(c["on"]["p1LowFps"].get<double>(), c["off"]["p1LowFps"].get<double>());
    EXPECT_GT(c["on"]["purges"].get<int>(), 0);
    EXPECT_GT(c["off"]["purges"].get<int>(), 0);
    // Without purges the drive sinks and stays: a level of its own, said, rather than a slump.
    EXPECT_NE(c["off"]["levels"].get<std::string>().find("levels: "), std::string::npos);

    // The page and the console say the same comparison.
    sim::ReportOptions report;
    report.captures = {on, off};
    report.common.page = dir / "page.html";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::reportCommand(report, out, err), 0) << err.str();
    EXPECT_NE(out.str().find("Tarnwick on against off: record-1.csv (Record=1) beside "
                             "record-2.csv"),
              std::string::npos)
        << out.str();
    const std::string page = readFile(dir / "page.html");
    EXPECT_NE(page.find("<h2>Tarnwick on against off</h2>"), std::string::npos);
    EXPECT_NE(page.find(fmt::format("<td>{:.1f}</td>", c["on"]["meanFps"].get<double>())),
              std::string::npos);
}

TEST_F(OnOffTest, twoRecordsNotOneOfEachKindOrOfTwoGamesAreNotComparedAndSaidWhy)
{
    const std::filesystem::path on = drive(1);
    const std::filesystem::path off = drive(2);
    std::filesystem::copy_file(on, dir / "on-again.csv");
    std::filesystem::copy_file(off, dir / "off-again.csv");
    // The withheld evening's very frames in a world of 60 more ambient vehicles near the player.
    std::string other;
    std::istringstream lines(readFile(off));
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, ',');) {
            cells.push_back(cell);
        }
        if (cells.size() > 3 && !cells[3].empty() && std::isdigit(cells[3][0]) != 0) {
            cells[3] = std::to_string(std::stoi(cells[3]) + 60);
            while (cells.size() < 8) {
                cells.emplace_back();
            }
            line = fmt::format("{}", fmt::join(cells, ","));
        }
        other += line + "\n";
    }
    writeFile(dir / "other-world.csv", other);
    struct Case {
        std::vector<std::filesystem::path> records;
        const char* why;
    };
    const std::vector<Case> cases = {
        {{on, dir / "on-again.csv"}, "were both made with Tarnwick governing (Record=1): record"},
        {{off, dir / "off-again.csv"}, "both withheld every purge (Record=2)"},
        {{on, dir / "other-world.csv"},
         "record-1.csv and other-world.csv look like two worlds: the ambient vehicles within "
         "DetectionRange, which purges never take, number "},
        {{on, drive(2, 60, "", "-minute")}, "of play and record-1.csv 10 min: traffic builds up"},
        {{on, drive(2, 600, "[Settings]\nFPS_Moderate=15\nFPS_Critical=10\n", "-light")},
         "record-2-light.csv withheld no purge (Record=2): that evening never sank to "
         "FPS_Critical 10"},
        {{on, drive(2, 600, "[Settings]\nDetectionRange=80\n", "-range")},
         "record-1.csv was recorded with DetectionRange 50 and record-2-range.csv with 80"},
        {{on, std::filesystem::path(TARNWICK_CAPTURES_DIR) / "presentmon-1.csv"},
         "record-1.csv is a frame record and presentmon-1.csv a capture tool's file"},
        {{on, off, dir / "off-again.csv"}, "3 frame records were given"},
    };
    for (const Case& c : cases) {
        const nlohmann::json json = tuned(c.records);
        ASSERT_TRUE(json.contains("onAgainstOff")) << c.why;
        const std::string why = json["onAgainstOff"]["notCompared"];
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_FALSE(json["onAgainstOff"].contains("on")) << c.why;
    }
    EXPECT_FALSE(tuned({on})["onAgainstOff"].is_object()) << "one record is nothing to compare";
}

// A record made with Tarnwick on is sent back for an evening with Record=2, not Enabled=0, which
// would record nothing; given with one, that one is what to tune on.
TEST_F(OnOffTest, aRecordMadeWithTarnwickOnAsksForRecordTwo)
{
    const std::filesystem::path on = drive(1);
    const nlohmann::json alone = tuned({on})["verdict"];
    ASSERT_EQ(alone["answer"], "recordedWithTarnwickOn") << alone.dump(1);
    const std::string why = alone["why"];
    EXPECT_NE(why.find("with Record=2 under [Main]"), std::string::npos) << why;
    EXPECT_EQ(why.find("Enabled=0"), std::string::npos) << why;
    const std::string withOff = tuned({on, drive(2)})["verdict"]["why"];
    EXPECT_NE(withOff.find("give the record made with Record=2 alone"), std::string::npos)
        << withOff;
}

// Two evenings of one drive are one game's however much of their start is cut: past its first
// minutes the evening without purges never runs unburdened, so its fastest frames (once the test
// of "one game") say nothing of which game it is. At other thresholds they are compared, and the
// difference said.
TEST_F(OnOffTest, oneDriveIsOneGameFromAnyStartAndOtherThresholdsAreSaid)
{
    const std::filesystem::path on = drive(1);
    const std::filesystem::path off = drive(2);
    for (const double from : {0.0, 20.0, 60.0, 120.0}) {
        sim::TuneOptions options;
        options.captures = {on, off};
        options.choice.fromSeconds = from;
        options.common.json = true;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(sim::tuneCommand(options, out, err), 0) << err.str();
        const nlohmann::json c = nlohmann::json::parse(out.str())["onAgainstOff"];
        EXPECT_EQ(c["notCompared"], "") << "--from " << from;
        EXPECT_EQ(c.value("caveats", nlohmann::json::array()).size(), 0u) << c.dump(1);
    }
    const nlohmann::json c =
        tuned({on, drive(2, 600, "[Settings]\nFPS_Moderate=60\nFPS_Critical=50\n",
                         "-60")})["onAgainstOff"];
    ASSERT_EQ(c["notCompared"], "") << c.dump(1);
    EXPECT_EQ(c["fpsModerate"], 45);
    ASSERT_EQ(c["caveats"].size(), 1u) << c.dump(1);
    EXPECT_NE(c["caveats"][0].get<std::string>().find(
                  "record-1.csv was recorded at FPS_Moderate 45, FPS_Critical 35 and "
                  "record-2-60.csv at 60, 50: both are measured against the governed evening's"),
              std::string::npos)
        << c["caveats"][0];
}

// Record=2 left in Tarnwick.ini after the evening to compare with once judged the pair with every
// purge withheld: "would never purge ... catches none" beside "keep it ... catches them".
TEST_F(OnOffTest, recordTwoLeftInTheSettingsJudgesThePairWithItsPurgesAndSaysSo)
{
    const std::filesystem::path on = drive(1);
    const std::filesystem::path off = drive(2);
    for (const int mode : {1, 2}) {
        writeFile(dir / "Tarnwick.ini", fmt::format("[Main]\nRecord={}\n", mode));
        sim::TuneOptions options;
        options.captures = {on, off};
        options.common.ini = dir / "Tarnwick.ini";
        options.common.json = true;
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(sim::tuneCommand(options, out, err), 0) << err.str();
        const nlohmann::json json = nlohmann::json::parse(out.str());
        EXPECT_GT(json["current"]["purges"].get<int>(), 0) << "Record=" << mode;
        EXPECT_GT(json["current"]["slumpsCaught"].get<int>(), 0)
            << "Record=" << mode << json["current"].dump(1);
        const std::string note = json["verdict"]["withholdingNote"];
        EXPECT_EQ(note.empty(), mode == 1) << note;
        if (mode == 2) {
            EXPECT_NE(note.find("Record=2 is still set in "), std::string::npos) << note;
            EXPECT_NE(note.find("withholds every purge and removes nothing"), std::string::npos);
        }
        // The replay runs the plug-in as the file sets it, and says so.
        sim::ReplayOptions replay;
        replay.capture = on;
        replay.common.ini = dir / "Tarnwick.ini";
        std::ostringstream replayed;
        ASSERT_EQ(sim::replayCommand(replay, replayed, err), 0) << err.str();
        EXPECT_EQ(replayed.str().find("note: Record=2 is set in the settings replayed: the plug-in "
                                      "withholds every purge, so this replay runs none") !=
                      std::string::npos,
                  mode == 2)
            << replayed.str();
    }
}

// The gains in words as they are: a fall is no lift, one purge is no average, a vehicle that
// saved no frame time is not "-0.66 ms of frame time per vehicle".
TEST(PurgeGainWords, sayAFallANoneAndOnePurgeAsTheyAre)
{
    const auto gains = [](std::size_t ran, double taken, double gain, std::optional<double> ms) {
        sim::PurgeGains g;
        g.ran = ran;
        g.meanTaken = taken;
        g.meanGainFps = gain;
        g.msPerVehicle = ms;
        g.yardstick = sim::Yardstick::LowMoments;
        return g;
    };
    const struct {
        sim::PurgeGains gains;
        std::string said;
        std::string notSaid;
    } cases[] = {
        {gains(14, 38, 9.04, 0.12),
         "the 14 purges took 38 vehicles each on average and lifted the frame rate by 9.0 fps "
         "within 2 s",
         "fell"},
        {gains(14, 38, -24.5, -0.66),
         "the 14 purges took 38 vehicles each on average and the frame rate fell by 24.5 fps "
         "after them within 2 s",
         "-"},
        {gains(14, 38, -24.5, -0.66), "; no frame time saved by the vehicles taken", "lifted"},
        {gains(14, 38, 0.03, 0.001), "and did not lift the frame rate within 2 s", "0.00 ms"},
        {gains(1, 90, 5, 0.2),
         "the 1 purge took 90 vehicles and lifted the frame rate by 5.0 fps within 2 s", "each"},
    };
    for (const auto& c : cases) {
        const std::string sentence = sim::gainsSentence(c.gains);
        EXPECT_NE(sentence.find(c.said), std::string::npos) << sentence;
        EXPECT_EQ(sentence.find(c.notSaid), std::string::npos) << sentence;
    }
}

// A replay of a record from a file gives its purges' gains below; through a pipe it cannot.
TEST(PurgeGainWords, theReplaySaysWhereTheRecordsGainsAreForAFileAndForAPipe)
{
    sim::SessionResult result;
    const struct {
        bool live;
        const char* said;
    } cases[] = {
        {false, "what the record's own purges gained follows below"},
        {true, "is measured only when it is read from a file, not as it comes through a pipe"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        sim::printSummary(out, result, false, true, c.live);
        EXPECT_NE(out.str().find(c.said), std::string::npos) << out.str();
        EXPECT_EQ(out.str().find("measured when it is read from a file"), std::string::npos);
    }
}

// A record replayed at other thresholds names its own: its purges ran at those.
TEST_F(OnOffTest, aRecordReplayedAtOtherThresholdsNamesItsOwn)
{
    const std::filesystem::path on = drive(1);
    for (const bool other : {false, true}) {
        writeFile(dir / "other.ini", other ? "[Settings]\nFPS_Moderate=60\nFPS_Critical=50\n" : "");
        sim::ReplayOptions options;
        options.capture = on;
        options.common.ini = dir / "other.ini";
        std::ostringstream out;
        std::ostringstream err;
        ASSERT_EQ(sim::replayCommand(options, out, err), 0) << err.str();
        EXPECT_EQ(out.str().find("note: recorded at FPS_Moderate 45, FPS_Critical 35, replayed at "
                                 "60, 50: the record's own purges, and what they gained, are "
                                 "those of 45, 35") != std::string::npos,
                  other)
            << out.str();
        sim::ReportOptions report;
        report.captures = {on};
        report.common.ini = dir / "other.ini";
        report.common.page = dir / "page.html";
        std::ostringstream reportOut;
        EXPECT_EQ(sim::reportCommand(report, reportOut, err), 0) << err.str();
        EXPECT_EQ(reportOut.str().find("recorded at FPS_Moderate 45, FPS_Critical 35, judged at "
                                       "60, 50") != std::string::npos,
                  other)
            << reportOut.str();
        EXPECT_EQ(readFile(dir / "page.html")
                          .find("Recorded at FPS_Moderate 45, FPS_Critical "
                                "35, judged at 60, 50") != std::string::npos,
                  other);
    }
}

// The rows say which evening was governed: a header's Record= rewritten (by hand, by another
// tool) once flipped the table, Tarnwick "on" for the evening whose purges were withheld.
TEST(OnOffRows, theRowsSayWhichSideIsOnAndADisagreeingHeaderIsSaid)
{
    ScratchDir dir;
    const std::string governed = recordOf(1, liftedSlumps(6));
    writeFile(dir / "off.csv", recordOf(2, liftedSlumps(6)));
    for (const char* header : {"Record=1", "Record=2", "Record=3", "Record=0"}) {
        std::string text = governed;
        text.replace(text.find("Record=1"), 8, header);
        writeFile(dir / "on.csv", text);
        const nlohmann::json json = tuned({dir / "off.csv", dir / "on.csv"});
        const nlohmann::json& compared = json["onAgainstOff"];
        ASSERT_EQ(compared["notCompared"], "") << header << ": " << compared.dump(1);
        EXPECT_EQ(compared["on"]["record"], "on.csv") << header;
        EXPECT_EQ(compared["off"]["record"], "off.csv") << header;
        const nlohmann::json rules = json["captures"][1].value("readingRules", nlohmann::json());
        const bool said =
            rules.is_array() &&
            std::any_of(rules.begin(), rules.end(), [](const nlohmann::json& rule) {
                return rule.get<std::string>().find("judged by its rows, as made "
                                                    "with Record=1") != std::string::npos;
            });
        EXPECT_EQ(said, std::string(header) != "Record=1") << header << ": " << rules.dump(1);
    }
}

// What a record says of its purges comes from the one read that replays it: a file replaced
// while it was replayed (a game writing a new one, a copy) once gave the frames of one file and
// the purges and kind of the other.
TEST(OnOffRows, aRecordIsReadOnceThoughItIsReplacedWhileReplayed)
{
    ScratchDir dir;
    writeFile(dir / "record.csv", recordOf(1, liftedSlumps(6)));
    writeFile(dir / "other.csv", recordOf(2, liftedSlumps(6)));
    bool replaced = false;
    sim::ReadingAsks asks;
    asks.replay = true;
    asks.eachFrame = [&](const sim::Session&) {
        if (!replaced) {
            std::filesystem::rename(dir / "other.csv", dir / "record.csv");
            replaced = true;
        }
    };
    const sim::Result<sim::CaptureReading> read =
        sim::readCapture(dir / "record.csv", sim::CaptureChoice{}, asks);
    ASSERT_TRUE(read) << sim::failureText(read.failure());
    ASSERT_TRUE(replaced);
    ASSERT_TRUE(read->facts.record);
    EXPECT_EQ(read->facts.record->mode, 1);
    EXPECT_EQ(read->facts.record->withheld, 0u);
    EXPECT_EQ(read->facts.record->purges, 6u);
}

} // namespace
