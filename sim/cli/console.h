// Where the tool meets its user: the arguments as typed, the console it writes to, the folder it
// lies in. One file per platform binds these.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sim {

// The arguments as UTF-8, whatever the system's code page (argv itself on POSIX systems).
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Makes the console show UTF-8 output as a terminal does; from now on any stop (Ctrl+C, SIGTERM,
// SIGHUP, closing the window) removes the simulated game's temporary folders before the tool
// ends, and a write to a closed pipe fails instead of ending the tool.
void prepareConsole();

// Whether standard output is a pipe whose reader left (`| head -1`): the tool then ends quietly.
bool standardOutputWentAway();

// Whether a person watches: progress lines are drawn only on an interactive console.
bool errorsGoToTerminal();

// True when the console was opened for this tool alone (started from Explorer, say), so it
// closes as soon as the tool ends.
bool consoleIsOurs();

// From now on the first Ctrl+C, SIGTERM or SIGHUP (on Windows Ctrl+C, Ctrl+Break and closing
// the window) ends the reading of standard input or a pipe (the input then ends as at its end, so
// the command finishes with what was read) instead of the tool; a second ends the tool.
void stopReadingOnInterrupt();

// Opens a page in the player's default browser (Windows; elsewhere the page's path is enough).
void openInBrowser(const std::filesystem::path& page);

// The folder of the running executable.
std::filesystem::path toolFolder();

// The columns of the console standard output (errors: standard error) shows, or 0 when it goes
// elsewhere (a pipe, a file): lines are wrapped for a console only.
std::size_t consoleWidth(bool errors);

} // namespace sim
