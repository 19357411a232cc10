// A little over the house's length: one session's parts (time, report, chart) read together.
// The simulator's sessions: simulated time, what the report says, and the chart.
#include "sim/session/session.h"

#include "sim/cli/commands.h"
#include "sim/report/chart.h"
#include "sim/report/session_report.h"
#include "sim/session/city.h"
#include "test_support.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

std::vector<double> purgeTimes(const sim::SessionResult& result)
{
    std::vector<double> times;
    for (const sim::PurgeEvent& purge : result.purges) {
        times.push_back(purge.timeMs);
    }
    return times;
}

// A session that must start: the tests' own temporary folder is usable.
std::unique_ptr<sim::Session> started(const sim::SessionOptions& options)
{
    sim::Result<std::unique_ptr<sim::Session>> opened = sim::Session::open(options);
    EXPECT_TRUE(opened) << (opened ? "" : sim::failureText(opened.failure()));
    return opened ? std::move(*opened) : nullptr;
}

std::vector<double> slowReplay(std::uint32_t uptimeMs, int frames)
{
    const auto holder = started(sim::SessionOptions{std::nullopt, uptimeMs});
    sim::Session& session = *holder;
    for (int i = 0; i < frames; ++i) {
        session.frame(40.0);
    }
    return purgeTimes(session.result());
}

class SessionTest : public ::testing::Test {
  protected:
    ScratchDir logDir;
    void TearDown() override { loggingEnabled = true; }
};

TEST_F(SessionTest, purgesFollowSimulatedTime)
{
    // Critical at the second frame; then more than 7000 ms after that purge: 178 * 40 > 80 + 7000.
    EXPECT_EQ(slowReplay(600000, 400), (std::vector<double>{80, 7120, 14160}));
}

TEST_F(SessionTest, tickCounterWrapsWithoutChangingTheRhythm)
{
    EXPECT_EQ(slowReplay(0xFFFFFFFFu - 5000, 400), (std::vector<double>{80, 7120, 14160}));
}

TEST_F(SessionTest, justAfterBootTheFirstPurgeWaitsForTheCounterToPass7000)
{
    EXPECT_EQ(slowReplay(0, 200).front(), 7040);
}

TEST_F(SessionTest, reportCountsStatesAndChanges)
{
    const auto holder = started(sim::SessionOptions{std::nullopt, 600000});
    sim::Session& session = *holder;
    for (const double ms : {10.0, 40.0, 40.0, 40.0, 10.0, 10.0}) {
        session.frame(ms);
    }
    const sim::SessionResult& r = session.result();
    EXPECT_EQ(r.frames, 6u);
    EXPECT_DOUBLE_EQ(r.durationMs, 150.0);
    // Each frame counts under the state it was drawn in, the one the frame before left.
    EXPECT_DOUBLE_EQ(r.timeInStateMs[0], 50.0);
    EXPECT_DOUBLE_EQ(r.timeInStateMs[1], 50.0);
    EXPECT_DOUBLE_EQ(r.timeInStateMs[2], 50.0);
    ASSERT_EQ(r.changes.size(), 4u);
    EXPECT_EQ(r.changes[1].to, PerfState::Critical);
    EXPECT_DOUBLE_EQ(r.changes[1].timeMs, 90.0);
    EXPECT_EQ(purgeTimes(r), (std::vector<double>{90}));
    EXPECT_FLOAT_EQ(r.lowestFps, 25.0f);
    EXPECT_DOUBLE_EQ(r.meanFps(), 40.0);

    const nlohmann::json json = sessionJson(r);
    EXPECT_EQ(json["stateChanges"][1],
              (nlohmann::json{{"timeMs", 90.0}, {"from", "Moderate"}, {"to", "Critical"}}));
    EXPECT_EQ(json["purges"][0]["timeMs"], 90.0);
    EXPECT_EQ(json["timeInStateMs"]["Critical"], 50.0);
    EXPECT_EQ(json["settings"]["fpsCritical"], 35);
}

TEST_F(SessionTest, disabledSettingsRunNoGovernor)
{
    writeFile(logDir / "off.ini", "[Main]\nEnabled=0\n");
    sim::SessionOptions options{logDir / "off.ini", 600000};
    const auto holder = started(options);
    sim::Session& session = *holder;
    for (int i = 0; i < 300; ++i) {
        EXPECT_EQ(session.frame(100.0).state, PerfState::Normal);
    }
    EXPECT_FALSE(session.result().enabled);
    EXPECT_TRUE(session.result().purges.empty());
    EXPECT_EQ(session.pluginLog(), "");
}

