// The doctor put together: the game, the script hook and its loader, then the plug-in, its
// settings and its log, each looked at in its own file.
#include "sim/doctor/doctor.h"

#include "sim/ascii.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

namespace sim {
namespace {

void examineHook(const std::vector<FolderEntry>& entries, std::vector<DoctorFinding>& out)
{
    const FolderEntry* hook = findEntry(entries, hookName);
    if (hook != nullptr && !hook->folder) {
        out.push_back({"hook.found",
                       Severity::Fine,
                       "the script hook: " + shown(hook->name),
                       "",
                       {},
                       {{"file", hook->name}}});
        return;
    }
    out.push_back({"hook.missing", Severity::NeedsDoing,
                   "no ScriptHookV.dll: without the script hook the game loads no .asi "
                   "plug-in, Tarnwick included",
                   "install the script hook: ScriptHookV.dll goes beside the game's .exe"});
}

void examineLoader(const std::vector<FolderEntry>& entries, std::vector<DoctorFinding>& out)
{
    std::vector<std::string> found;
    std::vector<std::string> checked;
    for (const std::string_view name : loaderNames) {
        checked.emplace_back(name);
        if (const FolderEntry* entry = findEntry(entries, name); entry && !entry->folder) {
            found.push_back(entry->name);
        }
    }
    const nlohmann::json facts = {{"checked", checked}, {"found", found}};
    if (!found.empty()) {
        out.push_back(
            {"loader.found", Severity::Fine, "an .asi loader: " + listed(found, 4), "", {}, facts});
        return;
    }
    // Without a loader no .asi starts: that is something to do, not a maybe. A loader under a name
    // not known here is told by the log Tarnwick writes at its first purge, far too late to say
    // nothing needs doing.
    out.push_back(
        {"loader.missing",
         Severity::NeedsDoing,
         fmt::format("no .asi loader beside the game's .exe (none of {}): without one the "
                     "game loads no .asi plug-in, Tarnwick included",
                     fmt::join(loaderNames, ", ")),
         "install the .asi loader that comes with the script hook: its dinput8.dll goes "
         "beside the game's .exe",
         {},
         facts});
}

} // namespace

const FolderEntry* findEntry(const std::vector<FolderEntry>& entries, std::string_view name)
{
    // Where case tells names apart (Linux), the exact name is the one Wine opens first.
    const auto exact = std::find_if(entries.begin(), entries.end(),
                                    [&](const FolderEntry& e) { return e.name == name; });
    if (exact != entries.end()) {
        return &*exact;
    }
    const auto found = std::find_if(entries.begin(), entries.end(), [&](const FolderEntry& e) {
        return equalsIgnoringCase(e.name, name);
    });
    return found == entries.end() ? nullptr : &*found;
}

std::string listed(const std::vector<std::string>& names, std::size_t most)
{
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < most; ++i) {
        text += i == 0 ? "" : ", ";
        text += shown(names[i]);
    }
    if (names.size() > most) {
        text += fmt::format(" and {} more", names.size() - most);
    }
    return text;
}

std::string thresholdsText(const GovernorSettings& settings)
{
    return fmt::format("FPS_Moderate={} FPS_Critical={} DetectionRange={}", settings.fpsModerate,
                       settings.fpsCritical, settings.detectionRange);
}

std::optional<std::string> shellArgument(std::string_view utf8, Shell shell)
{
    std::string word = "'";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x20 || c == 0x7F) {
            return std::nullopt;
        }
        if (c == '\'') {
            word += shell == Shell::Posix ? "'\\''" : "''";
            continue;
        }
        // U+2018 to U+201B, which PowerShell ends a quoted string with as it does with '.
        const std::string_view rest = utf8.substr(i);
        if (shell == Shell::PowerShell && rest.size() >= 3 && rest.substr(0, 2) == "\xE2\x80" &&
            static_cast<unsigned char>(rest[2]) >= 0x98 &&
            static_cast<unsigned char>(rest[2]) <= 0x9B) {
            word += rest.substr(0, 3);
            word += rest.substr(0, 3);
            i += 2;
            continue;
        }
        word += static_cast<char>(c);
    }
    return word + "'";
}

std::string commandOn(std::string_view toolCommand, std::string_view verb, std::string_view path)
{
    if (const std::optional<std::string> argument = shellArgument(path)) {
        return fmt::format("{} {} {}", toolCommand, verb, *argument);
    }
    return fmt::format("{} {} with its path (which holds a control character no pasted line "
                       "carries: rename it first)",
                       toolCommand, verb);
}

std::string toolCommandFrom(const std::filesystem::path& toolFolder,
                            const std::filesystem::path& currentFolder, Shell shell)
{
    const std::filesystem::path tool = toolFolder.lexically_normal();
    const std::filesystem::path relative =
        tool.lexically_relative(currentFolder.lexically_normal());
    std::string command;
    if (!relative.empty() && *relative.begin() != "..") {
        command = utf8Of(std::filesystem::path(".") / relative / toolProgram);
        if (relative == ".") {
            command = ownFolderCommand;
        }
    } else {
        command = utf8Of(tool / toolProgram);
    }
    const bool plain = std::all_of(command.begin(), command.end(), [](const char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("./\\:_-").find(c) != std::string_view::npos;
    });
    if (plain) {
        return command;
    }
    const std::optional<std::string> quoted = shellArgument(command, shell);
    if (!quoted) {
        return std::string(toolProgram); // a folder no pasted line can name
    }
    return shell == Shell::PowerShell ? "& " + *quoted : *quoted;
}

Examination examine(const std::filesystem::path& folder, const std::string& toolVersion,
                    const FolderLimits& limits, std::string_view toolCommand)
{
    Examination examination{folder, toolVersion, {}};
    std::vector<DoctorFinding>& out = examination.findings;
    std::error_code error;
    const FolderListing listing = listFolder(folder, limits, error);
    const std::vector<FolderEntry>& entries = listing.entries;
    if (error) {
        out.push_back({"game.unreadable", Severity::NeedsDoing,
                       fmt::format("cannot look into {}: {}", utf8Of(folder), error.message()),
                       "run the doctor as a user who may open that folder, or give another"});
        return examination;
    }
    if (!examineGame(folder, listing, limits, toolCommand, out)) {
        return examination;
    }
    examineHook(entries, out);
    examineLoader(entries, out);
    const std::optional<std::string> stamp = examinePlugin(folder, entries, toolVersion, out);
    const SettingsSeen settings = examineSettings(folder, entries, toolCommand, out);
    examineLog(folder, entries, settings, stamp, out);
    examineRecords(folder, entries, settings, toolCommand, out);
    return examination;
}

std::size_t needsDoing(const Examination& examination)
{
    return static_cast<std::size_t>(
        std::count_if(examination.findings.begin(), examination.findings.end(),
                      [](const DoctorFinding& f) { return f.severity == Severity::NeedsDoing; }));
}

const char* severityName(Severity severity)
{
    switch (severity) {
    case Severity::Fine:
        return "fine";
    case Severity::Note:
        return "note";
    case Severity::NeedsDoing:
        break;
    }
    return "needs doing";
}

} // namespace sim
