// What a session did, turned into text for people, JSON for scripts and an SVG chart, each in one
// place. The commands hand it what happened; it decides how that reads.
#pragma once

#include "sim/capture/capture.h"
#include "sim/check/settings_check.h"
#include "sim/doctor/doctor.h"
#include "sim/session/city.h"
#include "sim/session/session.h"
#include "sim/text.h"
#include "sim/tune/tune.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>

namespace sim {

// What a city drive was, beside what the session did.
struct DriveFacts {
    double seconds = 0;
    std::uint64_t seed = 0;
    TrafficCounts vehiclesAtEnd;
};

// A whole drive: what it was and what the session did.
struct DriveOutcome {
    DriveFacts facts;
    SessionResult result;
    double msBelowCritical = 0; // below the governed settings' FPS_Critical
};

std::string formatSeconds(double ms); // "12.345 s"

// Text.
void printSettings(std::ostream& out, const SessionResult& result);
void printSummary(std::ostream& out, const SessionResult& result);
// The city drive's timeline, row by row as it is played.
void printDriveHeading(std::ostream& out, const DriveFacts& drive, const SessionResult& result);
void printTimelineRow(std::ostream& out, double ms, const FrameOutcome& frame,
                      const TrafficCounts& counts);
void printDriveChange(std::ostream& out, const StateChange& change);
void printDrivePurge(std::ostream& out, double ms, std::uint64_t removed);
void printDriveEnd(std::ostream& out, const DriveFacts& drive, const SessionResult& result);
// One row of a replay's timeline: a stretch of --every seconds.
struct TimelineRow {
    double endMs = 0;
    double meanFps = 0;
    PerfState state = PerfState::Normal; // at the row's end
    std::uint64_t changes = 0;
    std::uint64_t purges = 0;
};

// The same drive with and without Tarnwick, side by side.
void printComparison(std::ostream& out, const DriveOutcome& with, const DriveOutcome& without);

// A replay, once it is over; rows empty without --every.
void printReplay(std::ostream& out, const std::filesystem::path& capture,
                 const CaptureSummary& summary, const SessionResult& result,
                 const std::vector<TimelineRow>& rows);

// The settings check: every key with where it came from, then the findings.
void printSettingsCheck(std::ostream& out, const SettingsCheck& check);
// Its warnings alone, for commands that take --ini: "tarnwick-sim: FILE: warning: line N: ...".
void printSettingsWarnings(std::ostream& err, const SettingsCheck& check);

// The doctor: each finding with its severity and what to do, then how many need doing.
void printDoctor(std::ostream& out, const Examination& examination);
nlohmann::json doctorJson(const Examination& examination);

// tune: the capture, the player's pair, the recommendation and its rule, the pairs around it.
struct TuneReport {
    std::filesystem::path capture;
    CaptureSummary summary;
    std::string settingsSource; // the settings file, or "the defaults"
    Range moderate;
    Range critical;
    std::uint64_t frames = 0;
    FrameTimeCounts frameTimes;
    TuneResult result;
};
void printTune(std::ostream& out, const TuneReport& report);
nlohmann::json tuneJson(const TuneReport& report);
// A heat map: FPS_Moderate across, FPS_Critical up, colour for purges a minute, brief-dip purges
// hatched, the player's pair and the recommendation marked.
void writeTuneSvg(std::ostream& out, const TuneReport& report);

// JSON (the fields are listed in the README).
nlohmann::json settingsJson(const SessionResult& result);
nlohmann::json sessionJson(const SessionResult& result); // what run and replay share
nlohmann::json settingsCheckJson(const SettingsCheck& check);
// run --compare: the governed drive's figures and the same drive's without Tarnwick.
nlohmann::json comparisonJson(const DriveOutcome& with, const DriveOutcome& without);
nlohmann::json driveJson(const DriveFacts& drive, const SessionResult& result);
nlohmann::json replayJson(const std::filesystem::path& capture, const CaptureSummary& summary,
                          const SessionResult& result);

struct ChartOptions {
    std::string title;
    bool vehicles = true; // false: a replay, whose purges have no vehicles to remove
    const SessionResult* baseline = nullptr; // drawn beside: the same drive without Tarnwick
};

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and the purges on a strip of their own. Its size follows its width, not the
// session's length.
void writeSvg(std::ostream& out, const SessionResult& result, const ChartOptions& options);

} // namespace sim
