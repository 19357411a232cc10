// Inside the doctor: the game's folder listed once and looked up as Windows looks names up, and
// the parts that look at one thing each.
#pragma once

#include "settings/settings.h"
#include "sim/ascii.h"
#include "sim/doctor/doctor.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// The tool as a player types it in its own folder: PowerShell runs nothing from the current
// folder without ".\", and cmd takes it too.
#ifdef _WIN32
inline constexpr std::string_view toolCommand = ".\\tarnwick-sim.exe";
#else
inline constexpr std::string_view toolCommand = "./tarnwick-sim";
#endif

struct FolderEntry {
    std::string name; // UTF-8
    bool folder = false;
};

// The entry of that name, without regard to ASCII case: Windows finds "tarnwick.ASI" as
// Tarnwick.asi, and so does Wine.
const FolderEntry* findEntry(const std::vector<FolderEntry>& entries, std::string_view name);

// The whole file, or why not ("Permission denied", "it is a folder", "it is larger than 64 MiB").
std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::uint64_t maxBytes,
                                         std::string& why);

// Tarnwick.asi, or where it went instead. Returns its build stamp when it could be read.
std::optional<std::string> examinePlugin(const std::filesystem::path& folder,
                                         const std::vector<FolderEntry>& entries,
                                         const std::string& toolVersion,
                                         std::vector<DoctorFinding>& out);

// What the plug-in will read from its settings file there (the defaults when there is none).
struct SettingsSeen {
    bool file = false; // a Tarnwick.ini is there
    GovernorSettings settings;
};

SettingsSeen examineSettings(const std::filesystem::path& folder,
                             const std::vector<FolderEntry>& entries,
                             std::vector<DoctorFinding>& out);

// Tarnwick.log: how many purges, by which build, against the installed one's stamp.
void examineLog(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                const SettingsSeen& settings, const std::optional<std::string>& installedStamp,
                std::vector<DoctorFinding>& out);

// "the defaults" as a player writes them in the file: "FPS_Moderate=45 FPS_Critical=35 ...".
std::string thresholdsText(const GovernorSettings& settings);

} // namespace sim
