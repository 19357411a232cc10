// `tarnwick-sim replay`: a real frame-time capture, one simulated frame per captured frame.
#include "sim/cli/commands.h"
#include "sim/files.h"

#include "sim/capture/capture.h"
#include "sim/cli/output.h"
#include "sim/report/report.h"
#include "sim/session/session.h"

#include <optional>

int replayCommand(const ReplayOptions& options, std::ostream& out, std::ostream& err)
{
    const sim::SessionOptions sessionOptions{options.common.ini, options.common.uptimeMs};
    std::optional<sim::Session> session(std::in_place, sessionOptions);
    sim::CaptureOptions captureOptions;
    captureOptions.application = options.application;
    captureOptions.run = options.run;
    const std::string what = "replaying " + sim::utf8Of(options.capture.filename());
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
        err << "tarnwick-sim: " << error.what() << '\n';
        return 1;
    }
    endProgress();
    const sim::SessionResult& result = session->result();
    if (options.common.json) {
        out << sim::replayJson(options.capture, capture, result).dump(2) << '\n';
    } else {
        sim::printReplay(out, options.capture, capture, result);
    }
    const std::string title = "tarnwick-sim replay: " + capture.application;
    return writeChart(options.common, result, title, out, err) ? 0 : 1;
}

int replayFromCommandLine(ReplayOptions& options, std::ostream& out, std::ostream& err)
{
    options.capture = std::filesystem::absolute(options.capture);
    const int status = prepareOutputs(options.common, err);
    return status != 0 ? status : replayCommand(options, out, err);
}
