// Frame-time captures from capture tools, streamed frame by frame: PresentMon and OCAT CSV,
// CapFrameX JSON, MangoHud CSV, and plain text with one frame time in milliseconds per line.
//
// Reading contract. A capture is read once, frame by frame, without holding it in memory. A CSV
// table may interleave several applications, and without --app the one to replay (the most
// frames, not dwm.exe) is known only at the end. So:
// - with options.application, one read replays that application;
// - with options.restart, the first application that is not dwm.exe is replayed while the table
//   is read; should another turn out to have more frames, restart() is called (forget every frame
//   given so far) and a second read replays that one. Most captures hold one game: one read;
// - with neither, a first read only counts and a second replays the chosen application.
// No reader holds the capture: tables and plain text go line by line (a line longer than 1 MiB is
// refused), CapFrameX JSON as parse events (the line of a fault is found by reading the file
// again, so it is read from a file, never from a pipe). What a caller keeps of the frames is its
// own: the tuner keeps them all (sim/tune/frames.h).
// A tool stopped while writing leaves its capture cut short: a last line with no line end that is
// short of its cells or cut inside its frame time, or JSON that ends inside itself. What comes
// before the cut is read, and the summary says so; a fault anywhere else is an error.
#pragma once

#include "sim/failure.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class CaptureFormat { PresentMon, CapFrameX, MangoHud, PlainText, TarnwickRecord };

const char* captureFormatName(CaptureFormat format);

struct AppFrames {
    std::string name;
    std::uint64_t frames = 0;
};

// How the application judged was chosen: the only one, --app, a program of the game's folder,
// the most frames, or (live input) the first that is no system process.
enum class ChosenBy { Alone, Asked, GameFolder, MostFrames, FirstSeen };

struct CaptureSummary {
    CaptureFormat format = CaptureFormat::PlainText;
    std::string application; // the one replayed
    ChosenBy chosenBy = ChosenBy::Alone;
    // Another application that may be the game (otherPossibleGame), unless --app chose.
    std::optional<AppFrames> mayBeTheGame;
    std::string frameTimesFrom;          // the column or the form its frame times came from
    std::vector<AppFrames> applications; // every application in the capture, in order of appearance
    std::uint64_t skippedCells = 0;      // NA or empty frame times of the replayed application
    // Zero or negative frame times: replayed all the same, as the plug-in would read them.
    std::uint64_t nonPositiveFrameTimes = 0;
    // Live input the player ended (Ctrl+C) before its end: the capture's time then, the frame
    // times read added up.
    std::optional<double> stoppedAtMs;
    std::uint64_t cutLastLineBytes = 0;  // the last line, cut short and left out; 0: none
    std::uint64_t cutJsonAfterBytes = 0; // CapFrameX JSON that ends inside itself: its size
    // Presents the game never rendered (frame generation): left out of the replay.
    std::uint64_t generatedFrames = 0;
    // Each way of reading this capture that a player may want to check, one line each: frames
    // left out as generated, swap chains left out, a frame time put together from two columns.
    std::vector<std::string> rules;
    // What the file says of the machine, where it says it (CapFrameX's processor, GPU and the
    // player's comment; MangoHud's system line): name and value, in the file's order.
    std::vector<std::pair<std::string, std::string>> system;
};

// What a capture cut short says of its end, in one line; empty for a whole one.
std::string cutShortText(const CaptureSummary& summary);

struct FrameRecordFile;

struct CaptureOptions {
    std::optional<std::string> application; // none: the one with the most frames, not dwm.exe
    std::optional<std::size_t> run;         // CapFrameX: which run (none: the first)
    std::optional<CaptureFormat> format;    // none: recognised from the file
    // The programs (.exe) of the game's folder, where it is known: the one of them in the capture
    // is the game.
    std::vector<std::string> gamePrograms;
    // The fraction of the file read, now and then, called from the thread that reads it.
    std::function<void(double)> progress;
    // Frames given so far must be forgotten: the replay starts again with another application.
    std::function<void()> restart;
    // When given and the capture is a frame record: its header, events and frames, from the one
    // read that replays it, so what it says of its purges is of the frames replayed. Filled on
    // the reading thread; whole when the replay returns.
    FrameRecordFile* record = nullptr;
};

// A list of applications in a message names this many and counts the rest.
inline constexpr std::size_t listedApplications = 10;

std::string countText(std::uint64_t count); // 1,200

std::string describeApplication(const AppFrames& app); // "name (N frames)", a long name cut short
// "the input was stopped (Ctrl+C) at 83.4 s of the capture: ...", or empty when it was not.
std::string describeStop(const CaptureSummary& summary);
std::string listApplications(const std::vector<AppFrames>& apps);
// The applications read and not judged, in order of appearance.
std::vector<AppFrames> notJudged(const CaptureSummary& summary);
// "the one with the most frames", "a program in the game's folder", ...
const char* chosenByText(ChosenBy chosenBy);
// Where another application may be the game: which one was judged and how to judge the other,
// "judged Launcher.exe (9,000 frames), the one with the most frames; Game.exe (4,000 frames) may
// be the game: --app Game.exe judges it". Empty where no other may be.
std::string judgedApplicationText(const CaptureSummary& summary);

// Why the file is no capture of a format read here, from its first lines; empty when it is one.
std::string whyNotACapture(const std::filesystem::path& path);

// How many runs a CapFrameX JSON capture holds; 0 for any other file, or one that cannot be read.
std::size_t capFrameXRunCount(const std::filesystem::path& path);

// Standard input ("-"), a named pipe or a device: read once, as it comes (see replayCapture).
bool isLiveInput(const std::filesystem::path& path);

// Calls onFrame with each frame time (milliseconds) of the chosen application, in order, on the
// calling thread; the file is read ahead on another.
// A Failure for a malformed or unrecognised capture, and for one without a single positive frame
// time (after onFrame has seen what there was): "FILE:LINE: what" in failureText; BadOption for
// an option the capture's format has no use for. What onFrame throws goes through. Live input is
// read once, on the calling thread, each frame handed on as soon as its line comes; the
// application is --app, else the first that is not a system process; CapFrameX JSON is refused
// there.
Result<CaptureSummary> replayCapture(const std::filesystem::path& path,
                                     const CaptureOptions& options,
                                     const std::function<void(double)>& onFrame);

} // namespace sim
