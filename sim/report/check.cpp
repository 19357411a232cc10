// The settings check for a player (text) and for scripts (JSON).
#include "sim/files.h"
#include "sim/report/check_report.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

namespace sim {
namespace {

std::string sourceOf(const CheckedSetting& setting)
{
    if (!setting.read) {
        return "not read";
    }
    return setting.line ? fmt::format("line {}", *setting.line) : "default";
}

std::string findingText(const Finding& finding)
{
    return finding.line == 0 ? finding.message
                             : fmt::format("line {}: {}", finding.line, finding.message);
}

} // namespace

void printSettingsCheck(std::ostream& out, const SettingsCheck& check)
{
    fmt::print(out, "settings file: {}\n", utf8Of(check.file));
    const char* section = "";
    for (const CheckedSetting& setting : check.shown) {
        if (std::string_view(section) != setting.section) {
            section = setting.section;
            fmt::print(out, "[{}]\n", section);
        }
        const std::string assignment = fmt::format("{}={}", setting.key, setting.value);
        fmt::print(out, "  {:<26}{}\n", assignment, sourceOf(setting));
    }
    for (const Finding& finding : check.findings) {
        fmt::print(out, "{}: {}\n", findingLevelName(finding.level), findingText(finding));
    }
}

void printSettingsWarnings(std::ostream& err, const SettingsCheck& check)
{
    for (const Finding& finding : check.findings) {
        if (finding.level == FindingLevel::Warning) {
            fmt::print(err, "tarnwick-sim: {}: warning: {}\n", utf8Of(check.file.filename()),
                       findingText(finding));
        }
    }
}

nlohmann::json settingsCheckJson(const SettingsCheck& check)
{
    nlohmann::json settings = nlohmann::json::array();
    for (const CheckedSetting& s : check.shown) {
        settings.push_back(
            {{"section", s.section}, {"key", s.key}, {"value", s.value}, {"from", sourceOf(s)}});
    }
    nlohmann::json findings = nlohmann::json::array();
    for (const Finding& f : check.findings) {
        findings.push_back(
            {{"level", findingLevelName(f.level)},
             {"line", f.line == 0 ? nlohmann::json(nullptr) : nlohmann::json(f.line)},
             {"message", f.message}});
    }
    return {{"file", utf8Of(check.file)},
            {"exists", check.exists},
            {"encoding", check.encoding == IniEncoding::Utf16  ? "UTF-16"
                         : check.encoding == IniEncoding::Utf8 ? "UTF-8"
                                                               : "ANSI"},
            {"settings", settings},
            {"findings", findings}};
}

} // namespace sim
