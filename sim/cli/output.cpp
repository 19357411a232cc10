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
                return tellFailure({FailureKind::BadOption,
                                    {},
                                    0,
                                    out.what + " " + shownPath(out.path) + " is " + in.what +
                                        ": writing it would destroy it; choose another file"},
                                   err);
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
    // As the write would fail, each said as that output's: "cannot write the chart to FILE: ...".
    const auto writable = [&](const std::filesystem::path& file, FailureAct act, const char* output,
                              const std::filesystem::path& told) {
        Result<Done> probed = probeWritable(file);
        if (probed) {
            return 0;
        }
        Failure failure = toldAs(probed.failure(), act, output);
        failure.path = told;
        return tellFailure(failure, err);
    };
    if (common.logDir) {
        if (const int status = writable(logFileIn(*common.logDir), FailureAct::WriteIn,
                                        "the plug-in's log", *common.logDir)) {
            return status;
        }
    }
    if (common.record) {
        if (const int status =
                writable(*common.record, FailureAct::Write, "the frame record", *common.record)) {
            return status;
        }
    }
    if (common.ini && !warnAboutSettings(*common.ini, err)) {
        return 1;
    }
    if (common.svg) {
        if (const int status = writable(*common.svg, FailureAct::Write, "the chart", *common.svg)) {
            return status;
        }
    }
    if (common.page) {
        if (const int status =
                writable(*common.page, FailureAct::Write, "the page", *common.page)) {
            return status;
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

Result<Done> writeOutput(const std::filesystem::path& path, std::string_view what,
                         const std::function<void(std::ostream&)>& write, bool quiet,
                         std::ostream& out)
{
    if (Result<Done> written = writeWhole(path, rendered(write)); !written) {
        return toldAs(written.failure(), FailureAct::Write, "the " + std::string(what));
    }
    if (!quiet) {
        out << what << ": " << shownPath(path) << '\n';
    }
    return Done{};
}

Result<Done> writeChart(const CommonOptions& options, const SessionResult& result,
                        const ChartOptions& chart, std::ostream& out)
{
    if (!options.svg) {
        return Done{};
    }
    return writeOutput(
        *options.svg, "chart", [&](std::ostream& file) { writeSvg(file, result, chart); },
        options.json, out);
}

Result<Done> keepPluginRecord(const CommonOptions& options, const std::string& record,
                              std::ostream& out)
{
    if (!options.record) {
        return Done{};
    }
    if (record.empty()) {
        return Failure{FailureKind::Setup,
                       {},
                       0,
                       "no frame record to write to " + shownPath(*options.record) +
                           ": the plug-in records only with Record=1 (or 2) under [Main] in the "
                           "--ini file"};
    }
    if (Result<Done> written = writeWhole(*options.record, record); !written) {
        return toldAs(written.failure(), FailureAct::Write, "the frame record");
    }
    if (!options.json) {
        out << "frame record: " << shownPath(*options.record) << " (up to the last whole second)\n";
    }
    return Done{};
}

Result<Done> keepPluginLog(const CommonOptions& options, const std::string& log,
                           const SessionResult& result, std::ostream& out)
{
    if (!options.logDir) {
        return Done{};
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
        return Failure{FailureKind::Setup,
                       {},
                       0,
                       fmt::format("the plug-in could write only {} of its {} log lines in the "
                                   "temporary folder {} (a full disk?): nothing was added to {}; "
                                   "free some space there, or set TMPDIR to a folder on another "
                                   "disk",
                                   lines, logged, shownPath(temp), shownPath(file))};
    }
    if (log.empty()) {
        if (!options.json) {
            out << "plug-in log: " << shownPath(file) << " (nothing added: no purge was logged)\n";
        }
        return Done{};
    }
    const std::uint64_t added = lines + (log.back() == '\n' ? 0 : 1);
    const char* noun = added == 1 ? " line" : " lines";
    if (Result<Done> appended = appendWhole(file, log); !appended) {
        return toldAs(appended.failure(), FailureAct::Add,
                      "the plug-in's " + std::to_string(added) + noun);
    }
    if (!options.json) {
        out << "plug-in log: " << shownPath(file) << " (" << added << noun << " added)\n";
    }
    return Done{};
}

int tellFailure(const Failure& failure, std::ostream& err)
{
    endProgress();
    err << "tarnwick-sim: " << failureText(failure) << '\n';
    return failure.kind == FailureKind::BadOption ? 2 : 1;
}

int tellFailures(std::initializer_list<const Result<Done>*> results, std::ostream& err)
{
    int status = 0;
    for (const Result<Done>* result : results) {
        if (!*result) {
            status = tellFailure(result->failure(), err);
        }
    }
    return status;
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
