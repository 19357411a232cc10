// Which format a capture is, from its first lines. The rules are tried in order; the first that
// answers decides, and a rule may refuse the file outright.
#include "sim/ascii.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/frame_record.h"
#include "sim/capture/line_reader.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace sim {
namespace {

struct OpeningLine {
    std::uint64_t number;
    std::string text; // trimmed, without a byte-order mark
};

// Copies of the first lines with something to read: later lines may move the reader's buffer,
// so no view outlives the next read. Blank lines and the //Key=Value comments that older tools put
// before the header are passed over. Enough for every rule, a monitoring log's preamble included.
struct Opening {
    std::filesystem::path path;
    std::vector<OpeningLine> lines;
    bool onlyComments = false;

    const OpeningLine* first() const { return lines.empty() ? nullptr : &lines.front(); }
};

constexpr std::size_t openingLines = 8;

// True when the line was one with something to read.
bool addLine(Opening& opening, std::uint64_t number, std::string_view line)
{
    const std::string_view text = trim(number == 1 ? withoutBom(line) : line);
    if (text.starts_with("//")) {
        opening.onlyComments = opening.lines.empty();
        return false;
    }
    if (text.empty()) {
        return false;
    }
    opening.lines.push_back({number, std::string(text)});
    return true;
}

Opening readOpening(LineReader& reader, const std::filesystem::path& path)
{
    Opening opening{path, {}};
    std::string_view line;
    while (opening.lines.size() < openingLines && reader.next(line)) {
        addLine(opening, reader.lineNumber(), line);
    }
    return opening;
}

using Cells = std::vector<std::string_view>;
using Rule = std::optional<Recognised> (*)(const Opening&, Cells&);

// The plug-in's own record, by the first cell of its first line.
std::optional<Recognised> tarnwickRecord(const Opening& opening, Cells&)
{
    const OpeningLine* first = opening.first();
    if (first == nullptr || !isFrameRecordTitle(first->text)) {
        return std::nullopt;
    }
    return Recognised{CaptureFormat::TarnwickRecord, first->number};
}

std::optional<Recognised> capFrameX(const Opening& opening, Cells&)
{
    if (opening.first() == nullptr || !opening.first()->text.starts_with('{')) {
        return std::nullopt;
    }
    return Recognised{CaptureFormat::CapFrameX};
}

// Overlay and monitoring tools log their sensors at a fixed interval, the frame rate among power,
// clocks and temperatures: one row per sample, which replayed as frames would be plainly wrong.
std::optional<Recognised> sampledLog(const Opening& opening, Cells& fields)
{
    for (const OpeningLine& line : opening.lines) {
        splitCsv(line.text, fields, SIZE_MAX);
        if (hasField(fields, "Framerate") && hasField(fields, "Frametime")) {
            failCapture(opening.path, line.number,
                        "a hardware-monitoring log, not a frame-time capture: its header names "
                        "Framerate and Frametime among sensor columns, so it holds one row per "
                        "sample, not one per frame; record a per-frame capture instead "
                        "(PresentMon, OCAT, CapFrameX or MangoHud)");
        }
    }
    return std::nullopt;
}

std::optional<Recognised> presentMonTable(const Opening& opening, Cells& fields)
{
    const OpeningLine* header = opening.first();
    if (header == nullptr || findFields(header->text, fields, "").frameTime == noField) {
        return std::nullopt;
    }
    return Recognised{CaptureFormat::PresentMon, header->number};
}

bool isMangoHudBanner(std::string_view line)
{
    return line.starts_with("---") && line.ends_with("---");
}

// MangoHud's own layout: system information ("os,cpu,gpu,...") and its values, then the frame
// header "fps,frametime,...", blank lines aside. With log_versioning, "v1" and the version come
// first, and a banner line before each part. Nothing else that merely names a frame time is
// MangoHud.
std::optional<Recognised> mangoHudTable(const Opening& opening, Cells& fields)
{
    std::size_t at = 0;
    if (!opening.lines.empty() && opening.lines[0].text == "v1") {
        at = 2;
        while (at < opening.lines.size() && isMangoHudBanner(opening.lines[at].text)) {
            ++at;
        }
    }
    if (opening.lines.size() < at + 3) {
        return std::nullopt;
    }
    splitCsv(opening.lines[at].text, fields, 1);
    if (!equalsIgnoringCase(trim(fields.front()), "os")) {
        return std::nullopt;
    }
    at += 2;
    while (at + 1 < opening.lines.size() && isMangoHudBanner(opening.lines[at].text)) {
        ++at;
    }
    const OpeningLine& header = opening.lines[at];
    splitCsv(header.text, fields, SIZE_MAX);
    if (!equalsIgnoringCase(trim(fields.front()), "fps")) {
        return std::nullopt;
    }
    if (!hasField(fields, "frametime")) {
        failCapture(opening.path, header.number,
                    "a MangoHud log whose header names no frametime column");
    }
    return Recognised{CaptureFormat::MangoHud, header.number};
}

// The per-frame file a summary was written beside: MangoHud's NAME_summary.csv beside NAME.csv,
// the PresentMon app's NAME-stats.csv beside NAME.csv.
std::filesystem::path perFrameFileOf(const std::filesystem::path& summary)
{
    const std::string name = utf8Of(summary.filename());
    for (const std::string_view end : {"_summary.csv", "-stats.csv"}) {
        if (endsWithIgnoringCase(name, end)) {
            // The ending is ASCII: as many code units in the native name as in UTF-8.
            const std::filesystem::path whole = summary.filename();
            const auto& native = whole.native();
            std::filesystem::path file = native.substr(0, native.size() - end.size());
            file += ".csv";
            return summary.parent_path() / file;
        }
    }
    return {};
}

// A tool's summary of a capture (MangoHud's, the PresentMon app's): figures, not frames.
std::optional<Recognised> summaryFile(const Opening& opening, Cells& fields)
{
    const OpeningLine* header = opening.first();
    if (header == nullptr) {
        return std::nullopt;
    }
    splitCsv(header->text, fields, SIZE_MAX);
    if (!hasField(fields, "Average FPS")) {
        return std::nullopt;
    }
    const std::filesystem::path beside = perFrameFileOf(opening.path);
    std::error_code error;
    const std::string which = !beside.empty() && std::filesystem::is_regular_file(beside, error)
                                  ? "(" + shown(utf8Of(beside.filename())) + ", beside it)"
                                  : "the capture tool wrote beside it";
    failCapture(opening.path, header->number,
                "this is a summary, not frames: give the per-frame file " + which);
}

std::optional<Recognised> plainText(const Opening& opening, Cells&)
{
    const OpeningLine* first = opening.first();
    if (first == nullptr || !isNumberLine(first->text)) {
        return std::nullopt;
    }
    return Recognised{CaptureFormat::PlainText};
}

constexpr Rule rules[] = {tarnwickRecord,  capFrameX,     sampledLog, summaryFile,
                          presentMonTable, mangoHudTable, plainText};

[[noreturn]] void failUnrecognised(const Opening& opening)
{
    const OpeningLine* first = opening.first();
    if (first == nullptr) {
        failCapture(opening.path, 0,
                    opening.onlyComments ? "no frames: the capture holds only comment lines"
                                         : "the capture is empty");
    }
    if (first->text.find(',') != std::string::npos) {
        failCapture(opening.path, first->number,
                    "no frame-time column: the header names none of MsBetweenPresents, "
                    "msBetweenPresents or FrameTime");
    }
    failCapture(opening.path, first->number,
                "unrecognised capture format: expected PresentMon or OCAT CSV, CapFrameX JSON, "
                "MangoHud CSV, or one frame time in milliseconds per line");
}

// JSON may be one line of many megabytes, longer than lines are read: its first byte tells.
bool opensAJsonObject(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    char bytes[4096];
    file.read(bytes, sizeof bytes);
    std::string_view start(bytes, static_cast<std::size_t>(file.gcount()));
    start = withoutBom(start);
    const auto first = start.find_first_not_of(" \t\r\n");
    return first != std::string_view::npos && start[first] == '{';
}

std::optional<Recognised> firstAnswer(const Opening& opening, Cells& fields)
{
    for (const Rule rule : rules) {
        if (const std::optional<Recognised> found = rule(opening, fields)) {
            return found;
        }
    }
    return std::nullopt;
}

Recognised recogniseOpening(const Opening& opening)
{
    Cells fields;
    if (const std::optional<Recognised> found = firstAnswer(opening, fields)) {
        return *found;
    }
    failUnrecognised(opening);
}

} // namespace

