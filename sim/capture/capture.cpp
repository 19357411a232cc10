// Columns are found by name without regard to case, never by position. A capture often holds
// several processes interleaved; one application is replayed.
#include "sim/capture/capture.h"

#include "settings/ascii.h"
#include "sim/capture/line_reader.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <sstream>

namespace sim {
namespace {

constexpr std::uint64_t progressEveryLines = 1 << 16;

std::string_view trim(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view withoutBom(std::string_view line)
{
    if (line.starts_with("\xEF\xBB\xBF")) {
        line.remove_prefix(3);
    }
    return line;
}

[[noreturn]] void fail(const std::filesystem::path& path, std::uint64_t line,
                       const std::string& what)
{
    if (line == 0) {
        throw CaptureError(path.string() + ": " + what);
    }
    throw CaptureError(path.string() + ":" + std::to_string(line) + ": " + what);
}

// Splits at commas outside quotes, up to maxFields; a quoted field is given without its quotes.
// One pass over the bytes: this runs for every line of captures of millions of frames.
std::size_t splitCsv(std::string_view line, std::vector<std::string_view>& fields,
                     std::size_t maxFields)
{
    fields.clear();
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    const char* p = begin;
    while (fields.size() < maxFields) {
        if (p < end && *p == '"') {
            const char* close = p + 1;
            while (close < end && *close != '"') {
                ++close;
            }
            fields.emplace_back(p + 1, static_cast<std::size_t>(close - p - 1));
            p = close;
            while (p < end && *p != ',') {
                ++p;
            }
        } else {
            const char* start = p;
            while (p < end && *p != ',') {
                ++p;
            }
            fields.emplace_back(start, static_cast<std::size_t>(p - start));
        }
        if (p == end) {
            break;
        }
        ++p; // the comma
    }
    return fields.size();
}

enum class Cell { Value, Skipped };

// A frame time in milliseconds; NA and empty cells are skipped, anything else not a number fails.
Cell parseCell(std::string_view cell, double& ms, const std::filesystem::path& path,
               std::uint64_t line, std::string_view column)
{
    cell = trim(cell);
    if (cell.empty() || cell == "NA") {
        return Cell::Skipped;
    }
    const char* first = cell.data();
    if (*first == '+') {
        ++first;
    }
    const char* last = cell.data() + cell.size();
    const auto [end, error] = std::from_chars(first, last, ms);
    if (error == std::errc::result_out_of_range) {
        fail(path, line,
             "frame time '" + std::string(cell) + "' in column " + std::string(column) +
                 " is out of range");
    }
    if (error != std::errc() || end != last) {
        fail(path, line,
             "frame time '" + std::string(cell) + "' in column " + std::string(column) +
                 " is not a number");
    }
    if (!std::isfinite(ms)) {
        fail(path, line,
             "frame time '" + std::string(cell) + "' in column " + std::string(column) +
                 " is not a finite number");
    }
    return Cell::Value;
}

bool isNumberLine(std::string_view line)
{
    line = trim(line);
    double value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    return !line.empty() && error == std::errc() && end == line.data() + line.size();
}

struct Columns {
    std::size_t frameTime = SIZE_MAX;
    std::size_t application = SIZE_MAX;
    std::string frameTimeName;
};

Columns findColumns(std::string_view header, std::vector<std::string_view>& fields,
                    std::string_view frameTimeColumn)
{
    Columns columns;
    splitCsv(withoutBom(header), fields, SIZE_MAX);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::string_view name = trim(fields[i]);
        if (equalsIgnoringCase(name, "Application") && columns.application == SIZE_MAX) {
            columns.application = i;
        }
        if (frameTimeColumn.empty()) {
            // MsBetweenPresents (1.x, 2.3.1+, --v1_metrics) before FrameTime (2.0-2.3.0).
            if (equalsIgnoringCase(name, "MsBetweenPresents") ||
                (equalsIgnoringCase(name, "FrameTime") && columns.frameTimeName.empty())) {
                if (columns.frameTime == SIZE_MAX ||
                    equalsIgnoringCase(name, "MsBetweenPresents")) {
                    columns.frameTime = i;
                    columns.frameTimeName = std::string(name);
                }
            }
        } else if (equalsIgnoringCase(name, frameTimeColumn) && columns.frameTime == SIZE_MAX) {
            columns.frameTime = i;
            columns.frameTimeName = std::string(name);
        }
    }
    return columns;
}

struct Detected {
    CaptureFormat format;
    std::uint64_t headerLine = 0; // CSV formats: the line that names the columns
};

bool hasColumn(const std::vector<std::string_view>& fields, std::string_view name)
{
    return std::any_of(fields.begin(), fields.end(), [name](std::string_view field) {
        return equalsIgnoringCase(trim(field), name);
    });
}

// Overlay and monitoring tools log their sensors at a fixed interval, the frame rate among power,
// clocks and temperatures: one row per sample, which replayed as frames would be plainly wrong.
bool isSampledLogHeader(std::string_view line, std::vector<std::string_view>& fields)
{
    splitCsv(line, fields, SIZE_MAX);
    return hasColumn(fields, "Framerate") && hasColumn(fields, "Frametime");
}

[[noreturn]] void failSampledLog(const std::filesystem::path& path, std::uint64_t line)
{
    fail(path, line,
         "a hardware-monitoring log, not a frame-time capture: its header names Framerate and "
         "Frametime among sensor columns, so it holds one row per sample, not one per frame; "
         "record a per-frame capture instead (PresentMon, OCAT, CapFrameX or MangoHud)");
}

// MangoHud's own layout: system information ("os,cpu,gpu,...") and its values, then the frame
// header "fps,frametime,...". Anything else that merely names a frame time is not MangoHud.
bool startsMangoHudLog(std::string_view firstLine, std::vector<std::string_view>& fields)
{
    splitCsv(firstLine, fields, 1);
    return equalsIgnoringCase(trim(fields.front()), "os");
}

bool isMangoHudFrameHeader(std::string_view line, std::vector<std::string_view>& fields)
{
    splitCsv(line, fields, SIZE_MAX);
    return equalsIgnoringCase(trim(fields.front()), "fps") && hasColumn(fields, "frametime");
}

// Monitoring logs put a line or two of their own before the header.
constexpr std::uint64_t headerSearchLines = 8;

// The first line is none of ours: says why as exactly as the lines after it allow.
[[noreturn]] void failUnrecognised(const std::filesystem::path& path, LineReader& reader,
                                   std::uint64_t first, bool csvLike)
{
    std::vector<std::string_view> fields;
    std::string_view line;
    while (reader.lineNumber() < first + headerSearchLines && reader.next(line)) {
        if (isSampledLogHeader(line, fields)) {
            failSampledLog(path, reader.lineNumber());
        }
    }
    if (csvLike) {
        fail(path, first,
             "no frame-time column: the header names none of MsBetweenPresents, "
             "msBetweenPresents or FrameTime");
    }
    fail(path, first,
         "unrecognised capture format: expected PresentMon or OCAT CSV, CapFrameX JSON, "
         "MangoHud CSV, or one frame time in milliseconds per line");
}

Detected detect(const std::filesystem::path& path)
{
    LineReader reader(path);
    std::string_view line;
    std::vector<std::string_view> fields;
    bool any = false;
    while (reader.next(line)) {
        const std::string_view text = trim(reader.lineNumber() == 1 ? withoutBom(line) : line);
        if (text.empty()) {
            continue;
        }
        any = true;
        if (text.front() == '{') {
            return {CaptureFormat::CapFrameX};
        }
        if (text.starts_with("//")) {
            continue; // older tools put //Key=Value lines before the header
        }
        if (isSampledLogHeader(text, fields)) {
            failSampledLog(path, reader.lineNumber());
        }
        if (findColumns(text, fields, "").frameTime != SIZE_MAX) {
            return {CaptureFormat::PresentMon, reader.lineNumber()};
        }
        if (isNumberLine(text)) {
            return {CaptureFormat::PlainText};
        }
        const std::uint64_t first = reader.lineNumber();
        // Read further lines only after the last look at this one: they may move the buffer.
        const bool csvLike = text.find(',') != std::string_view::npos;
        if (first == 1 && startsMangoHudLog(text, fields)) {
            std::string_view third;
            if (reader.next(third) && reader.next(third) && isMangoHudFrameHeader(third, fields)) {
                return {CaptureFormat::MangoHud, reader.lineNumber()};
            }
        }
        failUnrecognised(path, reader, first, csvLike);
    }
    fail(path, 0, any ? "no frames: the capture holds only comment lines" : "the capture is empty");
}

// A format given by the caller: only the header's line is still to be found.
Detected forced(const std::filesystem::path& path, CaptureFormat format)
{
    if (format == CaptureFormat::MangoHud) {
        return {format, 3};
    }
    if (format != CaptureFormat::PresentMon) {
        return {format};
    }
    LineReader reader(path);
    std::string_view line;
    while (reader.next(line)) {
        const std::string_view text = trim(reader.lineNumber() == 1 ? withoutBom(line) : line);
        if (!text.empty() && !text.starts_with("//")) {
            return {format, reader.lineNumber()};
        }
    }
    fail(path, 0, "the capture is empty");
}

AppFrames& countFor(std::vector<AppFrames>& apps, std::string_view name, std::size_t& lastHit)
{
    if (lastHit < apps.size() && apps[lastHit].name == name) {
        return apps[lastHit];
    }
    for (std::size_t i = 0; i < apps.size(); ++i) {
        if (apps[i].name == name) {
            lastHit = i;
            return apps[i];
        }
    }
    apps.push_back({std::string(name), 0});
    lastHit = apps.size() - 1;
    return apps.back();
}

std::string chooseApplication(const std::vector<AppFrames>& apps)
{
    const AppFrames* best = nullptr;
    for (const AppFrames& app : apps) {
        if (equalsIgnoringCase(app.name, "dwm.exe")) {
            continue; // the desktop compositor, not the game
        }
        if (best == nullptr || app.frames > best->frames) {
            best = &app;
        }
    }
    if (best == nullptr) {
        return apps.empty() ? std::string() : apps.front().name;
    }
    return best->name;
}

std::string listApplications(const std::vector<AppFrames>& apps)
{
    std::string text;
    for (const AppFrames& app : apps) {
        text +=
            (text.empty() ? "" : ", ") + app.name + " (" + std::to_string(app.frames) + " frames)";
    }
    return text.empty() ? "no frames" : text;
}

// Without --app the replayed application is only known at the end. The first application seen
// that is not the compositor is replayed at once; should another turn out to have more frames,
// the caller is told to forget them and the file is read again for that one.
void tableCapture(const std::filesystem::path& path, const Detected& detected,
                  const CaptureOptions& options, const std::function<void(double)>& onFrame,
                  CaptureSummary& summary)
{
    const bool mango = detected.format == CaptureFormat::MangoHud;
    std::vector<std::string_view> fields;
    std::optional<std::string> chosen = options.application;
    const bool decided = chosen.has_value();
    // A caller that cannot forget frames gets a first pass that only counts.
    const bool replayFirstPass = decided || static_cast<bool>(options.restart);
    std::size_t lastHit = 0;

    for (int pass = 0; pass < 2; ++pass) {
        LineReader reader(path);
        std::string_view line;
        while (reader.lineNumber() < detected.headerLine && reader.next(line)) {
        }
        if (reader.lineNumber() < detected.headerLine) {
            fail(path, 0, "no header line naming the columns");
        }
        const Columns columns = findColumns(trim(line), fields, mango ? "frametime" : "");
        if (columns.frameTime == SIZE_MAX) {
            fail(path, reader.lineNumber(), "no frame-time column in the header");
        }
        const bool named = columns.application != SIZE_MAX;
        const std::size_t needed = std::max(columns.frameTime, named ? columns.application : 0) + 1;
        const std::string singleApp = path.filename().string();
        summary.column = columns.frameTimeName;
        summary.applications.clear();
        summary.skippedCells = 0;
        std::uint64_t lines = 0;
        while (reader.next(line)) {
            if (line.empty() || trim(line).empty()) {
                continue;
            }
            if (options.progress && ++lines % progressEveryLines == 0) {
                options.progress(
                    static_cast<double>(reader.bytesConsumed()) /
                    static_cast<double>(std::max<std::uint64_t>(reader.fileSize(), 1)));
            }
            const std::size_t got = splitCsv(line, fields, needed);
            if (got < needed) {
                fail(path, reader.lineNumber(),
                     "expected at least " + std::to_string(needed) + " columns, found " +
                         std::to_string(got));
            }
            const std::string_view app =
                named ? trim(fields[columns.application]) : std::string_view(singleApp);
            ++countFor(summary.applications, app, lastHit).frames;
            if (!chosen && !equalsIgnoringCase(app, "dwm.exe")) {
                chosen = std::string(app);
            }
            if (!chosen || !equalsIgnoringCase(app, *chosen) || (pass == 0 && !replayFirstPass)) {
                continue;
            }
            double ms = 0;
            if (parseCell(fields[columns.frameTime], ms, path, reader.lineNumber(),
                          columns.frameTimeName) == Cell::Skipped) {
                ++summary.skippedCells;
                continue;
            }
            onFrame(ms);
        }
        const std::string best = chooseApplication(summary.applications);
        if (replayFirstPass &&
            (decided || best.empty() || (chosen && equalsIgnoringCase(*chosen, best)))) {
            break;
        }
        chosen = best;
        if (options.restart && replayFirstPass) {
            options.restart();
        }
    }
    if (!chosen) {
        fail(path, 0, "no frames: the capture holds a header and nothing else");
    }
    const auto replayed =
        std::find_if(summary.applications.begin(), summary.applications.end(),
                     [&](const AppFrames& app) { return equalsIgnoringCase(app.name, *chosen); });
    if (replayed == summary.applications.end()) {
        fail(path, 0,
             "application '" + *chosen + "' is not in the capture; it holds " +
                 listApplications(summary.applications));
    }
    summary.application = replayed->name;
}

void plainCapture(const std::filesystem::path& path, const CaptureOptions& options,
                  const std::function<void(double)>& onFrame, CaptureSummary& summary)
{
    LineReader reader(path);
    std::string_view line;
    std::uint64_t frames = 0;
    while (reader.next(line)) {
        const std::string_view cell = reader.lineNumber() == 1 ? withoutBom(line) : line;
        if (trim(cell).empty()) {
            continue;
        }
        if (options.progress && reader.lineNumber() % progressEveryLines == 0) {
            options.progress(static_cast<double>(reader.bytesConsumed()) /
                             static_cast<double>(std::max<std::uint64_t>(reader.fileSize(), 1)));
        }
        double ms = 0;
        if (parseCell(cell, ms, path, reader.lineNumber(), "1") == Cell::Skipped) {
            ++summary.skippedCells;
            continue;
        }
        ++frames;
        onFrame(ms);
    }
    summary.application = path.filename().string();
    summary.column = "one value per line";
    summary.applications = {{summary.application, frames}};
}

std::uint64_t lineOfByte(const std::string& text, std::size_t byte)
{
    const auto end = text.begin() + static_cast<std::ptrdiff_t>(std::min(byte, text.size()));
    return 1 + static_cast<std::uint64_t>(std::count(text.begin(), end, '\n'));
}

void capFrameXCapture(const std::filesystem::path& path, const CaptureOptions& options,
                      const std::function<void(double)>& onFrame, CaptureSummary& summary)
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    const std::string text = bytes.str();
    nlohmann::json document;
    try {
        document = nlohmann::json::parse(withoutBom(text));
    } catch (const nlohmann::json::parse_error& error) {
        fail(path, lineOfByte(text, error.byte), "not valid JSON");
    } catch (const nlohmann::json::exception& error) {
        // Such as a number beyond a double; the library's own words, without its code.
        const std::string what = error.what();
        const auto code = what.find("] ");
        fail(path, 0,
             "not valid JSON: " + (code == std::string::npos ? what : what.substr(code + 2)));
    }
    const auto runs = document.find("Runs");
    if (!document.is_object() || runs == document.end() || !runs->is_array()) {
        fail(path, 0, "no Runs array: not a CapFrameX capture");
    }
    if (options.run >= runs->size()) {
        fail(path, 0,
             "run " + std::to_string(options.run) + " not found: the capture has " +
                 std::to_string(runs->size()) + " runs");
    }
    const std::string where =
        "Runs[" + std::to_string(options.run) + "].CaptureData.MsBetweenPresents";
    const nlohmann::json& run = (*runs)[options.run];
    if (!run.is_object() || !run.contains("CaptureData") || !run["CaptureData"].is_object() ||
        !run["CaptureData"].contains("MsBetweenPresents") ||
        !run["CaptureData"]["MsBetweenPresents"].is_array()) {
        fail(path, 0, "no frame times: " + where + " is missing");
    }
    std::uint64_t frames = 0;
    std::size_t index = 0;
    for (const nlohmann::json& value : run["CaptureData"]["MsBetweenPresents"]) {
        if (value.is_null() || (value.is_string() && value.get<std::string>() == "NA")) {
            ++summary.skippedCells;
        } else if (!value.is_number()) {
            fail(path, 0, where + "[" + std::to_string(index) + "] is not a number");
        } else {
            ++frames;
            onFrame(value.get<double>());
        }
        ++index;
    }
    const auto info = document.find("Info");
    summary.application = path.filename().string();
    if (info != document.end() && info->is_object() && info->contains("ProcessName") &&
        (*info)["ProcessName"].is_string()) {
        summary.application = (*info)["ProcessName"].get<std::string>();
    }
    summary.column = where;
    summary.applications = {{summary.application, frames}};
}

std::string whyNoneUsable(const CaptureSummary& summary, std::uint64_t nonPositive)
{
    const std::string& app = summary.application;
    if (nonPositive > 0) {
        return "all " + std::to_string(nonPositive) + " frame times of " + app +
               " are zero or negative";
    }
    if (summary.skippedCells > 0) {
        return "all " + std::to_string(summary.skippedCells) + " frame-time cells of " + app +
               " are NA or empty";
    }
    return "the capture holds no frames of " + app;
}

} // namespace

