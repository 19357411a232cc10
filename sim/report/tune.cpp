// What tune found, for a player (text) and for scripts (JSON).
#include "sim/report/report.h"

#include "sim/files.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

#include <cstdlib>

namespace sim {
namespace {

void printCell(std::ostream& out, const CellResult& c, double durationMs)
{
    fmt::print(out,
               "  purges {} ({:.1f} a minute), {} of them on a brief dip; Critical {:.1f} s, "
               "Moderate {:.1f} s; {:.1f} state changes a minute\n",
               c.purges,
               perMinute(static_cast<double>(c.purges), durationMs), c.briefDipPurges,
               c.timeInStateMs[2] / 1000.0, c.timeInStateMs[1] / 1000.0,
               perMinute(static_cast<double>(c.changes), durationMs));
}

void printNeighbours(std::ostream& out, const TuneReport& report, const CellResult& centre)
{
    fmt::print(out, "pairs around it:\n  {:>12} {:>12} {:>10} {:>10} {:>10}\n", "FPS_Moderate",
               "FPS_Critical", "purges", "a minute", "brief dip");
    for (const CellResult& c : report.result.cells) {
        if (std::abs(c.moderate - centre.moderate) > 2 ||
            std::abs(c.critical - centre.critical) > 2 ||
            (std::abs(c.moderate - centre.moderate) + std::abs(c.critical - centre.critical)) > 2) {
            continue;
        }
        const double purges = static_cast<double>(c.purges);
        fmt::print(out, "  {:>12} {:>12} {:>10} {:>10.1f} {:>10}\n", c.moderate, c.critical,
                   c.purges, perMinute(purges, report.result.durationMs),
                   c.briefDipPurges);
    }
}

nlohmann::json cellJson(const CellResult& c, double durationMs, bool withTimes)
{
    const double purges = static_cast<double>(c.purges);
    nlohmann::json json{
        {"fpsModerate", c.moderate},
        {"fpsCritical", c.critical},
        {"purges", c.purges},
        {"purgesPerMinute", perMinute(purges, durationMs)},
        {"briefDipPurges", c.briefDipPurges},
        {"secondsCritical", c.timeInStateMs[2] / 1000.0},
        {"secondsModerate", c.timeInStateMs[1] / 1000.0},
        {"stateChangesPerMinute", perMinute(static_cast<double>(c.changes), durationMs)}};
    if (withTimes) {
        json["purgeTimesMs"] = c.purgeTimesMs;
    }
    return json;
}

} // namespace

void printTune(std::ostream& out, const TuneReport& report)
{
    const TuneResult& r = report.result;
    fmt::print(out, "capture: {}\napplication: {}, {} frames, {:.1f} s\n", utf8Of(report.capture),
               report.summary.application, report.frames, r.durationMs / 1000.0);
    fmt::print(out, "  1% low fps {:.1f}, 0.1% low fps {:.1f}\n", lowFps(report.frameTimes, 0.01),
               lowFps(report.frameTimes, 0.001));
    fmt::print(out,
               "grid: FPS_Moderate {} to {}, FPS_Critical {} to {}, below FPS_Moderate: {} "
               "pairs\n",
               report.moderate.low, report.moderate.high, report.critical.low, report.critical.high,
               r.cells.size());
    fmt::print(out, "your pair: FPS_Moderate {}, FPS_Critical {} ({})\n", r.current.moderate,
               r.current.critical, report.settingsSource);
    printCell(out, r.current, r.durationMs);
    if (!r.recommended) {
        fmt::print(out, "no recommendation: no pair of the grid follows the rule ({})\n",
                   recommendationRule);
        return;
    }
    const CellResult& best = r.cells[*r.recommended];
    fmt::print(
        out, "recommended: FPS_Moderate {}, FPS_Critical {}{}\n", best.moderate, best.critical,
        best.moderate == r.current.moderate && best.critical == r.current.critical ? " (yours)"
                                                                                   : "");
    printCell(out, best, r.durationMs);
    fmt::print(out,
               "  rule: {}; a brief dip is a frame rate back above FPS_Critical + 5 within "
               "0.5 s of the purge\n",
               recommendationRule);
    printNeighbours(out, report, best);
}

nlohmann::json tuneJson(const TuneReport& report)
{
    const TuneResult& r = report.result;
    nlohmann::json cells = nlohmann::json::array();
    for (const CellResult& c : r.cells) {
        cells.push_back(cellJson(c, r.durationMs, false));
    }
    return {{"command", "tune"},
            {"capture", utf8Of(report.capture)},
            {"application", report.summary.application},
            {"format", captureFormatName(report.summary.format)},
            {"frames", report.frames},
            {"durationMs", r.durationMs},
            {"onePercentLowFps", lowFps(report.frameTimes, 0.01)},
            {"pointOnePercentLowFps", lowFps(report.frameTimes, 0.001)},
            {"grid",
             {{"fpsModerate", {report.moderate.low, report.moderate.high}},
              {"fpsCritical", {report.critical.low, report.critical.high}}}},
            {"briefDipMs", briefDipMs},
            {"rule", recommendationRule},
            {"current", cellJson(r.current, r.durationMs, true)},
            {"recommended", r.recommended ? cellJson(r.cells[*r.recommended], r.durationMs, true)
                                          : nlohmann::json(nullptr)},
            {"cells", cells}};
}

} // namespace sim
