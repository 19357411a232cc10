#include "sim/cli/output.h"
#include "sim/files.h"

#include "sim/cli/console.h"
#include "sim/cli/settings_report.h"
#include "sim/report/chart.h"

#include <fmt/format.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <vector>

namespace sim {

namespace {

bool progressShown = false;

} // namespace

namespace {

// Paths given relative to where the user stands stay so whatever folder the session enters.
void makeAbsolute(std::optional<std::filesystem::path>& path)
{
    if (path) {
        path = std::filesystem::absolute(*path).lexically_normal();
    }
}

struct NamedPath {
    std::string what; // as the player named it: "--svg", "the capture"
    std::filesystem::path path;
};

// An output written over an input of the same run loses the player's file: refused first.
int refuseOverwriting(const std::vector<NamedPath>& outputs, const std::vector<NamedPath>& inputs,
                      std::ostream& err)
{
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const NamedPath& out = outputs[i];
        std::vector<NamedPath> others = inputs;
        others.insert(others.end(), outputs.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      outputs.end());
        for (const NamedPath& in : others) {
            const bool same = isStandardInput(in.path) ? isStandardInputFile(out.path)
                                                       : sameFile(out.path, in.path);
            if (same) {
                err << "tarnwick-sim: " << out.what << " " << shownPath(out.path) << " is "
                    << in.what << ": writing it would destroy it; choose another file\n";
                return 2;
            }
        }
    }
    return 0;
}

} // namespace

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b)
{
    std::error_code error;
    if (std::filesystem::equivalent(a, b, error)) {
        return true;
    }
    const auto canonicalA = std::filesystem::weakly_canonical(a, error);
    const auto canonicalB = std::filesystem::weakly_canonical(b, error);
    return !error && canonicalA == canonicalB;
}

std::filesystem::path logFileIn(const std::filesystem::path& dir)
{
    return dir / "Tarnwick.log";
}

// Everything that can be known wrong before the simulation starts is said before it starts.
int checkInputsAndOutputs(CommonOptions& common, const std::vector<std::filesystem::path>& captures,
                          std::ostream& err,
                          const std::optional<std::filesystem::path>& movablePage)
{
    makeAbsolute(common.ini);
    makeAbsolute(common.svg);
    makeAbsolute(common.page);
    makeAbsolute(common.logDir);
    makeAbsolute(common.record);
    std::vector<NamedPath> inputs;
    for (const std::filesystem::path& capture : captures) {
        inputs.push_back(
            {isStandardInput(capture) ? "the capture (standard input)" : "the capture", capture});
    }
    if (common.ini) {
        inputs.push_back({"the settings file (--ini)", *common.ini});
    }
    std::vector<NamedPath> outputs;
    if (common.svg) {
        outputs.push_back({"the chart (--svg)", *common.svg});
    }
    if (common.page) {
        outputs.push_back({"the page (-o)", *common.page});
    }
    if (movablePage) {
        outputs.push_back({"the page", *movablePage});
    }
    if (common.logDir) {
        outputs.push_back({"the plug-in's log in --log-dir", logFileIn(*common.logDir)});
    }
    if (common.record) {
        outputs.push_back({"the frame record (--record)", *common.record});
    }
    if (const int status = refuseOverwriting(outputs, inputs, err); status != 0) {
        return status;
    }
    if (common.logDir) {
        if (const std::string why = whyNotWritable(logFileIn(*common.logDir)); !why.empty()) {
            err << "tarnwick-sim: cannot write the plug-in's log in " << shownPath(*common.logDir)
                << ": " << why << '\n';
            return 1;
        }
    }
    if (common.record) {
        if (const std::string why = whyNotWritable(*common.record); !why.empty()) {
            err << "tarnwick-sim: cannot write the frame record to " << utf8Of(*common.record)
                << ": " << why << '\n';
            return 1;
        }
    }
    if (common.ini && !warnAboutSettings(*common.ini, err)) {
        return 1;
    }
    if (common.svg) {
        if (const std::string why = whyNotWritable(*common.svg); !why.empty()) {
            err << "tarnwick-sim: cannot write the chart to " << shownPath(*common.svg) << ": "
                << why << '\n';
            return 1;
        }
    }
    if (common.page) {
        if (const std::string why = whyNotWritable(*common.page); !why.empty()) {
            err << "tarnwick-sim: cannot write the page to " << shownPath(*common.page) << ": "
                << why << '\n';
            return 1;
        }
    }
    return 0;
}

std::string rendered(const std::function<void(std::ostream&)>& write)
{
    std::ostringstream text;
    write(text);
    return std::move(text).str();
}

