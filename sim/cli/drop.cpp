// What a player drops onto the tool in a file manager, or a double-click with nothing: no options
// to type, so the sensible ones are chosen for the player and said, and a console opened for the
// tool alone waits for Enter before it closes.
#include "sim/ascii.h"
#include "sim/cli/commands.h"

#include "sim/cli/console.h"
#include "sim/cli/settings_report.h"
#include "sim/files.h"

#include <iostream>

namespace sim {

namespace {

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

bool isSettingsFile(const std::filesystem::path& path)
{
    return equalsIgnoringCase(utf8Of(path.extension()), ".ini");
}

// A word the player typed as a command looks like this; a path does not.
bool looksLikeAPath(std::string_view argument)
{
    return argument.find_first_of("/\\.:") != std::string_view::npos;
}

} // namespace

Dropped whatWasDropped(const std::vector<std::string>& arguments)
{
    Dropped dropped;
    if (arguments.size() < 2) {
        return dropped;
    }
    std::size_t folders = 0;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty() || argument.front() == '-') {
            return {};
        }
        const std::filesystem::path path = pathFromUtf8(argument);
        std::error_code error;
        const auto status = std::filesystem::status(path, error);
        if (!std::filesystem::exists(status)) {
            // Explorer passes only what exists: a typed path with a slip in it.
            return looksLikeAPath(argument) ? Dropped{DropKind::Missing, {path}} : Dropped{};
        }
        folders += std::filesystem::is_directory(status) ? 1u : 0u;
        dropped.paths.push_back(path);
    }
    if (folders > 0) {
        return folders == 1 && dropped.paths.size() == 1 ? Dropped{DropKind::Folder, dropped.paths}
                                                         : Dropped{};
    }
    dropped.kind = dropped.paths.size() == 1 && isSettingsFile(dropped.paths[0])
                       ? DropKind::Settings
                       : DropKind::Captures;
    return dropped;
}

int onDrop(const Dropped& dropped, const std::string& toolVersion, std::ostream& out,
           std::ostream& err)
{
    int status = 2;
    switch (dropped.kind) {
    case DropKind::Nothing:
        return 2;
    case DropKind::Missing:
        err << "tarnwick-sim: there is no file " << utf8Of(dropped.paths.front())
            << ": check its name and folder\n";
        break;
    case DropKind::Folder:
        status = doctorCommand({dropped.paths.front(), false, toolVersion}, out, err);
        break;
    case DropKind::Settings:
        out << "checking " << utf8Of(dropped.paths.front())
            << " as a settings file (drop captures to see what it does on them)\n";
        status = reportSettings(dropped.paths.front(), false, out, err);
        break;
    case DropKind::Captures: {
        ReportOptions report;
        report.captures = dropped.paths;
        report.common.ini = settingsBesideTheTool();
        report.toolVersion = toolVersion;
        out << "settings: "
            << (report.common.ini ? utf8Of(*report.common.ini)
                                  : "no Tarnwick.ini beside the tool, so every default")
            << '\n';
        std::optional<std::filesystem::path> page;
        status = reportFromCommandLine(report, out, err, &page);
        if (page && consoleIsOurs()) {
            openInBrowser(*page); // only a page written whole
        }
        break;
    }
    }
    waitForEnter(out);
    return status;
}

int welcome(std::ostream& out)
{
    out << "tarnwick-sim: what Tarnwick would do with your settings, on your own frame-time "
           "captures.\n\n"
           "Drop onto this program:\n"
           "  - one or several captures (PresentMon, OCAT, CapFrameX or MangoHud files): a page "
           "opens in your browser with what your Tarnwick.ini does on them and what to set "
           "instead;\n"
           "  - Tarnwick.ini: how the plug-in reads it, and anything that is probably not what "
           "you meant;\n"
           "  - the game's folder: whether Tarnwick is installed right.\n\n"
           "From a command prompt, tarnwick-sim --help lists every command.\n";
    waitForEnter(out);
    return 0;
}

} // namespace sim
