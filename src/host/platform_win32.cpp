// Windows bindings of the platform services.
#include "host/platform.h"

#include <windows.h>

std::uint32_t platformModulePath(char* buffer, std::uint32_t size)
{
    return GetModuleFileNameA(nullptr, buffer, size);
}

std::uint32_t platformProfileInt(const char* section, const char* key, std::int32_t defaultValue,
                                 const char* path)
{
    return GetPrivateProfileIntA(section, key, defaultValue, path);
}

std::uint32_t platformTickMs()
{
    return GetTickCount();
}

// The C runtime's default open denies no sharing to other programs.
std::ofstream platformOpenLog()
{
    return std::ofstream("Tarnwick.log", std::ios::out | std::ios::app);
}
