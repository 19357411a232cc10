// Windows bindings of the platform services.
#include "host/platform.h"

#include <windows.h>

#include <cstdio>

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

// The record's file is shared with every other program, as the log is, so a player can open it
// while the game runs.
namespace {

HANDLE openRecord(const char* name, DWORD access, DWORD disposition)
{
    return CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool platformCreateRecord(const char* name)
{
    const HANDLE file = openRecord(name, GENERIC_WRITE, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
    return true;
}

bool platformAppendRecord(const char* name, const char* data, std::size_t size)
{
    const HANDLE file = openRecord(name, FILE_APPEND_DATA, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    DWORD written = 0;
    const bool whole = size <= 0xFFFFFFFFu &&
                       WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) &&
                       written == size;
    CloseHandle(file);
    return whole;
}

bool platformCutRecord(const char* name, std::uint64_t size)
{
    const HANDLE file = openRecord(name, GENERIC_WRITE, OPEN_EXISTING);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    const bool cut = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return cut;
}

void platformLocalStamp(char* buffer, std::size_t size)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    std::snprintf(buffer, size, "%04u-%02u-%02u_%02u-%02u-%02u", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute, now.wSecond);
}
