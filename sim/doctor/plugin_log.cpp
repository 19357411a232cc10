// Tarnwick.log: whether the plug-in has purged, how often, and whether the installed build did.
// Its absence says little: the first line comes only with the first purge.
#include "governor/state.h"
#include "sim/doctor/inside.h"
#include "sim/doctor/log_lines.h"
#include "sim/files.h"

#include <fmt/format.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <fstream>
#include <system_error>

namespace sim {
namespace {

// Far above what a game shows while it is busy, so Tarnwick purges within seconds, and below
// any refresh rate, so the settings check has nothing to say about them.
constexpr int tryModerate = 200;
constexpr int tryCritical = 190;

std::string howToSeeItWork(const SettingsSeen& seen)
{
    const auto seconds = purgeIntervalMs / 1000;
    if (!seen.file) {
        return fmt::format("to see it work, put a Tarnwick.ini beside the game's .exe for one "
                           "session, holding [Settings], FPS_Moderate={} and FPS_Critical={}: a "
                           "line appears about every {} seconds; then delete it",
                           tryModerate, tryCritical, seconds);
    }
    // Values the check warned about are no place to go back to.
    return fmt::format("to see it work, set FPS_Moderate={} and FPS_Critical={} in Tarnwick.ini "
                       "for one session: a line appears about every {} seconds; then {}",
                       tryModerate, tryCritical, seconds,
                       seen.warned
                           ? "set them to the pair you mean, mended as Tarnwick.ini's "
                             "warnings say"
                           : fmt::format("set them back ({} and {})", seen.settings.fpsModerate,
                                         seen.settings.fpsCritical));
}

struct WrittenAt {
    std::string local; // for the player: "2026-12-08 14:03"
    std::string utc;   // for scripts: "2026-12-08T13:03:05Z"
};

std::optional<WrittenAt> lastWritten(const std::filesystem::path& file)
{
    std::error_code error;
    const auto written = std::filesystem::last_write_time(file, error);
    if (error) {
        return std::nullopt;
    }
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(
            std::chrono::file_clock::to_sys(written)));
    WrittenAt at;
    char text[32];
    const std::tm* local = std::localtime(&t);
    if (local == nullptr || std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", local) == 0) {
        return std::nullopt;
    }
    at.local = text;
    const std::tm* utc = std::gmtime(&t);
    if (utc == nullptr || std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc) == 0) {
        return std::nullopt;
    }
    at.utc = text;
    return at;
}

void absent(const SettingsSeen& seen, std::vector<DoctorFinding>& out)
{
    if (!seen.settings.enabled) {
        out.push_back({"log.off", Severity::Note,
                       "no Tarnwick.log: Enabled=0 in Tarnwick.ini switches Tarnwick off",
                       "set Enabled=1 in Tarnwick.ini to switch it on"});
    } else if (!seen.settings.logging) {
        out.push_back({"log.off", Severity::Note,
                       "no Tarnwick.log: Logging=0 in Tarnwick.ini, so Tarnwick writes none",
                       "set Logging=1 in Tarnwick.ini to see its purges"});
    } else {
        out.push_back({"log.missing", Severity::Note,
                       fmt::format("no Tarnwick.log yet: Tarnwick writes its first line at its "
                                   "first purge, once the frame rate falls below FPS_Critical "
                                   "({}); a game that runs well may never get one",
                                   seen.settings.fpsCritical),
                       howToSeeItWork(seen)});
    }
}

std::string purgesText(std::uint64_t purges)
{
    return fmt::format("{} purge{}", purges, purges == 1 ? "" : "s");
}

