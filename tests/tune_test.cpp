// The tuner's cells against the reference: a replay with the same pair, through the plug-in's own
// code. Every figure must be the same, to the last bit.
#include "sim/tune/tune.h"

#include "sim/capture/capture.h"
#include "sim/session/session.h"
#include "test_support.h"

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

sim::TuneFrames framesOf(const std::filesystem::path& capture)
{
    sim::TuneFrames frames;
    sim::CaptureOptions options;
    options.restart = [&frames] { frames = sim::TuneFrames{}; };
    EXPECT_TRUE(
        sim::replayCapture(capture, options, [&frames](double ms) { sim::addFrame(frames, ms); }));
    sim::finishFrames(frames);
    return frames;
}

sim::SessionResult replayed(const std::filesystem::path& capture, const std::filesystem::path& ini)
{
    std::unique_ptr<sim::Session> session = std::move(*sim::Session::open({ini, 600000}));
    sim::CaptureOptions options;
    options.restart = [&] {
        session.reset();
        session = std::move(*sim::Session::open({ini, 600000}));
    };
    EXPECT_TRUE(
        sim::replayCapture(capture, options, [&session](double ms) { session->frame(ms); }));
    return session->result();
}

void expectSameAsReplay(const std::filesystem::path& capture, std::int32_t moderate,
                        std::int32_t critical, const sim::TuneFrames& frames)
{
    ScratchDir dir;
    writeFile(dir / "pair.ini", "[Settings]\nFPS_Moderate=" + std::to_string(moderate) +
                                    "\nFPS_Critical=" + std::to_string(critical) + "\n");
    const sim::SessionResult r = replayed(capture, dir / "pair.ini");
    GovernorSettings settings;
    settings.fpsModerate = moderate;
    settings.fpsCritical = critical;
    const sim::CellResult cell = sim::evaluateCell(frames, settings);
    const std::string pair = capture.filename().string() + " at " + std::to_string(moderate) + "/" +
                             std::to_string(critical);
    std::vector<double> purgeTimes;
    for (const sim::PurgeEvent& p : r.purges) {
        purgeTimes.push_back(p.timeMs);
    }
    EXPECT_EQ(cell.purgeTimesMs, purgeTimes) << pair;
    // The replay's own trace finds the same slumps, and judges its purges as the tuner does.
    const sim::SlumpVerdict slumps = sim::judgeSlumps(r.trace, std::nullopt);
    ASSERT_EQ(slumps.slumps.size(), frames.slumps.slumps.size()) << pair;
    const sim::SlumpScore score = sim::scorePurges(slumps, purgeTimes);
    EXPECT_EQ(cell.slumps.inSlumps, score.inSlumps) << pair;
    EXPECT_EQ(cell.slumps.outside, score.outside) << pair;
    EXPECT_EQ(cell.slumps.setAside, score.setAside) << pair;
    EXPECT_EQ(cell.slumps.caught, score.caught) << pair;
    EXPECT_EQ(cell.slumps.delaySumMs, score.delaySumMs) << pair;
    EXPECT_EQ(cell.changes, r.changeCount) << pair;
    for (std::size_t s = 0; s < 3; ++s) {
        EXPECT_EQ(cell.timeInStateMs[s], r.timeInStateMs[s]) << pair << " state " << s;
    }
}

std::string generated(std::uint32_t seed, int frames, double slowShare)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::string text = "Application,MsBetweenPresents\n";
    for (int i = 0; i < frames; ++i) {
        // Stretches of slow frames, flicker, now and then a zero or a negative frame time.
        const bool slow = (i / 300) % 3 == 1 ? unit(random) < 0.9 : unit(random) < slowShare;
        const double ms = unit(random) < 0.002 ? (unit(random) < 0.5 ? 0.0 : -3.0)
                          : slow               ? 25.0 + 30.0 * unit(random)
                                               : 6.0 + 14.0 * unit(random);
        text += "Game.exe," + std::to_string(ms) + "\n";
    }
    return text;
}

