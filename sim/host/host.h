// The simulated host: the hook's six operations, the platform services and a small world of
// vehicles, for running the plug-in's real code without the game. Deterministic and headless.
//
// The hook's operations (hook.h) act on the one Host: scriptRegister fills script; scriptWait
// yields to runFrame; worldGetAllVehicles writes the world's handles (up to the capacity) and
// answers how many, or faults.reportedVehicleCount; nativeInit, nativePush64 and nativeCall run a
// native by hash on the world and the clock. A call out of order, an unknown hash or a wrong slot
// count is a hostFault. The platform services (platform.h) answer from clock and machine.
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

// The game's clock as the plug-in sees it.
struct GameClock {
    float frameTimeSeconds = 1.0f / 60.0f; // what getFrameTime answers
    std::uint32_t tickMs = 0;              // what the tick counter answers
    // Simulated time a native call takes, so that tests can tell ticks read before and after.
    std::uint32_t tickPerNativeCallMs = 0;
};

// The machine the game runs on, as the platform services answer.
struct Machine {
    std::string exePath = "game.exe";     // what the module path answers
    std::string logPath = "Tarnwick.log"; // UTF-8; where the plug-in's log opens
    bool modulePathFails = false;
    std::vector<ProfileRead> profileReads;          // every profile read, in order
    std::string localStamp = "2026-06-28_17-17-51"; // what the local time answers
    // The frame record's file, on request: the disk takes only this many more bytes (a write
    // beyond them goes in part and fails); every write after this many fails; no file is made.
    std::optional<std::uint64_t> diskBytesLeft;
    std::optional<int> recordWritesBeforeFailure;
    bool recordCreateFails = false;
};

// The script's life: registered from the plug-in's entry, then resumed once a frame.
struct ScriptLife {
    ModuleHandle pluginModule = nullptr; // as the loader gave it
    ModuleHandle registeredModule = nullptr;
    ScriptMain main = nullptr;
    int registrations = 0;
    ScriptPhase phase = ScriptPhase::None;
};

// What the plug-in asked of the hook. The counts always run; calls only while recording.
struct CallRecord {
    bool recording = false;
    std::vector<HookCall> calls;
    std::uint64_t nativeCalls = 0;
    std::uint64_t waits = 0;
    std::uint64_t vehicleListings = 0; // one per purge
    std::uint64_t deletions = 0;
    // Where the last vehicle list was written, so tests can inspect the caller's array.
    int* listedHandles = nullptr;
    int listedCapacity = 0;
};

// Misbehaviour on request, for tests of what the plug-in survives.
struct Faults {
    // The count the vehicle list reports, whatever it wrote.
    std::optional<int> reportedVehicleCount;
    // Called at each nativeCall with its hash, before the native acts.
    std::function<void(std::uint64_t)> onNative;
    // Raw result slots served by the next native call instead of the native's own, once.
    std::optional<std::array<std::uint64_t, 3>> rawResult;
};

struct Host {
    World world;
    GameClock clock;
    Machine machine;
    ScriptLife script;
    CallRecord record;
    Faults faults;
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

// in: where, whether a script owns it, whether its handle names an entity. Returns a new handle.
Entity addVehicle(float x, float y, float z, bool mission = false, bool exists = true);
// The listed vehicle with this handle, existing or not; null when the world does not list it.
const Vehicle* findVehicle(Entity handle);
// Takes the vehicle off the list; an unknown handle is ignored.
void removeVehicle(Entity handle);

// For the hook's operations (host.cpp, natives_sim.cpp): each call noted while recording; the
// listed vehicle a native changes; a native call half built, forgotten.
void recordHookCall(HookOp op, std::uint64_t value);
Vehicle* listedVehicle(Entity handle);
void resetNativeCall();

// A broken expectation of the host (unknown hash, wrong slot count): loud, never silent.
[[noreturn]] void hostFault(const std::string& what);

} // namespace sim
