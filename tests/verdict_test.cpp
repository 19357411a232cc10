// The verdict: decided once, each sentence from the key that decided it.
#include "sim/report/verdict.h"

#include "sim/cli/tuning.h"

#include "shape_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using testing_support::framesOf;
using testing_support::ScratchDir;
using testing_support::Shape;
using testing_support::writeFile;

struct VerdictCase {
    const char* name;
    std::vector<Shape> captures;
    const char* settings; // Tarnwick.ini's text; nullptr: no file
    sim::Answer answer;
    sim::RuleKey decidedBy;
    std::vector<std::string> said;              // in the verdict as text
    std::vector<std::string> notSaid;           // never in it
    std::vector<std::string> applications = {}; // each capture's; none: not named (plain text)
};

Shape cleanSlump()
{
    return Shape{}.steady(20, 16.7).steady(8, 33).steady(20, 16.7);
}

// The text as tune and report print it, JSON's text fields beside it.
std::string verdictText(const sim::Verdict& verdict)
{
    std::ostringstream text;
    sim::printVerdict(text, verdict);
    return text.str() + sim::verdictJson(verdict).dump();
}

sim::Verdict verdictOf(const VerdictCase& c, const ScratchDir& dir, std::string* warning = nullptr)
{
    std::vector<sim::TuneFrames> frames;
    for (const Shape& shape : c.captures) {
        frames.push_back(framesOf(shape));
    }
    std::vector<const sim::TuneFrames*> parts;
    for (const sim::TuneFrames& f : frames) {
        parts.push_back(&f);
    }
    std::optional<sim::SettingsCheck> settings;
    GovernorSettings base;
    sim::TuneReport report;
    report.settingsSource = "the defaults";
    if (c.settings != nullptr) {
        writeFile(dir / "Tarnwick.ini", c.settings);
        settings = *sim::checkSettings(dir / "Tarnwick.ini");
        base.fpsModerate = static_cast<std::int32_t>(shownValue(*settings, fpsModerateKey));
        base.fpsCritical = static_cast<std::int32_t>(shownValue(*settings, fpsCriticalKey));
        report.settingsSource = "from Tarnwick.ini";
    }
    report.moderate = sim::defaultModerate;
    report.critical = sim::defaultCritical;
    for (std::size_t i = 0; i < c.captures.size(); ++i) {
        report.captures.push_back({"capture " + std::to_string(i + 1) + ".csv", {}, 0, {}});
        if (i < c.applications.size() && !c.applications[i].empty()) {
            report.captures.back().summary.format = sim::CaptureFormat::PresentMon;
            report.captures.back().summary.application = c.applications[i];
        }
    }
    sim::tuneAll(report, parts, base, false);
    if (warning != nullptr) {
        *warning = sim::mixedRatesWarning(report);
    }
    return sim::judge(report, settings);
}