// Play, a pause of 3 s, a loading screen of 5 s at 500 fps, play again: purges in what is set
// aside are judged neither way, by the grid as by a replay.
std::string withoutPlay(std::uint32_t seed)
{
    std::string text = generated(seed, 6000, 0.1) + "Game.exe,3000\n";
    for (int i = 0; i < 2500; ++i) {
        text += "Game.exe,2\n";
    }
    const std::string more = generated(seed + 1, 6000, 0.1);
    return text + more.substr(more.find('\n') + 1);
}

TEST(TuneGrid, everyCellIsWhatAReplayWithThatPairReports)
{
    ScratchDir dir;
    writeFile(dir / "paused.csv", withoutPlay(3));
    writeFile(dir / "calm.csv", generated(1, 20000, 0.02));
    writeFile(dir / "flickery.csv", generated(2, 20000, 0.4));
    const std::filesystem::path data = TARNWICK_TEST_DATA_DIR;
    const std::vector<std::filesystem::path> captures = {data / "captures/presentmon-1.csv",
                                                         data / "captures/ocat.csv",
                                                         data / "captures/presentmon-2-default.csv",
                                                         data / "capframex.json",
                                                         dir / "calm.csv",
                                                         dir / "flickery.csv",
                                                         dir / "paused.csv"};
    std::mt19937 random(11);
    for (const std::filesystem::path& capture : captures) {
        const sim::TuneFrames frames = framesOf(capture);
        const std::int32_t pairs[][2] = {{45, 35}, {60, 59}, {120, 110}, {30, 40}, {0, -5}};
        for (const auto& pair : pairs) {
            expectSameAsReplay(capture, pair[0], pair[1], frames);
        }
        for (int i = 0; i < 6; ++i) {
            const auto moderate = static_cast<std::int32_t>(20 + random() % 101);
            const auto critical = static_cast<std::int32_t>(10 + random() % 101);
            expectSameAsReplay(capture, moderate, critical, frames);
        }
    }
}

void expectSameCells(const sim::CellResult& a, const sim::CellResult& b)
{
    const std::string pair = std::to_string(b.moderate) + "/" + std::to_string(b.critical);
    EXPECT_EQ(a.moderate, b.moderate);
    EXPECT_EQ(a.critical, b.critical);
    EXPECT_EQ(a.purges, b.purges) << pair;
    EXPECT_EQ(a.changes, b.changes) << pair;
    EXPECT_EQ(a.slumps.inSlumps, b.slumps.inSlumps) << pair;
    EXPECT_EQ(a.slumps.outside, b.slumps.outside) << pair;
    EXPECT_EQ(a.slumps.setAside, b.slumps.setAside) << pair;
    EXPECT_EQ(a.slumps.caught, b.slumps.caught) << pair;
    EXPECT_EQ(a.slumps.delaySumMs, b.slumps.delaySumMs) << pair;
    EXPECT_EQ(a.timeInStateMs, b.timeInStateMs) << pair;
}

// The whole grid runs pairs a column at a time, as bits; each must be what the pair alone gives.
TEST(TuneGrid, theWholeGridIsEachPairRunAlone)
{
    ScratchDir dir;
    writeFile(dir / "calm.csv", generated(4, 8000, 0.02));
    writeFile(dir / "flickery.csv", generated(5, 8000, 0.4));
    writeFile(dir / "paused.csv", withoutPlay(6));
    const std::filesystem::path data = TARNWICK_TEST_DATA_DIR;
    for (const auto& capture : {data / "captures/presentmon-1.csv", data / "captures/ocat.csv",
                                dir / "calm.csv", dir / "flickery.csv", dir / "paused.csv"}) {
        const sim::TuneFrames frames = framesOf(capture);
        if (capture.filename() == "paused.csv") {
            EXPECT_EQ(frames.slumps.pauses, 1u);
            EXPECT_GT(frames.slumps.loadingMs, 0.0);
        }
        const sim::TuneResult r =
            sim::tune(frames, GovernorSettings{}, sim::defaultModerate, sim::defaultCritical);
        ASSERT_EQ(r.cells.size(), 6015u);
        for (std::size_t i = 0; i < r.cells.size(); ++i) {
            GovernorSettings pair;
            pair.fpsModerate = r.cells[i].moderate;
            pair.fpsCritical = r.cells[i].critical;
            expectSameCells(r.cells[i], sim::evaluateCell(frames, pair));
        }
    }
}

