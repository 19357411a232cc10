// `tarnwick-sim run`: the closed-loop city drive with a readable timeline.
#include "sim/cli/commands.h"

#include "sim/cli/output.h"
#include "sim/host/host.h"
#include "sim/report/report.h"
#include "sim/scenario/scenario.h"
#include "sim/session/city.h"
#include "sim/session/session.h"

#include <cstdio>
#include <iostream>

namespace {

void timelineRow(double ms, const sim::FrameOutcome& frame, const sim::TrafficCounts& counts)
{
    std::printf("%8.1f  %6.1f  %-9s %6d %6d\n", ms / 1000.0, static_cast<double>(frame.fps),
                perfStateName(frame.state), counts.nearby, counts.distant);
}

} // namespace

int runCommand(const RunOptions& options)
{
    sim::Session session({options.common.ini, options.common.uptimeMs});
    sim::CityDrive city(options.seed);
    const sim::SessionResult& result = session.result();
    const float range = result.settings.detectionRange;
    const bool text = !options.common.json;
    if (text) {
        std::cout << "city drive: " << options.seconds << " s, seed " << options.seed << '\n';
        printSettings(std::cout, result);
        std::printf("%8s  %6s  %-9s %6s %6s\n", "time s", "fps", "state", "near", "far");
    }
    const double endMs = options.seconds * 1000.0;
    const double everyMs = options.everySeconds * 1000.0;
    double nextRowMs = 0;
    double frameMs = 1000.0 / 60.0;
    std::size_t changesShown = 0;
    while (session.nowMs() < endMs) {
        const sim::FrameOutcome frame = session.frame(frameMs);
        frameMs = city.step(frameMs);
        if (!text) {
            continue;
        }
        for (; changesShown < result.changes.size(); ++changesShown) {
            const sim::StateChange& change = result.changes[changesShown];
            std::printf("%8.1f  state %s -> %s\n", change.timeMs / 1000.0,
                        perfStateName(change.from), perfStateName(change.to));
        }
        if (frame.purged) {
            std::printf("%8.1f  purge removed %llu vehicles\n", session.nowMs() / 1000.0,
                        static_cast<unsigned long long>(frame.removed));
        }
        if (session.nowMs() >= nextRowMs) {
            timelineRow(session.nowMs(), frame, city.counts(range));
            nextRowMs += everyMs;
        }
    }
    const sim::TrafficCounts left = city.counts(range);
    if (text) {
        printSummary(std::cout, result);
        std::cout << "  vehicles at end   " << left.nearby << " near, " << left.distant << " far\n";
    } else {
        nlohmann::json json = sessionJson(result);
        json["command"] = "run";
        json["seconds"] = options.seconds;
        json["seed"] = options.seed;
        json["vehiclesAtEnd"] = {{"near", left.nearby}, {"far", left.distant}};
        std::cout << json.dump(2) << '\n';
    }
    return writeChart(options.common, result,
                      "tarnwick-sim run: city drive, seed " + std::to_string(options.seed))
               ? 0
               : 1;
}

int scenarioCommand(const std::filesystem::path& gameDir)
{
    sim::resetHost();
    sim::host().machine.exePath = (std::filesystem::absolute(gameDir) / "game.exe").string();
    sim::host().clock.tickMs = 600000;
    const int status = runScenario(std::cout);
    sim::resetHost();
    return status;
}
