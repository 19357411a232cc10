// `tarnwick-sim settings`: the settings exactly as the plug-in reads them, and a second look at
// the file's text for what a player surely did not mean. The reader never complains; this does.
#pragma once

#include "settings/settings.h"
#include "sim/check/ini_text.h"
#include "sim/check/thresholds.h"
#include "sim/failure.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class FindingLevel { Warning, Note }; // warning: behaviour against the evident intent

struct Finding {
    FindingLevel level;
    std::uint64_t line = 0; // 0: the file as a whole
    std::string message;
};

// One key as the plug-in reads it, under the file's own names.
struct CheckedSetting {
    const char* section;
    const char* key;
    std::int64_t value = 0;            // as the plug-in uses it
    std::optional<std::uint64_t> line; // where it came from; none: the default
    bool read = true;                  // false: never read (Enabled is 0)
};

struct SettingsCheck {
    std::filesystem::path file;
    bool exists = false;
    IniEncoding encoding = IniEncoding::Ansi;
    GovernorSettings settings;
    std::vector<CheckedSetting> shown;
    std::vector<Finding> findings;
};

// The check; a Failure when the file exists and cannot be read (a folder, a pipe, no
// permission), told as the settings file's ("FILE is a folder, not a settings file"). A missing
// file is checked: every default.
Result<SettingsCheck> checkSettings(const std::filesystem::path& file);

const char* findingLevelName(FindingLevel level);

// A key's value as the check shows it, read or not (Enabled=0 stops the plug-in's reading).
std::int64_t shownValue(const SettingsCheck& check, const SettingKey& key);

// True when the check would warn about this pair of thresholds, wherever it stood in a file.
bool thresholdsDrawAWarning(std::int32_t fpsModerate, std::int32_t fpsCritical);
// That warning's message; empty when there is none.
std::string thresholdsWarning(std::int32_t fpsModerate, std::int32_t fpsCritical);

// Files beside a missing one that were surely meant as it: "Tarnwick.ini.txt" from an editor
// that hides extensions, another case, a stray space. The first five found, sorted, so a
// message naming them is stable.
std::vector<std::string> nearNames(const std::filesystem::path& file);

} // namespace sim
