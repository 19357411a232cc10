#include "sim/capture/csv.h"
#include "sim/files.h"

#include "sim/ascii.h"
#include "sim/capture/capture.h"
#include "sim/text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

#include <emmintrin.h> // every target is x86-64, which has SSE2

namespace sim {

void failCapture(const std::filesystem::path& path, std::uint64_t line, const std::string& what)
{
    throw CaptureError(Failure{FailureKind::Malformed, path, line, what});
}

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

namespace {

// Any field may be quoted.
std::size_t splitQuoted(std::string_view line, std::vector<std::string_view>& fields,
                        std::size_t maxFields)
{
    fields.clear();
    const char* const end = line.data() + line.size();
    const char* p = line.data();
    while (fields.size() < maxFields) {
        if (p < end && *p == '"') {
            // A quote inside a quoted field is written twice.
            const char* close = p + 1;
            while (close < end && (*close != '"' || (close + 1 < end && close[1] == '"'))) {
                close += *close == '"' ? 2 : 1;
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

// Where the commas and quotes are among 16 bytes (fewer at the line's end), a bit each.
struct Marks {
    unsigned commas;
    unsigned quotes;
};

Marks marksOf(const char* p, std::size_t left)
{
    char bytes[16] = {};
    if (left < 16) {
        std::memcpy(bytes, p, left); // never read past the line
        p = bytes;
    }
    __m128i v;
    std::memcpy(&v, p, sizeof v);
    const auto mask = [v](char c) {
        return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
    };
    const unsigned kept = left < 16 ? (1u << left) - 1 : 0xFFFFu;
    return {mask(',') & kept, mask('"') & kept};
}

} // namespace

namespace {

std::size_t countQuoted(std::string_view line)
{
    std::vector<std::string_view> fields;
    return splitQuoted(line, fields, SIZE_MAX);
}

} // namespace

// Sixteen bytes at a time: this runs over every line of captures of millions of frames, and
// replays 1,000,000 frames in 0.6 of the time of a byte at a time (docs/performance.md). A quote
// among the bytes looked at sends the line the general way.
std::size_t splitCsv(std::string_view line, std::vector<std::string_view>& fields,
                     std::size_t maxFields, std::size_t* allFields)
{
    fields.clear();
    const std::size_t size = line.size();
    std::size_t start = 0;
    std::size_t commasPast = 0; // commas after the last field kept
    for (std::size_t at = 0; at < size && (fields.size() < maxFields || allFields != nullptr);
         at += 16) {
        const Marks marks = marksOf(line.data() + at, size - at);
        if (marks.quotes != 0) {
            if (allFields != nullptr) {
                *allFields = countQuoted(line);
            }
            return splitQuoted(line, fields, maxFields);
        }
        for (unsigned m = marks.commas; m != 0; m &= m - 1) {
            if (fields.size() == maxFields) {
                ++commasPast;
                continue;
            }
            const std::size_t comma = at + static_cast<std::size_t>(std::countr_zero(m));
            fields.emplace_back(line.data() + start, comma - start);
            start = comma + 1;
        }
    }
    const bool full = fields.size() == maxFields;
    if (!full) {
        fields.emplace_back(line.data() + start, size - start);
    }
    if (allFields != nullptr) {
        *allFields = full ? fields.size() + commasPast + 1 : fields.size();
    }
    return fields.size();
}

std::string unquoted(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        text += field[i];
        if (field[i] == '"' && i + 1 < field.size() && field[i + 1] == '"') {
            ++i;
        }
    }
    return text;
}

bool hasField(const std::vector<std::string_view>& fields, std::string_view name)
{
    return std::any_of(fields.begin(), fields.end(), [name](std::string_view field) {
        return equalsIgnoringCase(trim(field), name);
    });
}

Cell parseCell(std::string_view cell, double& ms, const std::filesystem::path& path,
               std::uint64_t line, std::string_view column)
{
    cell = trim(cell);
    if (cell.empty() || cell == "NA") {
        return Cell::Skipped;
    }
    const char* first = cell.data() + (cell.front() == '+' ? 1 : 0);
    const char* last = cell.data() + cell.size();
    const auto [end, error] = std::from_chars(first, last, ms);
    const char* why = nullptr;
    if (error == std::errc::result_out_of_range) {
        why = "is out of range";
    } else if (error != std::errc() || end != last) {
        why = "is not a number";
    } else if (!std::isfinite(ms)) {
        why = "is not a finite number";
    } else if (ms > maxFrameTimeMs) {
        why = "is longer than an hour: no frame lasts that long";
    }
    if (why != nullptr) {
        failCapture(path, line,
                    "frame time '" + shown(cell) + "' in column " + shown(column) + " " + why);
    }
    return Cell::Value;
}

bool isCutNumber(std::string_view cell)
{
    constexpr std::string_view numberLetters = "0123456789+-.eE";
    constexpr std::string_view halfALetter = "\xEF\xBF\xBD"; // U+FFFD: see Decoder
    cell = trim(cell);
    if (cell.ends_with(halfALetter)) {
        cell.remove_suffix(halfALetter.size());
        return cell == "N" || cell.find_first_not_of(numberLetters) == std::string_view::npos;
    }
    if (cell == "N") {
        return true;
    }
    if (cell.empty() || cell == "NA" ||
        cell.find_first_not_of(numberLetters) != std::string_view::npos) {
        return false;
    }
    double ms = 0;
    const char* first = cell.data() + (cell.front() == '+' ? 1 : 0);
    const char* last = cell.data() + cell.size();
    const auto [end, error] = std::from_chars(first, last, ms);
    return error == std::errc::invalid_argument || end != last;
}

bool mayBeCutNumber(std::string_view cell)
{
    cell = trim(cell);
    return isCutNumber(cell) || cell.find_first_not_of("0123456789+-.eE") == std::string_view::npos;
}

bool isNumberLine(std::string_view line)
{
    line = trim(line);
    double value = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    return !line.empty() && error == std::errc() && end == line.data() + line.size();
}

} // namespace sim
