// Option values checked as a player would type them, with messages that say what was wrong.
#include "sim/cli/arguments.h"

#include "sim/check/settings_check.h"
#include "sim/files.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <string>

namespace sim {

namespace {

std::string inQuotes(const std::string& text)
{
    return "'" + shownWhole(text) + "'";
}

} // namespace

CLI::Validator numberIn(double lowest, double highest)
{
    const std::string range = fmt::format("from {} to {}", lowest, highest);
    return CLI::Validator(
        [lowest, highest, range](std::string& text) -> std::string {
            double value = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || end != text.data() + text.size() ||
                error == std::errc::invalid_argument) {
                return inQuotes(text) + " is not a number";
            }
            if (error == std::errc() && !std::isfinite(value)) {
                return inQuotes(text) + " is not a finite number";
            }
            if (error != std::errc() || value < lowest || value > highest) {
                return inQuotes(text) + " is out of range: give a number " + range;
            }
            return {};
        },
        "");
}

CLI::Validator wholeNumberUpTo(std::uint64_t highest)
{
    return CLI::Validator(
        [highest](std::string& text) -> std::string {
            std::uint64_t value = 0;
            const auto [end, error] =
                std::from_chars(text.data(), text.data() + text.size(), value);
            if (text.empty() || end != text.data() + text.size() ||
                error == std::errc::invalid_argument) {
                return inQuotes(text) + " is not a whole number from 0 to " +
                       std::to_string(highest);
            }
            if (error != std::errc() || value > highest) {
                return inQuotes(text) + " is out of range: give a whole number from 0 to " +
                       std::to_string(highest);
            }
            return {};
        },
        "");
}

namespace {

// CLI11's own checks read the path in the system's code page; ours read it as the UTF-8 it is.
CLI::Validator existingPath(bool folder, bool settings = false)
{
    return CLI::Validator(
        [folder, settings](std::string& text) -> std::string {
            if (!folder && text == "-") {
                return {}; // standard input
            }
            std::error_code error;
            const auto status = std::filesystem::status(pathFromUtf8(text), error);
            const char* const what = folder ? "Directory" : "File";
            if (!std::filesystem::exists(status)) {
                return std::string(what) + " does not exist: " + shownWhole(text);
            }
            if (std::filesystem::is_directory(status) != folder) {
                return std::string(what) +
                       (folder ? " is actually a file: " : " is actually a directory: ") +
                       shownWhole(text);
            }
            if (settings && !std::filesystem::is_regular_file(status)) {
                return shownWhole(text) +
                       " is a pipe or a device: the plug-in reads Tarnwick.ini as a file, "
                       "so save the text as one";
            }
            return {};
        },
        "");
}

} // namespace

CLI::Validator existingFile()
{
    return existingPath(false);
}

CLI::Validator existingFolder()
{
    return existingPath(true);
}

CLI::Validator settingsFile()
{
    return existingPath(false, true);
}

namespace {

bool isWindowsDeviceName(std::string stem)
{
    while (!stem.empty() && (stem.back() == ' ' || stem.back() == '.')) {
        stem.pop_back();
    }
    for (char& c : stem) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$") {
        return true;
    }
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '0' && stem[3] <= '9';
}

} // namespace

CLI::Validator outputFile()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (text == "-") {
                // Standard output carries the report; a file named "-" is what no one means.
                return "\"-\" is standard input for a capture, not an output: the report goes to "
                       "standard output, this writes a file; give its name";
            }
            const std::filesystem::path path = pathFromUtf8(text);
            const std::string name = utf8Of(path.filename());
            if (name.empty()) {
                return inQuotes(text) + " names no file: give a file name, such as page.html or "
                                        "chart.svg";
            }
            if (isWindowsDeviceName(name.substr(0, name.find('.')))) {
                return inQuotes(text) + " is a device on Windows, not a file: choose another name";
            }
            return {};
        },
        "");
}

CLI::Validator rangeOfThresholds()
{
    return CLI::Validator(
        [](std::string& text) -> std::string {
            const auto dots = text.find("..");
            const auto whole = [](std::string_view part, long long& value) {
                const auto [end, error] =
                    std::from_chars(part.data(), part.data() + part.size(), value);
                return !part.empty() && error == std::errc() && end == part.data() + part.size();
            };
            long long low = 0;
            long long high = 0;
            if (dots == std::string::npos || !whole(std::string_view(text).substr(0, dots), low) ||
                !whole(std::string_view(text).substr(dots + 2), high) || low > high) {
                return inQuotes(text) +
                       " is not a range: give LO..HI, whole numbers with LO not above HI";
            }
            if (low < 1 || high > highestRefreshRate) {
                return fmt::format("{} is out of range: thresholds go from 1 to {} frames per "
                                   "second (no monitor refreshes faster)",
                                   inQuotes(text), highestRefreshRate);
            }
            return {};
        },
        "");
}

} // namespace sim
