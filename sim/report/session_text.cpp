// The reports people read in a terminal.
#include "sim/files.h"
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"

#include "sim/text.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

namespace sim {
namespace {

void printEvents(std::ostream& out, const SessionResult& result, const SlumpVerdict& verdict)
{
    fmt::print(out, "state changes: {}\n", result.changeCount);
    for (const StateChange& change : result.changes) {
        fmt::print(out, "  {:10.3f} s  {} -> {}\n", change.timeMs / 1000.0,
                   perfStateName(change.from), perfStateName(change.to));
    }
    if (result.changeCount > result.changes.size()) {
        fmt::print(out, "  ... and {} more: --every S shows a timeline, --json lists them all\n",
                   result.changeCount - result.changes.size());
    }
    const std::vector<Slump>& slumps = verdict.slumps;
    if (slumps.empty()) {
        fmt::print(out, "slumps: none: {}\n", noSlumpReason(verdict, result.durationMs));
    } else {
        fmt::print(out, "slumps: {}, {}\n", slumps.size(), slumpTargetText(verdict));
    }
    if (const std::string aside = setAsideText(verdict); !aside.empty()) {
        fmt::print(out, "  {}\n", aside);
    }
    if (const std::string levels = levelsText(verdict); !levels.empty()) {
        fmt::print(out, "  {}\n", levels);
    }
    std::vector<double> times;
    for (const PurgeEvent& purge : result.purges) {
        times.push_back(purge.timeMs);
    }
    const SlumpScore score = scorePurges(verdict, times);
    fmt::print(out, "purges: {} ({} in slumps, {} outside any", result.purges.size(),
               score.inSlumps, score.outside);
    if (score.setAside > 0) {
        fmt::print(out, ", {} in what is left out", score.setAside);
    }
    out << ')';
    if (!slumps.empty()) {
        fmt::print(out, "; slumps without a purge: {} of {}", slumps.size() - score.caught,
                   slumps.size());
    }
    out << '\n';
    for (const PurgeEvent& purge : result.purges) {
        fmt::print(out, "  {:10.3f} s  a purge would run, {}\n", purge.timeMs / 1000.0,
                   purgeJudgement(result.trace, verdict, purge.timeMs));
    }
}

void printCapture(std::ostream& out, const std::filesystem::path& capture,
                  const CaptureSummary& summary)
{
    if (const std::string judged = judgedApplicationText(summary); !judged.empty()) {
        fmt::print(out, "{}\n", judged);
    }
    fmt::print(out, "capture: {}\nformat: {}, frame times from {}\napplication: {}",
               isStandardInput(capture) ? "standard input" : shown(utf8Of(capture)),
               captureFormatName(summary.format), shown(summary.frameTimesFrom),
               shown(summary.application));
    std::vector<AppFrames> others;
    for (const AppFrames& app : summary.applications) {
        if (app.name == summary.application) {
            fmt::print(out, " ({} frames)", app.frames);
        } else {
            others.push_back(app);
        }
    }
    if (summary.chosenBy == ChosenBy::GameFolder) {
        fmt::print(out, ", {}", chosenByText(summary.chosenBy));
    }
    out << '\n';
    if (!others.empty()) {
        fmt::print(out, "not replayed: {}\n", listApplications(others));
    }
    if (summary.skippedCells > 0) {
        fmt::print(out, "skipped: {} NA or empty frame-time cells\n", summary.skippedCells);
    }
    if (summary.nonPositiveFrameTimes > 0) {
        fmt::print(
            out, "zero or negative: {} frame times, replayed as the plug-in reads them (60 fps)\n",
            summary.nonPositiveFrameTimes);
    }
    for (const std::string& rule : summary.rules) {
        fmt::print(out, "read as: {}\n", rule);
    }
    if (summary.stoppedAtMs) {
        fmt::print(out, "stopped: {}\n", describeStop(summary));
    }
    if (const std::string cut = cutShortText(summary); !cut.empty()) {
        fmt::print(out, "{}\n", cut);
    }
}

} // namespace

std::string formatSeconds(double ms)
{
    return fmt::format("{:.3f} s", ms / 1000.0);
}

void printSettings(std::ostream& out, const SessionResult& result, std::string_view source)
{
    const std::string from = source.empty() ? std::string() : fmt::format(" ({})", source);
    if (!result.enabled) {
        fmt::print(out, "settings: {}=0: the plug-in returns at once and does nothing{}\n",
                   enabledKey.name, from);
        return;
    }
    // Named by the keys a player writes in Tarnwick.ini.
    const GovernorSettings& s = result.settings;
    fmt::print(out, "settings: {}={}, {}={}, {}={:g}, {}={}{}\n", fpsModerateKey.name,
               s.fpsModerate, fpsCriticalKey.name, s.fpsCritical, detectionRangeKey.name,
               s.detectionRange, loggingKey.name, s.logging ? 1 : 0, from);
}

void printSummary(std::ostream& out, const SessionResult& result, bool vehicles, bool record,
                  bool live)
{
    fmt::print(out, "summary:\n  frames            {}\n  duration          {}\n", result.frames,
               formatSeconds(result.durationMs));
    for (const PerfState state : {PerfState::Normal, PerfState::Moderate, PerfState::Critical}) {
        const double ms = result.timeInStateMs[static_cast<std::size_t>(state)];
        fmt::print(out, "  time {:<13}{} ({:.1f}%)\n", perfStateName(state), formatSeconds(ms),
                   result.durationMs > 0 ? 100.0 * ms / result.durationMs : 0.0);
    }
    fmt::print(out, "  purges            {}\n", result.purges.size());
    if (vehicles) {
        fmt::print(out, "  vehicles removed  {}\n", result.vehiclesRemoved);
    }
    fmt::print(out, "  lowest fps        {:.1f}\n  mean fps          {:.1f}\n",
               result.frames > 0 ? static_cast<double>(result.lowestFps) : 0.0, result.meanFps());
    fmt::print(
        out,
        "  1% low fps        {:.1f} (P1)\n  0.1% low fps      {:.1f} (P0.1)\n  average 1% low    "
        "{:.1f}\n  average 0.1% low  {:.1f}\n  ({})\n",
        lowFps(result.frameTimes, 0.01), lowFps(result.frameTimes, 0.001),
        averageLowFps(result.frameTimes, 0.01), averageLowFps(result.frameTimes, 0.001),
        lowsMethod);
    if (!vehicles && record && live) {
        out << "the replay shows when these settings would purge; what the record's own purges "
               "gained is measured only when it is read from a file, not as it comes through a "
               "pipe\n";
    } else if (!vehicles && record) {
        out << "the replay shows when these settings would purge; what the record's own purges "
               "gained follows below\n";
    } else if (!vehicles) {
        out << "a replay has no vehicles: it shows when Tarnwick would purge, not what a purge "
               "gains; run --compare shows that on a simulated drive\n";
    }
}

void printDriveHeading(std::ostream& out, const DriveFacts& drive, const SessionResult& result)
{
    fmt::print(out, "city drive: {} s, seed {}\n", drive.seconds, drive.seed);
    printSettings(out, result, "");
    fmt::print(out, "{:>8}  {:>6}  {:<9} {:>6} {:>6}\n", "time s", "fps", "state", "near", "far");
}

void printTimelineRow(std::ostream& out, double ms, const FrameOutcome& frame,
                      const TrafficCounts& counts)
{
    fmt::print(out, "{:8.1f}  {:6.1f}  {:<9} {:6} {:6}\n", ms / 1000.0, frame.fps,
               perfStateName(frame.state), counts.nearby, counts.distant);
}

void printDriveChange(std::ostream& out, const StateChange& change)
{
    fmt::print(out, "{:8.1f}  state {} -> {}\n", change.timeMs / 1000.0, perfStateName(change.from),
               perfStateName(change.to));
}

void printDrivePurge(std::ostream& out, double ms, std::uint64_t removed)
{
    fmt::print(out, "{:8.1f}  purge removed {} vehicles\n", ms / 1000.0, removed);
}

void printDriveEnd(std::ostream& out, const DriveFacts& drive, const SessionResult& result)
{
    printSummary(out, result, true);
    fmt::print(out, "  vehicles at end   {} near, {} far\n", drive.vehiclesAtEnd.nearby,
               drive.vehiclesAtEnd.distant);
}

void printReplay(std::ostream& out, const std::filesystem::path& capture,
                 const CaptureSummary& summary, const SessionResult& result,
                 std::string_view settingsSource, const SlumpVerdict& slumps,
                 const std::vector<TimelineRow>& rows)
{
    printCapture(out, capture, summary);
    printSettings(out, result, settingsSource);
    if (!rows.empty()) {
        fmt::print(out, "{:>8}  {:>6}  {:<9} {:>7} {:>6}\n", "time s", "fps", "state", "changes",
                   "purges");
    }
    for (const TimelineRow& row : rows) {
        fmt::print(out, "{:8.1f}  {:6.1f}  {:<9} {:7} {:6}\n", row.endMs / 1000.0, row.meanFps,
                   perfStateName(row.state), row.changes, row.purges);
    }
    printEvents(out, result, slumps);
    printSummary(out, result, false, summary.format == CaptureFormat::TarnwickRecord,
                 isLiveInput(capture));
}

void printComparison(std::ostream& out, const DriveOutcome& with, const DriveOutcome& without)
{
    const SessionResult& a = with.result;
    const SessionResult& b = without.result;
    fmt::print(out, "compared with the same drive without Tarnwick (Enabled=0):\n");
    fmt::print(out, "  {:<24}{:>14}{:>14}\n", "", "with Tarnwick", "without");
    const auto row = [&out](const char* name, double x, double y) {
        fmt::print(out, "  {:<24}{:>14.1f}{:>14.1f}\n", name, x, y);
    };
    row("mean fps", a.meanFps(), b.meanFps());
    row("1% low fps", lowFps(a.frameTimes, 0.01), lowFps(b.frameTimes, 0.01));
    row("0.1% low fps", lowFps(a.frameTimes, 0.001), lowFps(b.frameTimes, 0.001));
    const std::string below = fmt::format("seconds below {} fps", a.settings.fpsCritical);
    row(below.c_str(), with.msBelowCritical / 1000.0, without.msBelowCritical / 1000.0);
    fmt::print(out, "  {:<24}{:>14}{:>14}\n  {:<24}{:>14}{:>14}\n", "purges", a.purges.size(),
               b.purges.size(), "vehicles removed", a.vehiclesRemoved, b.vehiclesRemoved);
}

} // namespace sim