Recognised recognise(const std::filesystem::path& path)
{
    if (opensAJsonObject(path)) {
        return Recognised{CaptureFormat::CapFrameX};
    }
    LineReader reader(path);
    return recogniseOpening(readOpening(reader, path));
}

// Input that comes as the game runs may stop after a line or two for a while: the rules are asked
// after every line, and the first answer is taken. Each rule answers only from lines that settle
// it (a header naming a frame-time column, a number, MangoHud's three lines).
Recognised recognise(LineReader& reader, const std::filesystem::path& path)
{
    Opening opening{path, {}};
    Cells fields;
    std::string_view line;
    while (opening.lines.size() < openingLines && reader.next(line)) {
        if (!addLine(opening, reader.lineNumber(), line)) {
            continue;
        }
        if (const std::optional<Recognised> found = firstAnswer(opening, fields)) {
            return *found;
        }
    }
    return recogniseOpening(opening);
}

Recognised locateHeader(const std::filesystem::path& path, CaptureFormat format)
{
    if (format == CaptureFormat::MangoHud) {
        return {format, 3};
    }
    if (format != CaptureFormat::PresentMon) {
        return {format};
    }
    LineReader reader(path);
    const Opening opening = readOpening(reader, path);
    const OpeningLine* header = opening.first();
    if (header == nullptr) {
        failCapture(path, 0, "the capture is empty");
    }
    return {format, header->number};
}

} // namespace sim
