// The simulator's subcommands, each given its parsed options.
#pragma once

#include "sim/tune/tune.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

struct CommonOptions {
    std::optional<std::filesystem::path> ini;
    std::optional<std::filesystem::path> svg;
    std::optional<std::filesystem::path> logDir; // where the plug-in's log goes
    std::optional<std::filesystem::path> page;   // report: the HTML page
    std::optional<std::filesystem::path> record; // run: where the plug-in's frame record goes
    std::uint32_t uptimeMs = 600000;
    bool json = false;
    bool iniDropped = false; // the settings file came with the captures dropped onto the tool
    std::vector<std::filesystem::path> gameFolders; // folders dropped with the captures
    // The settings judged, as the reports name them, and copies the game does not read.
    std::string settingsSource = "the defaults";
    std::vector<std::string> unreadSettings;
};

struct RunOptions {
    CommonOptions common;
    double seconds = 180;
    std::uint64_t seed = 1;
    double everySeconds = 5;
    bool compare = false; // the same drive again with the governor off, side by side
};

// Which frames of a capture are read, and what slumps are judged against.
struct CaptureChoice {
    std::optional<std::string> application;
    std::optional<std::size_t> run;    // CapFrameX only
    std::optional<double> target;      // slumps are below it; none: from the capture
    std::optional<double> fromSeconds; // the part played starts there; none: at the start
    std::optional<double> toSeconds;   // and ends there; none: at the end
    // The programs of the game's folder, where it is known (gameProgramsFor): the game's frames
    // are those of the one in the capture.
    std::vector<std::string> gamePrograms;
};

struct ReplayOptions {
    CommonOptions common;
    std::filesystem::path capture;
    CaptureChoice choice;
    std::optional<double> everySeconds; // a timeline row every so many seconds
};

struct TuneOptions {
    CommonOptions common;
    std::vector<std::filesystem::path> captures;
    CaptureChoice choice;
    Range moderate = defaultModerate;
    Range critical = defaultCritical;
    bool gridFollowsCaptures = true; // no range given: the grid reaches the captures' usual rate
};

struct ReportOptions {
    CommonOptions common;
    std::vector<std::filesystem::path> captures;
    CaptureChoice choice;
    std::string toolVersion; // the doctor's findings join the page when the tool lies in tools/
};

// Each command writes its report to out and its errors to err, and returns the exit status.
int runCommand(const RunOptions& options, std::ostream& out, std::ostream& err);
// run as the command line asks for it: inputs and outputs checked first.
int runFromCommandLine(RunOptions& options, std::ostream& out, std::ostream& err);
int replayCommand(const ReplayOptions& options, std::ostream& out, std::ostream& err);
int tuneCommand(const TuneOptions& options, std::ostream& out, std::ostream& err);
int tuneFromCommandLine(TuneOptions& options, std::ostream& out, std::ostream& err);
// The page, at -o or beside the first capture (<capture>.tarnwick.html; where that folder cannot
// take it, the tool's folder or the temporary one), written whole; says where on out, and gives
// it in pageWritten (none: no page was written).
int reportCommand(const ReportOptions& options, std::ostream& out, std::ostream& err,
                  std::optional<std::filesystem::path>* pageWritten = nullptr);
int reportFromCommandLine(ReportOptions& options, std::ostream& out, std::ostream& err,
                          std::optional<std::filesystem::path>* pageWritten = nullptr);
// replay as the command line asks for it: outputs prepared first (see checkInputsAndOutputs).
int replayFromCommandLine(ReplayOptions& options, std::ostream& out, std::ostream& err);
struct DoctorOptions {
    std::optional<std::filesystem::path> folder; // none: defaultGameFolder
    bool json = false;
    std::string toolVersion;
};

// 0 when nothing needs doing, 1 when something does, 2 when the folder is not one.
int doctorCommand(const DoctorOptions& options, std::ostream& out, std::ostream& err);
// What Explorer passes when things are dropped onto the tool: each one's whole path, sorted by
// what it is.
struct NotACapture {
    std::filesystem::path path;
    std::string what; // "a zip: unpack it and drop the capture inside"
};
struct Dropped {
    bool commandLine = true; // the arguments are a command line, not a drop
    std::vector<std::filesystem::path> captures;
    std::vector<std::filesystem::path> settings; // .ini files
    std::vector<std::filesystem::path> folders;
    std::vector<std::filesystem::path> missing;
    std::vector<NotACapture> others;
    std::vector<std::filesystem::path> logs; // Tarnwick.log: the doctor of its folder
};
// in: arguments, with the program's name first and a first argument that names no command.
Dropped whatWasDropped(const std::vector<std::string>& arguments);
// Captures: the report page beside the first, judged with a Tarnwick.ini dropped with them or
// else the one the game reads, opened in the browser when written whole; a folder: the doctor
// (and the page for captures dropped with it); a .ini alone: the settings check; a Tarnwick.log:
// the doctor of its folder; a path that is not there, or a file that is no capture: said, each,
// with what to drop instead. A console opened for the tool alone then waits for Enter.
int onDrop(const Dropped& dropped, const std::string& toolVersion, std::ostream& out,
           std::ostream& err);
// Started with nothing, from Explorer: what the tool is for and what to drop on it.
int welcome(std::ostream& out);
// The fixed scenario, with the game (and its Tarnwick.ini) in gameDir.
int scenarioCommand(const std::filesystem::path& gameDir, std::ostream& out);

} // namespace sim
