// The loader of builds without Windows: the plug-in is linked in, so its entry is called as the
// system's loader would call it.
#include "governor/main.h"
#include "sim/host/host.h"

namespace sim {

bool loadPlugin()
{
    // The module handle is only an identity to the hook; any distinct non-null value serves.
    static char moduleIdentity;
    host().script.pluginModule = reinterpret_cast<ModuleHandle>(&moduleIdentity);
    return DllMain(host().script.pluginModule, processAttach, nullptr) != 0;
}

} // namespace sim
