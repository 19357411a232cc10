// The frame records beside the log: which there are, and what to drop onto the tool.
#include "sim/doctor/inside.h"

#include "record/record.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <tuple>

namespace sim {

namespace {

struct RecordName {
    std::string name;
    std::string stamp;    // "YYYY-MM-DD_hh-mm-ss", which sorts as the time it says
    unsigned session = 1; // the second session of a second is "-2"
    int mode = 0;         // Record= of its header; 0 when it says none
};

bool digitsAt(std::string_view text, std::size_t at, std::size_t count)
{
    return at + count <= text.size() &&
           std::all_of(text.begin() + static_cast<std::ptrdiff_t>(at),
                       text.begin() + static_cast<std::ptrdiff_t>(at + count),
                       [](char c) { return c >= '0' && c <= '9'; });
}

// Named as the plug-in names a record, Tarnwick-record-YYYY-MM-DD_hh-mm-ss[-N].csv (in any case,
// as Windows finds names): its stamp and session; none for any other name (notes, copies).
std::optional<RecordName> recordNamed(std::string_view name)
{
    const std::string_view prefix = recordNamePrefix;
    if (name.size() < prefix.size() + 19 + 4 ||
        !equalsIgnoringCase(name.substr(0, prefix.size()), prefix) ||
        !endsWithIgnoringCase(name, ".csv")) {
        return std::nullopt;
    }
    const std::string_view stamp = name.substr(prefix.size(), 19);
    for (std::size_t i = 0; i < stamp.size(); ++i) {
        const char expected = i == 4 || i == 7 || i == 13 || i == 16 ? '-' : i == 10 ? '_' : '0';
        if (expected == '0' ? !digitsAt(stamp, i, 1) : stamp[i] != expected) {
            return std::nullopt;
        }
    }
    RecordName record{std::string(name), std::string(stamp)};
    std::string_view rest = name.substr(prefix.size() + 19, name.size() - prefix.size() - 19 - 4);
    if (!rest.empty()) {
        if (rest.size() < 2 || rest.size() > 4 || rest[0] != '-' ||
            !digitsAt(rest, 1, rest.size() - 1) || rest[1] == '0') {
            return std::nullopt;
        }
        record.session = static_cast<unsigned>(std::stoul(std::string(rest.substr(1))));
    }
    return record;
}

// Record= of the header's first line: 1 governed, 2 purges withheld; 0 when it cannot be read.
int recordModeOf(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::string line(512, '\0');
    in.read(line.data(), static_cast<std::streamsize>(line.size()));
    line.resize(static_cast<std::size_t>(in.gcount()));
    line = line.substr(0, line.find('\n'));
    if (!line.starts_with(recordTitle)) {
        return 0;
    }
    const std::size_t at = line.find(",Record=");
    if (at == std::string::npos || at + 9 > line.size()) {
        return 0;
    }
    const char mode = line[at + 8];
    const bool alone = at + 9 == line.size() || line[at + 9] == ',' || line[at + 9] == '\r';
    return alone && (mode == '1' || mode == '2') ? mode - '0' : 0;
}

// Oldest first by the time in their names. Only files: a link that leads nowhere or to itself,
// or a folder, named like a record is none.
std::vector<RecordName> recordsIn(const std::filesystem::path& folder,
                                  const std::vector<FolderEntry>& entries)
{
    std::vector<RecordName> records;
    for (const FolderEntry& entry : entries) {
        std::optional<RecordName> record = recordNamed(entry.name);
        std::error_code error;
        const std::filesystem::path file = folder / pathFromUtf8(entry.name);
        if (entry.folder || !record || !std::filesystem::is_regular_file(file, error)) {
            continue;
        }
        record->mode = recordModeOf(file);
        records.push_back(std::move(*record));
    }
    std::sort(records.begin(), records.end(), [](const RecordName& a, const RecordName& b) {
        return std::tie(a.stamp, a.session, a.name) < std::tie(b.stamp, b.session, b.name);
    });
    return records;
}

const RecordName* newestOf(const std::vector<RecordName>& records, int mode)
{
    const auto found = std::find_if(records.rbegin(), records.rend(),
                                    [mode](const RecordName& r) { return r.mode == mode; });
    return found == records.rend() ? nullptr : &*found;
}

// What to drop: the newest governed record, which holds the purges' gains, and beside it the
// newest withheld one for on against off. A record with Record=2 alone has no gain to show.
struct DropAdvice {
    std::string toDo;
    std::string path; // the record the advice names first
    const RecordName* withheld = nullptr;
};

DropAdvice dropAdviceOf(const std::filesystem::path& folder, const std::vector<RecordName>& records,
                        std::string_view toolCommand)
{
    const auto pathOf = [&](const RecordName& r) { return utf8Of(folder / pathFromUtf8(r.name)); };
    const RecordName* on = newestOf(records, 1);
    const RecordName* off = newestOf(records, 2);
    const RecordName& newest = records.back();
    DropAdvice advice;
    advice.withheld = off;
    if (on != nullptr && off != nullptr) {
        advice.path = pathOf(*on);
        advice.toDo = fmt::format(
            "drop {} (Record=1) and {} (Record=2) together onto tarnwick-sim.exe, or run {} {}: "
            "Tarnwick on against off, and what each purge gained; the Record=2 one alone holds "
            "no purge gains (its purges were withheld)",
            shown(on->name), shown(off->name), commandOn(toolCommand, "report", pathOf(*on)),
            shellArgument(pathOf(*off)).value_or("with the other's path"));
    } else if (on != nullptr) {
        advice.path = pathOf(*on);
        advice.toDo = fmt::format(
            "drop {} onto tarnwick-sim.exe, or run {}: what each purge gained (a record made with "
            "Record=2 of the same game beside it: drop both, for Tarnwick on against off)",
            shown(on->name), commandOn(toolCommand, "report", pathOf(*on)));
    } else if (off != nullptr) {
        advice.path = pathOf(*off);
        advice.toDo = fmt::format(
            "drop {} onto tarnwick-sim.exe, or run {}: its purges were withheld (Record=2), so it "
            "shows how the game runs without them but no purge gains; a record made with "
            "Record=1 of the same game beside it shows Tarnwick on against off",
            shown(off->name), commandOn(toolCommand, "report", pathOf(*off)));
    } else {
        advice.path = pathOf(newest);
        advice.toDo =
            fmt::format("drop {} onto tarnwick-sim.exe, or run {} (a record with "
                        "Record=2 beside it: drop both)",
                        shown(newest.name), commandOn(toolCommand, "report", pathOf(newest)));
    }
    return advice;
}

} // namespace

void examineRecords(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                    const SettingsSeen& settings, std::string_view toolCommand,
                    std::vector<DoctorFinding>& out)
{
    const std::vector<RecordName> records = recordsIn(folder, entries);
    const bool recording = settings.settings.enabled && settings.settings.record != RecordMode::Off;
    if (records.empty()) {
        if (recording) {
            out.push_back({"record.none", Severity::Note,
                           "Record is set in Tarnwick.ini, but there is no frame record yet: one "
                           "appears beside Tarnwick.log each time the game starts",
                           "play a while, then drop the Tarnwick-record-*.csv onto "
                           "tarnwick-sim.exe"});
        }
        return;
    }
    std::vector<std::string> names;
    for (const RecordName& r : records) {
        names.push_back(r.name);
    }
    const DropAdvice advice = dropAdviceOf(folder, records, toolCommand);
    const RecordName& newest = records.back();
    out.push_back(
        {"record.found",
         Severity::Note,
         fmt::format("{} frame record{} beside Tarnwick.log, the newest {}: what Tarnwick saw and "
                     "did in your game, and what each purge gained",
                     names.size(), names.size() == 1 ? "" : "s", shown(newest.name)),
         advice.toDo,
         {},
         {{"records", names},
          {"newest", utf8Of(folder / pathFromUtf8(newest.name))},
          {"toDrop", advice.path},
          {"withheld", advice.withheld != nullptr
                           ? nlohmann::json(utf8Of(folder / pathFromUtf8(advice.withheld->name)))
                           : nlohmann::json(nullptr)}}});
}

} // namespace sim
