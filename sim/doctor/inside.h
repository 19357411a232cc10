// Inside the doctor: the game's folder listed once and looked up as Windows looks names up, and
// the parts that look at one thing each.
#pragma once

#include "settings/settings.h"
#include "sim/ascii.h"
#include "sim/doctor/doctor.h"
#include "sim/failure.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace sim {

struct FolderEntry {
    std::string name; // UTF-8
    bool folder = false;
};

inline constexpr std::string_view hookName = "ScriptHookV.dll";
// The names under which .asi loaders are installed: each stands in for a system DLL the game
// loads from its own folder first.
inline constexpr std::array<std::string_view, 4> loaderNames = {"dinput8.dll", "version.dll",
                                                                "winmm.dll", "dsound.dll"};

struct FolderListing {
    std::vector<FolderEntry> entries;
    std::size_t looked = 0;
    bool stopped = false; // there were more than FolderLimits::looked
};

// "TOOL VERB 'PATH'", the path quoted for the player's shell (shellArgument).
std::string commandOn(std::string_view toolCommand, std::string_view verb, std::string_view path);

// The folder's entries, symbolic links as what they point to: the first FolderLimits::kept and,
// however far down, every name the doctor looks up.
FolderListing listFolder(const std::filesystem::path& folder, const FolderLimits& limits,
                         std::error_code& error);

// The game's program in the folder; false, after saying so, when nothing here looks like a game:
// the rest would only be noise.
bool examineGame(const std::filesystem::path& folder, const FolderListing& listing,
                 const FolderLimits& limits, std::string_view toolCommand,
                 std::vector<DoctorFinding>& out);

// "A, B, C and 2 more": the first few names shown, the rest counted.
std::string listed(const std::vector<std::string>& names, std::size_t most);

// The entry of that name, without regard to ASCII case: Windows finds "tarnwick.ASI" as
// Tarnwick.asi, and so does Wine.
const FolderEntry* findEntry(const std::vector<FolderEntry>& entries, std::string_view name);

inline constexpr std::string_view pluginName = "Tarnwick.asi";
// Tarnwick.asi is a few hundred kilobytes: a bigger file is something else, and is not read.
inline constexpr std::uint64_t maxPluginBytes = std::uint64_t{64} << 20;

// Tarnwick.asi, or where it went instead. Returns its build stamp when it could be read.
std::optional<std::string> examinePlugin(const std::filesystem::path& folder,
                                         const std::vector<FolderEntry>& entries,
                                         const std::string& toolVersion,
                                         std::vector<DoctorFinding>& out);

// Whether a version resource's product name is Tarnwick's.
bool isTarnwick(std::string_view product);

// Tarnwick in the game's folder under a name other than the installed one's.
struct OtherName {
    std::string name;
    bool loaded = false; // an .asi, so the loader starts it as it starts Tarnwick.asi
};

// The other names beside installed (none: Tarnwick.asi is missing), sorted.
std::vector<OtherName> otherNames(const std::filesystem::path& folder,
                                  const std::vector<FolderEntry>& entries,
                                  const FolderEntry* installed);

// No Tarnwick.asi: where it went instead (another name here, tools\, a folder below), or missing.
void pluginNotFound(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                    const std::vector<OtherName>& here, std::vector<DoctorFinding>& out);

// Each copy of Tarnwick the loader starts beside the one kept.
void extraCopies(const std::string& kept, const std::vector<OtherName>& here,
                 std::vector<DoctorFinding>& out);

// What the plug-in will read from its settings file there (the defaults when there is none).
struct SettingsSeen {
    bool file = false;   // a Tarnwick.ini is there
    bool warned = false; // its check warned: its values are not all as the player meant
    GovernorSettings settings;
};

SettingsSeen examineSettings(const std::filesystem::path& folder,
                             const std::vector<FolderEntry>& entries, std::string_view toolCommand,
                             std::vector<DoctorFinding>& out);

// Tarnwick.log: how many purges, by which build, against the installed one's stamp.
void examineLog(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                const SettingsSeen& settings, const std::optional<std::string>& installedStamp,
                std::vector<DoctorFinding>& out);

// The frame records (Tarnwick-record-*.csv) beside the log, and what to drop onto the tool.
void examineRecords(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                    const SettingsSeen& settings, std::string_view toolCommand,
                    std::vector<DoctorFinding>& out);

// "the defaults" as a player writes them in the file: "FPS_Moderate=45 FPS_Critical=35 ...".
std::string thresholdsText(const GovernorSettings& settings);

} // namespace sim
