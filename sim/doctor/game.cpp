// The game's folder: listed once, the game's program found in it, or the game found in the folder
// above when Tarnwick's zip was unpacked into a folder of its own; and the game's folder as the
// tool finds it from where it lies.
#include "sim/doctor/doctor.h"

#include "sim/ascii.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>

namespace sim {
namespace {

constexpr std::size_t namedPrograms = 5;

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

bool isProgram(const FolderEntry& entry)
{
    return !entry.folder && isGameProgram(entry.name);
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

// Tarnwick's zip unpacked into a folder of its own inside the game's: what to move up, and where.
bool unpackedBelow(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                   const std::filesystem::path& above, const std::vector<FolderEntry>& aboveEntries,
                   const std::vector<std::string>& programs, std::string_view toolCommand,
                   std::vector<DoctorFinding>& out)
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
         fmt::format("move {} from {} up into {}{}{}; then look at the game's folder: {}",
                     fmt::join(moved, " and "), from, to,
                     findEntry(aboveEntries, "Tarnwick.asi") != nullptr && asi != nullptr
                         ? ", over the Tarnwick.asi there"
                         : "",
                     ini != nullptr && iniAbove
                         ? " (not Tarnwick.ini: the one already there is the one read)"
                         : "",
                     commandOn(toolCommand, "doctor", to)),
         {},
         {{"folder", from}, {"gameFolder", to}, {"programs", programs}, {"move", moved}}});
    return true;
}

} // namespace

// Symbolic links as what they point to.
FolderListing listFolder(const std::filesystem::path& folder, const FolderLimits& limits,
                         std::error_code& error)
{
    FolderListing listing;
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

// False, after saying so, when nothing here looks like a game: the rest would only be noise.
bool examineGame(const std::filesystem::path& folder, const FolderListing& listing,
                 const FolderLimits& limits, std::string_view toolCommand,
                 std::vector<DoctorFinding>& out)
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
    const FolderListing aboveFolderListing =
        above != folder ? listFolder(above, limits, error) : FolderListing{};
    const std::vector<std::string> programsAbove = programsIn(aboveFolderListing.entries);
    if (!programsAbove.empty()) {
        if (!listing.stopped &&
            unpackedBelow(folder, listing.entries, above, aboveFolderListing.entries, programsAbove,
                          toolCommand, out)) {
            return false;
        }
        message += fmt::format(" (the folder above it, {}, holds one: {})", utf8Of(above),
                               listed(programsAbove, namedPrograms));
        example = utf8Of(above);
    }
    out.push_back({"game.missing",
                   Severity::NeedsDoing,
                   message,
                   fmt::format("give the folder that holds the game's .exe: {}, or drop that "
                               "folder onto tarnwick-sim.exe",
                               commandOn(toolCommand, "doctor", example)),
                   {},
                   {{"folder", utf8Of(folder)}, {"looked", listing.looked}}});
    return false;
}

std::filesystem::path defaultGameFolder(const std::filesystem::path& toolFolder,
                                        const std::filesystem::path& currentFolder)
{
    return equalsIgnoringCase(utf8Of(toolFolder.filename()), "tools") ? toolFolder.parent_path()
                                                                      : currentFolder;
}

bool isGameProgram(std::string_view name)
{
    return endsWithIgnoringCase(name, ".exe") && !equalsIgnoringCase(name, "tarnwick-sim.exe");
}

namespace {

bool holds(const std::filesystem::path& folder, auto&& wanted)
{
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        std::error_code ignored;
        if (!it->is_directory(ignored) && wanted(utf8Of(it->path().filename()))) {
            return true;
        }
    }
    return false;
}

bool holdsAProgram(const std::filesystem::path& folder)
{
    return holds(folder, [](const std::string& name) { return isGameProgram(name); });
}

bool holdsTheHook(const std::filesystem::path& folder)
{
    return holds(folder, [](const std::string& name) {
        return equalsIgnoringCase(name, "ScriptHookV.dll");
    });
}

} // namespace

std::optional<std::filesystem::path> gameFolderOfTool(const std::filesystem::path& toolFolder)
{
    const std::filesystem::path above = defaultGameFolder(toolFolder, {});
    if (above.empty()) {
        // Beside the game's own .exe, with the hook: the tool copied into the game's folder.
        return holdsAProgram(toolFolder) && holdsTheHook(toolFolder) ? std::optional(toolFolder)
                                                                     : std::nullopt;
    }
    if (holdsAProgram(above)) {
        return above;
    }
    // The zip unpacked into a folder of its own inside the game's: the game is one further up,
    // where the hook lies beside it (a downloads folder holds programs too).
    const std::filesystem::path further = above.parent_path();
    if (further != above && holdsAProgram(further) && holdsTheHook(further)) {
        return further;
    }
    return std::nullopt;
}

} // namespace sim
