// The frame records beside the log: which there are, and what to drop onto the tool.
#include "sim/doctor/inside.h"

#include "record/record.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>

namespace sim {

namespace {

bool isRecordName(const FolderEntry& entry)
{
    const std::string_view name = entry.name;
    const std::string_view prefix = recordNamePrefix;
    return !entry.folder && name.size() > prefix.size() &&
           equalsIgnoringCase(name.substr(0, prefix.size()), prefix) &&
           endsWithIgnoringCase(name, ".csv");
}

// Oldest first. Stamps sort as times, compared without ".csv" so that the second session of a
// second ("-2") sorts after the first.
std::vector<std::string> recordsIn(const std::vector<FolderEntry>& entries)
{
    std::vector<std::string> names;
    for (const FolderEntry& entry : entries) {
        if (isRecordName(entry)) {
            names.push_back(entry.name);
        }
    }
    const auto stem = [](const std::string& name) {
        return std::string_view(name).substr(0, name.size() - 4);
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return stem(a) < stem(b); });
    return names;
}

} // namespace

void examineRecords(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                    const SettingsSeen& settings, std::string_view toolCommand,
                    std::vector<DoctorFinding>& out)
{
    const std::vector<std::string> names = recordsIn(entries);
    const bool recording = settings.settings.enabled && settings.settings.record != RecordMode::Off;
    if (names.empty()) {
        if (recording) {
            out.push_back({"record.none", Severity::Note,
                           "Record is set in Tarnwick.ini, but there is no frame record yet: one "
                           "appears beside Tarnwick.log each time the game starts",
                           "play a while, then drop the Tarnwick-record-*.csv onto "
                           "tarnwick-sim.exe"});
        }
        return;
    }
    const std::string newest = utf8Of(folder / pathFromUtf8(names.back()));
    out.push_back(
        {"record.found",
         Severity::Note,
         fmt::format("{} frame record{} beside Tarnwick.log, the newest {}: what Tarnwick saw and "
                     "did in your game, and what each purge gained",
                     names.size(), names.size() == 1 ? "" : "s", shown(names.back())),
         fmt::format("drop {} onto tarnwick-sim.exe, or run {} (a record with Record=2 beside "
                     "it: drop both)",
                     shown(names.back()), commandOn(toolCommand, "report", newest)),
         {},
         {{"records", names}, {"newest", newest}}});
}

} // namespace sim