DoctorFinding counted(const LogLines& log, const std::string& when, const SettingsSeen& seen,
                      const std::optional<std::string>& installed, nlohmann::json facts)
{
    const std::string cut = log.cut ? " (counted in its first GiB)" : "";
    if (log.purges == 0) {
        return {"log.noPurges",
                Severity::Note,
                fmt::format("Tarnwick.log holds no purge yet{}{}, last written {}",
                            log.otherLines == 0 ? ""
                            : log.otherLines == 1
                                ? " (1 other line)"
                                : fmt::format(" ({} other lines)", log.otherLines),
                            cut, when),
                howToSeeItWork(seen),
                {},
                facts};
    }
    const std::string last = *log.lastStamp;
    if (!installed) {
        return {"log.found",
                Severity::Fine,
                fmt::format("Tarnwick.log: {}{}, the last written {} by Tarnwick built {}",
                            purgesText(log.purges), cut, when, last),
                "",
                {},
                facts};
    }
    std::uint64_t byInstalled = 0;
    for (const BuildLines& build : log.builds) {
        byInstalled += build.stamp == *installed ? build.lines : 0;
    }
    if (last == *installed) {
        const std::uint64_t others = log.purges - byInstalled;
        return {"log.found",
                Severity::Fine,
                fmt::format("Tarnwick.log: {}{}, the last written {} by the installed "
                            "Tarnwick.asi (built {}){}",
                            purgesText(log.purges), cut, when, *installed,
                            others == 0 ? ""
                            : log.builds.size() == 2
                                ? fmt::format("; {} of them by another build", others)
                                : fmt::format("; {} of them by other builds", others)),
                "",
                {},
                facts};
    }
    return {"log.otherBuild",
            Severity::Note,
            fmt::format("Tarnwick.log: {}{}, the last written {} by Tarnwick built {}; {} by the "
                        "installed Tarnwick.asi (built {})",
                        purgesText(log.purges), cut, when, last,
                        byInstalled == 0 ? std::string("none") : std::to_string(byInstalled),
                        *installed),
            "nothing, if the game has run well since it was installed; " + howToSeeItWork(seen),
            {},
            facts};
}

} // namespace

void examineLog(const std::filesystem::path& folder, const std::vector<FolderEntry>& entries,
                const SettingsSeen& settings, const std::optional<std::string>& installedStamp,
                std::vector<DoctorFinding>& out)
{
    const FolderEntry* entry = findEntry(entries, "Tarnwick.log");
    if (entry == nullptr) {
        absent(settings, out);
        return;
    }
    const std::filesystem::path file = folder / pathFromUtf8(entry->name);
    nlohmann::json facts = {{"file", utf8Of(file)}};
    std::error_code error;
    if (!std::filesystem::is_regular_file(file, error)) {
        out.push_back({"log.notAFile",
                       Severity::NeedsDoing,
                       fmt::format("Tarnwick.log is {}, so Tarnwick cannot write its log",
                                   entry->folder ? "a folder" : "not a file (a pipe or a device)"),
                       "delete it, or rename it",
                       {},
                       facts});
        return;
    }
    std::ifstream in(file, std::ios::binary);
    const int why = errno;
    const LogLines log = in ? countLogLines(in) : LogLines{};
    if (!in.is_open() || in.bad()) {
        out.push_back({"log.unreadable",
                       Severity::NeedsDoing,
                       "cannot read Tarnwick.log: " +
                           std::generic_category().message(in.is_open() ? EIO : why),
                       "Tarnwick most likely cannot add to it either: let your user change it "
                       "(Properties, Security), or delete it",
                       {},
                       facts});
        return;
    }
    const std::optional<WrittenAt> written = lastWritten(file);
    nlohmann::json builds = nlohmann::json::array();
    for (const BuildLines& build : log.builds) {
        builds.push_back({{"stamp", build.stamp}, {"lines", build.lines}});
    }
    facts.update({{"purges", log.purges},
                  {"otherLines", log.otherLines},
                  {"builds", builds},
                  {"lastStamp", log.lastStamp ? nlohmann::json(*log.lastStamp) : nullptr},
                  {"installedStamp", installedStamp ? nlohmann::json(*installedStamp) : nullptr},
                  {"lastWritten", written ? nlohmann::json(written->utc) : nullptr}});
    out.push_back(counted(log, written ? written->local : "at an unknown time", settings,
                          installedStamp, facts));
}

} // namespace sim
