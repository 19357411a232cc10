#include "sim/cli/output.h"
#include "sim/files.h"

#include "sim/cli/console.h"
#include "sim/cli/settings_report.h"
#include "sim/report/report.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

bool progressShown = false;

} // namespace

namespace {

// Paths given relative to where the user stands stay so after the log folder is entered.
void makeAbsolute(std::optional<std::filesystem::path>& path)
{
    if (path) {
        path = std::filesystem::absolute(*path);
    }
}

} // namespace

// Everything that can be known wrong before the simulation starts is said before it starts.
int prepareOutputs(CommonOptions& common, std::ostream& err)
{
    makeAbsolute(common.ini);
    makeAbsolute(common.svg);
    if (common.logDir) {
        std::error_code error;
        std::filesystem::current_path(*common.logDir, error);
        if (error) {
            err << "tarnwick-sim: cannot enter " << sim::utf8Of(*common.logDir) << ": "
                << error.message() << '\n';
            return 2;
        }
    }
    if (common.ini) {
        warnAboutSettings(*common.ini, err);
    }
    if (common.svg) {
        if (const std::string why = cannotWrite(*common.svg); !why.empty()) {
            err << "tarnwick-sim: cannot write the chart to " << sim::utf8Of(*common.svg) << ": "
                << why << '\n';
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
    std::FILE* file = sim::openFile(path, "ab");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    if (!existed) {
        std::filesystem::remove(path, error);
    }
    return {};
}

bool writeChart(const CommonOptions& options, const sim::SessionResult& result,
                const sim::ChartOptions& chart, std::ostream& out, std::ostream& err)
{
    if (!options.svg) {
        return true;
    }
    std::ofstream file(*options.svg, std::ios::binary | std::ios::trunc);
    if (file) {
        sim::writeSvg(file, result, chart);
        file.close();
    }
    if (!file) {
        err << "tarnwick-sim: cannot write the chart to " << sim::utf8Of(*options.svg) << '\n';
        return false;
    }
    if (!options.json) {
        out << "chart: " << sim::utf8Of(*options.svg) << '\n';
    }
    return true;
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
