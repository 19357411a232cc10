// Tarnwick.asi where it is not: under another name in the game's folder (an editor or a browser
// gave it), in tools\ or a folder below, and copies beside it that the loader would start too.
#include "sim/ascii.h"
#include "sim/doctor/binary.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>

namespace sim {
namespace {

// Copies named in a message and its to-do; the facts list them all.
constexpr std::size_t namedCopies = 10;
// A game's folders can hold tens of thousands of files: the search gives up after this many.
constexpr std::size_t maxSearched = 20000;

// "Tarnwick.asi.txt", "Tarnwick.asi.dll", "tarnwick.dll", "Tarnwick (1).asi", "Tarnwick .asi".
bool mayBeThePlugin(std::string_view name)
{
    std::string bare;
    for (const char c : name) {
        if (c != ' ') {
            bare += lowerAscii(c);
        }
    }
    const std::string_view b = bare;
    return b == "tarnwick.dll" || b.starts_with("tarnwick.asi") ||
           (b.starts_with("tarnwick") && b.ends_with(".asi"));
}

// What a file's version resource calls it, when the file is a Windows image that says.
std::optional<std::string> productOf(const std::filesystem::path& file)
{
    const Result<std::string> bytes = readBounded(file, maxPluginBytes);
    return bytes ? readPortableExecutable(*bytes).product : std::nullopt;
}

// The other names in the game's folder first, then two levels of folders below it.
std::vector<std::filesystem::path> searchNearby(const std::filesystem::path& folder,
                                                const std::vector<FolderEntry>& entries,
                                                const std::vector<OtherName>& here)
{
    std::vector<std::filesystem::path> found;
    for (const OtherName& other : here) {
        found.push_back(pathFromUtf8(other.name));
    }
    std::vector<std::filesystem::path> level;
    for (const FolderEntry& entry : entries) {
        if (entry.folder) {
            level.push_back(pathFromUtf8(entry.name));
        }
    }
    const std::size_t inTheFolder = found.size();
    std::size_t searched = 0;
    for (int depth = 1; depth <= 2; ++depth) {
        std::vector<std::filesystem::path> next;
        for (const std::filesystem::path& below : level) {
            std::error_code error;
            std::filesystem::directory_iterator it(folder / below, error);
            for (; !error && it != std::filesystem::directory_iterator() && searched < maxSearched;
                 it.increment(error), ++searched) {
                std::error_code ignored;
                const std::filesystem::path relative = below / it->path().filename();
                if (it->is_directory(ignored)) {
                    next.push_back(relative);
                } else if (mayBeThePlugin(utf8Of(it->path().filename()))) {
                    found.push_back(relative);
                }
            }
        }
        level = std::move(next);
    }
    std::sort(found.begin() + static_cast<std::ptrdiff_t>(inTheFolder), found.end());
    return found;
}

// "A", "A and B", "A, B and C", the first few named and the rest counted.
std::string namesText(const std::vector<std::string>& names)
{
    std::string text;
    const std::size_t named = std::min(names.size(), namedCopies);
    for (std::size_t i = 0; i < named; ++i) {
        text += i == 0 ? "" : i + 1 == named && named == names.size() ? " and " : ", ";
        text += shown(names[i]);
    }
    if (names.size() > named) {
        text += fmt::format(" and {} more", names.size() - named);
    }
    return text;
}

} // namespace

// An .asi is Tarnwick by its version resource or, when that names no product, by its name: a
// file named like Tarnwick that says it is something else is left alone.
std::vector<OtherName> otherNames(const std::filesystem::path& folder,
                                  const std::vector<FolderEntry>& entries,
                                  const FolderEntry* installed)
{
    std::vector<OtherName> found;
    for (const FolderEntry& entry : entries) {
        if (entry.folder || &entry == installed) {
            continue;
        }
        if (!endsWithIgnoringCase(entry.name, ".asi")) {
            if (mayBeThePlugin(entry.name)) {
                found.push_back({entry.name, false});
            }
            continue;
        }
        const std::optional<std::string> product = productOf(folder / pathFromUtf8(entry.name));
        if (product ? isTarnwick(*product) : mayBeThePlugin(entry.name)) {
            found.push_back({entry.name, true});
        }
    }
    std::sort(found.begin(), found.end(),
              [](const OtherName& a, const OtherName& b) { return a.name < b.name; });
    return found;
}

void pluginNotFound(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                    const std::vector<OtherName>& here, std::vector<DoctorFinding>& out)
{
    const std::vector<std::filesystem::path> found = searchNearby(folder, entries, here);
    const std::string belongs = utf8Of(folder / pluginName);
    if (found.empty()) {
        out.push_back({"plugin.missing",
                       Severity::NeedsDoing,
                       "no Tarnwick.asi in the game's folder",
                       "copy Tarnwick.asi from Tarnwick's zip into " + utf8Of(folder) +
                           ", beside the game's .exe",
                       {},
                       {{"belongsAt", belongs}}});
        return;
    }
    std::vector<std::string> places;
    for (const std::filesystem::path& place : found) {
        places.push_back(utf8Of(place));
    }
    const nlohmann::json facts = {{"foundAt", places}, {"belongsAt", belongs}};
    const std::string first = shown(places.front());
    if (!found.front().has_parent_path()) {
        const bool asi = endsWithIgnoringCase(places.front(), ".asi");
        out.push_back({"plugin.misnamed",
                       Severity::NeedsDoing,
                       "no Tarnwick.asi, but " + first + " is here" +
                           (asi ? "" : ": the loader loads only files whose names end in .asi"),
                       "rename it to Tarnwick.asi" +
                           std::string(asi ? ""
                                           : " (Explorer hides known extensions; View, File "
                                             "name extensions shows them)"),
                       {},
                       facts});
        return;
    }
    const std::filesystem::path& place = found.front();
    const bool renamed = place.filename() != pluginName;
    out.push_back(
        {"plugin.misplaced",
         Severity::NeedsDoing,
         fmt::format("Tarnwick.asi is in {}{}{}, not in the game's folder: the .asi loader "
                     "looks only beside the game's .exe",
                     shown(utf8Of(place.parent_path() / "")),
                     renamed ? " (as " + shown(utf8Of(place.filename())) + ")" : "",
                     found.size() > 1 ? fmt::format(", and {} more places", found.size() - 1) : ""),
         fmt::format("move {} into {}{}", first, utf8Of(folder),
                     renamed ? ", named Tarnwick.asi" : ""),
         {},
         facts});
}

// Each copy of Tarnwick the loader starts beside the one kept is a governor of its own.
void extraCopies(const std::string& kept, const std::vector<OtherName>& here,
                 std::vector<DoctorFinding>& out)
{
    std::vector<std::string> copies;
    for (const OtherName& other : here) {
        if (other.loaded && other.name != kept) {
            copies.push_back(other.name);
        }
    }
    if (copies.empty()) {
        return;
    }
    const bool one = copies.size() == 1;
    const std::string names = namesText(copies);
    out.push_back(
        {"plugin.copies",
         Severity::NeedsDoing,
         fmt::format("{} {} Tarnwick too, beside {}: the loader loads every .asi in the game's "
                     "folder, and each copy is a governor of its own, purging independently of "
                     "the other{}",
                     names, one ? "is a copy of" : "are copies of", shown(kept), one ? "" : "s"),
         fmt::format("delete {}, or move {} out of the game's folder", names, one ? "it" : "them"),
         {},
         {{"copies", copies}, {"kept", kept}}});
}

} // namespace sim
