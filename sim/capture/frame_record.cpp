// The frame record's rows: timeMs,frameTimeMs,state,nearVehicles,farVehicles,missionVehicles,
// vehiclesTaken,event. The plug-in writes whole lines only, so a last line without its end is a
// copy taken while the game wrote: left out, and said.
#include "sim/capture/frame_record.h"

#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/files.h"
#include "sim/text.h"

#include "record/record.h"

#include "governor/state.h"

#include <fmt/format.h>

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace sim {
namespace {

enum RecordCell : std::size_t {
    TimeCell,
    FrameCell,
    StateCell,
    NearCell,
    FarCell,
    MissionCell,
    TakenCell,
    EventCell,
    RecordCells
};

// Where each of the record's columns stands in a row, from its columns line: a spreadsheet may
// have moved them, a later plug-in may add some. noField for one the line does not name.
using ColumnPlaces = std::array<std::size_t, RecordCells>;

ColumnPlaces placesOf(std::string_view line, const std::filesystem::path& path,
                      std::size_t& columns)
{
    std::vector<std::string_view> names;
    std::vector<std::string_view> wanted;
    splitCsv(recordColumns, wanted, SIZE_MAX);
    columns = splitCsv(line, names, SIZE_MAX);
    ColumnPlaces places;
    places.fill(noField);
    for (std::size_t column = 0; column < names.size(); ++column) {
        for (std::size_t cell = 0; cell < RecordCells; ++cell) {
            if (trim(names[column]) == wanted[cell] && places[cell] == noField) {
                places[cell] = column;
            }
        }
    }
    if (places[FrameCell] == noField) {
        failCapture(path, 2,
                    fmt::format("a frame record's columns line names no frameTimeMs column (it "
                                "reads '{}'): the record's columns are {}",
                                shown(line), recordColumns));
    }
    return places;
}

// The row's cells in the record's own order, whatever order its columns line gave.
void placeCells(const std::vector<std::string_view>& row, const ColumnPlaces& places,
                std::vector<std::string_view>& cells)
{
    cells.assign(RecordCells, std::string_view());
    for (std::size_t cell = 0; cell < RecordCells; ++cell) {
        if (places[cell] != noField) {
            cells[cell] = row[places[cell]];
        }
    }
}

int countIn(std::string_view cell)
{
    int value = 0;
    std::from_chars(cell.data(), cell.data() + cell.size(), value);
    return value;
}

// A vehicle count as the plug-in writes it: digits alone, none below 0.
std::optional<int> vehiclesIn(std::string_view cell)
{
    cell = trim(cell);
    int value = 0;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), value);
    if (cell.empty() || error != std::errc() || end != cell.data() + cell.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// Record=N, FPS_Moderate=N and FPS_Critical=N from the header line.
void readHeader(std::string_view line, FrameRecordFile& keep)
{
    keep.header = std::string(line);
    std::vector<std::string_view> cells;
    splitCsv(line, cells, SIZE_MAX);
    for (const std::string_view cell : cells) {
        if (cell.starts_with("Record=")) {
            keep.recordMode = countIn(cell.substr(7));
        } else if (cell.starts_with("FPS_Moderate=")) {
            keep.fpsModerate = countIn(cell.substr(13));
        } else if (cell.starts_with("FPS_Critical=")) {
            keep.fpsCritical = countIn(cell.substr(13));
        }
    }
}

// A purge whose counts the plug-in could not have written, or that came sooner than it purges,
// would make up what purges gain: it is set aside, counted, and said.
bool purgeAsWritten(const std::vector<std::string_view>& cells, bool withheld,
                    const FrameRecordFile& keep, double& tickMs)
{
    const std::optional<int> far = vehiclesIn(cells[FarCell]);
    const std::optional<int> taken = vehiclesIn(cells[TakenCell]);
    if (!far || (!withheld && (!taken || *taken > *far))) {
        return false;
    }
    double at = 0;
    const std::string_view time = trim(cells[TimeCell]);
    const auto [end, error] = std::from_chars(time.data(), time.data() + time.size(), at);
    if (error != std::errc() || end != time.data() + time.size() || !std::isfinite(at)) {
        return false;
    }
    tickMs = at;
    return keep.purges.empty() || at - keep.lastPurgeTickMs > purgeIntervalMs;
}

void keepEvents(const std::vector<std::string_view>& cells, std::uint64_t frame, double timeMs,
                FrameRecordFile& keep)
{
    const std::string_view event = trim(cells[EventCell]);
    const std::optional<int> far = vehiclesIn(cells[FarCell]);
    if (far) {
        keep.counts.push_back(
            {frame, timeMs, countIn(cells[NearCell]), *far, countIn(cells[MissionCell])});
    }
    if (event == recordPurgeEvent || event == recordWithheldEvent) {
        const bool withheld = event == recordWithheldEvent;
        double tickMs = 0;
        if (!purgeAsWritten(cells, withheld, keep, tickMs)) {
            ++keep.purgesSetAside;
            return;
        }
        keep.lastPurgeTickMs = tickMs;
        keep.purges.push_back(
            {frame, timeMs, withheld ? 0 : countIn(cells[TakenCell]), *far, withheld});
    }
    if (event.starts_with(recordStoppedEvent)) {
        keep.stoppedAtLimit = true;
    }
}

// The plug-in writes what the game gave it, NaN and infinities too, and lives through them: NaN
// and -inf give no frame rate, as a frame of 0 ms does, so the governor takes its fallback for
// either; inf, or a frame of more than an hour (a machine put to sleep), is below any threshold,
// as the longest frame read is, and a pause. Anything else the capture's own rule reads or
// refuses.
Cell recordFrameTime(std::string_view cell, double& ms, FrameRecordFile& keep,
                     const std::filesystem::path& path, std::uint64_t line)
{
    const std::string_view number = trim(cell);
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), ms);
    if (number.empty() || error != std::errc() || end != number.data() + number.size()) {
        return parseCell(cell, ms, path, line, "frameTimeMs");
    }
    if (std::isnan(ms) || ms == -std::numeric_limits<double>::infinity()) {
        ms = 0;
        ++keep.framesWithoutRate;
    } else if (ms > maxFrameTimeMs) {
        ms = maxFrameTimeMs;
        ++keep.framesAsleep;
    }
    return Cell::Value;
}

