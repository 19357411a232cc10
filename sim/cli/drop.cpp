// A capture or a game's folder dropped onto the tool in a file manager: no options to type, so the
// sensible ones are chosen for the player and said.
#include "sim/cli/commands.h"

#include "sim/cli/console.h"
#include "sim/files.h"

#include <iostream>

namespace {

// Explorer passes what was dropped as the only argument, its whole path.
std::optional<std::filesystem::path> dropped(const std::vector<std::string>& arguments, bool folder)
{
    if (arguments.size() != 2 || arguments[1].empty() || arguments[1].front() == '-') {
        return std::nullopt;
    }
    const std::filesystem::path path = sim::pathFromUtf8(arguments[1]);
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (folder ? !std::filesystem::is_directory(status)
               : !std::filesystem::is_regular_file(status)) {
        return std::nullopt;
    }
    return path;
}

// A console opened for the tool alone closes with it: the player would see nothing.
void waitForEnter(std::ostream& out)
{
    if (consoleIsOurs()) {
        out << "\nPress Enter to close this window." << std::flush;
        std::cin.get();
    }
}

// Beside the tool, or one folder up: the zip puts the tool in tools/ and the settings above it.
std::optional<std::filesystem::path> settingsBesideTheTool()
{
    const std::filesystem::path folder = toolFolder();
    for (const std::filesystem::path& candidate :
         {folder / "Tarnwick.ini", folder.parent_path() / "Tarnwick.ini"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) {
            return candidate;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<std::filesystem::path> droppedCapture(const std::vector<std::string>& arguments)
{
    return dropped(arguments, false);
}

std::optional<std::filesystem::path> droppedFolder(const std::vector<std::string>& arguments)
{
    return dropped(arguments, true);
}

int replayDroppedCapture(const std::filesystem::path& capture, std::ostream& out, std::ostream& err)
{
    ReplayOptions replay;
    replay.capture = std::filesystem::absolute(capture);
    replay.common.ini = settingsBesideTheTool();
    replay.common.svg = replay.capture;
    replay.common.svg->concat(".tarnwick.svg");
    out << "settings: "
        << (replay.common.ini ? sim::utf8Of(*replay.common.ini)
                              : "no Tarnwick.ini beside the tool, so every default")
        << '\n';
    const int status = replayFromCommandLine(replay, out, err);
    waitForEnter(out);
    return status;
}

int doctorOnDroppedFolder(const std::filesystem::path& folder, const std::string& toolVersion,
                          std::ostream& out, std::ostream& err)
{
    const int status = doctorCommand({folder, false, toolVersion}, out, err);
    waitForEnter(out);
    return status;
}
