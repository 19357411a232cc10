#include "sim/cli/output.h"
#include "sim/files.h"

#include "sim/cli/console.h"
#include "sim/cli/settings_report.h"
#include "sim/report/chart.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
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

// One file under two names (a link, another spelling, the same folder twice) counts as one.
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
                err << "tarnwick-sim: " << out.what << " " << utf8Of(out.path) << " is " << in.what
                    << ": writing it would destroy it; choose another file\n";
                return 2;
            }
        }
    }
    return 0;
}

} // namespace

std::filesystem::path logFileIn(const std::filesystem::path& dir)
{
    return dir / "Tarnwick.log";
}

// Everything that can be known wrong before the simulation starts is said before it starts.
int checkInputsAndOutputs(CommonOptions& common, const std::vector<std::filesystem::path>& captures,
                          std::ostream& err)
{
    makeAbsolute(common.ini);
    makeAbsolute(common.svg);
    makeAbsolute(common.page);
    makeAbsolute(common.logDir);
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
    if (common.logDir) {
        outputs.push_back({"the plug-in's log in --log-dir", logFileIn(*common.logDir)});
    }
    if (const int status = refuseOverwriting(outputs, inputs, err); status != 0) {
        return status;
    }
    if (common.logDir) {
        if (const std::string why = cannotWrite(logFileIn(*common.logDir)); !why.empty()) {
            err << "tarnwick-sim: cannot write the plug-in's log in " << utf8Of(*common.logDir)
                << ": " << why << '\n';
            return 1;
        }
    }
    if (common.ini && !warnAboutSettings(*common.ini, err)) {
        return 1;
    }
    if (common.svg) {
        if (const std::string why = cannotWrite(*common.svg); !why.empty()) {
            err << "tarnwick-sim: cannot write the chart to " << utf8Of(*common.svg) << ": " << why
                << '\n';
            return 1;
        }
    }
    if (common.page) {
        if (const std::string why = cannotWrite(*common.page); !why.empty()) {
            err << "tarnwick-sim: cannot write the page to " << utf8Of(*common.page) << ": " << why
                << '\n';
            return 1;
        }
    }
    return 0;
}

std::string cannotWrite(const std::filesystem::path& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    const bool existed = std::filesystem::exists(path, error);
    // Appending opens it as writing will, without touching what is there.
    std::FILE* file = openFile(path, "ab");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    if (!existed) {
        std::filesystem::remove(path, error);
    }
    return {};
}

bool writeOutput(const std::filesystem::path& path, std::string_view what,
                 const std::function<void(std::ostream&)>& write, bool quiet, std::ostream& out,
                 std::ostream& err)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (file) {
        write(file);
        file.close();
    }
    if (!file) {
        err << "tarnwick-sim: cannot write the " << what << " to " << utf8Of(path) << '\n';
        return false;
    }
    if (!quiet) {
        out << what << ": " << utf8Of(path) << '\n';
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

void sayWhereTheLogIs(const CommonOptions& options, const SessionResult& result, std::ostream& out)
{
    if (!options.logDir || options.json) {
        return;
    }
    const bool logged = result.enabled && result.settings.logging && !result.purges.empty();
    out << "plug-in log: " << utf8Of(logFileIn(*options.logDir))
        << (logged ? " (" + std::to_string(result.purges.size()) + " lines added)"
                   : " (nothing added: no purge was logged)")
        << '\n';
}

int captureFailure(const CaptureError& error, std::ostream& err)
{
    endProgress();
    err << "tarnwick-sim: " << error.what() << '\n';
    return dynamic_cast<const CaptureOptionError*>(&error) != nullptr ? 2 : 1;
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
