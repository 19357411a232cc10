// Where the settings file lies and what the plug-in reads from it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct GovernorSettings {
    bool enabled = true;
    bool logging = true;
    std::int32_t fpsModerate = 45;
    std::int32_t fpsCritical = 35;
    float detectionRange = 50.0f; // world units
};

// "Tarnwick.ini" beside the game's executable.
std::string getIniPath();

// in: exePath. Its directory (cut at the last slash or backslash) joined with "\Tarnwick.ini".
std::string iniPathBeside(std::string_view exePath);

// Reads the keys one by one; stops after "Enabled" when it is 0.
GovernorSettings readSettings(const std::string& iniPath);
