// The cells of a CSV line, as the capture tools write them: trimmed, quoted or not, columns found
// by name without regard to case, never by position.
#pragma once

#include "sim/capture/fault.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Throws CaptureError (fault.h): a Malformed Failure of path at line (0: none).
[[noreturn]] void failCapture(const std::filesystem::path& path, std::uint64_t line,
                              const std::string& what);

std::string_view trim(std::string_view text);
std::string_view withoutBom(std::string_view line);

// Splits at commas outside quotes into fields (cleared first), up to maxFields; a quoted field
// comes without its outer quotes (see unquoted). Returns how many fields were kept; allFields,
// when given, receives how many the whole line has.
std::size_t splitCsv(std::string_view line, std::vector<std::string_view>& fields,
                     std::size_t maxFields, std::size_t* allFields = nullptr);

// A quoted field's text: its doubled quotes written once.
std::string unquoted(std::string_view field);

bool hasField(const std::vector<std::string_view>& fields, std::string_view name);

inline constexpr std::size_t noField = SIZE_MAX;

struct FieldPlaces {
    std::size_t frameTime = noField;
    std::size_t application = noField;
    std::string frameTimeName; // as the header spells it
    // The capture's own clock, where it has one: TimeInSeconds (PresentMon 1.x, OCAT) or
    // MangoHud's elapsed, in nanoseconds.
    std::size_t clock = noField;
    std::string clockName;
    double clockMsPerUnit = 0;
    // PresentMon 2.0.0 and 2.0.1 write no frame time: CPUBusy (frameTime) plus CPUWait is one.
    std::size_t frameTimeAddend = noField;
    // Frame generation. FrameType names each present's source; the game's own frame-start
    // interval (MsBetweenAppStart, or FrameTime in 2.0 to 2.3.0) is 0 on a present it did not
    // start.
    std::size_t frameType = noField;
    std::size_t appStart = noField;
    std::string appStartName;
    std::size_t swapChain = noField;
    std::size_t fps = noField; // MangoHud's, beside its frametime
};

// in: header, the line naming the columns; frameTimeField, the frame-time column's name, or
// empty for PresentMon's (MsBetweenPresents in any case before FrameTime).
FieldPlaces findFields(std::string_view header, std::vector<std::string_view>& fields,
                       std::string_view frameTimeField);

// A capture tool never writes a frame of hours; past this, sums of time would lose their meaning.
inline constexpr double maxFrameTimeMs = 3600.0 * 1000.0;
// Nor a capture of months: the simulated tick counter wraps after 49.7 days.
inline constexpr double maxCaptureMs = 1000.0 * 3600.0 * 1000.0;
// Nor a frame shorter than a nanosecond (a billion frames a second): such a time (4.9e-324, a
// rounding's leftover) is zero as far as play goes, and is replayed and counted as zero is.
inline constexpr double minFrameTimeMs = 1e-6;

enum class Cell { Value, Skipped };

// A frame time in milliseconds: NA and empty cells are Skipped; anything else that is not a
// finite number up to maxFrameTimeMs throws, naming the cell, its column and line.
Cell parseCell(std::string_view cell, double& ms, const std::filesystem::path& path,
               std::uint64_t line, std::string_view column);
// A number (or NA) cut short where it was being written: its start, such as "1.5e" or "-",
// that does not read as a number, or one that ends in half a UTF-16 letter. A word is not one.
bool isCutNumber(std::string_view cell);
// A cell at a line's end without a line end, where any number may have been cut ("1" of "1234",
// nothing after the comma): a cut number, or one that reads whole. A word is not one.
bool mayBeCutNumber(std::string_view cell);

bool isNumberLine(std::string_view line);

} // namespace sim