// Simulated purges never land in a real game's log: the session holds them for its caller.
TEST_F(SessionTest, thePluginsLogStaysInTheSessionsOwnFolder)
{
    writeFile(logDir / "Tarnwick.log", "a real line\n");
    sim::host().machine.logPath = (logDir / "Tarnwick.log").string();
    const std::filesystem::path folder = std::filesystem::current_path();
    {
        const auto holder = started(sim::SessionOptions{std::nullopt, 600000});
        sim::Session& session = *holder;
        for (int i = 0; i < 400; ++i) {
            session.frame(40.0);
        }
        EXPECT_EQ(session.result().purges.size(), 3u);
        const std::string log = session.pluginLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
    }
    EXPECT_EQ(std::filesystem::current_path(), folder) << "the process's folder is left alone";
    EXPECT_EQ(readFile(logDir / "Tarnwick.log"), "a real line\n");
}

TEST_F(SessionTest, chartStaysBoundedAndMarksEveryPurge)
{
    const auto holder = started(sim::SessionOptions{std::nullopt, 600000});
    sim::Session& session = *holder;
    for (int i = 0; i < 200000; ++i) {
        session.frame(i % 2000 < 1000 ? 40.0 : 10.0);
    }
    const sim::SessionResult& r = session.result();
    EXPECT_LE(r.fpsHistory.buckets.size(), 1000u);
    std::uint64_t charted = 0;
    for (const sim::FpsBucket& b : r.fpsHistory.buckets) {
        charted += b.frames;
    }
    EXPECT_EQ(charted, r.frames);
    std::ostringstream svg;
    sim::writeSvg(svg, r, {"a <test> & more", true, nullptr});
    const std::string text = svg.str();
    // Every purge is marked, alone or counted with its neighbours.
    std::size_t marked = 0;
    for (auto at = text.find("<title>"); at != std::string::npos;
         at = text.find("<title>", at + 1)) {
        std::size_t n = 0;
        if (text.compare(at + 7, 9, "purge at ") == 0) {
            n = 1;
        } else if (std::sscanf(text.c_str() + at + 7, "%zu purges from", &n) != 1) {
            n = 0;
        }
        marked += n;
    }
    EXPECT_EQ(marked, r.purges.size());
    EXPECT_GT(marked, 10u);
    // 200,000 frames, a state change every few: the file's size follows the chart's width.
    EXPECT_LT(text.size(), 100'000u);
    EXPECT_NE(text.find("<title>Critical</title>"), std::string::npos);
    // The threshold labels come after the data, so nothing is drawn over them.
    EXPECT_GT(text.find("FPS_Critical 35"), text.find("<polyline"));
    EXPECT_NE(text.find("a &lt;test&gt; &amp; more"), std::string::npos);
    EXPECT_NE(text.find("FPS_Critical 35"), std::string::npos);
    EXPECT_EQ(text.find("nan"), std::string::npos);
    EXPECT_EQ(text.rfind("</svg>\n"), text.size() - 7);
}

TEST_F(SessionTest, cityDriveIsDeterministicAndTheGovernorRecoversIt)
{
    sim::RunOptions options;
    options.seconds = 120;
    options.common.json = true;
    const auto runJson = [&options] {
        std::ostringstream out;
        std::ostringstream err;
        EXPECT_EQ(sim::runCommand(options, out, err), 0);
        return nlohmann::json::parse(out.str());
    };
    const nlohmann::json first = runJson();
    const nlohmann::json again = runJson();
    EXPECT_EQ(first, again);
    EXPECT_GE(first["purges"].size(), 2u);
    EXPECT_GT(first["vehiclesRemoved"], 100);
    // After each purge the frame rate climbs back out of Critical.
    for (const auto& purge : first["purges"]) {
        bool left = false;
        for (const auto& change : first["stateChanges"]) {
            left |= change["from"] == "Critical" && change["timeMs"] > purge["timeMs"];
        }
        EXPECT_TRUE(left) << purge;
    }
    options.seed = 2;
    EXPECT_NE(runJson()["stateChanges"], first["stateChanges"]);
}

struct LongDrive {
    double criticalShare = 0;
    double lastHourFps = 0;
    std::size_t mostVehicles = 0;
    std::size_t missionVehiclesAtEnd = 0;
};

LongDrive driveTwoHours(const std::optional<std::filesystem::path>& ini)
{
    const auto holder = started(sim::SessionOptions{ini, 600000});
    sim::Session& session = *holder;
    sim::CityDrive city(1);
    LongDrive drive;
    const double hourMs = 3600.0 * 1000.0;
    std::uint64_t lastHourFrames = 0;
    double frameMs = 1000.0 / 60.0;
    while (session.nowMs() < 2 * hourMs) {
        session.frame(frameMs);
        frameMs = city.step(frameMs);
        lastHourFrames += session.nowMs() > hourMs ? 1u : 0u;
        drive.mostVehicles = std::max(drive.mostVehicles, sim::host().world.vehicles.size());
    }
    const sim::SessionResult& r = session.result();
    drive.criticalShare = r.timeInStateMs[2] / r.durationMs;
    drive.lastHourFps = static_cast<double>(lastHourFrames) * 1000.0 / (r.durationMs - hourMs);
    for (const sim::Vehicle& v : sim::host().world.vehicles) {
        drive.missionVehiclesAtEnd += v.mission ? 1u : 0u;
    }
    return drive;
}

TEST_F(SessionTest, aLongDriveSettlesAndTheGovernorKeepsItAboveNoGovernor)
{
    const LongDrive governed = driveTwoHours(std::nullopt);
    writeFile(logDir / "off.ini", "[Main]\nEnabled=0\n");
    const LongDrive ungoverned = driveTwoHours(logDir / "off.ini");

    EXPECT_LT(governed.criticalShare, 0.05);
    EXPECT_GT(governed.lastHourFps, 40.0);
    EXPECT_LT(ungoverned.lastHourFps, 0.75 * governed.lastHourFps);
    // The game's own clean-up still holds the city without a governor: slow, not collapsed.
    EXPECT_GT(ungoverned.lastHourFps, 20.0);
    for (const LongDrive& drive : {governed, ungoverned}) {
        EXPECT_LE(drive.mostVehicles, sim::vehiclePool);
        // Missions end and let their vehicles go: at most the last five minutes' worth remain.
        EXPECT_LE(drive.missionVehiclesAtEnd, 90u);
    }
}

TEST_F(SessionTest, unusableSettingsFileLeavesNoGameFolderBehind)
{
    ScratchDir temp;
    const char* const previous = std::getenv("TMPDIR");
    const std::string restore = previous != nullptr ? previous : "";
    ::setenv("TMPDIR", temp.path().c_str(), 1);
    // A folder where the settings file should be: copying it fails once the folder is made.
    const auto folder = sim::Session::open({temp.path(), 600000});
    ASSERT_FALSE(folder);
    EXPECT_NE(folder.failure().what.find("cannot use " + temp.path().string() +
                                         " as the settings file: "),
              std::string::npos)
        << folder.failure().what;
    EXPECT_FALSE(sim::Session::open({temp / "absent.ini", 600000}));
    previous != nullptr ? ::setenv("TMPDIR", restore.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));
}

