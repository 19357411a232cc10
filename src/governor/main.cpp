// The script's entry and its endless per-frame loop.
#include "governor/main.h"

#include "governor/purge.h"
#include "governor/state.h"
#include "host/natives.h"
#include "host/platform.h"
#include "log/log.h"
#include "record/record.h"
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
    // Unrecorded, the loop is the one it always was: the same natives in the same order.
    if (settings.record == RecordMode::Off) {
        for (;;) {
            governorPass(governor, settings);
            scriptWait(0);
        }
    }
    FrameRecord record = openRecord(settings, platformTickMs());
    for (;;) {
        recordedPass(governor, settings, record);
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

void recordedPass(GovernorState& governor, const GovernorSettings& settings, FrameRecord& record)
{
    // A record that stopped (its limit, a failed write) leaves the governor as it would be.
    if (!record.active && settings.record == RecordMode::On) {
        return governorPass(governor, settings);
    }
    RecordRow row;
    const float fps = estimateFps([&row] {
        row.frameTimeSeconds = getFrameTime();
        return row.frameTimeSeconds;
    });
    advanceState(governor, fps, settings);
    row.state = governor.state;
    row.tickMs = platformTickMs();
    if (governor.state == PerfState::Critical && purgeDue(governor, row.tickMs)) {
        // Only Record=2 gets here with a record that stopped: it still withholds the purge.
        if (record.active) {
            row.counts = countVehicles(settings.detectionRange);
            row.counted = true;
        }
        if (settings.record == RecordMode::WithoutPurging) {
            row.event = recordWithheldEvent;
        } else {
            purgeDistantVehicles(settings.detectionRange);
            row.taken = row.counts.distant - countVehicles(settings.detectionRange).distant;
            row.event = recordPurgeEvent;
        }
        notePurge(governor, platformTickMs());
        if (settings.record != RecordMode::WithoutPurging) {
            writeLog(purgeLogMessage);
        }
    } else if (countDue(record, row.tickMs)) {
        row.counts = countVehicles(settings.detectionRange);
        row.counted = true;
    }
    addRow(record, row);
    writeRecordWhenDue(record, row.tickMs);
}
