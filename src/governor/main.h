// Where control enters the plug-in: the library entry registers the script, and the script
// governs the frame rate once per game frame.
#pragma once

#include "governor/state.h"
#include "host/hook.h"
#include "settings/settings.h"

#include <cstdint>

inline constexpr std::uint32_t processAttach = 1;

inline constexpr const char* purgeLogMessage =
    "Critical performance state. Purging ambient entities.";

// The library entry. Registers governorMain on process attach; true for every reason.
extern "C" int DllMain(ModuleHandle module, std::uint32_t reason, void* reserved);

// The script: reads the settings, then runs one pass a frame. Returns only when disabled.
void governorMain();

// One frame's work, between two waits: estimate, advance, and purge when due.
void governorPass(GovernorState& governor, const GovernorSettings& settings);
