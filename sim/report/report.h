// What a session did, turned into text for people, JSON for scripts and an SVG chart, each in one
// place. The commands hand it what happened; it decides how that reads.
#pragma once

#include "sim/capture/capture.h"
#include "sim/check/settings_check.h"
#include "sim/session/city.h"
#include "sim/session/session.h"

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
// A replay, once it is over.
void printReplay(std::ostream& out, const std::filesystem::path& capture,
                 const CaptureSummary& summary, const SessionResult& result);

// The settings check: every key with where it came from, then the findings.
void printSettingsCheck(std::ostream& out, const SettingsCheck& check);
// Its warnings alone, for commands that take --ini: "tarnwick-sim: FILE: warning: line N: ...".
void printSettingsWarnings(std::ostream& err, const SettingsCheck& check);

// JSON (the fields are listed in the README).
nlohmann::json settingsJson(const SessionResult& result);
nlohmann::json sessionJson(const SessionResult& result); // what run and replay share
nlohmann::json settingsCheckJson(const SettingsCheck& check);
nlohmann::json driveJson(const DriveFacts& drive, const SessionResult& result);
nlohmann::json replayJson(const std::filesystem::path& capture, const CaptureSummary& summary,
                          const SessionResult& result);

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and a mark at each purge.
void writeSvg(std::ostream& out, const SessionResult& result, const std::string& title);

} // namespace sim
