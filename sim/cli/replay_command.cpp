// `tarnwick-sim replay`: a real frame-time capture, one simulated frame per captured frame.
#include "sim/cli/commands.h"

#include "sim/capture/capture.h"
#include "sim/cli/capture_reading.h"
#include "sim/cli/console.h"
#include "sim/cli/output.h"
#include "sim/cli/settings_source.h"
#include "sim/files.h"
#include "sim/report/chart.h"
#include "sim/report/gains_report.h"
#include "sim/report/session_report.h"
#include "sim/session/session.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <limits>
#include <memory>
#include <optional>

namespace sim {

namespace {

// Without --json a text report lists this many state changes; memory keeps no more.
constexpr std::size_t listedChanges = 20;

// Gathers the replay into rows of --every seconds; forgets them when the replay starts again.
struct Timeline {
    explicit Timeline(std::optional<double> every) : everyMs(every), nextMs(every.value_or(0)) {}
    std::optional<double> everyMs;
    std::vector<TimelineRow> rows;
    double nextMs;
    double startMs = 0;
    std::uint64_t frames = 0;
    std::uint64_t changesBefore = 0;
    std::size_t purgesBefore = 0;

    void frame(const Session& session)
    {
        ++frames;
        if (!everyMs || session.nowMs() < nextMs) {
            return;
        }
        const SessionResult& r = session.result();
        const double ms = session.nowMs() - startMs;
        rows.push_back({session.nowMs(), framesPerSecond(frames, ms), session.state(),
                        r.changeCount - changesBefore, r.purges.size() - purgesBefore});
        startMs = session.nowMs();
        nextMs += *everyMs;
        frames = 0;
        changesBefore = r.changeCount;
        purgesBefore = r.purges.size();
    }
};

// For input that comes as the game runs: each state change and purge the moment it happens, a line
// each, flushed, so a player watches Tarnwick's decisions while playing.
struct LiveLines {
    std::ostream* out = nullptr; // none: not live, or JSON
    std::uint64_t changesShown = 0;
    std::size_t purgesShown = 0;
    PerfState state = PerfState::Normal;

    void frame(const Session& session)
    {
        const SessionResult& r = session.result();
        if (out == nullptr) {
            return;
        }
        if (r.changeCount != changesShown) {
            printDriveChange(*out, {session.nowMs(), state, session.state()});
            changesShown = r.changeCount;
            state = session.state();
            out->flush();
        }
        for (; purgesShown < r.purges.size(); ++purgesShown) {
            // A replay has no vehicles: the purge is when one would run, as its summary says.
            *out << fmt::format("{:8.1f}  a purge would run\n",
                                r.purges[purgesShown].timeMs / 1000.0);
            out->flush();
        }
    }
};

} // namespace

int replayCommand(const ReplayOptions& options, std::ostream& out, std::ostream& err)
{
    SessionOptions sessionOptions{options.common.ini, options.common.uptimeMs,
                                  options.common.json ? std::numeric_limits<std::size_t>::max()
                                                      : listedChanges};
    const std::optional<double> everyMs =
        options.everySeconds ? std::optional<double>(*options.everySeconds * 1000.0) : std::nullopt;
    Timeline timeline(everyMs);
    LiveLines live;
    // Before the line that promises it, so that a Ctrl+C as soon as it shows keeps the promise.
    stopLiveInputsOnInterrupt({options.capture});
    if (isLiveInput(options.capture) && !options.common.json) {
        live.out = &out;
        out << "reading "
            << (isStandardInput(options.capture) ? "standard input" : shownPath(options.capture))
            << " as it comes: each state change and purge is shown as it happens; the end of the "
               "input or Ctrl+C ends the replay with its summary\n"
            << std::flush;
    }
    ReadingAsks asks;
    asks.replay = true;
    asks.session = sessionOptions;
    asks.verb = "replaying";
    asks.eachFrame = [&](const Session& session) {
        timeline.frame(session);
        live.frame(session);
    };
    asks.restarted = [&] { timeline = Timeline(everyMs); };
    Result<CaptureReading> read = readCapture(options.capture, options.choice, asks);
    if (!read) {
        return tellFailure(read.failure(), err);
    }
    const CaptureSummary& capture = read->facts.summary;
    const Session& session = *read->session;
    const SessionResult& result = session.result();
    const SlumpVerdict& slumps = *read->slumps;
    const std::optional<RecordFacts>& record = read->facts.record;
    const std::optional<PurgeGains> gains =
        record ? std::optional(record->gains) : std::optional<PurgeGains>();
    if (options.common.json) {
        nlohmann::json json = replayJson(options.capture, capture, result, slumps);
        if (gains) {
            json["purgeGains"] = purgeGainsJson(*gains);
        }
        if (record) {
            json["recordedAt"] = {
                {"fpsModerate", record->fpsModerate},
                {"fpsCritical", record->fpsCritical},
                {"sentence", recordedAtSentence(*record, result.settings, "replayed")}};
        }
        out << jsonText(json) << '\n';
    } else {
        printReplay(out, options.capture, capture, result, options.common.settingsSource, slumps,
                    timeline.rows);
        if (gains) {
            printPurgeGains(out, *gains);
        }
        if (const std::string at =
                record ? recordedAtSentence(*record, result.settings, "replayed") : "";
            !at.empty()) {
            out << "note: " << at << '\n';
        }
        if (result.settings.enabled && result.settings.record == RecordMode::WithoutPurging) {
            // The replay runs the plug-in as the file sets it; tune and report judge the pair.
            out << "note: Record=2 is set in the settings replayed: the plug-in withholds every "
                   "purge, so this replay runs none; tune and report judge your pair with its "
                   "purges, as Record=1 or 0 plays\n";
        }
        for (const std::string& note : options.common.unreadSettings) {
            out << "note: " << note << '\n';
        }
    }
    ChartOptions chart{"tarnwick-sim replay: " + shown(capture.application), false, nullptr,
                       &slumps.slumps, &slumps.asideSpans};
    chart.levels = &slumps.levels;
    const Result<Done> logKept = keepPluginLog(options.common, session.pluginLog(), result, out);
    const Result<Done> chartWritten = writeChart(options.common, result, chart, out);
    return tellFailures({&logKept, &chartWritten}, err);
}

int replayFromCommandLine(ReplayOptions& options, std::ostream& out, std::ostream& err)
{
    std::vector<std::filesystem::path> captures{options.capture};
    const int status = prepareCaptures(options.common, options.choice, captures, err);
    options.capture = captures.front();
    return status != 0 ? status : replayCommand(options, out, err);
}

} // namespace sim
