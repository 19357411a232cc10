// The frame record: a row a frame of what the governor saw and did, in a CSV file beside the log.
// Its whole state lives in the script's own FrameRecord; rows gather in a buffer that is written at
// most once a second, whole lines only, so a game that crashes leaves a file readable to its last
// line.
#pragma once

#include "governor/purge.h"
#include "governor/state.h"
#include "settings/settings.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The first cell of the file's first line, by which the tools know a record.
inline constexpr const char* recordTitle = "Tarnwick frame record";
inline constexpr const char* recordColumns = "timeMs,frameTimeMs,state,nearVehicles,farVehicles,"
                                             "missionVehicles,vehiclesTaken,event";
inline constexpr const char* recordNamePrefix = "Tarnwick-record-";

// Past this the record ends with a line saying so: about 10 hours at 60 fps, 4 at 144.
inline constexpr std::uint64_t recordLimitMiB = 64;
inline constexpr std::uint64_t recordLimitBytes = recordLimitMiB * 1024 * 1024;
inline constexpr std::uint32_t recordWriteEveryMs = 1000;
inline constexpr std::uint32_t recordCountEveryMs = 1000;
// Written sooner when a second gathers more than this (a clock that stands still).
inline constexpr std::size_t recordBufferBytes = 256 * 1024;

inline constexpr const char* recordPurgeEvent = "purge";
inline constexpr const char* recordWithheldEvent = "purge withheld (Record=2)";
// The last line's event at the limit, followed by recordLimitMiB and " MiB".
inline constexpr const char* recordStoppedEvent = "recording stopped: size limit of ";

struct FrameRecord {
    bool active = false; // false: never opened, or stopped by the limit or a failed write
    std::string name;    // relative to the log's folder
    std::string buffer;  // whole lines not yet written
    std::uint32_t startTickMs = 0;
    std::uint32_t lastWriteTickMs = 0;
    std::uint32_t lastCountTickMs = 0;
    std::uint64_t writtenBytes = 0; // what the file holds
};

// One frame as the record keeps it.
struct RecordRow {
    std::uint32_t tickMs = 0;
    float frameTimeSeconds = 0;
    PerfState state = PerfState::Normal;
    bool counted = false; // counts holds this frame's vehicles (before a purge)
    VehicleCounts counts;
    int taken = -1; // the vehicles a purge took; -1: none ran
    const char* event = "";
};

// in: settings, tickMs. Creates a new file named with the local time (never one that exists) and
// writes its two header lines; inactive when no file can be made.
FrameRecord openRecord(const GovernorSettings& settings, std::uint32_t tickMs);

// True when a second has passed since the last vehicle count.
bool countDue(const FrameRecord& record, std::uint32_t tickMs);

// Formats the row into the buffer; notes the count's time when the row carries one.
void addRow(FrameRecord& record, const RecordRow& row);

// Writes the buffer when a second has passed since the last write or it has grown large.
void writeRecordWhenDue(FrameRecord& record, std::uint32_t tickMs);
