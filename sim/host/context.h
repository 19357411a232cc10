// The script's own execution context, switched to and from once per frame like a fiber.
#pragma once

#include "host/hook.h"

namespace sim {

// Prepares a fresh context that will run script on the next contextResume.
void contextStart(ScriptMain script);

// Runs the script until it yields or returns. False once it has returned.
bool contextResume();

// From inside the script: back to whoever resumed it.
void contextYield();

// True while the script's context is running.
bool inScriptContext();

} // namespace sim
