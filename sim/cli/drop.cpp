// What a player drops onto the tool in a file manager, or a double-click with nothing: no options
// to type, so the sensible ones are chosen for the player and said, and a console opened for the
// tool alone waits for Enter before it closes.
#include "sim/ascii.h"
#include "sim/cli/commands.h"

#include "sim/capture/capture.h"
#include "sim/cli/console.h"
#include "sim/cli/settings_report.h"
#include "sim/files.h"

#include <algorithm>
#include <initializer_list>
#include <iostream>
#include <optional>

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

bool hasExtension(const std::filesystem::path& path, std::initializer_list<std::string_view> ends)
{
    const std::string extension = utf8Of(path.extension());
    return std::any_of(ends.begin(), ends.end(),
                       [&](std::string_view end) { return equalsIgnoringCase(extension, end); });
}

// A word the player typed as a command looks like this; a path does not.
bool looksLikeAPath(std::string_view argument)
{
    return argument.find_first_of("/\\.:") != std::string_view::npos;
}

// What a dropped file is when it is no capture, and what to drop instead; empty for a capture.
std::string whatItIsInstead(const std::filesystem::path& path)
{
    const std::string name = utf8Of(path.filename());
    if (hasExtension(path, {".zip", ".7z", ".rar"})) {
        return "an archive: unpack it, then drop the capture inside";
    }
    if (hasExtension(path, {".lnk", ".url"})) {
        return "a shortcut: drop the file it points to";
    }
    if (endsWithIgnoringCase(name, ".tarnwick.html")) {
        return "a page this tool made: drop the capture it was made from";
    }
    if (hasExtension(path, {".html", ".htm"})) {
        return "a web page: drop a frame-time capture";
    }
    if (const std::string why = whyNotACapture(path); !why.empty()) {
        return "not a frame-time capture (" + why +
               "): drop a PresentMon, OCAT, CapFrameX or MangoHud file";
    }
    return {};
}

void sortDropped(const std::filesystem::path& path, std::filesystem::file_status status,
                 Dropped& dropped)
{
    if (std::filesystem::is_directory(status)) {
        dropped.folders.push_back(path);
    } else if (equalsIgnoringCase(utf8Of(path.filename()), "Tarnwick.log")) {
        dropped.logs.push_back(path);
    } else if (hasExtension(path, {".ini"})) {
        dropped.settings.push_back(path);
    } else if (std::string what = whatItIsInstead(path); !what.empty()) {
        dropped.others.push_back({path, std::move(what)});
    } else {
        dropped.captures.push_back(path);
    }
}

void sayWhatIsNot(const Dropped& dropped, std::ostream& err)
{
    for (const std::filesystem::path& path : dropped.missing) {
        err << "tarnwick-sim: there is no file " << utf8Of(path) << ": check its name and folder\n";
    }
    for (const NotACapture& other : dropped.others) {
        err << "tarnwick-sim: " << utf8Of(other.path) << " is " << other.what << '\n';
    }
    if (dropped.settings.size() > 1 && !dropped.captures.empty()) {
        err << "tarnwick-sim: " << dropped.settings.size()
            << " settings files were dropped with the captures: drop one, the Tarnwick.ini the "
               "game reads; the captures are judged with the one the game reads\n";
    }
}

int reportDropped(const Dropped& dropped, const std::string& toolVersion, std::ostream& out,
                  std::ostream& err)
{
    ReportOptions report;
    report.captures = dropped.captures;
    report.common.iniDropped = true;
    report.common.gameFolders = dropped.folders;
    if (dropped.settings.size() == 1) {
        report.common.ini = dropped.settings.front();
    }
    report.toolVersion = toolVersion;
    std::optional<std::filesystem::path> page;
    const int status = reportFromCommandLine(report, out, err, &page);
    if (page && consoleIsOurs()) {
        openInBrowser(*page); // only a page written whole
    }
    return status;
}

} // namespace

Dropped whatWasDropped(const std::vector<std::string>& arguments)
{
    Dropped dropped;
    if (arguments.size() < 2) {
        return dropped;
    }
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty() || argument.front() == '-') {
            return {};
        }
        std::error_code error;
        const std::filesystem::path path = std::filesystem::absolute(pathFromUtf8(argument), error);
        const auto status = std::filesystem::status(path, error);
        if (!std::filesystem::exists(status)) {
            // Explorer passes only what exists: a typed path with a slip in it.
            if (!looksLikeAPath(argument)) {
                return {};
            }
            dropped.missing.push_back(path);
            continue;
        }
        sortDropped(path, status, dropped);
    }
    dropped.commandLine = false;
    return dropped;
}

int onDrop(const Dropped& dropped, const std::string& toolVersion, std::ostream& out,
           std::ostream& err)
{
    if (dropped.commandLine) {
        return 2;
    }
    sayWhatIsNot(dropped, err);
    // A drop of nothing but slips is a bad argument; what is no capture, or missing beside what
    // was judged, is an input that could not be used.
    const bool nothingElse = dropped.captures.empty() && dropped.settings.empty() &&
                             dropped.folders.empty() && dropped.logs.empty() &&
                             dropped.others.empty();
    int status = !dropped.missing.empty() && nothingElse             ? 2
                 : dropped.missing.empty() && dropped.others.empty() ? 0
                                                                     : 1;
    const auto worst = [&status](int more) { status = std::max(status, more); };
    for (const std::filesystem::path& folder : dropped.folders) {
        worst(doctorCommand({folder, false, toolVersion}, out, err));
    }
    // The log lies where the game runs: the doctor of that folder says what it shows.
    for (const std::filesystem::path& log : dropped.logs) {
        out << "checking the folder of " << utf8Of(log)
            << " (Tarnwick's own log: drop captures to see what it would do on them)\n";
        worst(doctorCommand({log.parent_path(), false, toolVersion}, out, err));
    }
    if (!dropped.captures.empty()) {
        worst(reportDropped(dropped, toolVersion, out, err));
    } else {
        for (const std::filesystem::path& settings : dropped.settings) {
            out << "checking " << utf8Of(settings)
                << " as a settings file (drop captures to see what it does on them)\n";
            worst(reportSettings(settings, false, out, err));
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
           "From a command prompt in this folder, .\\tarnwick-sim.exe --help lists every "
           "command.\n";
    waitForEnter(out);
    return 0;
}

} // namespace sim
