// The plug-in's own frame record (Record=1 or 2 in Tarnwick.ini) read back: its frames for a
// replay, and its purges and vehicle counts for what each purge gained.
#pragma once

#include "sim/capture/capture.h"
#include "sim/capture/line_reader.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Times are the replay's clock: the frame times read up to and including the frame.
struct RecordedPurge {
    std::uint64_t frame = 0;
    double timeMs = 0;
    int taken = 0;         // the vehicles it took; 0 for one withheld
    int distantBefore = 0; // the ambient vehicles beyond the range before it
    bool withheld = false; // Record=2: due, but not run
};

struct RecordedCount {
    std::uint64_t frame = 0;
    double timeMs = 0;
    int nearby = 0;
    int distant = 0;
    int mission = 0;
};

struct FrameRecordFile {
    std::string header;      // the first line: version, build, start and settings
    int recordMode = 1;      // Record= of the header
    double fpsModerate = 45; // FPS_Moderate= of the header
    double fpsCritical = 35; // FPS_Critical= of the header
    std::vector<double> frameTimesMs;
    std::vector<RecordedPurge> purges;
    std::vector<RecordedCount> counts;
    bool stoppedAtLimit = false;
    // Purge rows left out of what purges gained: counts the plug-in could not have written, or a
    // purge sooner than it purges.
    std::uint64_t purgesSetAside = 0;
    double lastPurgeTickMs = 0;          // timeMs of the last purge kept
    std::uint64_t framesWithoutRate = 0; // NaN or -inf frame times, replayed as 0 ms
    std::uint64_t framesAsleep = 0;      // inf or over an hour, replayed as an hour
};

// True for the first line of a record, whatever follows its first cell.
bool isFrameRecordTitle(std::string_view line);

// Reads the rows after the two header lines, giving each frame time to onFrame; keep, when given,
// receives the header, the purges, the counts and the frame times.
void readFrameRecord(LineReader& reader, const std::filesystem::path& path,
                     const CaptureOptions& options, const std::function<void(double)>& onFrame,
                     CaptureSummary& summary, FrameRecordFile* keep = nullptr);

// The whole record, frames included; a Failure naming file and line for one that is not whole.
Result<FrameRecordFile> loadFrameRecord(const std::filesystem::path& path);

} // namespace sim
