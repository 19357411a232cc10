// Tarnwick.ini: there or not, under a near name, and what the settings check finds in it.
#include "sim/check/settings_check.h"
#include "sim/doctor/inside.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <stdexcept>

namespace sim {
namespace {

constexpr std::string_view settingsName = "Tarnwick.ini";

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

void missing(const std::filesystem::path& folder, std::vector<DoctorFinding>& out)
{
    const std::vector<std::string> near = nearNames(folder / settingsName);
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
                   "rename " + name +
                       " to Tarnwick.ini (Explorer hides known extensions; View, File name "
                       "extensions shows them)",
                   {},
                   {{"file", utf8Of(folder / pathFromUtf8(near.front()))}}});
}

DoctorFinding checked(const SettingsCheck& check)
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
                fmt::format("change those lines; tarnwick-sim settings \"{}\" shows every key as "
                            "Tarnwick reads it",
                            utf8Of(check.file)),
                details,
                facts};
    }
    if (notes > 0) {
        return {
            "settings.notes",
            Severity::Note,
            fmt::format("Tarnwick.ini: read as {}, with {}", asRead(check), counted(notes, "note")),
            fmt::format("nothing, unless a note says otherwise; tarnwick-sim settings \"{}\" "
                        "shows every key and where it came from",
                        utf8Of(check.file)),
            details,
            facts};
    }
    return {
        "settings.read", Severity::Fine, "Tarnwick.ini: read as " + asRead(check), "", {}, facts};
}

} // namespace

SettingsSeen examineSettings(const std::filesystem::path& folder,
                             const std::vector<FolderEntry>& entries,
                             std::vector<DoctorFinding>& out)
{
    SettingsSeen seen;
    const FolderEntry* entry = findEntry(entries, settingsName);
    if (entry == nullptr) {
        missing(folder, out);
        return seen;
    }
    seen.file = true;
    const std::filesystem::path file = folder / pathFromUtf8(entry->name);
    try {
        const SettingsCheck check = checkSettings(file);
        seen.settings = check.settings;
        out.push_back(checked(check));
    } catch (const std::runtime_error& error) {
        // Windows' reader gives every default for a file it cannot open, and says nothing.
        out.push_back({"settings.unreadable",
                       Severity::NeedsDoing,
                       std::string(error.what()) + ": Tarnwick cannot read it either, so every "
                                                   "setting takes its default",
                       "make Tarnwick.ini an ordinary text file you can open in Notepad, or "
                       "copy it from Tarnwick's zip again",
                       {},
                       {{"file", utf8Of(file)}}});
    }
    return seen;
}

} // namespace sim
