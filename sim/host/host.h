// The simulated host: the hook's six operations, the platform services and a small world of
// vehicles, for running the plug-in's real code without the game. Deterministic and headless.
#pragma once

#include "host/hook.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {

struct Vehicle {
    Entity handle = 0;
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    bool exists = true;   // false: still listed, but the handle names nothing
    bool mission = false; // claimed by a script
};

struct World {
    Entity playerPed = 1;
    float playerX = 0.0f;
    float playerY = 0.0f;
    float playerZ = 0.0f;
    std::vector<Vehicle> vehicles;
    std::unordered_map<Entity, std::size_t> slotOf; // handle -> index in vehicles
    Entity nextHandle = 0x100;
};

enum class HookOp {
    ScriptRegister,
    ScriptWait,
    WorldGetAllVehicles,
    NativeInit,
    NativePush64,
    NativeCall
};

// value: the hash for NativeInit and NativeCall, the slot for NativePush64, the wait for
// ScriptWait, the capacity for WorldGetAllVehicles.
struct HookCall {
    HookOp op;
    std::uint64_t value;
    bool operator==(const HookCall&) const = default;
};

struct ProfileRead {
    std::string section;
    std::string key;
    bool operator==(const ProfileRead&) const = default;
};

enum class ScriptPhase { None, Registered, Running, Returned };

struct Host {
    World world;
    float frameTimeSeconds = 1.0f / 60.0f;
    std::uint32_t tickMs = 0;
    std::string exePath = "game.exe";
    bool modulePathFails = false;

    bool recording = false;
    std::vector<HookCall> calls;
    std::vector<ProfileRead> profileReads;
    std::uint64_t nativeCalls = 0;
    std::uint64_t waits = 0;
    std::uint64_t vehicleListings = 0; // one per purge
    std::uint64_t deletions = 0;
    // Simulated time a native call takes, so that tests can tell ticks read before and after.
    std::uint32_t tickPerNativeCallMs = 0;

    // Misbehaviour on request: the count the vehicle list reports, whatever it wrote.
    std::optional<int> reportedVehicleCount;
    // Where the last vehicle list was written, for tests that inspect the caller's array.
    int* listedHandles = nullptr;
    int listedCapacity = 0;
    // Called at each nativeCall with its hash, before the native acts.
    std::function<void(std::uint64_t)> onNative;
    // Raw result slots served by the next native call instead of the native's own, once.
    std::optional<std::array<std::uint64_t, 3>> rawResult;

    ModuleHandle pluginModule = nullptr; // as the loader gave it
    ModuleHandle registeredModule = nullptr;
    ScriptMain script = nullptr;
    int registrations = 0;
    ScriptPhase phase = ScriptPhase::None;
};

// The one host of this process, as the hook is one per game.
Host& host();

// A fresh host: empty world, no script, nothing recorded.
void resetHost();

// Loads the plug-in: on Windows the real library beside the executable; elsewhere its entry is
// called with process attach. False when it could not be loaded.
bool loadPlugin();

// Resumes the script for one frame: starts it on its own context the first time. False once the
// script has returned (or none is registered).
bool runFrame();

// Starts the registered script afresh on the next runFrame, as a hook that calls it again would.
void restartScript();

Entity addVehicle(float x, float y, float z, bool mission = false, bool exists = true);
const Vehicle* findVehicle(Entity handle);
void removeVehicle(Entity handle);
void clearVehicles();

// A broken expectation of the host (unknown hash, wrong slot count): loud, never silent.
[[noreturn]] void hostFault(const std::string& what);

} // namespace sim
