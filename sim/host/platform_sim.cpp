// The platform services of builds without Windows: simulated time, game folder and log, and the
// portable profile reader over real files.
#include "host/platform.h"

#include "sim/files.h"
#include "sim/host/host.h"
#include "sim/host/profile_reader.h"

#include <cstring>

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