TEST(Verdict, isDecidedOnceAndSaysWhatDecidedIt)
{
    ScratchDir dir;
    const auto steady60 = Shape{}.steady(120, 16.7);
    const auto fast = Shape{}.steady(30, 1000.0 / 240).steady(10, 1000.0 / 150).steady(30, 4.2);
    const auto slow = Shape{}.steady(30, 33.3).steady(8, 50).steady(30, 33.3);
    const auto quick = Shape{}.steady(30, 7.1).steady(8, 11).steady(30, 7.1);
    const std::vector<std::string> noBadPlural = {" 1 purges", "of the 1 slumps", "[Settings]\n"};
    const VerdictCase cases[] = {
        {"switched off",
         {cleanSlump()},
         "[Main]\nEnabled=0\n[Settings]\nFPS_Moderate=45\nFPS_Critical=41\n",
         sim::Answer::Change,
         sim::RuleKey::None,
         {"switched off in " + (dir / "Tarnwick.ini").string() + " (Enabled=0): it does nothing",
          "change Enabled=0 to Enabled=1 (line 2)", "switch Tarnwick on"},
         noBadPlural},
        {"a pair the settings check warns about",
         {steady60},
         "[Settings]\nFPS_Moderate=45\nFPS_Critical=45\n",
         sim::Answer::Change,
         sim::RuleKey::Warned,
         {"the settings check warns about it, and that decided: FPS_Critical (45) is not below "
          "FPS_Moderate",
          "change FPS_Moderate=45 to FPS_Moderate=46 (line 2)"},
         {"waits", " 1 purges"}},
        {"a pair outside the grid",
         {steady60},
         "[Settings]\nFPS_Moderate=45\nFPS_Critical=5\n",
         sim::Answer::Change,
         sim::RuleKey::OutsideGrid,
         {"lies outside the pairs judged (FPS_Moderate 20 to 120, FPS_Critical 10 to 110)",
          "(line 3)"},
         {"waits", " 1 purges"}},
        {"no slumps, keep",
         {steady60},
         nullptr,
         sim::Answer::Keep,
         sim::RuleKey::None,
         {"nothing here needs a purge and yours never purges: keep it"},
         noBadPlural},
        {"a short capture with one dip: no ground for lowering FPS_Critical that far",
         {Shape{}.steady(8, 16.7).hitch(80).hitch(80).hitch(80).steady(7, 16.7)},
         nullptr,
         sim::Answer::Keep,
         sim::RuleKey::None,
         {"yours wastes once, within the budget of 1 wasted purge for 0.3 minutes of ordinary "
          "play: keep it"},
         noBadPlural},
        {"too short",
         {Shape{}.steady(5, 16.7)},
         nullptr,
         sim::Answer::TooShort,
         sim::RuleKey::None,
         {"too short to judge", "5.0 s, less than the 7 s"},
         noBadPlural},
        {"games at different usual rates",
         {slow, quick},
         nullptr,
         sim::Answer::EachGame,
         sim::RuleKey::None,
         {"different usual frame rates", "capture 1.csv (usual 30 fps)",
          "capture 2.csv (usual 141 fps)"},
         noBadPlural},
        // One answer a game, not a capture: a thousand captures once held a thousand grids.
        {"captures of two games",
         {slow, quick, slow},
         nullptr,
         sim::Answer::EachGame,
         sim::RuleKey::None,
         {"capture 1.csv and 1 more capture (usual 30 fps)", "capture 2.csv (usual 141 fps)"},
         {"capture 3.csv (usual"}},
        {"no pair catches the slump",
         {fast},
         nullptr,
         sim::Answer::CannotTell,
         sim::RuleKey::None,
         {"no pair of the grid catches the slump (at 150 fps)", "misses the slump (at 150 fps)",
          R"("uncaughtSlumps":[{"capture":0,)"},
         {"every pair that would catch"}},
        {"misses the slump",
         {cleanSlump()},
         "[Settings]\nFPS_Moderate=45\nFPS_Critical=20\n",
         sim::Answer::Change,
         sim::RuleKey::Missed,
         {"yours misses it", "change FPS_Critical=20 to FPS_Critical=", R"("uncaughtSlumps":[])",
          R"("uncaughtSlumpFps":[])"},
         {"waits", "outside any slump", "misses the slump (at"}},
        {"purges on noise",
         {Shape{}.add(300,
                      [](std::mt19937& r) { return testing_support::jittered(r, 20.0, 0.25); })},
         nullptr,
         sim::Answer::Change,
         sim::RuleKey::ModerateAtUsual,
         {"yours leaves ordinary play too little room", "wastes 40 times outside any slump",
          "there is no Tarnwick.ini: make one", "\n    FPS_Critical=",
          R"("budget":{"ordinaryPlayMinutes":5.0)", R"("wastedAllowed":6,"wastedPerMinute":1.0,)",
          R"("yoursWasted":40,"yoursWithin":false})", R"("recommendedWithin":true)"},
         {"waits", "misses"}},
    };
    for (const VerdictCase& c : cases) {
        const sim::Verdict verdict = verdictOf(c, dir);
        EXPECT_EQ(verdict.answer, c.answer) << c.name;
        EXPECT_EQ(verdict.decidedBy, c.decidedBy)
            << c.name << ": " << sim::ruleKeyName(verdict.decidedBy);
        const std::string text = verdictText(verdict);
        for (const std::string& part : c.said) {
            EXPECT_NE(text.find(part), std::string::npos) << c.name << " lacks '" << part << "':\n"
                                                          << text;
        }
        for (const std::string& part : c.notSaid) {
            EXPECT_EQ(text.find(part), std::string::npos) << c.name << " says '" << part << "':\n"
                                                          << text;
        }
    }
}

