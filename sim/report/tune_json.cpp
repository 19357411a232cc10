// What tune found, for scripts: every pair of the grid, and the player's and the recommended
// pairs with their purges and slumps.
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"

#include "sim/files.h"

#include <cmath>

namespace sim {
namespace {

nlohmann::json cellJson(const CellResult& c, double durationMs, std::size_t slumps)
{
    const double purges = static_cast<double>(c.purges);
    return {{"fpsModerate", c.moderate},
            {"fpsCritical", c.critical},
            {"purges", c.purges},
            {"purgesPerMinute", perMinute(purges, durationMs)},
            {"purgesInSlumps", c.slumps.inSlumps},
            {"purgesOutsideSlumps", c.slumps.outside},
            {"slumpsCaught", c.slumps.caught},
            {"slumpsMissed", missedOf(c, slumps)},
            {"meanDelayMs",
             c.slumps.caught > 0 ? nlohmann::json(c.slumps.meanDelayMs()) : nlohmann::json()},
            {"secondsCritical", c.timeInStateMs[2] / 1000.0},
            {"secondsModerate", c.timeInStateMs[1] / 1000.0},
            {"stateChangesPerMinute", perMinute(static_cast<double>(c.changes), durationMs)}};
}

// A pair on one capture: every slump and every purge.
nlohmann::json purgesOnJson(const CellResult& c, const SlumpVerdict& slumps)
{
    return {{"purgeTimesMs", c.purgeTimesMs},
            {"purgeList", purgesJson(c.purgeTimesMs, slumps)},
            {"slumps", slumpsJson(slumps, c.purgeTimesMs)}};
}

// The player's pair and the recommendation; with one capture, every slump and purge too.
nlohmann::json pairJson(const CellResult& c, const TuneResult& r,
                        CellResult TunedCapture::*onCapture)
{
    nlohmann::json json = cellJson(c, r.durationMs, r.slumps);
    if (r.captures.size() == 1) {
        const TunedCapture& only = r.captures.front();
        json.update(purgesOnJson(only.*onCapture, only.slumps));
    }
    return json;
}

// What was read of a capture, as every tune JSON gives it.
nlohmann::json factsJson(const CaptureFacts& facts)
{
    nlohmann::json json = {{"capture", utf8Of(facts.capture)},
                           {"application", facts.summary.application},
                           {"format", captureFormatName(facts.summary.format)},
                           {"frames", facts.frames},
                           {"onePercentLowFps", lowFps(facts.frameTimes, 0.01)},
                           {"pointOnePercentLowFps", lowFps(facts.frameTimes, 0.001)},
                           {"lows", lowsJson(facts.frameTimes)}};
    json.update(applicationsJson(facts.summary));
    if (facts.summary.stoppedAtMs) {
        json["inputStoppedAtMs"] = *facts.summary.stoppedAtMs;
    }
    if (facts.summary.cutLastLineBytes > 0) {
        json["cutLastLineBytes"] = facts.summary.cutLastLineBytes;
    }
    if (!facts.summary.rules.empty()) {
        json["readingRules"] = facts.summary.rules;
    }
    if (facts.run) {
        json["run"] = *facts.run;
    }
    return json;
}

nlohmann::json capturesJson(const TuneReport& report)
{
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t i = 0; i < report.captures.size(); ++i) {
        const CaptureFacts& facts = report.captures[i];
        const TunedCapture& part = report.result.captures[i];
        nlohmann::json slumps = slumpVerdictJson(part.slumps);
        slumps["list"] = slumpsJson(part.slumps, {});
        nlohmann::json entry = factsJson(facts);
        entry.update(
            {{"durationMs", part.durationMs},
             {"play", playJson(part.play)},
             {"wholeCapture", wholeCaptureJson(facts.frames, part.durationMs,
                                               part.play.wholeLowestFps, facts.frameTimes)},
             {"slumps", slumps},
             {"current", purgesOnJson(part.current, part.slumps)},
             {"recommended", report.result.recommended ? purgesOnJson(part.recommended, part.slumps)
                                                       : nlohmann::json(nullptr)}});
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace

nlohmann::json playJson(const PlayFigures& play)
{
    return {{"frames", play.frames},
            {"durationMs", play.ms},
            {"meanFps", play.meanFps()},
            {"onePercentLowFps", lowFps(play.frameTimes, 0.01)},
            {"pointOnePercentLowFps", lowFps(play.frameTimes, 0.001)},
            {"lowestFps", std::isfinite(play.lowestFps) ? nlohmann::json(play.lowestFps)
                                                        : nlohmann::json(nullptr)},
            {"lows", lowsJson(play.frameTimes)},
            {"setAsideStretches", play.setAsideStretches},
            {"setAsideMs", play.setAsideMs},
            {"note", playNote(play)}};
}

nlohmann::json wholeCaptureJson(std::uint64_t frames, double durationMs, float lowestFps,
                                const FrameTimeCounts& counts)
{
    return {{"frames", frames},
            {"durationMs", durationMs},
            {"meanFps", framesPerSecond(frames, durationMs)},
            {"onePercentLowFps", lowFps(counts, 0.01)},
            {"pointOnePercentLowFps", lowFps(counts, 0.001)},
            {"lowestFps",
             std::isfinite(lowestFps) ? nlohmann::json(lowestFps) : nlohmann::json(nullptr)},
            {"lows", lowsJson(counts)}};
}

nlohmann::json tuneJson(const TuneReport& report, const Verdict& verdict)
{
    const TuneResult& r = report.result;
    nlohmann::json cells = nlohmann::json::array();
    for (const CellResult& c : r.cells) {
        cells.push_back(cellJson(c, r.durationMs, r.slumps));
    }
    const CaptureFacts& first = report.captures.front();
    nlohmann::json slumps =
        r.captures.size() == 1 ? slumpVerdictJson(r.captures[0].slumps) : nlohmann::json::object();
    slumps["count"] = r.slumps;
    nlohmann::json json = factsJson(first);
    json.update({{"command", "tune"},
                 {"durationMs", r.durationMs},
                 {"captures", capturesJson(report)},
                 {"grid",
                  {{"fpsModerate", {report.moderate.low, report.moderate.high}},
                   {"fpsCritical", {report.critical.low, report.critical.high}}}},
                 {"slumps", slumps},
                 {"rule", recommendationRule()},
                 {"why", verdict.why},
                 {"verdict", verdictJson(verdict)},
                 {"warning", mixedRatesWarning(report)},
                 {"current", pairJson(r.current, r, &TunedCapture::current)},
                 {"recommended",
                  r.recommended ? pairJson(r.cells[*r.recommended], r, &TunedCapture::recommended)
                                : nlohmann::json(nullptr)},
                 {"cells", cells}});
    return json;
}

} // namespace sim
