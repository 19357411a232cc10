// The capture readers by family, behind replayCapture: recognition, the tools' CSV tables
// (PresentMon of every version, OCAT, MangoHud), CapFrameX JSON and plain text.
#pragma once

#include "sim/capture/capture.h"
#include "sim/capture/line_reader.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

using FrameSink = std::function<void(double)>;

struct Recognised {
    CaptureFormat format;
    std::uint64_t headerLine = 0; // tables: the line that names the columns
};

// Which format the file is, from its first lines; throws saying why it is none of ours.
Recognised recognise(const std::filesystem::path& path);
// The same from a reader at its first line, which it leaves past the lines it looked at.
Recognised recognise(LineReader& reader, const std::filesystem::path& path);
// MangoHud's system line (processor, GPU, ...) as named pairs; empty for any other file.
std::vector<std::pair<std::string, std::string>> mangoHudSystem(const std::filesystem::path& path);
// A format the caller gave: only the header's line is still to be found.
Recognised locateHeader(const std::filesystem::path& path, CaptureFormat format);

void readTable(const std::filesystem::path& path, const Recognised& table,
               const CaptureOptions& options, const FrameSink& onFrame, CaptureSummary& summary);
// Input read once, as it comes (a pipe): reader at its first line. The application is --app, else
// the first that is not a system process: the one with the most frames is known only at the end.
void readTableLive(LineReader& reader, const std::filesystem::path& path, const Recognised& table,
                   const CaptureOptions& options, const FrameSink& onFrame,
                   CaptureSummary& summary);
void readCapFrameX(const std::filesystem::path& path, const CaptureOptions& options,
                   const FrameSink& onFrame, CaptureSummary& summary);
void readPlainText(LineReader& reader, const std::filesystem::path& path,
                   const CaptureOptions& options, const FrameSink& onFrame,
                   CaptureSummary& summary);

// Throws: wanted names no application of apps.
[[noreturn]] void failApplicationMissing(const std::filesystem::path& path,
                                         const std::string& wanted,
                                         const std::vector<AppFrames>& apps);

// The fraction of the file read, now and then, to the caller's progress.
void reportProgress(const CaptureOptions& options, std::uint64_t bytesRead, std::uint64_t size);
inline constexpr std::uint64_t progressEveryLines = 1 << 16;

} // namespace sim
