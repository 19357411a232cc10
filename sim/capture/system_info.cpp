// What a MangoHud log says of the machine: its first lines name the system ("os,cpu,gpu,...") and
// the next holds the values, before the frames' header.
#include "sim/ascii.h"
#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/capture/line_reader.h"

#include <fmt/format.h>

#include <charconv>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sim {
namespace {

// Past these lines with something in them, the frames have begun.
constexpr std::size_t systemLinesLookedAt = 8;

// As the page names each.
std::string systemName(std::string_view mangoHud)
{
    for (const auto& [key, name] :
         {std::pair{"os", "system"}, std::pair{"cpu", "processor"}, std::pair{"gpu", "GPU"},
          std::pair{"ram", "memory"}, std::pair{"cpuscheduler", "CPU scheduler"}}) {
        if (equalsIgnoringCase(mangoHud, key)) {
            return name;
        }
    }
    return std::string(mangoHud);
}

// MangoHud writes the memory as /proc/meminfo's MemTotal, a bare number of kB (older ones wrote
// "32 GB"): given its unit, in the one a player knows it by.
std::string memoryText(const std::string& value)
{
    std::uint64_t kB = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), kB);
    if (error != std::errc() || end != value.data() + value.size()) {
        return value;
    }
    const double mib = static_cast<double>(kB) / 1024.0;
    return mib >= 1024 ? fmt::format("{:.1f} GiB ({} kB)", mib / 1024.0, value)
                       : fmt::format("{:.0f} MiB ({} kB)", mib, value);
}

std::vector<std::string> cellsOf(std::string_view line)
{
    std::vector<std::string_view> fields;
    splitCsv(line, fields, SIZE_MAX);
    std::vector<std::string> cells;
    for (const std::string_view cell : fields) {
        cells.emplace_back(trim(cell));
    }
    return cells;
}

} // namespace

std::vector<std::pair<std::string, std::string>> mangoHudSystem(const std::filesystem::path& path)
{
    LineReader reader(path);
    std::vector<std::string> lines;
    std::string_view line;
    while (lines.size() < systemLinesLookedAt && reader.next(line)) {
        const std::string_view text = trim(reader.lineNumber() == 1 ? withoutBom(line) : line);
        if (!text.empty()) {
            lines.emplace_back(text);
        }
    }
    std::vector<std::pair<std::string, std::string>> system;
    for (std::size_t at = 0; at + 1 < lines.size(); ++at) {
        const std::vector<std::string> names = cellsOf(lines[at]);
        if (!names.empty() && equalsIgnoringCase(names.front(), "os")) {
            const std::vector<std::string> values = cellsOf(lines[at + 1]);
            for (std::size_t i = 0; i < names.size() && i < values.size(); ++i) {
                if (!values[i].empty()) {
                    system.emplace_back(systemName(names[i]), equalsIgnoringCase(names[i], "ram")
                                                                  ? memoryText(values[i])
                                                                  : values[i]);
                }
            }
            break;
        }
    }
    return system;
}

} // namespace sim
