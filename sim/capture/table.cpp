// The capture tools' CSV tables: PresentMon of every version, OCAT and MangoHud differ only in
// where the header is and which column holds the frame time. A table often interleaves several
// processes; one application is replayed (see capture.h for the reading contract).
#include "sim/ascii.h"
#include "sim/capture/applications.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/line_reader.h"
#include "sim/capture/samples.h"
#include "sim/files.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

namespace sim {
namespace {

// Whose frames one read replays.
struct Target {
    std::optional<std::string> application; // none: count only, or adopt as below
    bool adoptFirstGame = false;            // replay the first application that is not dwm.exe
};

// What one read of the table found.
struct TableRead {
    AppCounter counter;
    std::uint64_t skippedCells = 0;
    std::string frameTimesFrom;
    std::optional<std::string> replayed;
    std::size_t targetIs = noField; // the application targetMatches was found for
    bool targetMatches = false;
    ClockWatch clock;
    std::uint64_t cutLineBytes = 0;
};

// The header's line as read, for what the rows must match.
struct Header {
    FieldPlaces places;
    std::size_t fieldCount = 0;
    std::uint64_t line = 0;
    std::string text;
};

Header findHeader(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                  std::vector<std::string_view>& fields)
{
    std::string_view line;
    while (reader.lineNumber() < table.headerLine && reader.next(line)) {
    }
    if (reader.lineNumber() < table.headerLine) {
        failCapture(path, 0, "no header line naming the columns");
    }
    const bool mango = table.format == CaptureFormat::MangoHud;
    Header header{findFields(trim(line), fields, mango ? "frametime" : ""), fields.size(),
                  reader.lineNumber(), std::string(trim(withoutBom(line)))};
    if (header.places.frameTime == noField) {
        failCapture(path, reader.lineNumber(), "no frame-time column in the header");
    }
    return header;
}

// A header in the middle: two captures joined into one file. The same columns again read on;
// other columns would be read at the wrong places.
[[noreturn]] void failSecondHeader(const std::filesystem::path& path, std::uint64_t lineNumber,
                                   const Header& header)
{
    failCapture(path, lineNumber,
                fmt::format("a second header, naming other columns than line {}: two captures "
                            "joined into one file; give each its own file",
                            header.line));
}

bool namesAFrameTimeField(std::string_view line)
{
    std::vector<std::string_view> fields;
    return findFields(trim(withoutBom(line)), fields, "").frameTime != noField ||
           hasField(fields, "frametime");
}

// Rows hold numbers where the header holds a name: only a row whose frame-time cell starts with
// a letter (NA aside) is looked at as a header.
bool isRepeatedHeader(const std::filesystem::path& path, std::uint64_t lineNumber,
                      std::string_view line, const Header& header,
                      const std::vector<std::string_view>& fields)
{
    const std::string_view cell = trim(fields[header.places.frameTime]);
    const bool word =
        !cell.empty() && std::isalpha(static_cast<unsigned char>(cell.front())) && cell != "NA";
    if (!word || !namesAFrameTimeField(line)) {
        return false;
    }
    if (trim(withoutBom(line)) != header.text) {
        failSecondHeader(path, lineNumber, header);
    }
    return true;
}

// A row never has more cells than the header names: one more (a decimal comma, an unquoted name
// with a comma) puts the frame time in another column. Fewer are fine: OCAT writes its system
// columns on the first row only.
void checkFieldCount(const std::filesystem::path& path, std::uint64_t lineNumber,
                     std::string_view line, std::size_t count, const Header& header)
{
    if (count <= header.fieldCount) {
        return;
    }
    if (namesAFrameTimeField(line)) {
        failSecondHeader(path, lineNumber, header);
    }
    failCapture(path, lineNumber,
                fmt::format("{} cells where the header (line {}) names {} columns: a comma "
                            "inside a number or a name?",
                            count, header.line, header.fieldCount));
}

// One row: counted for its application, and its frame time handed on when it is the target's.
void takeRow(const std::filesystem::path& path, std::uint64_t line, const FieldPlaces& places,
             const std::vector<std::string_view>& fields, std::string_view wholeFile,
             Target& target, TableRead& read, const FrameSink& onFrame)
{
    const bool named = places.application != noField;
    std::string_view app = named ? trim(fields[places.application]) : wholeFile;
    std::string written;
    if (app.find("\"\"") != std::string_view::npos) {
        written = unquoted(app);
        app = written;
    }
    const std::size_t index = read.counter.indexOf(app);
    ++read.counter.apps[index].frames;
    if (!target.application && target.adoptFirstGame && !isSystemProcess(app)) {
        target.application = std::string(app);
        read.targetIs = noField;
    }
    // Rows of one application come in runs: whether it is the target is asked once a run.
    if (read.targetIs != index) {
        read.targetIs = index;
        read.targetMatches = target.application && equalsIgnoringCase(app, *target.application);
    }
    if (!read.targetMatches) {
        return;
    }
    read.replayed = target.application;
    double ms = 0;
    if (parseCell(fields[places.frameTime], ms, path, line, places.frameTimeName) ==
        Cell::Skipped) {
        ++read.skippedCells;
        return;
    }
    if (places.clock < fields.size() && read.clock.clockedRows < rowsToJudgeTheClock) {
        noteClock(path, fields[places.clock], places, ms, read.clock);
    }
    onFrame(ms);
}

// One read of the table from its header to its end: counts every application's frames and hands
// the target's frame times on.
TableRead readRows(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, Target target, const FrameSink& onFrame)
{
    std::vector<std::string_view> fields;
    const Header header = findHeader(reader, path, table, fields);
    const FieldPlaces& places = header.places;
    const bool named = places.application != noField;
    const std::size_t needed = std::max(places.frameTime, named ? places.application : 0) + 1;
    const std::size_t wanted = std::max(needed, places.clock == noField ? 0 : places.clock + 1);
    const std::string wholeFile = utf8Of(path.filename());
    TableRead read;
    read.frameTimesFrom = places.frameTimeName;
    std::uint64_t lines = 0;
    // OCAT writes its system cells on the first row only: a row is short against the one before.
    std::size_t rowCells = header.fieldCount;
    std::string_view line;
    while (reader.next(line)) {
        if (trim(line).empty()) {
            continue;
        }
        if (++lines % progressEveryLines == 0) {
            reportProgress(options, reader.bytesConsumed(), reader.fileSize());
        }
        std::size_t cells = 0;
        const std::size_t got = splitCsv(line, fields, wanted, &cells);
        // A tool stopped while writing leaves its last line cut, with no line end.
        const bool unended = !reader.lineEnded();
        if (got < needed) {
            if (namesAFrameTimeField(line)) {
                failSecondHeader(path, reader.lineNumber(), header);
            }
            if (unended) {
                read.cutLineBytes = line.size();
                break;
            }
            failCapture(path, reader.lineNumber(),
                        "expected at least " + std::to_string(needed) + " columns, found " +
                            std::to_string(got));
        }
        if (isRepeatedHeader(path, reader.lineNumber(), line, header, fields)) {
            continue;
        }
        checkFieldCount(path, reader.lineNumber(), line, cells, header);
        if (unended && (cells < rowCells || isCutNumber(fields[places.frameTime]))) {
            read.cutLineBytes = line.size();
            break;
        }
        rowCells = cells;
        takeRow(path, reader.lineNumber(), places, fields, wholeFile, target, read, onFrame);
    }
    if (read.clock.clockedRows < rowsToJudgeTheClock) {
        refuseSamples(path, places, read.clock);
    }
    return read;
}

TableRead readOnce(const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, Target target, const FrameSink& onFrame)
{
    LineReader reader(path);
    return readRows(reader, path, table, options, std::move(target), onFrame);
}

TableRead readChosen(const std::filesystem::path& path, const Recognised& table,
                     const CaptureOptions& options, const FrameSink& onFrame)
{
    if (options.application) {
        return readOnce(path, table, options, {options.application}, onFrame);
    }
    if (!options.restart) {
        const TableRead counted = readOnce(path, table, options, {}, onFrame);
        return readOnce(path, table, options, {chooseApplication(counted.counter.apps)}, onFrame);
    }
    // Most captures hold one game, found at once: replaying it while counting reads them once.
    TableRead first = readOnce(path, table, options, {std::nullopt, true}, onFrame);
    const std::string best = chooseApplication(first.counter.apps);
    if (best.empty() || (first.replayed && equalsIgnoringCase(*first.replayed, best))) {
        return first;
    }
    options.restart();
    return readOnce(path, table, options, {best}, onFrame);
}

} // namespace

namespace {

void summarise(const std::filesystem::path& path, const CaptureOptions& options,
               const TableRead& read, CaptureSummary& summary)
{
    summary.frameTimesFrom = read.frameTimesFrom;
    summary.skippedCells = read.skippedCells;
    summary.applications = read.counter.apps;
    summary.cutLastLineBytes = read.cutLineBytes;
    if (summary.applications.empty()) {
        failCapture(path, 0,
                    read.cutLineBytes > 0
                        ? "no frames: the capture holds a header and " + cutShortText(summary)
                        : "no frames: the capture holds a header and nothing else");
    }
    const std::string wanted = options.application.value_or(read.replayed.value_or(""));
    const auto replayed =
        std::find_if(summary.applications.begin(), summary.applications.end(),
                     [&](const AppFrames& app) { return equalsIgnoringCase(app.name, wanted); });
    if (replayed == summary.applications.end()) {
        failApplicationMissing(path, wanted, summary.applications);
    }
    summary.application = replayed->name;
}

} // namespace

void readTable(const std::filesystem::path& path, const Recognised& table,
               const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    summarise(path, options, readChosen(path, table, options, onFrame), summary);
}

void readTableLive(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    summarise(path, options,
              readRows(reader, path, table, options, {options.application, true}, onFrame),
              summary);
}

} // namespace sim
