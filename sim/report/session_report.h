// What a city drive or a replay did: text for people and JSON for scripts (the JSON fields are
// listed in the README).
#pragma once

#include "sim/capture/capture.h"
#include "sim/session/city.h"
#include "sim/session/session.h"
#include "sim/session/slumps.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string_view>
#include <vector>

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
    std::string pluginLog;      // what the plug-in logged, when it is to be kept
    std::string pluginRecord;   // its frame record, when it is to be kept
};

std::string formatSeconds(double ms); // "12.345 s"

// Text.
// in: source, where the settings came from ("from FILE", "the defaults"), or empty.
void printSettings(std::ostream& out, const SessionResult& result, std::string_view source);
// in: vehicles, false for a replay, which has none to count; record, a replay of a frame record,
// whose own purges' gains the caller says next; live, one read as it comes, whose gains are not
// measured.
void printSummary(std::ostream& out, const SessionResult& result, bool vehicles,
                  bool record = false, bool live = false);
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
                 std::string_view settingsSource, const SlumpVerdict& slumps,
                 const std::vector<TimelineRow>& rows);

// How the lows are worked out, in words: capture tools work them out differently.
inline constexpr const char* lowsMethod =
    "P1 and P0.1: 1000 over the 99th and 99.9th percentile frame time, nearest rank; average: the "
    "frame rate of the mean of the slowest 1% and 0.1% of frame times";

// JSON.
// The lows named by their method: p1Fps, p01Fps, averageOnePercentFps, averagePointOnePercentFps.
nlohmann::json lowsJson(const FrameTimeCounts& counts);
// Which application was judged and why, the others read and not judged (otherApplications, the
// first hundred, and otherApplicationsNotListed past them), and one that may be the game.
nlohmann::json applicationsJson(const CaptureSummary& summary);
nlohmann::json settingsJson(const SessionResult& result);
nlohmann::json sessionJson(const SessionResult& result); // what run and replay share
// run --compare: the governed drive's figures and the same drive's without Tarnwick.
nlohmann::json comparisonJson(const DriveOutcome& with, const DriveOutcome& without);
nlohmann::json driveJson(const DriveFacts& drive, const SessionResult& result);
nlohmann::json replayJson(const std::filesystem::path& capture, const CaptureSummary& summary,
                          const SessionResult& result, const SlumpVerdict& slumps);

} // namespace sim
