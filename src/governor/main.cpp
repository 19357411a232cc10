// The script's entry and its endless per-frame loop.
#include "governor/main.h"

#include "governor/purge.h"
#include "governor/state.h"
#include "host/natives.h"
#include "host/platform.h"
#include "log/log.h"
#include "settings/settings.h"

#include <string>

void attachPlugin(ModuleHandle module)
{
    scriptRegister(module, governorMain);
}

void governorMain()
{
    const std::string iniPath = getIniPath();
    const GovernorSettings settings = readSettings(iniPath);
    if (!settings.enabled) {
        return;
    }
    loggingEnabled = settings.logging;
    GovernorState governor;
    for (;;) {
        governorPass(governor, settings);
        scriptWait(0);
    }
}

void governorPass(GovernorState& governor, const GovernorSettings& settings)
{
    const float fps = estimateFps(getFrameTime);
    advanceState(governor, fps, settings);
    if (governor.state == PerfState::Critical && purgeDue(governor, platformTickMs())) {
        purgeDistantVehicles(settings.detectionRange);
        notePurge(governor, platformTickMs());
        writeLog(purgeLogMessage);
    }
}
