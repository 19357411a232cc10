// The reports scripts read: one JSON object a command, its fields listed in the README.
#include "sim/files.h"
#include "sim/report/session_report.h"
#include "sim/report/slumps_report.h"

#include <cmath>

namespace sim {
namespace {

// Captures with hundreds of thousands of process names exist (a crash's garbage, a script's):
// the report names this many and counts the rest.
constexpr std::size_t listedOtherApplications = 100;

} // namespace

nlohmann::json sessionJson(const SessionResult& result)
{
    nlohmann::json changes = nlohmann::json::array();
    for (const StateChange& change : result.changes) {
        changes.push_back({{"timeMs", change.timeMs},
                           {"from", perfStateName(change.from)},
                           {"to", perfStateName(change.to)}});
    }
    nlohmann::json purges = nlohmann::json::array();
    for (const PurgeEvent& purge : result.purges) {
        purges.push_back({{"timeMs", purge.timeMs}, {"removed", purge.removed}});
    }
    return {
        {"settings", settingsJson(result)},
        {"frames", result.frames},
        {"durationMs", result.durationMs},
        {"timeInStateMs",
         {{"Normal", result.timeInStateMs[0]},
          {"Moderate", result.timeInStateMs[1]},
          {"Critical", result.timeInStateMs[2]}}},
        {"stateChanges", changes},
        {"purges", purges},
        {"vehiclesRemoved", result.vehiclesRemoved},
        {"meanFps", result.meanFps()},
        {"onePercentLowFps", lowFps(result.frameTimes, 0.01)},
        {"pointOnePercentLowFps", lowFps(result.frameTimes, 0.001)},
        {"lows", lowsJson(result.frameTimes)},
        // No frames, or only infinite estimates: there is no lowest frame rate to give.
        {"lowestFps", std::isfinite(result.lowestFps) ? nlohmann::json(result.lowestFps)
                                                      : nlohmann::json(nullptr)},
    };
}

nlohmann::json applicationsJson(const CaptureSummary& summary)
{
    static const char* const chosenBy[] = {"alone", "app", "gameFolder", "mostFrames", "firstSeen"};
    nlohmann::json others = nlohmann::json::array();
    std::uint64_t notListed = 0;
    for (const AppFrames& app : notJudged(summary)) {
        if (others.size() < listedOtherApplications) {
            others.push_back({{"name", app.name}, {"frames", app.frames}});
        } else {
            ++notListed;
        }
    }
    nlohmann::json json = {
        {"application", summary.application},
        {"applicationChosenBy", chosenBy[static_cast<std::size_t>(summary.chosenBy)]},
        {"otherApplications", others},
        {"mayBeTheGame", summary.mayBeTheGame
                             ? nlohmann::json{{"name", summary.mayBeTheGame->name},
                                              {"frames", summary.mayBeTheGame->frames}}
                             : nlohmann::json(nullptr)},
        {"judgedApplication", judgedApplicationText(summary)}};
    if (notListed > 0) {
        json["otherApplicationsNotListed"] = notListed;
    }
    return json;
}

nlohmann::json lowsJson(const FrameTimeCounts& counts)
{
    return {{"p1Fps", lowFps(counts, 0.01)},
            {"p01Fps", lowFps(counts, 0.001)},
            {"averageOnePercentFps", averageLowFps(counts, 0.01)},
            {"averagePointOnePercentFps", averageLowFps(counts, 0.001)},
            {"method", lowsMethod}};
}

nlohmann::json settingsJson(const SessionResult& result)
{
    const GovernorSettings& s = result.settings;
    nlohmann::json json{{"enabled", s.enabled}};
    if (s.enabled) {
        json["logging"] = s.logging;
        json["fpsModerate"] = s.fpsModerate;
        json["fpsCritical"] = s.fpsCritical;
        json["detectionRange"] = s.detectionRange;
    }
    return json;
}

nlohmann::json driveJson(const DriveFacts& drive, const SessionResult& result)
{
    nlohmann::json json = sessionJson(result);
    json["command"] = "run";
    json["seconds"] = drive.seconds;
    json["seed"] = drive.seed;
    json["vehiclesAtEnd"] = {{"near", drive.vehiclesAtEnd.nearby},
                             {"far", drive.vehiclesAtEnd.distant}};
    return json;
}

nlohmann::json replayJson(const std::filesystem::path& capture, const CaptureSummary& summary,
                          const SessionResult& result, const SlumpVerdict& slumps)
{
    nlohmann::json json = sessionJson(result);
    json.update(applicationsJson(summary));
    json.update({{"command", "replay"},
                 {"capture", utf8Of(capture)},
                 {"format", captureFormatName(summary.format)},
                 {"frameTimeColumn", summary.frameTimesFrom},
                 {"skippedCells", summary.skippedCells},
                 {"nonPositiveFrameTimes", summary.nonPositiveFrameTimes}});
    if (summary.stoppedAtMs) {
        json["inputStoppedAtMs"] = *summary.stoppedAtMs;
    }
    // Only where a rule was applied: the reports of other captures stay as they were.
    if (summary.generatedFrames > 0) {
        json["generatedFrames"] = summary.generatedFrames;
    }
    if (!summary.rules.empty()) {
        json["readingRules"] = summary.rules;
    }
    for (const auto& [name, value] : summary.system) {
        json["system"][name] = value;
    }
    std::vector<double> times;
    for (const PurgeEvent& purge : result.purges) {
        times.push_back(purge.timeMs);
    }
    const SlumpScore score = scorePurges(slumps, times);
    json["slumps"] = slumpVerdictJson(slumps);
    json["slumps"]["list"] = slumpsJson(slumps, times);
    json["purgesInSlumps"] = score.inSlumps;
    json["purgesOutsideSlumps"] = score.outside;
    if (score.setAside > 0) {
        json["purgesSetAside"] = score.setAside;
    }
    json["slumpsMissed"] = slumps.slumps.size() - score.caught;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const PurgePlace place = placeOf(slumps, times[i]);
        json["purges"][i]["inSlump"] = place.slump.has_value();
        if (place.inAside) {
            json["purges"][i]["setAside"] = true;
        }
        json["purges"][i]["fpsOverLastSecond"] = fpsOverLastSecond(result.trace, times[i]);
    }
    if (summary.cutLastLineBytes > 0) {
        json["cutLastLineBytes"] = summary.cutLastLineBytes;
    }
    if (summary.cutJsonAfterBytes > 0) {
        json["cutJsonAfterBytes"] = summary.cutJsonAfterBytes;
    }
    return json;
}

nlohmann::json comparisonJson(const DriveOutcome& with, const DriveOutcome& without)
{
    const SessionResult& b = without.result;
    return {{"msBelowCritical", with.msBelowCritical},
            {"withoutTarnwick",
             {{"meanFps", b.meanFps()},
              {"onePercentLowFps", lowFps(b.frameTimes, 0.01)},
              {"pointOnePercentLowFps", lowFps(b.frameTimes, 0.001)},
              {"msBelowCritical", without.msBelowCritical},
              {"purges", b.purges.size()},
              {"vehiclesRemoved", b.vehiclesRemoved},
              {"frames", b.frames}}}};
}

} // namespace sim
