// Where control enters the plug-in: the library entry registers the script, and the script
// governs the frame rate once per game frame.
#pragma once

#include "governor/state.h"
#include "host/hook.h"
#include "record/record.h"
#include "settings/settings.h"

#include <cstdint>

inline constexpr const char* purgeLogMessage =
    "Critical performance state. Purging ambient entities.";

// What the library entry does when the process loads it (DllMain on Windows, the simulated loader
// elsewhere): registers governorMain with the hook, nothing more. in: module, the library's own.
void attachPlugin(ModuleHandle module);

// The script: reads the settings, then runs one pass a frame. Returns only when disabled.
void governorMain();

// One frame's work, between two waits: estimate, advance, and purge when due.
void governorPass(GovernorState& governor, const GovernorSettings& settings);

// The same pass, with the frame recorded: the frame time read, the state after it, the vehicles
// about once a second and before and after each purge. With Record=2 the purge is withheld: the
// record marks where it would have run, and no log line is written.
void recordedPass(GovernorState& governor, const GovernorSettings& settings, FrameRecord& record);
