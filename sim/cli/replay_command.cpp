// `tarnwick-sim replay`: a real frame-time capture, one simulated frame per captured frame.
#include "sim/cli/commands.h"

#include "sim/capture/capture.h"
#include "sim/cli/output.h"
#include "sim/report/report.h"
#include "sim/session/session.h"

#include <cstdio>
#include <iostream>
#include <optional>

namespace {

void printCapture(const ReplayOptions& options, const sim::CaptureSummary& capture)
{
    std::cout << "capture: " << options.capture.string() << '\n'
              << "format: " << captureFormatName(capture.format) << ", frame times from "
              << capture.column << '\n'
              << "application: " << capture.application;
    std::string others;
    for (const sim::AppFrames& app : capture.applications) {
        if (app.name == capture.application) {
            std::cout << " (" << app.frames << " frames)";
        } else {
            others += (others.empty() ? "" : ", ") + app.name + " (" + std::to_string(app.frames) +
                      " frames)";
        }
    }
    std::cout << '\n';
    if (!others.empty()) {
        std::cout << "not replayed: " << others << '\n';
    }
    if (capture.skippedCells > 0) {
        std::cout << "skipped: " << capture.skippedCells << " NA or empty frame-time cells\n";
    }
    if (capture.nonPositiveFrameTimes > 0) {
        std::cout << "zero or negative: " << capture.nonPositiveFrameTimes
                  << " frame times, replayed as the plug-in reads them (60 fps)\n";
    }
}

void printEvents(const sim::SessionResult& result)
{
    std::cout << "state changes: " << result.changes.size() << '\n';
    for (const sim::StateChange& change : result.changes) {
        std::printf("  %10.3f s  %s -> %s\n", change.timeMs / 1000.0, perfStateName(change.from),
                    perfStateName(change.to));
    }
    std::cout << "purges: " << result.purges.size() << '\n';
    for (const sim::PurgeEvent& purge : result.purges) {
        std::printf("  %10.3f s  a purge would run\n", purge.timeMs / 1000.0);
    }
}

} // namespace

int replayCommand(const ReplayOptions& options)
{
    const sim::SessionOptions sessionOptions{options.common.ini, options.common.uptimeMs};
    std::optional<sim::Session> session(std::in_place, sessionOptions);
    sim::CaptureOptions captureOptions;
    captureOptions.application = options.application;
    captureOptions.run = options.run;
    const std::string what = "replaying " + options.capture.filename().string();
    captureOptions.progress = [&what](double fraction) { showProgress(what, fraction); };
    captureOptions.restart = [&] {
        session.reset(); // one plug-in at a time: the old session ends before the new one loads
        session.emplace(sessionOptions);
    };
    sim::CaptureSummary capture;
    try {
        capture = replayCapture(options.capture, captureOptions,
                                [&session](double ms) { session->frame(ms); });
    } catch (const sim::CaptureError& error) {
        endProgress();
        std::cerr << "tarnwick-sim: " << error.what() << '\n';
        return 1;
    }
    endProgress();
    const sim::SessionResult& result = session->result();
    if (options.common.json) {
        nlohmann::json json = sessionJson(result);
        json.update(captureJson(capture));
        json["command"] = "replay";
        json["capture"] = options.capture.string();
        std::cout << json.dump(2) << '\n';
    } else {
        printCapture(options, capture);
        sim::printSettings(std::cout, result);
        printEvents(result);
        sim::printSummary(std::cout, result);
    }
    return writeChart(options.common, result, "tarnwick-sim replay: " + capture.application) ? 0
                                                                                             : 1;
}