// The tick counter wraps after 2^32 ms: a purge 49.7 days and a second ago counts as a second ago,
// as the plug-in reads it. The whole grid must read it so too.
TEST(TuneGrid, aPurgeAcrossTheTickCountersWrapIsRecent)
{
    sim::TuneFrames frames;
    const auto add = [&frames](int count, double ms) {
        for (int i = 0; i < count; ++i) {
            sim::addFrame(frames, ms);
        }
    };
    add(10, 10.0);
    add(3, 40.0); // a purge
    add(3, 10.0);
    add(1, 4294967296.0 + 1000.0); // the counter comes round to a second after that purge
    add(250, 40.0);                // Critical at once, but due only 7 s after the first purge
    sim::finishFrames(frames);
    const sim::CellResult pair = sim::evaluateCell(frames, GovernorSettings{});
    ASSERT_EQ(pair.purges, 2u);
    EXPECT_GT(pair.purgeTimesMs[1] - 4294967296.0, 6000.0);
    const sim::TuneResult r =
        sim::tune(frames, GovernorSettings{}, sim::defaultModerate, sim::defaultCritical);
    for (const sim::CellResult& cell : r.cells) {
        GovernorSettings settings;
        settings.fpsModerate = cell.moderate;
        settings.fpsCritical = cell.critical;
        expectSameCells(cell, sim::evaluateCell(frames, settings));
    }
}

// A frame's time counts under the state the game was in while it was drawn, the one the frame
// before left, not the one its own decision moves to: a replay, the pair alone and the grid alike.
TEST(TuneGrid, aFrameCountsUnderTheStateItWasDrawnIn)
{
    struct Row {
        const char* name;
        std::vector<double> pattern; // repeated, ms
        std::array<double, 3> share; // of the time: Normal, Moderate, Critical
    };
    const Row rows[] = {
        // 25 ms (40 fps) makes it Moderate, 8 ms (125 fps) Normal again: only the 8 ms frames are
        // drawn while Moderate.
        {"alternation 8/25", {8, 25}, {25.0 / 33, 8.0 / 33, 0}},
        // Normal, Moderate, Critical, Moderate: each frame drawn in the state the one before left.
        {"two long two short", {40, 40, 8, 8}, {40.0 / 96, 48.0 / 96, 8.0 / 96}},
        {"steady 60 fps", {16}, {1, 0, 0}},
    };
    for (const Row& row : rows) {
        ScratchDir dir;
        std::string text = "Application,MsBetweenPresents\n";
        double totalMs = 0;
        while (totalMs < 60000) {
            for (const double ms : row.pattern) {
                text += "Game.exe," + std::to_string(ms) + "\n";
                totalMs += ms;
            }
        }
        writeFile(dir / "capture.csv", text);
        writeFile(dir / "pair.ini", "[Settings]\nFPS_Moderate=45\nFPS_Critical=35\n");
        const sim::SessionResult replay = replayed(dir / "capture.csv", dir / "pair.ini");
        const sim::TuneFrames frames = framesOf(dir / "capture.csv");
        const sim::TuneResult grid = sim::tune(frames, GovernorSettings{}, {45, 45}, {35, 35});
        ASSERT_EQ(grid.cells.size(), 1u) << row.name;
        for (std::size_t s = 0; s < 3; ++s) {
            EXPECT_NEAR(replay.timeInStateMs[s] / replay.durationMs, row.share[s], 1e-3)
                << row.name << " state " << s;
            EXPECT_EQ(grid.cells[0].timeInStateMs[s], replay.timeInStateMs[s])
                << row.name << " state " << s;
        }
        expectSameAsReplay(dir / "capture.csv", 45, 35, frames);
    }
}

} // namespace