// The row's cells in the record's own order; a line that is no row of this record fails, with
// why.
void takeRecordRow(std::string_view line, std::uint64_t lineNumber,
                   const std::filesystem::path& path, const ColumnPlaces& places,
                   std::size_t columns, std::vector<std::string_view>& row,
                   std::vector<std::string_view>& cells)
{
    if (isFrameRecordTitle(line)) {
        failCapture(path, lineNumber,
                    "a second frame record's first line: two records joined into one file; "
                    "give each its own file");
    }
    if (const std::size_t got = splitCsv(line, row, SIZE_MAX); got != columns) {
        failCapture(path, lineNumber,
                    fmt::format("a frame record's row of {} cells where its columns line names "
                                "{}{}",
                                got, columns,
                                got > columns ? ": a decimal comma without quotes, perhaps (a "
                                                "spreadsheet's); save it with points"
                                              : ""));
    }
    placeCells(row, places, cells);
}

// A count of rows read otherwise than as written, in words: text names {count}, {s}, {it}.
void sayCounted(std::uint64_t count, std::string_view text, CaptureSummary& summary)
{
    if (count == 0) {
        return;
    }
    summary.rules.push_back(fmt::format(fmt::runtime(text), fmt::arg("count", countText(count)),
                                        fmt::arg("s", count == 1 ? "" : "s"),
                                        fmt::arg("it", count == 1 ? "it" : "them"),
                                        fmt::arg("interval", purgeIntervalMs / 1000)));
}

