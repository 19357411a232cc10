// The doctor's test folders: a right install for each case to change, what the doctor might touch
// in it, and the commands its to-dos give a player.
#pragma once

#include "fake_dll.h"
#include "test_support.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace testing_support {

// A right install, which each case then changes.
inline void rightInstall(const std::filesystem::path& game)
{
    for (const char* name : {"Game.exe", "ScriptHookV.dll", "dinput8.dll"}) {
        writeFile(game / name, "");
    }
    writeFile(game / "Tarnwick.asi", fakeDll({.stamp = installed}));
    writeFile(game / "Tarnwick.ini", "[Settings]\r\nFPS_Moderate=60\r\nFPS_Critical=50\r\n");
    writeFile(game / "Tarnwick.log", logLine(older) + logLine(installed));
}

// Everything the doctor might touch: names, sizes and times of every file below the folder.
inline std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>>
snapshot(const std::filesystem::path& folder)
{
    std::map<std::string, std::pair<std::uintmax_t, std::filesystem::file_time_type>> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        files[entry.path().string()] = {entry.is_regular_file() ? entry.file_size() : 0,
                                        entry.last_write_time()};
    }
    return files;
}

// A file written an hour before or after another.
inline void writtenBeside(const std::filesystem::path& file, const std::filesystem::path& other,
                          std::chrono::hours later)
{
    std::filesystem::last_write_time(file, std::filesystem::last_write_time(other) + later);
}

// True when every command in text starts the tool as cmd and PowerShell both run it from its own
// folder (".\tarnwick-sim.exe", "./tarnwick-sim" natively); the tool named in prose ("drop it
// onto tarnwick-sim.exe") is no command.
inline bool commandsRunAsTyped(std::string_view text)
{
    for (std::size_t at = text.find("tarnwick-sim"); at != std::string_view::npos;
         at = text.find("tarnwick-sim", at + 1)) {
        std::string_view after = text.substr(at + 12);
        if (after.starts_with(".exe")) {
            after.remove_prefix(4);
        }
        const bool command = after.starts_with(" doctor") || after.starts_with(" settings") ||
                             after.starts_with(" report");
        const std::string_view before = text.substr(0, at);
        if (command && !before.ends_with(".\\") && !before.ends_with("./")) {
            return false;
        }
    }
    return true;
}

} // namespace testing_support
