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
#include <cerrno>
#include <fstream>
#include <system_error>

namespace sim {
namespace {

constexpr std::string_view hookName = "ScriptHookV.dll";
// The names under which .asi loaders are installed: each stands in for a system DLL the game
// loads from its own folder first.
constexpr std::array<std::string_view, 4> loaderNames = {"dinput8.dll", "version.dll", "winmm.dll",
                                                         "dsound.dll"};
constexpr std::size_t namedPrograms = 5;

struct Listing {
    std::vector<FolderEntry> entries;
    std::size_t looked = 0;
    bool stopped = false; // there were more than FolderLimits::looked
};

// The names the doctor looks up, kept however far down a crowded folder they come.
bool lookedUp(std::string_view name)
{
    const auto loader = [&](std::string_view loaderName) {
        return equalsIgnoringCase(name, loaderName);
    };
    return equalsIgnoringCase(name.substr(0, 8), "tarnwick") ||
           endsWithIgnoringCase(name, ".exe") || endsWithIgnoringCase(name, ".asi") ||
           equalsIgnoringCase(name, hookName) ||
           std::any_of(loaderNames.begin(), loaderNames.end(), loader);
}

// Symbolic links as what they point to.
Listing listFolder(const std::filesystem::path& folder, const FolderLimits& limits,
                   std::error_code& error)
{
    Listing listing;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (listing.looked == limits.looked) {
            listing.stopped = true;
            break;
        }
        ++listing.looked;
        std::string name = utf8Of(it->path().filename());
        if (listing.looked <= limits.kept || lookedUp(name)) {
            std::error_code ignored;
            listing.entries.push_back({std::move(name), it->is_directory(ignored)});
        }
    }
    return listing;
}

bool isProgram(const FolderEntry& entry)
{
    return !entry.folder && endsWithIgnoringCase(entry.name, ".exe") &&
           !equalsIgnoringCase(entry.name, "tarnwick-sim.exe");
}

std::vector<std::string> programsIn(const std::vector<FolderEntry>& entries)
{
    std::vector<std::string> programs;
    for (const FolderEntry& entry : entries) {
        if (isProgram(entry)) {
            programs.push_back(entry.name);
        }
    }
    std::sort(programs.begin(), programs.end());
    return programs;
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

// Tarnwick's zip unpacked into a folder of its own inside the game's: what to move up, and where.
bool unpackedBelow(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                   const std::filesystem::path& above, const std::vector<FolderEntry>& aboveEntries,
                   const std::vector<std::string>& programs, std::vector<DoctorFinding>& out)
{
    const FolderEntry* asi = findEntry(entries, "Tarnwick.asi");
    const FolderEntry* ini = findEntry(entries, "Tarnwick.ini");
    const bool iniAbove = findEntry(aboveEntries, "Tarnwick.ini") != nullptr;
    std::vector<std::string> moved;
    if (asi != nullptr && !asi->folder) {
        moved.push_back(asi->name);
    }
    if (ini != nullptr && !ini->folder && !iniAbove) {
        moved.push_back(ini->name);
    }
    if (moved.empty()) {
        return false;
    }
    const std::string from = utf8Of(folder);
    const std::string to = utf8Of(above);
    out.push_back(
        {"game.inFolderAbove",
         Severity::NeedsDoing,
         fmt::format("no program (.exe) in {}: the game is in the folder above it, {} ({}), and "
                     "Tarnwick's files are here, one folder too deep: the .asi loader looks only "
                     "beside the game's .exe",
                     from, to, listed(programs, namedPrograms)),
         fmt::format("move {} from {} up into {}{}{}; then look at the game's folder: {} doctor "
                     "\"{}\"",
                     fmt::join(moved, " and "), from, to,
                     findEntry(aboveEntries, "Tarnwick.asi") != nullptr && asi != nullptr
                         ? ", over the Tarnwick.asi there"
                         : "",
                     ini != nullptr && iniAbove
                         ? " (not Tarnwick.ini: the one already there is the one read)"
                         : "",
                     toolCommand, to),
         {},
         {{"folder", from}, {"gameFolder", to}, {"programs", programs}, {"move", moved}}});
    return true;
}

// False, after saying so, when nothing here looks like a game: the rest would only be noise.
bool examineGame(const std::filesystem::path& folder, const Listing& listing,
                 const FolderLimits& limits, std::vector<DoctorFinding>& out)
{
    const std::vector<std::string> programs = programsIn(listing.entries);
    const std::string stopped = fmt::format("looked at the first {} entries of {} and stopped",
                                            listing.looked, utf8Of(folder));
    if (!programs.empty()) {
        out.push_back({"game.found",
                       Severity::Fine,
                       "the game: " + listed(programs, namedPrograms),
                       "",
                       {},
                       {{"programs", programs}}});
        if (listing.stopped) {
            out.push_back({"game.notAllLooked",
                           Severity::Note,
                           stopped + ": a game's folder holds a few hundred, so a file of "
                                     "Tarnwick's or the script hook's past them may be there "
                                     "unseen, and called missing below",
                           "move what is not the game's out of its folder, then run the doctor "
                           "again",
                           {},
                           {{"looked", listing.looked}}});
        }
        return true;
    }
    std::string message =
        listing.stopped
            ? stopped + ": none of them is a program (.exe), so this does not look like the "
                        "game's folder"
            : fmt::format("no program (.exe) in {}: this does not look like the game's folder",
                          utf8Of(folder));
    std::string example = "D:\\Games\\YourGame";
    const std::filesystem::path above = folder.parent_path();
    std::error_code error;
    const Listing aboveListing = above != folder ? listFolder(above, limits, error) : Listing{};
    const std::vector<std::string> programsAbove = programsIn(aboveListing.entries);
    if (!programsAbove.empty()) {
        if (!listing.stopped && unpackedBelow(folder, listing.entries, above, aboveListing.entries,
                                              programsAbove, out)) {
            return false;
        }
        message += fmt::format(" (the folder above it, {}, holds one: {})", utf8Of(above),
                               listed(programsAbove, namedPrograms));
        example = utf8Of(above);
    }
    out.push_back({"game.missing",
                   Severity::NeedsDoing,
                   message,
                   fmt::format("give the folder that holds the game's .exe: {} doctor \"{}\", or "
                               "drop that folder onto tarnwick-sim.exe",
                               toolCommand, example),
                   {},
                   {{"folder", utf8Of(folder)}, {"looked", listing.looked}}});
    return false;
}

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
    out.push_back({"loader.missing",
                   Severity::Note,
                   fmt::format("no .asi loader under the usual names ({}): another loader may be "
                               "in use",
                               fmt::join(loaderNames, ", ")),
                   "if Tarnwick never writes its log, install the .asi loader that comes with the "
                   "script hook (dinput8.dll) beside the game's .exe",
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

std::optional<std::string> readSmallFile(const std::filesystem::path& file, std::uint64_t maxBytes,
                                         std::string& why)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (std::filesystem::is_directory(status)) {
        why = "it is a folder";
        return std::nullopt;
    }
    // A pipe would hold the doctor until something writes to it.
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
        why = "it is a pipe or a device, not a file";
        return std::nullopt;
    }
    const std::uintmax_t size = std::filesystem::file_size(file, error);
    if (!error && size > maxBytes) {
        why = fmt::format("it is larger than {} MiB", maxBytes >> 20);
        return std::nullopt;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        why = std::generic_category().message(errno);
        return std::nullopt;
    }
    std::string bytes;
    char chunk[1 << 16];
    while (bytes.size() <= maxBytes && (in.read(chunk, sizeof chunk) || in.gcount() > 0)) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (bytes.size() > maxBytes) {
        why = fmt::format("it is larger than {} MiB", maxBytes >> 20);
        return std::nullopt;
    }
    return bytes;
}

std::string thresholdsText(const GovernorSettings& settings)
{
    return fmt::format("FPS_Moderate={} FPS_Critical={} DetectionRange={}", settings.fpsModerate,
                       settings.fpsCritical, settings.detectionRange);
}

Examination examine(const std::filesystem::path& folder, const std::string& toolVersion,
                    const FolderLimits& limits)
{
    Examination examination{folder, toolVersion, {}};
    std::vector<DoctorFinding>& out = examination.findings;
    std::error_code error;
    const Listing listing = listFolder(folder, limits, error);
    const std::vector<FolderEntry>& entries = listing.entries;
    if (error) {
        out.push_back({"game.unreadable", Severity::NeedsDoing,
                       fmt::format("cannot look into {}: {}", utf8Of(folder), error.message()),
                       "run the doctor as a user who may open that folder, or give another"});
        return examination;
    }
    if (!examineGame(folder, listing, limits, out)) {
        return examination;
    }
    examineHook(entries, out);
    examineLoader(entries, out);
    const std::optional<std::string> stamp = examinePlugin(folder, entries, toolVersion, out);
    const SettingsSeen settings = examineSettings(folder, entries, out);
    examineLog(folder, entries, settings, stamp, out);
    return examination;
}

std::filesystem::path defaultGameFolder(const std::filesystem::path& toolFolder,
                                        const std::filesystem::path& currentFolder)
{
    return equalsIgnoringCase(utf8Of(toolFolder.filename()), "tools") ? toolFolder.parent_path()
                                                                      : currentFolder;
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
