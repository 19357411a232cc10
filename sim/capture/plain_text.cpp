// Plain text: one frame time in milliseconds per line, as simple tools and scripts write it.
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/line_reader.h"
#include "sim/files.h"

namespace sim {

void readPlainText(LineReader& reader, const std::filesystem::path& path,
                   const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary)
{
    std::string_view line;
    std::uint64_t frames = 0;
    while (reader.next(line)) {
        const std::string_view cell = reader.lineNumber() == 1 ? withoutBom(line) : line;
        if (trim(cell).empty()) {
            continue;
        }
        if (reader.lineNumber() % progressEveryLines == 0) {
            reportProgress(options, reader.bytesConsumed(), reader.fileSize());
        }
        // After lines that ended, one that does not may be any part of its number.
        const bool earlierLines = frames + summary.skippedCells > 0;
        if (!reader.lineEnded() && (isCutNumber(cell) || (earlierLines && mayBeCutNumber(cell)))) {
            summary.cutLastLineBytes = line.size();
            break;
        }
        double ms = 0;
        if (parseCell(cell, ms, path, reader.lineNumber(), "1") == Cell::Skipped) {
            ++summary.skippedCells;
            continue;
        }
        ++frames;
        onFrame(ms);
    }
    summary.application = isStandardInput(path) ? "standard input" : utf8Of(path.filename());
    summary.frameTimesFrom = "one value per line";
    summary.applications = {{summary.application, frames}};
}

} // namespace sim
