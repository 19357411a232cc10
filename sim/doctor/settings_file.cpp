// Tarnwick.ini: there or not, under a near name, what the settings check finds in it, and copies
// beside it whose edits Tarnwick never reads.
#include "sim/check/settings_check.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

namespace sim {
namespace {

constexpr std::string_view settingsName = "Tarnwick.ini";
// A settings file is a few kilobytes; the check reads no more than this either.
constexpr std::uint64_t maxSettingsBytes = std::uint64_t{64} << 20;
constexpr std::size_t nearNamesLooked = 5;
const char* const extensionsHidden =
    " (Explorer hides known extensions; View, File name extensions shows them)";

// The names a copy of Tarnwick.ini gets: "Tarnwick.ini.txt" from Notepad's Save As, "Tarnwick
// (1).ini" from a browser, "Tarnwick - Copy.ini" from Explorer, a stray space. The first few in
// order, never the file itself.
std::vector<std::string> nearSettingsNames(const std::vector<FolderEntry>& entries,
                                           const FolderEntry* settings)
{
    std::vector<std::string> found;
    for (const FolderEntry& entry : entries) {
        std::string bare;
        for (const char c : entry.name) {
            if (c != ' ') {
                bare += lowerAscii(c);
            }
        }
        const std::string_view b = bare;
        if (!entry.folder && &entry != settings &&
            (b.starts_with("tarnwick.ini") || (b.starts_with("tarnwick") && b.ends_with(".ini")))) {
            found.push_back(entry.name);
        }
    }
    std::sort(found.begin(), found.end());
    found.resize(std::min(found.size(), nearNamesLooked));
    return found;
}

bool writtenAfter(const std::filesystem::path& file, const std::filesystem::path& other)
{
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    const auto otherWritten = std::filesystem::last_write_time(other, error);
    return !error && written > otherWritten;
}

std::string counted(std::size_t count, const char* what)
{
    return fmt::format("{} {}{}", count, what, count == 1 ? "" : "s");
}

std::string asRead(const SettingsCheck& check)
{
    std::string text;
    for (const CheckedSetting& setting : check.shown) {
        if (setting.read) {
            text += fmt::format("{}{}={}", text.empty() ? "" : " ", setting.key, setting.value);
        }
    }
    return text;
}

// Tarnwick.asi found in a folder below (the zip unpacked into a folder of its own) with its
// Tarnwick.ini beside it: both go up together, as the doctor says when run inside that folder.
bool besideMisplacedPlugin(const std::filesystem::path& folder, std::vector<DoctorFinding>& out)
{
    const auto misplaced = std::find_if(
        out.begin(), out.end(), [](const DoctorFinding& f) { return f.id == "plugin.misplaced"; });
    if (misplaced == out.end()) {
        return false;
    }
    const std::filesystem::path below =
        pathFromUtf8(misplaced->facts["foundAt"][0].get<std::string>()).parent_path();
    const std::filesystem::path settings = folder / below / settingsName;
    std::error_code error;
    if (!std::filesystem::is_regular_file(settings, error)) {
        return false;
    }
    out.push_back({"settings.misplaced",
                   Severity::NeedsDoing,
                   fmt::format("no Tarnwick.ini in the game's folder, but {} is beside the "
                               "misplaced Tarnwick.asi: until it is moved, every setting takes its "
                               "default",
                               utf8Of(settings)),
                   fmt::format("move {} into {} as well", utf8Of(settings), utf8Of(folder)),
                   {},
                   {{"file", utf8Of(settings)}, {"belongsAt", utf8Of(folder / settingsName)}}});
    return true;
}

void missing(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
             std::vector<DoctorFinding>& out)
{
    const std::vector<std::string> near = nearSettingsNames(entries, nullptr);
    if (near.empty() && besideMisplacedPlugin(folder, out)) {
        return;
    }
    if (near.empty()) {
        out.push_back({"settings.missing", Severity::Note,
                       "no Tarnwick.ini: every setting takes its default (" +
                           thresholdsText(GovernorSettings{}) + ")",
                       "nothing, unless you want other values: copy Tarnwick.ini from Tarnwick's "
                       "zip beside the game's .exe and change it there"});
        return;
    }
    const std::string name = shown(near.front());
    out.push_back({"settings.nearName",
                   Severity::NeedsDoing,
                   "no Tarnwick.ini, but " + name +
                       " is here: Tarnwick reads only Tarnwick.ini, so every setting takes its "
                       "default",
                   "rename " + name + " to Tarnwick.ini" + extensionsHidden,
                   {},
                   {{"file", utf8Of(folder / pathFromUtf8(near.front()))}}});
}

// A copy that differs from Tarnwick.ini: written after it, most likely the player's edit; else
// most likely a copy kept on purpose.
void unreadCopies(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                  const FolderEntry& settings, std::vector<DoctorFinding>& out)
{
    const std::filesystem::path file = folder / pathFromUtf8(settings.name);
    const Result<std::string> read = readBounded(file, maxSettingsBytes);
    if (!read) {
        return; // said already, by the settings check
    }
    for (const std::string& name : nearSettingsNames(entries, &settings)) {
        const std::filesystem::path copy = folder / pathFromUtf8(name);
        const Result<std::string> bytes = readBounded(copy, maxSettingsBytes);
        if (!bytes || *bytes == *read) {
            continue;
        }
        const std::string shownName = shown(name);
        const nlohmann::json facts = {{"file", utf8Of(copy)}, {"settingsFile", utf8Of(file)}};
        if (writtenAfter(copy, file)) {
            out.push_back(
                {"settings.nearNameNotRead",
                 Severity::NeedsDoing,
                 fmt::format("your edit in {0} is not read: Tarnwick reads Tarnwick.ini "
                             "only ({0} differs from it and was written after it)",
                             shownName),
                 fmt::format("copy your edit into Tarnwick.ini and delete {0}; or delete "
                             "Tarnwick.ini and rename {0} to Tarnwick.ini{1}",
                             shownName, endsWithIgnoringCase(name, ".ini") ? "" : extensionsHidden),
                 {},
                 facts});
        } else {
            out.push_back({"settings.nearNameNotRead",
                           Severity::Note,
                           fmt::format("{0} differs from Tarnwick.ini and is not read: Tarnwick "
                                       "reads Tarnwick.ini only ({0} is not the newer of the two, "
                                       "so it may be a copy kept on purpose)",
                                       shownName),
                           fmt::format("nothing, if {} is a copy you keep; if its settings are the "
                                       "ones you want, copy them into Tarnwick.ini",
                                       shownName),
                           {},
                           facts});
        }
    }
}

DoctorFinding checked(const SettingsCheck& check, std::string_view toolCommand)
{
    std::size_t warnings = 0;
    std::vector<std::string> details;
    for (const Finding& finding : check.findings) {
        warnings += finding.level == FindingLevel::Warning ? 1 : 0;
        details.push_back(fmt::format(
            "{}: {}{}", findingLevelName(finding.level),
            finding.line == 0 ? "" : fmt::format("line {}: ", finding.line), finding.message));
    }
    const std::size_t notes = details.size() - warnings;
    nlohmann::json values = nlohmann::json::object();
    for (const CheckedSetting& setting : check.shown) {
        values[setting.key] =
            setting.read ? nlohmann::json(setting.value) : nlohmann::json(nullptr);
    }
    const nlohmann::json facts = {{"file", utf8Of(check.file)},
                                  {"settings", values},
                                  {"warnings", warnings},
                                  {"notes", notes}};
    if (warnings > 0) {
        return {"settings.warnings",
                Severity::NeedsDoing,
                fmt::format("Tarnwick.ini: {} where Tarnwick will do something other than the "
                            "file seems to mean{}; read as {}",
                            counted(warnings, "warning"),
                            notes > 0 ? ", and " + counted(notes, "note") : "", asRead(check)),
                fmt::format("change those lines; {} shows every key as Tarnwick reads it",
                            commandOn(toolCommand, "settings", utf8Of(check.file))),
                details,
                facts};
    }
    if (notes > 0) {
        return {
            "settings.notes",
            Severity::Note,
            fmt::format("Tarnwick.ini: read as {}, with {}", asRead(check), counted(notes, "note")),
            fmt::format("nothing, unless a note says otherwise; {} shows every key and where it "
                        "came from",
                        commandOn(toolCommand, "settings", utf8Of(check.file))),
            details,
            facts};
    }
    return {
        "settings.read", Severity::Fine, "Tarnwick.ini: read as " + asRead(check), "", {}, facts};
}

} // namespace

SettingsSeen examineSettings(const std::filesystem::path& folder,
                             const std::vector<FolderEntry>& entries, std::string_view toolCommand,
                             std::vector<DoctorFinding>& out)
{
    SettingsSeen seen;
    const FolderEntry* entry = findEntry(entries, settingsName);
    if (entry == nullptr) {
        missing(folder, entries, out);
        return seen;
    }
    seen.file = true;
    const std::filesystem::path file = folder / pathFromUtf8(entry->name);
    if (const Result<SettingsCheck> check = checkSettings(file)) {
        seen.settings = check->settings;
        out.push_back(checked(*check, toolCommand));
        seen.warned = out.back().severity == Severity::NeedsDoing;
    } else {
        // Windows' reader gives every default for a file it cannot open, and says nothing.
        out.push_back({"settings.unreadable",
                       Severity::NeedsDoing,
                       failureText(check.failure()) +
                           ": Tarnwick cannot read it either, so every setting takes its default",
                       "make Tarnwick.ini an ordinary text file you can open in Notepad, or "
                       "copy it from Tarnwick's zip again",
                       {},
                       {{"file", utf8Of(file)}}});
    }
    unreadCopies(folder, entries, *entry, out);
    return seen;
}

} // namespace sim
