#include "sim/report/report.h"

#include <cmath>
#include <cstdio>
#include <iomanip>

namespace sim {

std::string formatSeconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", ms / 1000.0);
    return text;
}

void printSettings(std::ostream& out, const SessionResult& result)
{
    if (!result.enabled) {
        out << "settings: Enabled is 0: the plug-in returns at once and does nothing\n";
        return;
    }
    const GovernorSettings& s = result.settings;
    out << "settings: fpsModerate " << s.fpsModerate << ", fpsCritical " << s.fpsCritical
        << ", detectionRange " << std::fixed << std::setprecision(0) << s.detectionRange
        << ", logging " << (s.logging ? "on" : "off") << '\n';
}

void printSummary(std::ostream& out, const SessionResult& result)
{
    out << "summary:\n";
    out << "  frames            " << result.frames << '\n';
    out << "  duration          " << formatSeconds(result.durationMs) << '\n';
    for (const PerfState state : {PerfState::Normal, PerfState::Moderate, PerfState::Critical}) {
        const double ms = result.timeInStateMs[static_cast<std::size_t>(state)];
        char share[32];
        std::snprintf(share, sizeof share, " (%.1f%%)",
                      result.durationMs > 0 ? 100.0 * ms / result.durationMs : 0.0);
        out << "  time " << std::left << std::setw(13) << perfStateName(state) << std::right
            << formatSeconds(ms) << share << '\n';
    }
    out << "  purges            " << result.purges.size() << '\n';
    out << "  vehicles removed  " << result.vehiclesRemoved << '\n';
    char fps[64];
    std::snprintf(fps, sizeof fps, "  lowest fps        %.1f\n  mean fps          %.1f\n",
                  result.frames > 0 ? static_cast<double>(result.lowestFps) : 0.0,
                  result.meanFps());
    out << fps;
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
    nlohmann::json json{
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
    };
    // No frames, or only infinite estimates: there is no lowest frame rate to give.
    json["lowestFps"] = std::isfinite(result.lowestFps) ? nlohmann::json(result.lowestFps)
                                                        : nlohmann::json(nullptr);
    return json;
}

nlohmann::json captureJson(const CaptureSummary& capture)
{
    nlohmann::json others = nlohmann::json::array();
    for (const AppFrames& app : capture.applications) {
        if (app.name != capture.application) {
            others.push_back({{"name", app.name}, {"frames", app.frames}});
        }
    }
    return {{"application", capture.application},
            {"format", captureFormatName(capture.format)},
            {"frameTimeColumn", capture.column},
            {"otherApplications", others},
            {"skippedCells", capture.skippedCells},
            {"nonPositiveFrameTimes", capture.nonPositiveFrameTimes}};
}

} // namespace sim
