// `tarnwick-sim run`: the closed-loop city drive with a readable timeline, and with --compare the
// same drive (same seed, same traffic) again with the governor off.
#include "sim/cli/commands.h"
#include "sim/text.h"

#include "sim/cli/output.h"
#include "sim/files.h"
#include "sim/host/host.h"
#include "sim/report/chart.h"
#include "sim/report/session_report.h"
#include "sim/scenario/scenario.h"
#include "sim/session/city.h"
#include "sim/session/session.h"

#include <memory>
#include <utility>

namespace sim {

namespace {

// One drive to its end; the timeline is printed as it is played when out is given.
// in: criticalFps, the governed drive's FPS_Critical (none: this drive's own).
Result<DriveOutcome> drive(const RunOptions& options, const SessionOptions& sessionOptions,
                           std::optional<float> criticalFps, std::ostream* out)
{
    Result<std::unique_ptr<Session>> opened = Session::open(sessionOptions);
    if (!opened) {
        return opened.failure();
    }
    Session& session = **opened;
    CityDrive city(options.seed);
    const SessionResult& result = session.result();
    const float range = result.settings.detectionRange;
    const float critical = criticalFps.value_or(static_cast<float>(result.settings.fpsCritical));
    DriveOutcome outcome{{options.seconds, options.seed, {}}, {}, 0, {}, {}};
    if (out != nullptr) {
        printDriveHeading(*out, outcome.facts, result);
    }
    const double everyMs = options.everySeconds * 1000.0;
    double nextRowMs = 0;
    double frameMs = 1000.0 / 60.0;
    std::size_t changesShown = 0;
    while (session.nowMs() < options.seconds * 1000.0) {
        const FrameOutcome frame = session.frame(frameMs);
        outcome.msBelowCritical += frame.fps < critical ? frameMs : 0.0;
        frameMs = city.step(frameMs);
        if (out == nullptr) {
            continue;
        }
        for (; changesShown < result.changes.size(); ++changesShown) {
            printDriveChange(*out, result.changes[changesShown]);
        }
        if (frame.purged) {
            printDrivePurge(*out, session.nowMs(), frame.removed);
        }
        if (session.nowMs() >= nextRowMs) {
            printTimelineRow(*out, session.nowMs(), frame, city.counts(range));
            nextRowMs += everyMs;
        }
    }
    outcome.facts.vehiclesAtEnd = city.counts(range);
    outcome.result = result;
    if (options.common.logDir && !sessionOptions.governorOff) {
        outcome.pluginLog = session.pluginLog();
    }
    if (options.common.record && !sessionOptions.governorOff) {
        outcome.pluginRecord = session.pluginRecord();
    }
    return outcome;
}

} // namespace

int runCommand(const RunOptions& options, std::ostream& out, std::ostream& err)
{
    const bool text = !options.common.json;
    SessionOptions governed{options.common.ini, options.common.uptimeMs};
    const Result<DriveOutcome> governedDrive =
        drive(options, governed, std::nullopt, text ? &out : nullptr);
    if (!governedDrive) {
        return tellFailure(governedDrive.failure(), err);
    }
    const DriveOutcome& with = *governedDrive;
    std::optional<DriveOutcome> without;
    if (options.compare) {
        SessionOptions off = governed;
        off.governorOff = true;
        Result<DriveOutcome> offDrive =
            drive(options, off, static_cast<float>(with.result.settings.fpsCritical), nullptr);
        if (!offDrive) {
            return tellFailure(offDrive.failure(), err);
        }
        without = std::move(*offDrive);
    }
    if (text) {
        printDriveEnd(out, with.facts, with.result);
        if (without) {
            printComparison(out, with, *without);
        }
    } else {
        nlohmann::json json = driveJson(with.facts, with.result);
        if (without) {
            json.update(comparisonJson(with, *without));
        }
        out << jsonText(std::move(json)) << '\n';
    }
    const ChartOptions chart{"tarnwick-sim run: city drive, seed " + std::to_string(options.seed) +
                                 (without ? ", with and without Tarnwick" : ""),
                             true, without ? &without->result : nullptr};
    const Result<Done> logKept = keepPluginLog(options.common, with.pluginLog, with.result, out);
    const Result<Done> recordKept = keepPluginRecord(options.common, with.pluginRecord, out);
    const Result<Done> chartWritten = writeChart(options.common, with.result, chart, out);
    return tellFailures({&logKept, &recordKept, &chartWritten}, err);
}

int scenarioCommand(const std::filesystem::path& gameDir, std::ostream& out)
{
    resetHost();
    host().machine.exePath = utf8Of(std::filesystem::absolute(gameDir) / "game.exe");
    host().clock.tickMs = 600000;
    const int status = runScenario(out);
    resetHost();
    return status;
}

int runFromCommandLine(RunOptions& options, std::ostream& out, std::ostream& err)
{
    const int status = checkInputsAndOutputs(options.common, {}, err);
    return status != 0 ? status : runCommand(options, out, err);
}

} // namespace sim
