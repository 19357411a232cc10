// `tarnwick-sim doctor`: is Tarnwick installed right? The game's folder looked at as the game and
// its loader will see it, read only, each finding in a player's words with what to do about it.
#pragma once

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class Severity { Fine, Note, NeedsDoing };

struct DoctorFinding {
    std::string id; // stable, for scripts and tests: "plugin.misplaced"
    Severity severity = Severity::Fine;
    std::string message;                             // what was found
    std::string toDo = {};                           // what to do about it; empty when nothing
    std::vector<std::string> details = {};           // lines under the message
    nlohmann::json facts = nlohmann::json::object(); // paths, versions, counts, as data
};

struct Examination {
    std::filesystem::path folder;
    std::string toolVersion;
    std::vector<DoctorFinding> findings;
};

// How much of a folder the doctor reads: a game's folder holds hundreds of entries.
struct FolderLimits {
    std::size_t kept = 100000;    // entries kept whole; past them only names the doctor looks up
    std::size_t looked = 2000000; // entries looked at in all; the looking stops there, and says so
};

// The shell a player pastes the doctor's commands into.
enum class Shell { Posix, PowerShell };

// The tool's program, and the tool as a player types it in its own folder: PowerShell runs
// nothing from the current folder without ".\", and cmd takes it too.
#ifdef _WIN32
inline constexpr std::string_view toolProgram = "tarnwick-sim.exe";
inline constexpr std::string_view ownFolderCommand = ".\\tarnwick-sim.exe";
inline constexpr Shell playerShell = Shell::PowerShell;
#else
inline constexpr std::string_view toolProgram = "tarnwick-sim";
inline constexpr std::string_view ownFolderCommand = "./tarnwick-sim";
inline constexpr Shell playerShell = Shell::Posix;
#endif

// A path as one argument that shell takes literally: a name holding $(...), backquotes or $x
// runs nothing when the line is pasted. Single quotes on POSIX (' as '\''), PowerShell's literal
// quotes (each quote doubled, its curly ones too, which it reads as quotes). Nothing when the
// path holds a control character: no pasted line carries it whole, so the command leaves it out.
std::optional<std::string> shellArgument(std::string_view utf8, Shell shell = playerShell);

// The tool as a player types it from currentFolder, so that the commands the doctor gives run
// where the player stands: ".\tools\tarnwick-sim.exe" from the game's folder, its whole path
// (quoted for the shell where it holds more than letters, digits and ./\:_-; PowerShell then
// runs it with "&") from a folder that is not above it.
std::string toolCommandFrom(const std::filesystem::path& toolFolder,
                            const std::filesystem::path& currentFolder, Shell shell = playerShell);

// in: folder, the game's folder (it must exist); toolVersion, this tool's own version;
// toolCommand, the tool in the commands the findings give (toolCommandFrom).
Examination examine(const std::filesystem::path& folder, const std::string& toolVersion,
                    const FolderLimits& limits = {},
                    std::string_view toolCommand = ownFolderCommand);

// The folder above the tool when the tool lies in a folder named "tools" (as the zip unpacks
// into the game's folder), else the current one.
std::filesystem::path defaultGameFolder(const std::filesystem::path& toolFolder,
                                        const std::filesystem::path& currentFolder);

// The game's folder the tool lies in: above tools\ (as the zip unpacks), one further up when the
// zip went into a folder of its own there, or the tool's own beside the game's .exe and the hook.
std::optional<std::filesystem::path> gameFolderOfTool(const std::filesystem::path& toolFolder);

// A program that may be the game: an .exe other than this tool.
bool isGameProgram(std::string_view name);

std::size_t needsDoing(const Examination& examination);
const char* severityName(Severity severity);

} // namespace sim
