// `tarnwick-sim report`: everything a player needs on one page, for one or several captures.
#include "sim/cli/commands.h"

#include "sim/check/settings_check.h"
#include "sim/cli/console.h"
#include "sim/cli/output.h"
#include "sim/cli/reading.h"
#include "sim/files.h"
#include "sim/report/page.h"
#include "sim/report/tune_report.h"

#include <memory>
#include <sstream>

namespace sim {

namespace {

// Without -o: beside the first capture, or in the current folder for standard input.
std::filesystem::path pageFor(const ReportOptions& options)
{
    if (options.common.page) {
        return *options.common.page;
    }
    const std::filesystem::path& first = options.captures.front();
    if (isStandardInput(first)) {
        return std::filesystem::absolute("tarnwick-report.html");
    }
    std::filesystem::path page = first;
    page.concat(".tarnwick.html");
    return page;
}

// What a capture's reading said on failure, as the page gives it.
std::string reasonOf(const std::string& said)
{
    std::string reason = said;
    const std::string prefix = "tarnwick-sim: ";
    if (reason.rfind(prefix, 0) == 0) {
        reason.erase(0, prefix.size());
    }
    while (!reason.empty() && reason.back() == '\n') {
        reason.pop_back();
    }
    return reason;
}

} // namespace

int reportCommand(const ReportOptions& options, std::ostream& out, std::ostream& err)
{
    ReportPage page;
    TuneReport tuned;
    tuned.moderate = defaultModerate;
    tuned.critical = defaultCritical;
    tuned.settingsSource =
        options.common.ini ? "from " + utf8Of(*options.common.ini) : "the defaults";
    if (options.common.ini) {
        page.settings = checkSettings(*options.common.ini);
    }
    // Unpacked from the zip, the tool lies in the game's folder: say how the install looks too.
    if (const std::filesystem::path game = defaultGameFolder(toolFolder(), {});
        !options.toolVersion.empty() && !game.empty()) {
        page.install = examine(game, options.toolVersion);
    }
    const GovernorSettings base = baseSettings(page.settings);
    SessionOptions sessionOptions{options.common.ini, options.common.uptimeMs, 0};
    std::vector<std::unique_ptr<TuneFrames>> frames;
    std::vector<const TuneFrames*> parts;
    for (const std::filesystem::path& capture : options.captures) {
        PageCapture& shown = page.captures.emplace_back();
        auto kept = std::make_unique<TuneFrames>();
        std::optional<Session> session;
        std::ostringstream why;
        if (readForTuning(capture, options.choice, shown.facts, *kept, &session, sessionOptions,
                          why) != 0) {
            shown.error = reasonOf(why.str());
            err << why.str();
            continue;
        }
        shown.replay = session->result();
        shown.tuned = parts.size();
        tuned.captures.push_back(shown.facts);
        parts.push_back(kept.get());
        frames.push_back(std::move(kept));
    }
    if (!parts.empty()) {
        tuned.result = tune(parts, base, tuned.moderate, tuned.critical);
        page.tune = std::move(tuned);
        printVerdict(out, *page.tune);
    }
    const bool written = writeOutput(
        pageFor(options), "page", [&](std::ostream& file) { writeReportPage(file, page); }, false,
        out, err);
    return written && !parts.empty() ? 0 : 1;
}

int reportFromCommandLine(ReportOptions& options, std::ostream& out, std::ostream& err)
{
    for (std::filesystem::path& capture : options.captures) {
        if (!isStandardInput(capture)) {
            capture = std::filesystem::absolute(capture);
        }
    }
    // The page beside the first capture is an output like any other: never over an input.
    options.common.page = pageFor(options);
    const int status = checkInputsAndOutputs(options.common, options.captures, err);
    return status != 0 ? status : reportCommand(options, out, err);
}

} // namespace sim
