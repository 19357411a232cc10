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
// in: source, where the settings came from ("from FILE", "the defaults"), or empty.
void printSettings(std::ostream& out, const SessionResult& result, std::string_view source);
// in: vehicles, false for a replay, which has none to count.
void printSummary(std::ostream& out, const SessionResult& result, bool vehicles);
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

// The settings check: every key with where it came from, then the findings.
void printSettingsCheck(std::ostream& out, const SettingsCheck& check);
// Its warnings alone, for commands that take --ini: "tarnwick-sim: FILE: warning: line N: ...".
void printSettingsWarnings(std::ostream& err, const SettingsCheck& check);

// The doctor: each finding with its severity and what to do, then how many need doing.
void printDoctor(std::ostream& out, const Examination& examination);
nlohmann::json doctorJson(const Examination& examination);

// What was read of one capture.
struct CaptureFacts {
    std::filesystem::path capture;
    CaptureSummary summary;
    std::uint64_t frames = 0;
    FrameTimeCounts frameTimes;
};

// tune: the captures, the player's pair, the recommendation and its rule, the pairs around it.
struct TuneReport {
    std::vector<CaptureFacts> captures; // as the result's, in order
    std::string settingsSource;         // the settings file, or "the defaults"
    Range moderate;
    Range critical;
    TuneResult result;
};
void printTune(std::ostream& out, const TuneReport& report);
// Why the recommendation is what it is, in one sentence of a player's words.
std::string recommendationWhy(const TuneResult& result);
// Captures of games at different usual frame rates judged together: said, or empty.
std::string mixedRatesWarning(const TuneResult& result);
nlohmann::json tuneJson(const TuneReport& report);
// The answer in two or three lines: what the player's pair does, what to set instead and why.
void printVerdict(std::ostream& out, const TuneReport& report);
// A heat map: FPS_Moderate across, FPS_Critical up, colour for purges a minute, pairs that purge
// outside slumps and pairs that miss slumps marked, the player's pair and the recommendation too.
void writeTuneSvg(std::ostream& out, const TuneReport& report);

// Slumps, said the same way by every command.
std::string slumpsCaughtText(std::uint64_t caught, std::size_t slumps); // "catches both slumps"
std::string purgeTimesText(std::uint64_t purges); // "never", "once", "3 times"
std::string
slumpTargetText(const SlumpVerdict& verdict); // "below 48 fps (80% of the usual 60 fps)"
std::string noSlumpReason(const SlumpVerdict& verdict, double durationMs);
// "in a slump (28 fps over the last second)", or "outside any slump (...)".
std::string purgeJudgement(const FrameRateTrace& trace, const std::vector<Slump>& slumps,
                           double atMs);
nlohmann::json slumpVerdictJson(const SlumpVerdict& verdict);
// Each slump with its first purge by these times, if any; each purge with whether it fell in one.
nlohmann::json slumpsJson(const std::vector<Slump>& slumps,
                          const std::vector<double>& purgeTimesMs);
nlohmann::json purgesJson(const std::vector<double>& purgeTimesMs,
                          const std::vector<Slump>& slumps);

// The report page: the verdict, the settings file's findings, each capture and the heat map.
struct PageCapture {
    CaptureFacts facts;
    std::optional<SessionResult> replay; // with the player's pair; none: it could not be read
    std::string error;                   // why not
    std::size_t tuned = 0;               // its place among the captures tuned
};
struct ReportPage {
    std::vector<PageCapture> captures;
    std::optional<SettingsCheck> settings;
    std::optional<Examination> install; // the doctor's, when the tool lies in the game's folder
    std::optional<TuneReport> tune;     // none when no capture could be read
};
void writeReportPage(std::ostream& out, const ReportPage& page);
std::string upperFirst(std::string text);

// JSON (the fields are listed in the README).
nlohmann::json settingsJson(const SessionResult& result);
nlohmann::json sessionJson(const SessionResult& result); // what run and replay share
nlohmann::json settingsCheckJson(const SettingsCheck& check);
// run --compare: the governed drive's figures and the same drive's without Tarnwick.
nlohmann::json comparisonJson(const DriveOutcome& with, const DriveOutcome& without);
nlohmann::json driveJson(const DriveFacts& drive, const SessionResult& result);
nlohmann::json replayJson(const std::filesystem::path& capture, const CaptureSummary& summary,
                          const SessionResult& result, const SlumpVerdict& slumps);

struct ChartOptions {
    std::string title;
    bool vehicles = true; // false: a replay, whose purges have no vehicles to remove
    const SessionResult* baseline = nullptr;    // drawn beside: the same drive without Tarnwick
    const std::vector<Slump>* slumps = nullptr; // shaded behind the frame rate
};

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and the purges on a strip of their own. Its size follows its width, not the
// session's length.
void writeSvg(std::ostream& out, const SessionResult& result, const ChartOptions& options);
// Another pair's purges on the same time axis as writeSvg's chart, with the slumps behind them.
void writePurgeStrip(std::ostream& out, double durationMs, const std::vector<double>& purgeTimesMs,
                     const std::vector<Slump>& slumps, const std::string& label);

} // namespace sim
