// The script context on Windows fibers, as the real hook runs scripts.
#include "sim/host/context.h"

#include <windows.h>

namespace sim {
namespace {

constexpr SIZE_T scriptStackBytes = 1024 * 1024;

LPVOID hostFiber = nullptr;
LPVOID scriptFiber = nullptr;
ScriptMain scriptToRun = nullptr;
bool running = false;
bool returned = true;

void CALLBACK fiberMain(LPVOID)
{
    scriptToRun();
    returned = true;
    // A fiber must never return: that would end the thread.
    for (;;) {
        SwitchToFiber(hostFiber);
    }
}

} // namespace

void contextStart(ScriptMain script)
{
    if (hostFiber == nullptr) {
        hostFiber = ConvertThreadToFiber(nullptr);
    }
    if (scriptFiber != nullptr) {
        DeleteFiber(scriptFiber);
        scriptFiber = nullptr;
    }
    scriptToRun = script;
    returned = script == nullptr;
    if (!returned) {
        scriptFiber = CreateFiber(scriptStackBytes, fiberMain, nullptr);
    }
}

bool contextResume()
{
    if (returned || scriptFiber == nullptr) {
        return false;
    }
    running = true;
    SwitchToFiber(scriptFiber);
    running = false;
    return !returned;
}

void contextYield()
{
    SwitchToFiber(hostFiber);
}

bool inScriptContext()
{
    return running;
}

} // namespace sim
