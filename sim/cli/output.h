// Output shared by the subcommands.
#pragma once

#include "sim/cli/commands.h"
#include "sim/report/report.h"
#include "sim/session/session.h"

#include <filesystem>
#include <ostream>
#include <string>

// Before a command runs: paths made absolute, the log folder entered, the settings file's
// warnings said, the chart's file known writable. Returns the exit status to stop with, or 0.
int prepareOutputs(CommonOptions& common, std::ostream& err);

// Why path cannot be written, or empty when it can. Leaves an existing file as it was and no new
// one behind.
std::string cannotWrite(const std::filesystem::path& path);

// Writes the SVG chart when one was asked for; false, after saying why, when it cannot be.
bool writeChart(const CommonOptions& options, const sim::SessionResult& result,
                const sim::ChartOptions& chart, std::ostream& out, std::ostream& err);

// A progress line on a terminal, quiet otherwise.
void showProgress(const std::string& what, double fraction);
void endProgress();
