// The platform services of builds without Windows: simulated time, game folder and log, and the
// portable profile reader over real files.
#include "host/platform.h"

#include "sim/files.h"
#include "sim/host/host.h"
#include "sim/host/profile_reader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

std::uint32_t platformModulePath(char* buffer, std::uint32_t size)
{
    const sim::Host& h = sim::host();
    if (h.machine.modulePathFails || size == 0) {
        return 0;
    }
    // As GetModuleFileNameA on current Windows: cut to size - 1, terminated, returns size.
    const std::size_t length = h.machine.exePath.size();
    if (length >= size) {
        std::memcpy(buffer, h.machine.exePath.data(), size - 1);
        buffer[size - 1] = '\0';
        return size;
    }
    std::memcpy(buffer, h.machine.exePath.c_str(), length + 1);
    return static_cast<std::uint32_t>(length);
}

std::uint32_t platformProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                                 const char* path)
{
    sim::host().machine.profileReads.push_back({section, key});
    return sim::readProfileInt(section, key, defaultValue, path);
}

std::uint32_t platformTickMs()
{
    return sim::host().clock.tickMs;
}

std::ofstream platformOpenLog()
{
    return std::ofstream(sim::pathFromUtf8(sim::host().machine.logPath),
                         std::ios::out | std::ios::app);
}

namespace {

// The record lies beside the log, as on Windows both lie in the game's working folder.
std::filesystem::path recordPath(const char* name)
{
    return sim::pathFromUtf8(sim::host().machine.logPath).parent_path() / name;
}

} // namespace

bool platformCreateRecord(const char* name)
{
    sim::Machine& m = sim::host().machine;
    const std::filesystem::path path = recordPath(name);
    std::error_code error;
    if (m.recordCreateFails || std::filesystem::exists(path, error) || error) {
        return false;
    }
    return std::ofstream(path, std::ios::binary).is_open();
}

bool platformAppendRecord(const char* name, const char* data, std::size_t size)
{
    sim::Machine& m = sim::host().machine;
    if (m.recordWritesBeforeFailure && (*m.recordWritesBeforeFailure)-- <= 0) {
        return false;
    }
    std::ofstream file(recordPath(name), std::ios::binary | std::ios::app);
    if (!file.is_open()) {
        return false;
    }
    // A full disk takes what fits, as a real one may.
    std::size_t taken = size;
    if (m.diskBytesLeft && *m.diskBytesLeft < size) {
        taken = static_cast<std::size_t>(*m.diskBytesLeft);
    }
    file.write(data, static_cast<std::streamsize>(taken));
    file.close();
    if (m.diskBytesLeft) {
        *m.diskBytesLeft -= taken;
    }
    return file.good() && taken == size;
}

bool platformCutRecord(const char* name, std::uint64_t size)
{
    sim::Machine& m = sim::host().machine;
    const std::filesystem::path path = recordPath(name);
    std::error_code error;
    const std::uintmax_t was = std::filesystem::file_size(path, error);
    if (error) {
        return false;
    }
    std::filesystem::resize_file(path, size, error);
    if (!error && m.diskBytesLeft && was > size) {
        *m.diskBytesLeft += was - size;
    }
    return !error;
}

void platformLocalStamp(char* buffer, std::size_t size)
{
    const std::string& stamp = sim::host().machine.localStamp;
    const std::size_t n = std::min(stamp.size(), size - 1);
    std::memcpy(buffer, stamp.data(), n);
    buffer[n] = '\0';
}
