// Where the settings file lies and what the plug-in reads from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Each key the plug-in reads, stated once: where it lies in the file and what it is without it.
struct SettingKey {
    const char* section;
    const char* name;
    std::int32_t defaultValue;
};

inline constexpr SettingKey enabledKey{"Main", "Enabled", 1};
inline constexpr SettingKey loggingKey{"Main", "Logging", 1};
inline constexpr SettingKey fpsModerateKey{"Settings", "FPS_Moderate", 45};
inline constexpr SettingKey fpsCriticalKey{"Settings", "FPS_Critical", 35};
inline constexpr SettingKey detectionRangeKey{"Settings", "DetectionRange", 50}; // world units
// Read last, so the reads before it stay as they were without it.
inline constexpr SettingKey recordKey{"Main", "Record", 0};

// What Record asks for: nothing, the frame record, or the frame record of an evening without
// purges (the governor decides as ever, but leaves the vehicles alone) to compare against.
enum class RecordMode : std::int32_t { Off = 0, On = 1, WithoutPurging = 2 };

struct GovernorSettings {
    bool enabled = enabledKey.defaultValue != 0;
    bool logging = loggingKey.defaultValue != 0;
    std::int32_t fpsModerate = fpsModerateKey.defaultValue;
    std::int32_t fpsCritical = fpsCriticalKey.defaultValue;
    float detectionRange = static_cast<float>(detectionRangeKey.defaultValue);
    RecordMode record = static_cast<RecordMode>(recordKey.defaultValue);
};

// in: raw, what the reader gave for Record. 1 records; 2 records without purging; anything else
// is off, so that a stray value never stops the purges.
RecordMode recordModeOf(std::uint32_t raw);

// "Tarnwick.ini" beside the game's executable.
std::string getIniPath();

// in: exePath. Its directory (cut at the last slash or backslash) joined with "\Tarnwick.ini".
std::string iniPathBeside(std::string_view exePath);

// Reads the keys one by one; stops after "Enabled" when it is 0.
GovernorSettings readSettings(const std::string& iniPath);
