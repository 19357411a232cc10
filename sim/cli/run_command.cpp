// `tarnwick-sim run`: the closed-loop city drive with a readable timeline.
#include "sim/cli/commands.h"
#include "sim/files.h"

#include "sim/cli/output.h"
#include "sim/host/host.h"
#include "sim/report/report.h"
#include "sim/scenario/scenario.h"
#include "sim/session/city.h"
#include "sim/session/session.h"

int runCommand(const RunOptions& options, std::ostream& out, std::ostream& err)
{
    sim::Session session({options.common.ini, options.common.uptimeMs});
    sim::CityDrive city(options.seed);
    const sim::SessionResult& result = session.result();
    const float range = result.settings.detectionRange;
    const bool text = !options.common.json;
    sim::DriveFacts drive{options.seconds, options.seed, {}};
    if (text) {
        sim::printDriveHeading(out, drive, result);
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
            sim::printDriveChange(out, result.changes[changesShown]);
        }
        if (frame.purged) {
            sim::printDrivePurge(out, session.nowMs(), frame.removed);
        }
        if (session.nowMs() >= nextRowMs) {
            sim::printTimelineRow(out, session.nowMs(), frame, city.counts(range));
            nextRowMs += everyMs;
        }
    }
    drive.vehiclesAtEnd = city.counts(range);
    if (text) {
        sim::printDriveEnd(out, drive, result);
    } else {
        out << sim::driveJson(drive, result).dump(2) << '\n';
    }
    const sim::ChartOptions chart{
        "tarnwick-sim run: city drive, seed " + std::to_string(options.seed), true, nullptr};
    return writeChart(options.common, result, chart, out, err) ? 0 : 1;
}

int scenarioCommand(const std::filesystem::path& gameDir, std::ostream& out)
{
    sim::resetHost();
    sim::host().machine.exePath = sim::utf8Of(std::filesystem::absolute(gameDir) / "game.exe");
    sim::host().clock.tickMs = 600000;
    const int status = runScenario(out);
    sim::resetHost();
    return status;
}