void sayNotWritten(const std::filesystem::path& path, std::string_view what, const std::string& why,
                   std::ostream& err)
{
    std::error_code error;
    const bool kept = std::filesystem::is_regular_file(path, error);
    err << "tarnwick-sim: cannot write the " << what << " to " << shownPath(path) << ": " << why
        << (kept ? fmt::format(" (the {} already there is as it was)", what) : "") << '\n';
}

bool writeOutput(const std::filesystem::path& path, std::string_view what,
                 const std::function<void(std::ostream&)>& write, bool quiet, std::ostream& out,
                 std::ostream& err)
{
    if (const std::string why = writeWhole(path, rendered(write)); !why.empty()) {
        sayNotWritten(path, what, why, err);
        return false;
    }
    if (!quiet) {
        out << what << ": " << shownPath(path) << '\n';
    }
    return true;
}

bool writeChart(const CommonOptions& options, const SessionResult& result,
                const ChartOptions& chart, std::ostream& out, std::ostream& err)
{
    return !options.svg ||
           writeOutput(
               *options.svg, "chart", [&](std::ostream& file) { writeSvg(file, result, chart); },
               options.json, out, err);
}

bool keepPluginRecord(const CommonOptions& options, const std::string& record, std::ostream& out,
                      std::ostream& err)
{
    if (!options.record) {
        return true;
    }
    if (record.empty()) {
        err << "tarnwick-sim: no frame record to write to " << utf8Of(*options.record)
            << ": the plug-in records only with Record=1 (or 2) under [Main] in the --ini file\n";
        return false;
    }
    if (const std::string why = writeWhole(*options.record, record); !why.empty()) {
        sayNotWritten(*options.record, "frame record", why, err);
        return false;
    }
    if (!options.json) {
        out << "frame record: " << utf8Of(*options.record) << " (up to the last whole second)\n";
    }
    return true;
}

bool keepPluginLog(const CommonOptions& options, const std::string& log,
                   const SessionResult& result, std::ostream& out, std::ostream& err)
{
    if (!options.logDir) {
        return true;
    }
    const std::filesystem::path file = logFileIn(*options.logDir);
    const auto lines = static_cast<std::uint64_t>(std::count(log.begin(), log.end(), '\n'));
    // The plug-in notes every purge; a line it could not write in the game's temporary folder
    // (a full disk) is lost silently there, so the count is the only witness.
    const std::uint64_t logged =
        result.enabled && result.settings.logging ? result.purges.size() : 0;
    if (lines < logged) {
        std::error_code error;
        const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
        err << "tarnwick-sim: the plug-in could write only " << lines << " of its " << logged
            << " log lines in the temporary folder " << shownPath(temp)
            << " (a full disk?): nothing was added to " << shownPath(file)
            << "; free some space there, or set TMPDIR to a folder on another disk\n";
        return false;
    }
    if (log.empty()) {
        if (!options.json) {
            out << "plug-in log: " << shownPath(file) << " (nothing added: no purge was logged)\n";
        }
        return true;
    }
    const std::uint64_t added = lines + (log.back() == '\n' ? 0 : 1);
    const char* noun = added == 1 ? " line" : " lines";
    if (const std::string why = appendWhole(file, log); !why.empty()) {
        std::error_code error;
        err << "tarnwick-sim: cannot add the plug-in's " << added << noun << " to "
            << shownPath(file) << ": " << why
            << (std::filesystem::exists(file, error) ? " (the log there is as it was)" : "")
            << '\n';
        return false;
    }
    if (!options.json) {
        out << "plug-in log: " << shownPath(file) << " (" << added << noun << " added)\n";
    }
    return true;
}

int tellFailure(const Failure& failure, std::ostream& err)
{
    tellFailure(failureText(failure), err);
    return failure.kind == FailureKind::BadOption ? 2 : 1;
}

int tellFailure(const std::string& text, std::ostream& err)
{
    endProgress();
    err << "tarnwick-sim: " << text << '\n';
    return 1;
}

void stopLiveInputsOnInterrupt(const std::vector<std::filesystem::path>& captures)
{
    if (std::any_of(captures.begin(), captures.end(),
                    [](const std::filesystem::path& capture) { return isLiveInput(capture); })) {
        stopReadingOnInterrupt();
    }
}

void showProgress(const std::string& what, double fraction)
{
    static const bool terminal = errorsGoToTerminal();
    static auto last = std::chrono::steady_clock::time_point{};
    if (!terminal) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(200)) {
        return;
    }
    last = now;
    fmt::print(stderr, "\r{}: {:3.0f}%", what, fraction * 100.0);
    std::fflush(stderr);
    progressShown = true;
}

void endProgress()
{
    if (progressShown) {
        fmt::print(stderr, "\r{:79}\r", ""); // no escape codes: a Windows console shows them
        std::fflush(stderr);
        progressShown = false;
    }
}

} // namespace sim
