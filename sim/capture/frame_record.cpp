// The frame record's rows: timeMs,frameTimeMs,state,nearVehicles,farVehicles,missionVehicles,
// vehiclesTaken,event. The plug-in writes whole lines only, so a last line without its end is a
// copy taken while the game wrote: left out, and said.
#include "sim/capture/frame_record.h"

#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/files.h"

#include "record/record.h"

#include <charconv>

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

int countIn(std::string_view cell)
{
    int value = 0;
    std::from_chars(cell.data(), cell.data() + cell.size(), value);
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

void keepEvents(const std::vector<std::string_view>& cells, std::uint64_t frame, double timeMs,
                FrameRecordFile& keep)
{
    const std::string_view event = trim(cells[EventCell]);
    if (!trim(cells[FarCell]).empty()) {
        keep.counts.push_back({frame, timeMs, countIn(cells[NearCell]), countIn(cells[FarCell]),
                               countIn(cells[MissionCell])});
    }
    if (event == recordPurgeEvent || event == recordWithheldEvent) {
        keep.purges.push_back({frame, timeMs, countIn(cells[TakenCell]), countIn(cells[FarCell]),
                               event == recordWithheldEvent});
    }
    if (event.starts_with(recordStoppedEvent)) {
        keep.stoppedAtLimit = true;
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
    std::string_view line;
    std::vector<std::string_view> cells;
    std::uint64_t frames = 0;
    double clockMs = 0;
    while (reader.next(line)) {
        if (reader.lineNumber() == 1 && keep != nullptr) {
            readHeader(withoutBom(line), *keep);
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
        if (splitCsv(line, cells, RecordCells) < RecordCells) {
            failCapture(path, reader.lineNumber(),
                        "a frame record's row has fewer than its 8 cells");
        }
        double ms = 0;
        const bool frame = parseCell(cells[FrameCell], ms, path, reader.lineNumber(),
                                     "frameTimeMs") == Cell::Value;
        if (frame) {
            ++frames;
            clockMs += ms > 0 ? ms : 0;
            onFrame(ms);
        }
        if (keep != nullptr) {
            keepEvents(cells, frames, clockMs, *keep);
        }
    }
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
            reader, path, {}, [&record](double ms) { record.frameTimesMs.push_back(ms); }, summary,
            &record);
        if (record.header.empty() || !isFrameRecordTitle(record.header)) {
            failCapture(path, 1, "not a Tarnwick frame record");
        }
        return record;
    } catch (const CaptureError& error) {
        return error.failure;
    }
}

} // namespace sim
