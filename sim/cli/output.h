// Output shared by the subcommands.
#pragma once

#include <functional>
#include <initializer_list>
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
// file and the log's folder known writable. movablePage, a page the tool placed itself, is only
// kept off the inputs: where it cannot go, it goes elsewhere. Returns the exit status to stop
// with, or 0.
int checkInputsAndOutputs(CommonOptions& common, const std::vector<std::filesystem::path>& captures,
                          std::ostream& err,
                          const std::optional<std::filesystem::path>& movablePage = std::nullopt);

// One file under two names (a link, another spelling, the same folder twice) counts as one.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// Where the plug-in's log lies when it writes in dir.
std::filesystem::path logFileIn(const std::filesystem::path& dir);

// What write puts out, as one text: an output is written whole or not at all.
std::string rendered(const std::function<void(std::ostream&)>& write);

// Writes an output file whole (what: "chart", "page") and says where on out unless quiet; else the
// failure, told as writing "the chart" (an earlier file there is left as it was).
Result<Done> writeOutput(const std::filesystem::path& path, std::string_view what,
                         const std::function<void(std::ostream&)>& write, bool quiet,
                         std::ostream& out);
// Writes the SVG chart when one was asked for.
Result<Done> writeChart(const CommonOptions& options, const SessionResult& result,
                        const ChartOptions& chart, std::ostream& out);

// With --log-dir: the plug-in's lines (log, from a session that ended as result) appended to the
// log there, as the plug-in appends, all or none, and with a text report where they went and how
// many; a failure when they could not be, or were lost in the temporary folder.
Result<Done> keepPluginLog(const CommonOptions& options, const std::string& log,
                           const SessionResult& result, std::ostream& out);
// run --record: the plug-in's frame record written whole to the file; a failure when there is
// none (Record is not set) or it cannot be written.
Result<Done> keepPluginRecord(const CommonOptions& options, const std::string& record,
                              std::ostream& out);

// A failure told on err as the tool's own line (failureText), the progress line ended first; the
// exit status: 2 for an option the input has no use for, else 1.
int tellFailure(const Failure& failure, std::ostream& err);
// Each failure among results told in order; the exit status of the last, 0 when none failed.
int tellFailures(std::initializer_list<const Result<Done>*> results, std::ostream& err);

// With any capture read as it comes, Ctrl+C ends the reading, not the work
// (stopReadingOnInterrupt).
void stopLiveInputsOnInterrupt(const std::vector<std::filesystem::path>& captures);

// A progress line on a terminal, quiet otherwise.
void showProgress(const std::string& what, double fraction);
void endProgress();

} // namespace sim