TEST_F(SessionTest, replayReportAsJson)
{
    sim::ReplayOptions options;
    options.capture = std::filesystem::path(TARNWICK_CAPTURES_DIR) / "presentmon-1.csv";
    options.common.json = true;
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::replayCommand(options, out, err), 0);
    const auto json = nlohmann::json::parse(out.str());
    EXPECT_EQ(json["command"], "replay");
    EXPECT_EQ(json["application"], "FarCryNewDawn.exe");
    EXPECT_EQ(json["frames"], 1171);
    EXPECT_EQ(json["otherApplications"], nlohmann::json::array());
    EXPECT_EQ(json["purges"].size(), 1u);
    EXPECT_EQ(json["stateChanges"][0]["to"], "Moderate");
}

TEST_F(SessionTest, compareShowsTheSameDriveWithoutTheGovernor)
{
    sim::RunOptions options;
    options.seconds = 120;
    options.common.json = true;
    options.compare = true;
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(sim::runCommand(options, out, err), 0) << err.str();
    const nlohmann::json json = nlohmann::json::parse(out.str());
    const nlohmann::json& without = json["withoutTarnwick"];
    EXPECT_EQ(without["purges"], 0);
    EXPECT_EQ(without["vehiclesRemoved"], 0);
    EXPECT_GT(json["purges"].size(), 0u);
    EXPECT_LT(without["meanFps"].get<double>(), json["meanFps"].get<double>());
    EXPECT_GT(without["msBelowCritical"].get<double>(), json["msBelowCritical"].get<double>());
    // The governed drive is the one a plain run plays.
    options.compare = false;
    std::ostringstream plain;
    ASSERT_EQ(sim::runCommand(options, plain, err), 0);
    EXPECT_EQ(nlohmann::json::parse(plain.str())["purges"], json["purges"]);
}

} // namespace
