// What the doctor reads out of Tarnwick.asi and Tarnwick.log: a Windows DLL's headers and version,
// and the build stamp that starts each of the plug-in's log lines. Every byte comes from a
// player's disk and may be anything: each read is checked against the bytes there are.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::uint16_t machineX64 = 0x8664; // IMAGE_FILE_MACHINE_AMD64
inline constexpr std::uint16_t machineI386 = 0x014c;

struct PortableExecutable {
    bool headers = false; // MZ, a PE signature and a COFF header within the file
    std::string problem;  // without headers: why not, in a player's words
    std::uint16_t machine = 0;
    bool dll = false;                   // IMAGE_FILE_DLL in the characteristics
    std::optional<std::string> version; // VS_FIXEDFILEINFO's file version, "0.1.0"
    std::optional<std::string> product; // StringFileInfo's ProductName (UTF-8), "Tarnwick"
};

PortableExecutable readPortableExecutable(std::string_view bytes);

// "[Dec  8 2026 10:11:12] ": "[" __DATE__ " " __TIME__ "] ", as src/log/log.cpp writes it.
inline constexpr std::size_t stampBytes = 23;

// The stamp at the start of text without its brackets ("Dec  8 2026 10:11:12"), if one is there.
std::optional<std::string> stampAt(std::string_view text);

// The first stamp anywhere in bytes: the plug-in keeps its stamp as one string constant.
std::optional<std::string> findStamp(std::string_view bytes);

// "0.1.0" against "0.2.0": below zero, zero or above, by each number in turn; words compare as 0.
int compareVersions(std::string_view a, std::string_view b);

} // namespace sim
