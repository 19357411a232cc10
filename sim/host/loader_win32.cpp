// The loader on Windows: the real plug-in library beside the executable, loaded by the system.
#include "sim/host/host.h"

#include <windows.h>

namespace sim {

bool loadPlugin()
{
    HMODULE module = LoadLibraryA("Tarnwick.asi");
    host().script.pluginModule = module;
    return module != nullptr;
}

} // namespace sim
