// What tune found, for a player: the whole answer, the verdict in a few lines and why.
#include "sim/ascii.h"
#include "sim/report/slumps_report.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"
#include "sim/text.h"

#include "sim/files.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <algorithm>
#include <cstdlib>

namespace sim {

std::string captureLabel(const CaptureFacts& facts, bool wholePath)
{
    const std::string file = utf8Of(wholePath ? facts.capture : facts.capture.filename());
    return facts.run ? fmt::format("{}, run {}", file, *facts.run) : file;
}

std::string pairName(const CellResult& c)
{
    return fmt::format("FPS_Moderate {}, FPS_Critical {}", c.moderate, c.critical);
}

bool samePair(const CellResult& a, const CellResult& b)
{
    return a.moderate == b.moderate && a.critical == b.critical;
}

namespace {

void printCell(std::ostream& out, const CellResult& c, double durationMs, std::size_t slumps)
{
    fmt::print(out, "  purges {} ({:.1f} a minute): {} in slumps, {} outside any", c.purges,
               perMinute(static_cast<double>(c.purges), durationMs), c.slumps.inSlumps,
               c.slumps.outside);
    if (slumps > 0) {
        fmt::print(out, "; {}", catchesText(c.slumps.caught, c.slumps.meanDelayMs(), slumps));
    }
    fmt::print(out, "\n  Critical {:.1f} s, Moderate {:.1f} s; {:.1f} state changes a minute\n",
               c.timeInStateMs[2] / 1000.0, c.timeInStateMs[1] / 1000.0,
               perMinute(static_cast<double>(c.changes), durationMs));
}

void printSlumps(std::ostream& out, const SlumpVerdict& verdict, double durationMs)
{
    const std::vector<Slump>& slumps = verdict.slumps;
    if (slumps.empty()) {
        fmt::print(out, "slumps: none: {}\n", noSlumpReason(verdict, durationMs));
        return;
    }
    fmt::print(out, "slumps: {}, {}\n", slumps.size(), slumpTargetText(verdict));
    constexpr std::size_t listed = 10;
    for (std::size_t i = 0; i < slumps.size() && i < listed; ++i) {
        fmt::print(out, "  {:8.1f} s to {:8.1f} s  {:.1f} fps\n", slumps[i].startMs / 1000.0,
                   slumps[i].endMs / 1000.0, slumps[i].fps);
    }
    if (slumps.size() > listed) {
        fmt::print(out, "  ... and {} more: --json lists them all\n", slumps.size() - listed);
    }
}

void printNeighbours(std::ostream& out, const TuneReport& report, const CellResult& centre)
{
    fmt::print(out, "pairs around it:\n  {:>12} {:>12} {:>7} {:>8} {:>7} {:>7} {:>7}\n",
               "FPS_Moderate", "FPS_Critical", "purges", "outside", "caught", "missed", "wait s");
    const std::size_t slumps = report.result.slumps;
    for (const CellResult& c : report.result.cells) {
        if (std::abs(c.moderate - centre.moderate) + std::abs(c.critical - centre.critical) > 2) {
            continue;
        }
        const std::string wait =
            c.slumps.caught > 0 ? fmt::format("{:.1f}", c.slumps.meanDelayMs() / 1000.0) : "-";
        fmt::print(out, "  {:>12} {:>12} {:>7} {:>8} {:>7} {:>7} {:>7}\n", c.moderate, c.critical,
                   c.purges, c.slumps.outside, c.slumps.caught, missedOf(c, slumps), wait);
    }
}

} // namespace

std::vector<std::string> applicationsOf(const TuneReport& report)
{
    std::vector<std::string> applications;
    for (const CaptureFacts& facts : report.captures) {
        const CaptureSummary& summary = facts.summary;
        applications.push_back(summary.format == CaptureFormat::PlainText ? std::string()
                                                                          : summary.application);
    }
    return applications;
}

std::string gameLabel(const TuneReport& report, const TuneReport::Game& game)
{
    const std::string first =
        game.captures.empty() || game.captures.front() >= report.captures.size()
            ? std::string("the capture")
            : captureLabel(report.captures[game.captures.front()], false);
    const std::size_t more = game.captures.size() > 1 ? game.captures.size() - 1 : 0;
    const std::string captures = more == 0 ? first
                                           : fmt::format("{} and {} more capture{}", first,
                                                         countText(more), more == 1 ? "" : "s");
    return game.application.empty() ? captures : shown(game.application) + " in " + captures;
}

std::string mixedRatesWarning(const TuneReport& report)
{
    const TuneResult& r = report.result;
    if (!mixedRates(r)) {
        return {};
    }
    const auto [slowest, fastest] = usualRange(r);
    if (!report.perGame.empty()) {
        return fmt::format("these captures run at different usual frame rates ({:g} to {:g} "
                           "fps): one pair fits them badly, so each game gets its own answer",
                           slowest, fastest);
    }
    const std::string& application = report.captures.front().summary.application;
    return fmt::format("these captures run at different usual frame rates ({:g} to {:g} fps), "
                       "all of one game ({}): levels of it, so one pair is judged on them all",
                       slowest, fastest, shown(application));
}

std::string playNote(const PlayFigures& play)
{
    if (play.setAsideStretches == 0) {
        return {};
    }
    return fmt::format("of play, leaving out {} set-aside stretch{} ({:.0f} s)",
                       countText(play.setAsideStretches), play.setAsideStretches == 1 ? "" : "es",
                       play.setAsideMs / 1000.0);
}

namespace {

// The figures of play, with what they leave out where something is set aside.
void printLows(std::ostream& out, const CaptureFacts& facts, const PlayFigures& play)
{
    const std::string note = playNote(play);
    if (note.empty()) {
        fmt::print(out, "  1% low fps {:.1f}, 0.1% low fps {:.1f}\n",
                   lowFps(facts.frameTimes, 0.01), lowFps(facts.frameTimes, 0.001));
        return;
    }
    fmt::print(out,
               "  {}: mean fps {:.1f}, 1% low fps {:.1f}, 0.1% low fps {:.1f}, lowest fps "
               "{:.1f}\n",
               note, play.meanFps(), lowFps(play.frameTimes, 0.01), lowFps(play.frameTimes, 0.001),
               play.frames > 0 ? static_cast<double>(play.lowestFps) : 0.0);
    fmt::print(out, "  whole capture: 1% low fps {:.1f}, 0.1% low fps {:.1f}\n",
               lowFps(facts.frameTimes, 0.01), lowFps(facts.frameTimes, 0.001));
}

// One capture: what was read of it, how, and its slumps.
void printCapture(std::ostream& out, const CaptureFacts& facts, const TunedCapture& part)
{
    fmt::print(out, "capture: {}\napplication: {}, {} frames, {:.1f} s{}\n",
               shown(captureLabel(facts, true)), shown(facts.summary.application), facts.frames,
               part.durationMs / 1000.0,
               facts.summary.chosenBy == ChosenBy::GameFolder
                   ? std::string(", ") + chosenByText(facts.summary.chosenBy)
                   : std::string());
    if (const std::vector<AppFrames> others = notJudged(facts.summary); !others.empty()) {
        fmt::print(out, "  not judged: {}\n", listApplications(others));
    }
    printLows(out, facts, part.play);
    for (const std::string& rule : facts.summary.rules) {
        fmt::print(out, "  read as: {}\n", rule);
    }
    if (facts.summary.stoppedAtMs) {
        fmt::print(out, "  stopped: {}\n", describeStop(facts.summary));
    }
    if (const std::string cut = cutShortText(facts.summary); !cut.empty()) {
        fmt::print(out, "  {}\n", cut);
    }
    printSlumps(out, part.slumps, part.durationMs);
    if (const std::string aside = setAsideText(part.slumps); !aside.empty()) {
        fmt::print(out, "  {}\n", aside);
    }
    if (const std::string levels = levelsText(part.slumps); !levels.empty()) {
        fmt::print(out, "  {}\n", levels);
    }
}

// The captures as one, the grid, and the settings judged with the player's pair on them.
void printJudged(std::ostream& out, const TuneReport& report, const Verdict& verdict)
{
    const TuneResult& r = report.result;
    if (report.captures.size() > 1) {
        fmt::print(out, "judged together: {} captures, {:.1f} s, {} slumps\n",
                   report.captures.size(), r.durationMs / 1000.0, r.slumps);
        if (const std::string warning = mixedRatesWarning(report); !warning.empty()) {
            fmt::print(out, "  warning: {}\n", warning);
        }
    }
    fmt::print(out,
               "grid: FPS_Moderate {} to {}, FPS_Critical {} to {}, below FPS_Moderate: {} "
               "pairs\n",
               report.moderate.low, report.moderate.high, report.critical.low, report.critical.high,
               r.cells.size());
    if (verdict.switchedOff) {
        fmt::print(out,
                   "Tarnwick is switched off in {} (Enabled=0): it does nothing; below is what it "
                   "would do switched on\n",
                   verdict.settingsFile);
    }
    for (const std::string& note : verdict.unreadSettings) {
        fmt::print(out, "note: {}\n", note);
    }
    if (!verdict.withholdingNote.empty()) {
        fmt::print(out, "note: {}\n", verdict.withholdingNote);
    }
    fmt::print(out, "your pair: {} ({})\n", pairName(r.current), report.settingsSource);
    printCell(out, r.current, r.durationMs, r.slumps);
}

// The verdict's pair (where purges lift nothing, not the grid's first), why, and what to edit.
void printRecommended(std::ostream& out, const TuneReport& report, const Verdict& verdict)
{
    const TuneResult& r = report.result;
    const CellResult& best = *verdict.best;
    fmt::print(out, "recommended: {}{}\n", pairName(best),
               samePair(best, r.current) ? " (yours)" : "");
    printCell(out, best, r.durationMs, r.slumps);
    fmt::print(out, "  why: {}\n  rule: {}\n", verdict.why, recommendationRule());
    if (!verdict.changes.empty()) {
        fmt::print(out, "  {}:\n", changesHeading(verdict));
    }
    for (const LineChange& change : verdict.changes) {
        fmt::print(out, "    {}\n", changeText(change));
    }
    printNeighbours(out, report, best);
}

} // namespace

void printTune(std::ostream& out, const TuneReport& report, const Verdict& verdict)
{
    printApplicationNotes(out, verdict);
    for (std::size_t i = 0; i < report.captures.size(); ++i) {
        printCapture(out, report.captures[i], report.result.captures[i]);
    }
    printJudged(out, report, verdict);
    if (verdict.answer == Answer::EachGame) {
        printVerdict(out, verdict, false);
        return;
    }
    if (verdict.purgeWorth) {
        fmt::print(out, "what purges gain here: {}\n", verdict.purgeWorth->sentence);
    }
    if (!verdict.best) {
        fmt::print(out, "no recommendation: {}\n", verdict.why);
        return;
    }
    printRecommended(out, report, verdict);
}

} // namespace sim
