// `tarnwick-sim tune`: which thresholds to set for this game on this machine.
#include "sim/cli/commands.h"

#include "sim/capture/capture.h"
#include "sim/check/settings_check.h"
#include "sim/cli/output.h"
#include "sim/files.h"
#include "sim/report/report.h"

#include <fstream>
#include <vector>

namespace {

// The settings file's values, read as the plug-in reads them; the grid replaces the thresholds.
GovernorSettings baseSettings(const TuneOptions& options)
{
    if (!options.common.ini) {
        return GovernorSettings{};
    }
    const sim::SettingsCheck check = sim::checkSettings(*options.common.ini);
    if (check.settings.enabled) {
        return check.settings;
    }
    // Enabled=0 would make every pair do nothing, and the plug-in then reads no other key; the
    // question is what each pair would do, so the file's other values count as read.
    GovernorSettings base;
    const auto value = [&check](std::size_t i) { return check.shown[i].value; };
    base.logging = value(1) != 0;
    base.fpsModerate = static_cast<std::int32_t>(value(2));
    base.fpsCritical = static_cast<std::int32_t>(value(3));
    base.detectionRange = static_cast<float>(value(4));
    return base;
}

// The capture read once, its frames kept for the grid.
int readFrames(const TuneOptions& options, sim::TuneReport& report, sim::TuneFrames& frames,
               std::ostream& err)
{
    sim::CaptureOptions captureOptions;
    captureOptions.application = options.application;
    captureOptions.run = options.run;
    const std::string what = "reading " + sim::utf8Of(options.capture.filename());
    captureOptions.progress = [&what](double fraction) { showProgress(what, fraction); };
    frames.clock.uptimeMs = options.common.uptimeMs;
    captureOptions.restart = [&] {
        frames = sim::TuneFrames{};
        frames.clock.uptimeMs = options.common.uptimeMs;
        report.frameTimes = sim::FrameTimeCounts{};
    };
    try {
        report.summary = replayCapture(options.capture, captureOptions, [&](double ms) {
            sim::addFrame(frames, ms);
            countFrameTime(report.frameTimes, ms);
        });
    } catch (const sim::CaptureError& error) {
        return captureFailure(error, err);
    }
    endProgress();
    sim::finishFrames(frames, options.target);
    return 0;
}

} // namespace

int tuneCommand(const TuneOptions& options, std::ostream& out, std::ostream& err)
{
    sim::TuneReport report;
    report.capture = options.capture;
    report.moderate = options.moderate;
    report.critical = options.critical;
    report.settingsSource =
        options.common.ini ? "from " + sim::utf8Of(*options.common.ini) : "the defaults";
    const GovernorSettings base = baseSettings(options);
    if (sim::gridColumns(options.moderate, options.critical).empty()) {
        err << "tarnwick-sim: the grid holds no pair: every FPS_Critical of --critical must lie "
               "below some FPS_Moderate of --moderate\n";
        return 2;
    }
    sim::TuneFrames frames;
    if (const int status = readFrames(options, report, frames, err); status != 0) {
        return status;
    }
    report.frames = frames.frameSeconds.size();
    report.result = sim::tune(frames, base, options.moderate, options.critical);
    if (options.common.json) {
        out << sim::jsonText(sim::tuneJson(report)) << '\n';
    } else {
        sim::printTune(out, report);
    }
    if (!options.common.svg) {
        return 0;
    }
    std::ofstream file(*options.common.svg, std::ios::binary | std::ios::trunc);
    sim::writeTuneSvg(file, report);
    file.close();
    if (!file) {
        err << "tarnwick-sim: cannot write the chart to " << sim::utf8Of(*options.common.svg)
            << '\n';
        return 1;
    }
    if (!options.common.json) {
        out << "chart: " << sim::utf8Of(*options.common.svg) << '\n';
    }
    return 0;
}

int tuneFromCommandLine(TuneOptions& options, std::ostream& out, std::ostream& err)
{
    if (!sim::isStandardInput(options.capture)) {
        options.capture = std::filesystem::absolute(options.capture);
    }
    const int status = prepareOutputs(options.common, options.capture, err);
    return status != 0 ? status : tuneCommand(options, out, err);
}