// The headline figures are play's: a pause and a loading screen are left out and said, the
// whole capture's figures kept beside them; where nothing is set aside, nothing more is said.
TEST(FiguresOfPlay, leaveOutWhatIsSetAsideAndSaySo)
{
    struct Case {
        const char* name;
        Shape shape;
        std::size_t stretches;
        double playLowestFps;
        double wholeLowestFps;
        std::vector<std::string> said;
        std::vector<std::string> notSaid;
    };
    const Case cases[] = {
        {"a pause and a loading screen",
         Shape{}
             .steady(60, 16)
             .hitch(40)
             .steady(20, 16)
             .hitch(3000)
             .steady(20, 16)
             .steady(5, 2)
             .steady(60, 16),
         2,
         25,
         1000.0 / 3000,
         {"of play, leaving out 2 set-aside stretches (", "whole capture: 1% low fps",
          R"("play":{"durationMs":)", R"("setAsideStretches":2})", R"("wholeCapture":{)"},
         {}},
        {"nothing set aside",
         Shape{}.steady(60, 16).hitch(40).steady(60, 16),
         0,
         25,
         25,
         {R"("setAsideStretches":0})"},
         {"of play", "whole capture:"}},
    };
    for (const Case& c : cases) {
        const sim::TuneFrames frames = framesOf(c.shape);
        const sim::PlayFigures& play = frames.play;
        EXPECT_EQ(play.setAsideStretches, c.stretches) << c.name;
        EXPECT_FLOAT_EQ(play.lowestFps, static_cast<float>(c.playLowestFps)) << c.name;
        EXPECT_FLOAT_EQ(play.wholeLowestFps, static_cast<float>(c.wholeLowestFps)) << c.name;
        // Play runs at 62.5 fps; the loading screen's 500 fps would lift a mean of everything.
        EXPECT_NEAR(play.meanFps(), 62.5, 0.5) << c.name;
        if (c.stretches > 0) {
            EXPECT_GT(play.setAsideMs, 7000.0) << c.name;
            EXPECT_LT(play.frames + 2000, frames.frameSeconds.size()) << c.name;
        } else {
            EXPECT_EQ(play.frames, frames.frameSeconds.size()) << c.name;
        }

        sim::TuneReport report;
        report.settingsSource = "the defaults";
        report.moderate = sim::defaultModerate;
        report.critical = sim::defaultCritical;
        sim::CaptureFacts facts{"capture.csv", {}, frames.frameSeconds.size(), {}};
        for (const float seconds : frames.frameSeconds) {
            sim::countFrameTime(facts.frameTimes, static_cast<double>(seconds) * 1000.0);
        }
        report.captures.push_back(facts);
        sim::tuneAll(report, {&frames}, GovernorSettings{}, false);
        const sim::Verdict verdict = sim::judge(report, std::nullopt);
        std::ostringstream out;
        sim::printTune(out, report, verdict);
        const std::string text = out.str() + sim::tuneJson(report, verdict).dump();
        for (const std::string& part : c.said) {
            EXPECT_NE(text.find(part), std::string::npos) << c.name << " lacks '" << part << "':\n"
                                                          << text.substr(0, 2000);
        }
        for (const std::string& part : c.notSaid) {
            EXPECT_EQ(text.find(part), std::string::npos) << c.name << " says '" << part << "'";
        }
    }
}

// A game is an application: captures of one at two settings are levels of it, judged together;
// captures of two at different rates get an answer each; captures that name no application are
// told apart by their usual rates.
TEST(Verdict, gamesAreApplications)
{
    ScratchDir dir;
    const auto slow = Shape{}.steady(30, 33.3).steady(8, 50).steady(30, 33.3);
    const auto slower = Shape{}.steady(30, 35).steady(8, 52).steady(30, 35);
    const auto quick = Shape{}.steady(30, 7.1).steady(8, 11).steady(30, 7.1);
    const struct {
        const char* name;
        std::vector<Shape> captures;
        std::vector<std::string> applications;
        std::vector<std::string> games; // the names each answer is for; none: one answer
        const char* said;
    } cases[] = {
        {"one game at two settings",
         {slow, quick},
         {"Game.exe", "GAME.EXE"},
         {},
         "all of one game (Game.exe): levels of it"},
        {"two games",
         {slow, quick},
         {"Slow.exe", "Quick.exe"},
         {"Slow.exe in capture 1.csv", "Quick.exe in capture 2.csv"},
         "each game gets its own"},
        {"two games, one at two settings",
         {slow, quick, quick},
         {"Slow.exe", "Quick.exe", "slow.exe"},
         {"Slow.exe in capture 1.csv and 1 more capture", "Quick.exe in capture 2.csv"},
         "each game gets its own"},
        {"two games at one rate", {slow, slower}, {"Slow.exe", "Slower.exe"}, {}, nullptr},
        {"unnamed, told by rate",
         {slow, quick},
         {},
         {"capture 1.csv", "capture 2.csv"},
         "each game gets its own"},
        {"named and unnamed",
         {slow, quick, quick},
         {"Slow.exe"},
         {"Slow.exe in capture 1.csv", "capture 2.csv and 1 more capture"},
         "each game gets its own"},
    };
    for (const auto& c : cases) {
        const VerdictCase asked{c.name, c.captures, nullptr, {}, {}, {}, {}, c.applications};
        std::string warning;
        const sim::Verdict verdict = verdictOf(asked, dir, &warning);
        EXPECT_EQ(verdict.answer == sim::Answer::EachGame, !c.games.empty()) << c.name;
        EXPECT_EQ(verdict.gameNames, c.games) << c.name;
        const std::string text = verdictText(verdict) + warning;
        if (c.said != nullptr) {
            EXPECT_NE(text.find(c.said), std::string::npos) << c.name << ":\n" << text;
        }
    }
}

} // namespace
