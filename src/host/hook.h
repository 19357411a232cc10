// The six operations of the script hook that the plug-in calls. On Windows they are imported from
// ScriptHookV.dll under the hook's own decorated names; elsewhere the simulated host defines them.
// Declared with C++ linkage and the hook's exact types so the decorated names match.
#pragma once

#include <cstdint>

// The platform's instance handle, spelled as <windows.h> does, without including it.
struct HINSTANCE__;
using ModuleHandle = HINSTANCE__*;

// A game entity: the player's character or a vehicle.
using Entity = std::int32_t;

using ScriptMain = void (*)();

#ifdef _WIN32
using WaitMs = unsigned long; // DWORD: decorated as such by the hook
#else
using WaitMs = std::uint32_t;
#endif

// in: module, the registering library's own handle; in: script, run later on the script thread.
void scriptRegister(ModuleHandle module, ScriptMain script);

// in: ms, always 0. Yields to the game until the next frame.
void scriptWait(WaitMs ms);

// out: handles; in: capacity. Returns how many handles were written (at most capacity).
int worldGetAllVehicles(int* handles, int capacity);

// Begins a native call; in: hash.
void nativeInit(std::uint64_t hash);

// Appends one argument slot to the call being built.
void nativePush64(std::uint64_t slot);

// Runs the native. Returns its result slots, valid until the next native call.
std::uint64_t* nativeCall();
