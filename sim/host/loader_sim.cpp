// The simulated loader: the plug-in is linked in, so its entry's work is called as the system's
// loader would set it off.
#include "governor/main.h"
#include "sim/host/host.h"

namespace sim {

bool loadPlugin()
{
    // The module handle is only an identity to the hook; any distinct non-null value serves.
    static char moduleIdentity;
    host().script.pluginModule = reinterpret_cast<ModuleHandle>(&moduleIdentity);
    attachPlugin(host().script.pluginModule);
    return true;
}

} // namespace sim
