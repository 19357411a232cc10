// Settings path and the conversions of the profile reader's 32-bit results.
#include "settings/settings.h"

#include "host/platform.h"

#include <cstring>

namespace {

constexpr std::uint32_t modulePathCapacity = 260;

std::uint32_t readRaw(const SettingKey& key, const char* path)
{
    return platformProfileInt(key.section, key.name, key.defaultValue, path);
}

bool readFlag(const SettingKey& key, const char* path)
{
    return readRaw(key, path) != 0;
}

std::int32_t readSigned(const SettingKey& key, const char* path)
{
    // Two's complement: a player's "-1" arrives as 0xFFFFFFFF and means -1.
    return static_cast<std::int32_t>(readRaw(key, path));
}

} // namespace

std::string iniPathBeside(std::string_view exePath)
{
    const auto cut = exePath.find_last_of("\\/");
    std::string path(cut == std::string_view::npos ? exePath : exePath.substr(0, cut));
    path += "\\Tarnwick.ini";
    return path;
}

std::string getIniPath()
{
    char buffer[modulePathCapacity];
    std::memset(buffer, 0, sizeof buffer);
    const std::uint32_t written = platformModulePath(buffer, modulePathCapacity);
    // Failure leaves no path at all: the game's working folder is the best guess left.
    if (written == 0) {
        return ".\\Tarnwick.ini";
    }
    // A cut path may come without its terminator; never read past the buffer.
    buffer[modulePathCapacity - 1] = '\0';
    return iniPathBeside(std::string_view(buffer, std::strlen(buffer)));
}

RecordMode recordModeOf(std::uint32_t raw)
{
    switch (raw) {
    case 1:
        return RecordMode::On;
    case 2:
        return RecordMode::WithoutPurging;
    default:
        return RecordMode::Off;
    }
}

GovernorSettings readSettings(const std::string& iniPath)
{
    GovernorSettings settings;
    const char* path = iniPath.c_str();
    settings.enabled = readFlag(enabledKey, path);
    if (!settings.enabled) {
        return settings;
    }
    settings.logging = readFlag(loggingKey, path);
    settings.fpsModerate = readSigned(fpsModerateKey, path);
    settings.fpsCritical = readSigned(fpsCriticalKey, path);
    // Unsigned, converted once: all 32 bits set is a range of about 4.29e9, not -1.
    settings.detectionRange = static_cast<float>(readRaw(detectionRangeKey, path));
    settings.record = recordModeOf(readRaw(recordKey, path));
    return settings;
}
