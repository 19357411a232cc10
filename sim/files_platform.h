// The platform's part of writing a file whole (files_*.cpp), for files.cpp alone.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace sim {

// errno in a player's words.
std::string reasonOfErrno(int error);

// A new file beside target, named for this process and a count: two writers never share one.
std::filesystem::path besideName(const std::filesystem::path& target, unsigned process,
                                 unsigned count);

// bytes into a new file beside target, flushed to the disk, renamed over target; on failure the
// new file is removed and the reason returned.
std::string replaceWhole(const std::filesystem::path& target, std::string_view bytes);

// Makes and removes a new file beside target: empty, or why its folder cannot take one.
std::string probeBeside(const std::filesystem::path& target);

} // namespace sim
