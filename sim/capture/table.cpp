// The capture tools' CSV tables: PresentMon of every version, OCAT and MangoHud differ only in
// where the header is and which column holds the frame time. A table often interleaves several
// processes; one application is replayed (see capture.h for the reading contract).
#include "sim/ascii.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/line_reader.h"
#include "sim/files.h"

#include <algorithm>
#include <optional>
#include <string>

namespace sim {
namespace {

// Whose frames one read replays.
struct Target {
    std::optional<std::string> application; // none: count only, or adopt as below
    bool adoptFirstGame = false;            // replay the first application that is not dwm.exe
};

// What one read of the table found.
struct TableRead {
    std::vector<AppFrames> applications;
    std::uint64_t skippedCells = 0;
    std::string column;
    std::optional<std::string> replayed;
    std::size_t lastHit = 0;         // where the last row's application was counted
    std::size_t targetIs = noColumn; // the application targetMatches was found for
    bool targetMatches = false;
};

bool isCompositor(std::string_view application)
{
    return equalsIgnoringCase(application, "dwm.exe");
}

Columns findHeader(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   std::vector<std::string_view>& fields)
{
    std::string_view line;
    while (reader.lineNumber() < table.headerLine && reader.next(line)) {
    }
    if (reader.lineNumber() < table.headerLine) {
        failCapture(path, 0, "no header line naming the columns");
    }
    const bool mango = table.format == CaptureFormat::MangoHud;
    const Columns columns = findColumns(trim(line), fields, mango ? "frametime" : "");
    if (columns.frameTime == noColumn) {
        failCapture(path, reader.lineNumber(), "no frame-time column in the header");
    }
    return columns;
}

AppFrames& countFor(std::vector<AppFrames>& apps, std::string_view name, std::size_t& lastHit)
{
    if (lastHit < apps.size() && apps[lastHit].name == name) {
        return apps[lastHit];
    }
    const auto found = std::find_if(apps.begin(), apps.end(),
                                    [name](const AppFrames& app) { return app.name == name; });
    if (found != apps.end()) {
        lastHit = static_cast<std::size_t>(found - apps.begin());
        return *found;
    }
    apps.push_back({std::string(name), 0});
    lastHit = apps.size() - 1;
    return apps.back();
}

// One row: counted for its application, and its frame time handed on when it is the target's.
void takeRow(const std::filesystem::path& path, std::uint64_t line, const Columns& columns,
             const std::vector<std::string_view>& fields, std::string_view wholeFile,
             Target& target, TableRead& read, const FrameSink& onFrame)
{
    const bool named = columns.application != noColumn;
    const std::string_view app = named ? trim(fields[columns.application]) : wholeFile;
    ++countFor(read.applications, app, read.lastHit).frames;
    if (!target.application && target.adoptFirstGame && !isCompositor(app)) {
        target.application = std::string(app);
        read.targetIs = noColumn;
    }
    // Rows of one application come in runs: whether it is the target is asked once a run.
    if (read.targetIs != read.lastHit) {
        read.targetIs = read.lastHit;
        read.targetMatches = target.application && equalsIgnoringCase(app, *target.application);
    }
    if (!read.targetMatches) {
        return;
    }
    read.replayed = target.application;
    double ms = 0;
    if (parseCell(fields[columns.frameTime], ms, path, line, columns.frameTimeName) ==
        Cell::Skipped) {
        ++read.skippedCells;
        return;
    }
    onFrame(ms);
}

// One read of the table from its header to its end: counts every application's frames and hands
// the target's frame times on.
TableRead readOnce(const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, Target target, const FrameSink& onFrame)
{
    LineReader reader(path);
    std::vector<std::string_view> fields;
    const Columns columns = findHeader(reader, path, table, fields);
    const bool named = columns.application != noColumn;
    const std::size_t needed = std::max(columns.frameTime, named ? columns.application : 0) + 1;
    const std::string wholeFile = utf8Of(path.filename());
    TableRead read{{}, 0, columns.frameTimeName, std::nullopt, 0, noColumn, false};
    std::uint64_t lines = 0;
    std::string_view line;
    while (reader.next(line)) {
        if (trim(line).empty()) {
            continue;
        }
        if (++lines % progressEveryLines == 0) {
            reportProgress(options, reader.bytesConsumed(), reader.fileSize());
        }
        const std::size_t got = splitCsv(line, fields, needed);
        if (got < needed) {
            failCapture(path, reader.lineNumber(),
                        "expected at least " + std::to_string(needed) + " columns, found " +
                            std::to_string(got));
        }
        takeRow(path, reader.lineNumber(), columns, fields, wholeFile, target, read, onFrame);
    }
    return read;
}

// The one with the most frames, never the desktop compositor unless it is alone.
std::string chooseApplication(const std::vector<AppFrames>& apps)
{
    const AppFrames* best = nullptr;
    for (const AppFrames& app : apps) {
        if (!isCompositor(app.name) && (best == nullptr || app.frames > best->frames)) {
            best = &app;
        }
    }
    if (best == nullptr) {
        return apps.empty() ? std::string() : apps.front().name;
    }
    return best->name;
}

TableRead readChosen(const std::filesystem::path& path, const Recognised& table,
                     const CaptureOptions& options, const FrameSink& onFrame)
{
    if (options.application) {
        return readOnce(path, table, options, {options.application}, onFrame);
    }
    if (!options.restart) {
        const TableRead counted = readOnce(path, table, options, {}, onFrame);
        return readOnce(path, table, options, {chooseApplication(counted.applications)}, onFrame);
    }
    // Most captures hold one game, found at once: replaying it while counting reads them once.
    TableRead first = readOnce(path, table, options, {std::nullopt, true}, onFrame);
    const std::string best = chooseApplication(first.applications);
    if (best.empty() || (first.replayed && equalsIgnoringCase(*first.replayed, best))) {
        return first;
    }
    options.restart();
    return readOnce(path, table, options, {best}, onFrame);
}

} // namespace

void readTable(const std::filesystem::path& path, const Recognised& table,
               const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    const TableRead read = readChosen(path, table, options, onFrame);
    summary.column = read.column;
    summary.skippedCells = read.skippedCells;
    summary.applications = read.applications;
    if (read.applications.empty()) {
        failCapture(path, 0, "no frames: the capture holds a header and nothing else");
    }
    const std::string wanted = options.application.value_or(read.replayed.value_or(""));
    const auto replayed =
        std::find_if(read.applications.begin(), read.applications.end(),
                     [&](const AppFrames& app) { return equalsIgnoringCase(app.name, wanted); });
    if (replayed == read.applications.end()) {
        failCapture(path, 0,
                    "application '" + wanted + "' is not in the capture; it holds " +
                        listApplications(read.applications));
    }
    summary.application = replayed->name;
}

} // namespace sim
