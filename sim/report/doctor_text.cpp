// The doctor's findings for a player (text, wrapped to a console's width) and for scripts (JSON).
#include "sim/files.h"
#include "sim/report/doctor_report.h"

#include <fmt/format.h>
#include <fmt/ostream.h>

namespace sim {
namespace {

// Windows' console opens 120 columns wide; a terminal usually 80 or more.
constexpr std::size_t lineWidth = 100;
constexpr std::size_t severityWidth = 13; // "needs doing" and two spaces

std::size_t columns(std::string_view utf8)
{
    std::size_t count = 0;
    for (const char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 0 : 1;
    }
    return count;
}

// Where the word at the start of text ends: at the next space, but a path quoted for the shell
// ('...', with '\'' or '' inside) is one word, spaces and all: a line break inside it would be
// pasted as part of the path.
std::size_t wordEnd(std::string_view text)
{
    std::size_t at = 0;
    if (text.starts_with('\'')) {
        at = 1;
        for (std::size_t quote = text.find('\'', at); quote != std::string_view::npos;
             quote = text.find('\'', at)) {
            const std::string_view after = text.substr(quote + 1);
            if (after.starts_with("\\''")) {
                at = quote + 4; // POSIX: ' closed, an escaped ', reopened
            } else if (after.starts_with('\'')) {
                at = quote + 2; // PowerShell: a doubled '
            } else {
                at = quote + 1;
                break;
            }
        }
    }
    return std::min(text.find(' ', at), text.size());
}

// Words as they fit, every line after the first indented under the first's text.
void printWrapped(std::ostream& out, std::string_view lead, std::string_view text)
{
    std::string line(lead);
    std::size_t width = columns(line);
    bool empty = true;
    while (!text.empty()) {
        const std::size_t space = wordEnd(text);
        const std::string_view word = text.substr(0, space);
        text.remove_prefix(std::min(space + 1, text.size()));
        if (!empty && width + 1 + columns(word) > lineWidth) {
            fmt::print(out, "{}\n", line);
            line.assign(severityWidth, ' ');
            width = severityWidth;
            empty = true;
        }
        line += empty ? "" : " ";
        line += word;
        width += (empty ? 0 : 1) + columns(word);
        empty = false;
    }
    fmt::print(out, "{}\n", line);
}

} // namespace

void printDoctor(std::ostream& out, const Examination& examination)
{
    fmt::print(out, "Tarnwick doctor (tarnwick-sim {})\ngame folder: {}\n\n",
               examination.toolVersion, utf8Of(examination.folder));
    for (const DoctorFinding& finding : examination.findings) {
        printWrapped(out, fmt::format("{:<{}}", severityName(finding.severity), severityWidth),
                     finding.message);
        for (const std::string& detail : finding.details) {
            printWrapped(out, std::string(severityWidth, ' ') + "  ", detail);
        }
        if (!finding.toDo.empty()) {
            printWrapped(out, std::string(severityWidth, ' ') + "to do: ", finding.toDo);
        }
    }
    const std::size_t count = needsDoing(examination);
    fmt::print(out, "\n{}\n",
               count == 0   ? "Nothing needs doing."
               : count == 1 ? "1 thing needs doing."
                            : fmt::format("{} things need doing.", count));
}

nlohmann::json doctorJson(const Examination& examination)
{
    nlohmann::json findings = nlohmann::json::array();
    for (const DoctorFinding& f : examination.findings) {
        findings.push_back({{"id", f.id},
                            {"severity", severityName(f.severity)},
                            {"message", f.message},
                            {"toDo", f.toDo},
                            {"details", f.details},
                            {"facts", f.facts}});
    }
    return {{"command", "doctor"},
            {"folder", utf8Of(examination.folder)},
            {"toolVersion", examination.toolVersion},
            {"needsDoing", needsDoing(examination)},
            {"findings", findings}};
}

} // namespace sim
