// A hook whose operations do almost nothing, so that the governor's own cost is what shows.
// Vehicles 1..1024 stand at x = their handle; the player at the origin.
#include "bench/minimal_hook.h"

#include "host/natives.h"
#include "host/platform.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace bench {

float frameTimeSeconds = 0.01f;
std::uint32_t tickMs = 100000;
int vehicleCount = 1024;

} // namespace bench

namespace {

std::uint64_t hash;
std::uint64_t slots[8];
unsigned pushed;
std::uint64_t result[3];

float floatSlot(unsigned i)
{
    float value;
    const auto bits = static_cast<std::uint32_t>(slots[i]);
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void setFloat(float value)
{
    result[0] = 0;
    std::memcpy(result, &value, sizeof value);
}

} // namespace

void scriptRegister(ModuleHandle, ScriptMain) {}

void scriptWait(WaitMs) {}

int worldGetAllVehicles(int* handles, int capacity)
{
    const int count = bench::vehicleCount < capacity ? bench::vehicleCount : capacity;
    for (int i = 0; i < count; ++i) {
        handles[i] = i + 1;
    }
    return count;
}

void nativeInit(std::uint64_t nativeHash)
{
    hash = nativeHash;
    pushed = 0;
}

void nativePush64(std::uint64_t slot)
{
    slots[pushed++ & 7] = slot;
}

std::uint64_t* nativeCall()
{
    switch (hash) {
    case nativeHash::getFrameTime:
        setFloat(bench::frameTimeSeconds);
        break;
    case nativeHash::getEntityCoords:
        // x = the handle for vehicles, the origin for the player (handle 0x7000).
        setFloat(slots[0] == bench::playerHandle ? 0.0f : static_cast<float>(slots[0]));
        result[1] = 0;
        result[2] = 0;
        break;
    case nativeHash::distanceBetweenCoords:
        setFloat(std::fabs(floatSlot(3) - floatSlot(0)));
        break;
    case nativeHash::getPlayerPed:
        result[0] = bench::playerHandle;
        break;
    case nativeHash::doesEntityExist:
        result[0] = 1;
        break;
    case nativeHash::deleteVehicle:
        *reinterpret_cast<Entity*>(static_cast<std::uintptr_t>(slots[0])) = 0;
        result[0] = 0;
        break;
    default: // isMissionEntity, setAsMissionEntity
        result[0] = 0;
        break;
    }
    return result;
}

std::uint32_t platformModulePath(char* buffer, std::uint32_t size)
{
    if (size > 0) {
        buffer[0] = '\0';
    }
    return 0;
}

std::uint32_t platformProfileInt(const char*, const char*, std::int32_t defaultValue, const char*)
{
    return static_cast<std::uint32_t>(defaultValue);
}

std::uint32_t platformTickMs()
{
    return bench::tickMs;
}

// Where the game's would be, so that a purge's log line costs what it costs there.
std::ofstream platformOpenLog()
{
    return std::ofstream("Tarnwick.log", std::ios::out | std::ios::app);
}

// The frame record lands where the game's would, so its writes cost what they cost there. Each
// session of a benchmark starts the one file again.
bool platformCreateRecord(const char* name)
{
    std::FILE* file = std::fopen(name, "wb");
    return file != nullptr && std::fclose(file) == 0;
}

bool platformAppendRecord(const char* name, const char* data, std::size_t size)
{
    std::FILE* file = std::fopen(name, "ab");
    if (file == nullptr) {
        return false;
    }
    const bool whole = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && whole;
}

bool platformCutRecord(const char*, std::uint64_t)
{
    return false;
}

void platformLocalStamp(char* buffer, std::size_t size)
{
    std::snprintf(buffer, size, "bench");
}
