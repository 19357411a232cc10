// Formatting and writing of the frame record. Numbers go through std::to_chars, which no locale a
// game sets can turn into decimal commas.
#include "record/record.h"

#include "host/platform.h"
#include "log/log.h"

#include <charconv>
#include <cmath>
#include <cstring>

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace {

// Room kept below the limit for the line that says recording stopped.
constexpr std::uint64_t stopLineBytes = 128;
// Sessions started within the same second get "-2", "-3", ... after the stamp.
constexpr int namesTried = 100;

struct Line {
    char text[192];
    char* end = text;
    void add(const char* s)
    {
        const std::size_t n = std::strlen(s);
        const std::size_t room = static_cast<std::size_t>(text + sizeof text - end);
        const std::size_t taken = n < room ? n : room;
        std::memcpy(end, s, taken);
        end += taken;
    }
    template <class T> void number(T value)
    {
        end = std::to_chars(end, text + sizeof text, value).ptr;
    }
    void milliseconds(float seconds)
    {
        const double ms = static_cast<double>(seconds) * 1000.0;
        // As the game gave it: the tools read these back as the plug-in took them.
        if (!std::isfinite(ms)) {
            return add(std::isnan(ms) ? "nan" : (ms > 0 ? "inf" : "-inf"));
        }
        end = std::to_chars(end, text + sizeof text, ms, std::chars_format::fixed, 3).ptr;
    }
};

void addSetting(std::string& out, const SettingKey& key, std::int64_t value)
{
    Line line;
    line.add(",");
    line.add(key.name);
    line.add("=");
    line.number(value);
    out.append(line.text, line.end);
}

std::string headerOf(const GovernorSettings& settings, const char* stamp)
{
    std::string out = recordTitle;
    out += ",version " TARNWICK_VERSION ",build ";
    // The log's stamp without its brackets: "[Jun 28 2026 17:17:51] ".
    const std::size_t stampLength = std::strlen(buildStamp);
    out.append(buildStamp + 1, stampLength > 3 ? stampLength - 3 : 0);
    out += ",started ";
    out += stamp;
    // Signed as the plug-in holds them: a threshold of -1 reads back as -1, not as 2^64 - 1.
    addSetting(out, recordKey, static_cast<std::int64_t>(settings.record));
    addSetting(out, loggingKey, settings.logging ? 1 : 0);
    addSetting(out, fpsModerateKey, settings.fpsModerate);
    addSetting(out, fpsCriticalKey, settings.fpsCritical);
    addSetting(out, detectionRangeKey, static_cast<std::int64_t>(settings.detectionRange));
    out += "\n";
    out += recordColumns;
    out += "\n";
    return out;
}

// All of the bytes or, when the write went in part, none: the file is cut back to its lines.
bool appendWhole(FrameRecord& record, const std::string& bytes)
{
    if (platformAppendRecord(record.name.c_str(), bytes.data(), bytes.size())) {
        record.writtenBytes += bytes.size();
        return true;
    }
    platformCutRecord(record.name.c_str(), record.writtenBytes);
    return false;
}

void stop(FrameRecord& record)
{
    record.active = false;
    std::string().swap(record.buffer); // the memory goes back too
}

std::string stopLine(std::uint32_t timeMs)
{
    Line line;
    line.number(timeMs);
    line.add(",,,,,,,");
    line.add(recordStoppedEvent);
    line.number(recordLimitMiB);
    line.add(" MiB\n");
    return std::string(line.text, line.end);
}

void writeOut(FrameRecord& record, std::uint32_t tickMs)
{
    record.lastWriteTickMs = tickMs;
    const std::uint64_t room = recordLimitBytes - stopLineBytes - record.writtenBytes;
    const bool full = record.buffer.size() > room;
    if (full) {
        // The lines that fit, whole, then the last line.
        const std::size_t lastEnd = record.buffer.rfind('\n', static_cast<std::size_t>(room));
        record.buffer.resize(lastEnd == std::string::npos ? 0 : lastEnd + 1);
        record.buffer += stopLine(tickMs - record.startTickMs);
    }
    // A failed write stops the record, never the governor.
    if (!appendWhole(record, record.buffer) || full) {
        return stop(record);
    }
    record.buffer.clear();
}

} // namespace

FrameRecord openRecord(const GovernorSettings& settings, std::uint32_t tickMs)
{
    FrameRecord record;
    char stamp[32] = {};
    platformLocalStamp(stamp, sizeof stamp);
    stamp[sizeof stamp - 1] = '\0';
    for (int attempt = 1; attempt <= namesTried && !record.active; ++attempt) {
        Line name;
        name.add(recordNamePrefix);
        name.add(stamp);
        if (attempt > 1) {
            name.add("-");
            name.number(attempt);
        }
        name.add(".csv");
        record.name.assign(name.text, name.end);
        record.active = platformCreateRecord(record.name.c_str());
    }
    if (!record.active) {
        return record; // no file: the governor goes on unrecorded
    }
    record.startTickMs = tickMs;
    record.lastWriteTickMs = tickMs;
    record.lastCountTickMs = tickMs - recordCountEveryMs; // the first frame counts
    record.buffer.reserve(recordBufferBytes);
    if (!appendWhole(record, headerOf(settings, stamp))) {
        stop(record);
    }
    return record;
}

bool countDue(const FrameRecord& record, std::uint32_t tickMs)
{
    return record.active && tickMs - record.lastCountTickMs >= recordCountEveryMs;
}

void addRow(FrameRecord& record, const RecordRow& row)
{
    if (!record.active) {
        return;
    }
    Line line;
    line.number(row.tickMs - record.startTickMs);
    line.add(",");
    line.milliseconds(row.frameTimeSeconds);
    line.add(",");
    line.add(perfStateName(row.state));
    line.add(",");
    if (row.counted) {
        record.lastCountTickMs = row.tickMs;
        line.number(row.counts.nearby);
        line.add(",");
        line.number(row.counts.distant);
        line.add(",");
        line.number(row.counts.mission);
    } else {
        line.add(",,");
    }
    line.add(",");
    if (row.taken >= 0) {
        line.number(row.taken);
    }
    line.add(",");
    line.add(row.event);
    line.add("\n");
    record.buffer.append(line.text, line.end);
}

void writeRecordWhenDue(FrameRecord& record, std::uint32_t tickMs)
{
    if (!record.active) {
        return;
    }
    if (tickMs - record.lastWriteTickMs >= recordWriteEveryMs ||
        record.buffer.size() >= recordBufferBytes) {
        writeOut(record, tickMs);
    }
}
