// The doctor's test folders: a right install for each case to change, and what the doctor might
// touch in it.
#pragma once

#include "fake_dll.h"
#include "test_support.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
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

} // namespace testing_support
