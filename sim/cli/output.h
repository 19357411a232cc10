// Output shared by the subcommands.
#pragma once

#include <functional>
#include <string_view>

#include "sim/capture/capture.h"
#include "sim/cli/commands.h"
#include "sim/report/chart.h"
#include "sim/session/session.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace sim {

// Before a command runs: paths made absolute, no output the same file as an input (the captures,
// the settings file), the settings file checked and its warnings said, the chart's or the page's
// file and the log's folder known writable. Returns the exit status to stop with, or 0.
int checkInputsAndOutputs(CommonOptions& common, const std::vector<std::filesystem::path>& captures,
                          std::ostream& err);

// Where the plug-in's log lies when it writes in dir.
std::filesystem::path logFileIn(const std::filesystem::path& dir);

// Why path cannot be written, or empty when it can. Leaves an existing file as it was and no new
// one behind.
std::string cannotWrite(const std::filesystem::path& path);

// Writes an output file (what: "chart", "page") and says where on out unless quiet; false, after
// saying why on err, when it cannot be written.
bool writeOutput(const std::filesystem::path& path, std::string_view what,
                 const std::function<void(std::ostream&)>& write, bool quiet, std::ostream& out,
                 std::ostream& err);
// Writes the SVG chart when one was asked for; false, after saying why, when it cannot be.
bool writeChart(const CommonOptions& options, const SessionResult& result,
                const ChartOptions& chart, std::ostream& out, std::ostream& err);

// With --log-dir and a text report: where the plug-in's lines went.
void sayWhereTheLogIs(const CommonOptions& options, const SessionResult& result, std::ostream& out);

// A capture that could not be replayed, said; the exit status: 2 for an option the capture has
// no use for, else 1.
int captureFailure(const CaptureError& error, std::ostream& err);

// A progress line on a terminal, quiet otherwise.
void showProgress(const std::string& what, double fraction);
void endProgress();

} // namespace sim