const char* captureFormatName(CaptureFormat format)
{
    switch (format) {
    case CaptureFormat::PresentMon:
        return "PresentMon/OCAT CSV";
    case CaptureFormat::CapFrameX:
        return "CapFrameX JSON";
    case CaptureFormat::MangoHud:
        return "MangoHud CSV";
    case CaptureFormat::PlainText:
        return "plain text";
    }
    return "?";
}

CaptureSummary replayCapture(const std::filesystem::path& path, const CaptureOptions& options,
                             const std::function<void(double)>& onFrame)
{
    const Detected detected = options.format ? forced(path, *options.format) : detect(path);
    std::uint64_t usable = 0;
    std::uint64_t nonPositive = 0;
    const auto count = [&](double ms) {
        ++(ms > 0 ? usable : nonPositive);
        onFrame(ms);
    };
    CaptureOptions counted = options;
    if (options.restart) {
        counted.restart = [&] {
            usable = nonPositive = 0;
            options.restart();
        };
    }
    CaptureSummary summary;
    summary.format = detected.format;
    switch (detected.format) {
    case CaptureFormat::PresentMon:
    case CaptureFormat::MangoHud:
        tableCapture(path, detected, counted, count, summary);
        break;
    case CaptureFormat::PlainText:
        plainCapture(path, counted, count, summary);
        break;
    case CaptureFormat::CapFrameX:
        capFrameXCapture(path, counted, count, summary);
        break;
    }
    if (options.application && !equalsIgnoringCase(*options.application, summary.application)) {
        fail(path, 0,
             "application '" + *options.application + "' is not in the capture; it holds " +
                 listApplications(summary.applications));
    }
    summary.nonPositiveFrameTimes = nonPositive;
    if (usable == 0) {
        fail(path, 0, "no usable frame time: " + whyNoneUsable(summary, nonPositive));
    }
    return summary;
}

} // namespace sim