void sayWhatWasSetAside(const FrameRecordFile& keep, CaptureSummary& summary)
{
    sayCounted(keep.framesWithoutRate,
               "{count} frame time{s} of NaN or -inf, as the game gave {it}: replayed as the "
               "plug-in took {it}, with no frame rate, as a frame of 0 ms",
               summary);
    sayCounted(keep.framesAsleep,
               "{count} frame time{s} of inf or more than an hour (a machine put to sleep, a "
               "debugger): replayed as an hour, below any threshold as the plug-in took {it}, "
               "and a pause, left out of play",
               summary);
    sayCounted(keep.purgesSetAside,
               "{count} purge row{s} set aside: a vehicle count that is not a whole number from 0 "
               "to those beyond the range, or a purge within {interval} s of the one before (the "
               "plug-in purges at most every {interval} s); what purges gained is measured "
               "without {it}",
               summary);
    if (keep.stoppedAtLimit) {
        summary.rules.push_back(fmt::format(
            "the record stopped at its size limit of {} MiB: the game went on, unrecorded, after "
            "its last row; what came after is not here",
            recordLimitMiB));
    }
}

} // namespace

bool isFrameRecordTitle(std::string_view line)
{
    return trim(withoutBom(line)).starts_with(recordTitle);
}

void readFrameRecord(LineReader& reader, const std::filesystem::path& path,
                     const CaptureOptions& options, const std::function<void(double)>& onFrame,
                     CaptureSummary& summary, FrameRecordFile* keep)
{
    // Its events are few (a count a second, a purge every 7 s at most): kept whether asked or
    // not, so what is set aside is said on every read.
    FrameRecordFile events;
    FrameRecordFile& kept = keep != nullptr ? *keep : events;
    std::string_view line;
    std::vector<std::string_view> row;
    std::vector<std::string_view> cells;
    ColumnPlaces places;
    places.fill(noField);
    std::size_t columns = 0;
    std::uint64_t frames = 0;
    double clockMs = 0;
    while (reader.next(line)) {
        if (reader.lineNumber() == 1) {
            readHeader(withoutBom(line), kept);
        }
        if (reader.lineNumber() == 2) {
            places = placesOf(line, path, columns);
        }
        if (reader.lineNumber() <= 2 || trim(line).empty()) {
            continue;
        }
        if (reader.lineNumber() % progressEveryLines == 0) {
            reportProgress(options, reader.bytesConsumed(), reader.fileSize());
        }
        if (!reader.lineEnded()) {
            summary.cutLastLineBytes = line.size();
            break;
        }
        takeRecordRow(line, reader.lineNumber(), path, places, columns, row, cells);
        double ms = 0;
        if (recordFrameTime(cells[FrameCell], ms, kept, path, reader.lineNumber()) == Cell::Value) {
            ++frames;
            clockMs += ms > 0 ? ms : 0;
            if (keep != nullptr) {
                keep->frameTimesMs.push_back(ms);
            }
            onFrame(ms);
        } else if (!trim(cells[EventCell]).starts_with(recordStoppedEvent)) {
            ++summary.skippedCells;
        }
        keepEvents(cells, frames, clockMs, kept);
    }
    sayWhatWasSetAside(kept, summary);
    summary.application = "the game (Tarnwick's frame record)";
    summary.frameTimesFrom = "frameTimeMs, as the plug-in read it";
    summary.applications = {{summary.application, frames}};
}

Result<FrameRecordFile> loadFrameRecord(const std::filesystem::path& path)
{
    try {
        LineReader reader(path);
        FrameRecordFile record;
        CaptureSummary summary;
        readFrameRecord(
            reader, path, {}, [](double) {}, summary, &record);
        if (record.header.empty() || !isFrameRecordTitle(record.header)) {
            failCapture(path, 1, "not a Tarnwick frame record");
        }
        return record;
    } catch (const CaptureError& error) {
        return error.failure;
    }
}

} // namespace sim
