// `tarnwick-sim report`: everything a player needs on one page, for one or several captures.
#include "sim/cli/commands.h"

#include "sim/check/settings_check.h"
#include "sim/cli/capture_reading.h"
#include "sim/cli/console.h"
#include "sim/cli/output.h"
#include "sim/cli/settings_source.h"
#include "sim/cli/tuning.h"
#include "sim/files.h"
#include "sim/report/gains_report.h"
#include "sim/report/page.h"
#include "sim/report/tune_report.h"
#include "sim/text.h"

#include <memory>
#include <optional>
#include <sstream>

namespace sim {

namespace {

// Without -o: beside the first capture, or in the current folder for standard input.
std::filesystem::path pageBesideTheCapture(const ReportOptions& options)
{
    const std::filesystem::path& first = options.captures.front();
    if (isStandardInput(first)) {
        return std::filesystem::absolute("tarnwick-report.html");
    }
    std::filesystem::path page = first;
    page.concat(".tarnwick.html");
    return page;
}

// -o, or where the page can go: beside the capture, and where that folder cannot take it (a disc,
// a full or read-only stick) the tool's own folder, then the system's temporary one.
std::vector<std::filesystem::path> pagePlaces(const ReportOptions& options)
{
    if (options.common.page) {
        return {*options.common.page};
    }
    const std::filesystem::path beside = pageBesideTheCapture(options);
    std::vector<std::filesystem::path> places{beside};
    std::error_code error;
    for (const std::filesystem::path& folder :
         {toolFolder(), std::filesystem::temp_directory_path(error)}) {
        if (!folder.empty() && folder != beside.parent_path()) {
            places.push_back(folder / beside.filename());
        }
    }
    return places;
}

// The page written whole at the first place that takes it; each place that did not, said.
std::optional<std::filesystem::path> writePage(const ReportOptions& options, const ReportPage& page,
                                               std::ostream& out, std::ostream& err)
{
    const std::string text = rendered([&](std::ostream& file) { writeReportPage(file, page); });
    const std::vector<std::filesystem::path> places = pagePlaces(options);
    for (std::size_t i = 0; i < places.size(); ++i) {
        const Result<Done> written = writeWhole(places[i], text);
        if (written) {
            out << "page: " << shownPath(places[i]) << '\n';
            return places[i];
        }
        tellFailure(toldAs(written.failure(), FailureAct::Write, "the page"), err);
        if (i + 1 < places.size()) {
            err << "tarnwick-sim: writing the page to " << shownPath(places[i + 1]) << " instead\n";
        }
    }
    return std::nullopt;
}

// On the console as each capture is read: what a frame record's purges gained, and an input
// stopped before its end.
void sayWhatWasRead(std::ostream& out, const std::filesystem::path& capture,
                    const PageCapture& shown)
{
    if (shown.gains) {
        out << utf8Of(capture.filename()) << ": " << gainsSentence(*shown.gains) << '\n';
        if (const std::string longer = recordLongerSentence(*shown.gains); !longer.empty()) {
            out << "  " << longer << '\n';
        }
        if (!shown.recordedAt.empty()) {
            out << "  " << shown.recordedAt << '\n';
        }
    }
    if (const std::string stopped = describeStop(shown.facts.summary); !stopped.empty()) {
        out << (isStandardInput(capture) ? "standard input" : shownPath(capture.filename())) << ": "
            << stopped << '\n';
    }
}

// Each capture read onto the page, its frames kept for the tuner; one that cannot be used is
// shown as such and the rest are judged. A Setup failure: none could be.
Result<Done> readOntoPage(const ReportOptions& options, ReportPage& page, TuneReport& tuned,
                          std::vector<std::unique_ptr<TuneFrames>>& frames, std::ostream& out,
                          std::ostream& err)
{
    ReadingAsks asks;
    asks.keepFrames = true;
    asks.replay = true;
    asks.session = {options.common.ini, options.common.uptimeMs, 0};
    for (const std::filesystem::path& capture : options.captures) {
        for (const CaptureChoice& choice : choicesOf(capture, options.choice)) {
            PageCapture& shown = page.captures.emplace_back();
            Result<CaptureReading> read = readCapture(capture, choice, asks);
            if (!read) {
                if (read.failure().kind == FailureKind::Setup) {
                    return read.failure();
                }
                shown.facts.capture = capture;
                shown.error = failureText(read.failure());
                tellFailure(read.failure(), err);
                continue;
            }
            shown.facts = std::move(read->facts);
            shown.replay = read->session->result();
            if (shown.facts.record) {
                shown.gains = shown.facts.record->gains;
                shown.recordedAt =
                    recordedAtSentence(*shown.facts.record, shown.replay->settings, "judged");
            }
            sayWhatWasRead(out, capture, shown);
            shown.tuned = frames.size();
            shown.frames = read->frames.get();
            tuned.captures.push_back(shown.facts);
            frames.push_back(std::move(read->frames));
        }
    }
    return Done{};
}

} // namespace

int reportCommand(const ReportOptions& options, std::ostream& out, std::ostream& err,
                  std::optional<std::filesystem::path>* pageWritten)
{
    ReportPage page;
    TuneReport tuned;
    tuned.moderate = defaultModerate;
    tuned.critical = defaultCritical;
    tuned.settingsSource = options.common.settingsSource;
    tuned.unreadSettings = options.common.unreadSettings;
    if (options.common.ini) {
        Result<SettingsCheck> check = checkSettings(*options.common.ini);
        if (!check) {
            return tellFailure(check.failure(), err);
        }
        page.settings = std::move(*check);
    }
    // Unpacked from the zip, the tool lies in the game's folder: say how the install looks too.
    if (const std::filesystem::path game = defaultGameFolder(toolFolder(), {});
        !options.toolVersion.empty() && !game.empty()) {
        page.install = examine(game, options.toolVersion);
    }
    const GovernorSettings base = baseSettings(page.settings);
    stopLiveInputsOnInterrupt(options.captures);
    std::vector<std::unique_ptr<TuneFrames>> frames;
    std::vector<const TuneFrames*> parts;
    if (const Result<Done> read = readOntoPage(options, page, tuned, frames, out, err); !read) {
        return tellFailure(read.failure(), err); // no capture could be judged
    }
    for (const std::unique_ptr<TuneFrames>& kept : frames) {
        parts.push_back(kept.get());
    }
    if (!parts.empty()) {
        tuneAll(tuned, parts, base, true);
        page.onOff = compareOnOff(tuned.captures, parts);
        page.tune = std::move(tuned);
        page.verdict = judge(*page.tune, page.settings);
        printVerdict(out, *page.verdict);
        if (page.onOff) {
            printOnOff(out, *page.onOff);
        }
    }
    const std::optional<std::filesystem::path> written = writePage(options, page, out, err);
    if (pageWritten != nullptr) {
        *pageWritten = written;
    }
    return written && !parts.empty() ? 0 : 1;
}

int reportFromCommandLine(ReportOptions& options, std::ostream& out, std::ostream& err,
                          std::optional<std::filesystem::path>* pageWritten)
{
    // The page beside the first capture is an output like any other: never over an input.
    const int status =
        prepareCaptures(options.common, options.choice, options.captures, err, [&options] {
            return options.common.page ? std::nullopt
                                       : std::optional(pageBesideTheCapture(options));
        });
    return status != 0 ? status : reportCommand(options, out, err, pageWritten);
}

} // namespace sim
