#include "sim/cli/output.h"

#include "sim/cli/terminal.h"
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

std::string cannotWrite(const std::filesystem::path& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    const bool existed = std::filesystem::exists(path, error);
    // Appending opens it as writing will, without touching what is there.
    std::FILE* file = std::fopen(path.string().c_str(), "ab");
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
                const std::string& title, std::ostream& out, std::ostream& err)
{
    if (!options.svg) {
        return true;
    }
    std::ofstream file(*options.svg, std::ios::binary | std::ios::trunc);
    if (file) {
        sim::writeSvg(file, result, title);
        file.close();
    }
    if (!file) {
        err << "tarnwick-sim: cannot write the chart to " << options.svg->string() << '\n';
        return false;
    }
    if (!options.json) {
        out << "chart: " << options.svg->string() << '\n';
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
        fmt::print(stderr, "\r\033[K");
        std::fflush(stderr);
        progressShown = false;
    }
}
