// The report page: one self-contained HTML file for a player.
#pragma once

#include "sim/check/settings_check.h"
#include "sim/doctor/doctor.h"
#include "sim/report/on_off.h"
#include "sim/report/tune_report.h"
#include "sim/report/verdict.h"
#include "sim/session/purge_gains.h"
#include "sim/session/session.h"
#include "sim/tune/frames.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// The report page: the verdict, the settings file's findings, each capture and the heat map.
struct PageCapture {
    CaptureFacts facts;
    std::optional<SessionResult> replay; // with the player's pair; none: it could not be read
    std::string error;                   // why not
    std::size_t tuned = 0;               // its place among the captures tuned
    const TuneFrames* frames = nullptr;  // as tuned: each frame, for the frame-time charts
    std::optional<PurgeGains> gains;     // a frame record's: what each purge gained
    std::string recordedAt; // a record judged at thresholds other than its own: its own
};
struct ReportPage {
    std::vector<PageCapture> captures;
    std::optional<SettingsCheck> settings;
    std::optional<Examination> install; // the doctor's, when the tool lies in the game's folder
    std::optional<TuneReport> tune;     // none when no capture could be read
    std::optional<Verdict> verdict;     // of tune
    std::optional<OnOff> onOff;         // two frame records, Tarnwick on against off
};
void writeReportPage(std::ostream& out, const ReportPage& page);

} // namespace sim
