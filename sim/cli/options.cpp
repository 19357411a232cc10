#include "sim/cli/options.h"

#include "sim/check/settings_check.h"
#include "sim/report/slumps_report.h"

#include <fmt/format.h>

#include <algorithm>
#include <limits>

namespace sim {

// A footer's paragraph in lines a terminal shows whole.
std::string wrapped(std::string_view text)
{
    constexpr std::size_t width = 78;
    std::string lines;
    std::size_t lineStart = 0;
    std::size_t word = 0;
    while (word < text.size()) {
        const std::size_t end = std::min(text.find(' ', word), text.size());
        if (end - lineStart > width && word > lineStart) {
            lines += text.substr(lineStart, word - 1 - lineStart);
            lines += '\n';
            lineStart = word;
        }
        word = end + 1;
    }
    lines += text.substr(lineStart);
    return lines + '\n';
}

// A command's own exit statuses and examples, after what else it has to say.
std::string commandFooter(std::string_view exit, std::initializer_list<std::string_view> examples,
                          const std::string& before)
{
    std::string text = before.empty() ? std::string() : before + '\n';
    text += wrapped("Exit status: " + std::string(exit));
    text += "\nExamples:\n";
    for (const std::string_view example : examples) {
        text += "  ";
        text += example;
        text += '\n';
    }
    return text;
}

// CAPTURE...: one or several, standard input at most once.
CLI::Option* addCapturesOption(CLI::App* command, std::vector<std::filesystem::path>& captures,
                               const std::string& description)
{
    return command
        ->add_option_function<std::vector<std::string>>(
            "CAPTURE",
            [&captures](const std::vector<std::string>& texts) {
                if (std::count(texts.begin(), texts.end(), "-") > 1) {
                    throw CLI::ValidationError("CAPTURE", "standard input (-) can be read once");
                }
                for (const std::string& text : texts) {
                    captures.push_back(pathFromUtf8(text));
                }
            },
            description)
        ->type_name("")
        ->expected(1, -1)
        ->required()
        ->check(existingFile());
}

CLI::Option* addIni(CLI::App* command, std::optional<std::filesystem::path>& ini,
                    const std::string& description)
{
    return addPathOption(command, "--ini", ini, description)
        ->check(settingsFile())
        ->option_text("FILE");
}

CLI::Option* addSvg(CLI::App* command, std::optional<std::filesystem::path>& svg,
                    const std::string& description)
{
    return addPathOption(command, "--svg", svg, description)
        ->check(outputFile())
        ->option_text("FILE");
}

CLI::Option* addApplication(CLI::App* command, CaptureChoice& choice, const std::string& verb)
{
    return command
        ->add_option("--app", choice.application,
                     "application to " + verb + " (default: the one with the most frames)")
        ->option_text("NAME");
}

CLI::Option* addRunNumber(CLI::App* command, CaptureChoice& choice)
{
    return command
        ->add_option(
            "--run", choice.run,
            "CapFrameX: which run, from 0 (default: each, as a capture of its own; replay: 0)")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint32_t>::max()))
        ->option_text("N");
}

void addCommon(CLI::App* command, CommonOptions& common)
{
    addIni(command, common.ini,
           "settings file, used as the game's Tarnwick.ini (default: replay takes the game's when "
           "this tool lies in the game's folder; else none, so every key takes its default)");
    addSvg(command, common.svg, "also draw the session as a standalone SVG chart");
    addPathOption(command, "--log-dir", common.logDir,
                  "keep the plug-in's Tarnwick.log in this folder (default: none is kept: the "
                  "simulated game's own folder is deleted at the end)")
        ->check(existingFolder())
        ->option_text("DIR");
    command
        ->add_option("--uptime", common.uptimeMs,
                     "the tick counter at the start, in milliseconds since boot (default 600000)")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint32_t>::max()))
        ->option_text("MS");
    command->add_flag("--json", common.json, "print the report as one JSON object");
}

std::string slumpsExplained()
{
    return fmt::format(
        "A slump: the frame rate over the last second stays below the target for at least {} (a "
        "recovery shorter than a second does not end it); it runs from where the game sank to "
        "where it recovered. A single hitch, even of a second, is not one. A purge is worth it in "
        "a slump and wasted outside one. The target is {} of the play around a second: the rate "
        "of the better seconds of play ({} whole seconds are no faster) in the {} s before it "
        "and in the {} s after it, the lower of the two, so a level that holds its own pace for "
        "longer (another scene, another setting) is judged against itself; --target sets one "
        "for the whole capture. Not play, and never a slump: a pause (a single frame of {:g} s "
        "or more) and a loading screen or a menu (a second with more than {:g} times the frames "
        "of play, or an even-paced second {:g} times as fast as play); --from and --to cut a "
        "capture to the part played. To tune, record an evening without purges (Record=2, or "
        "Enabled=0 with a capture tool).",
        secondsSpelt(slumpLowSeconds), percentText(slumpShareOfUsual),
        percentileAsShare(usualPercentile), levelWindowSeconds, levelWindowSeconds,
        pauseFrameMs / 1000, loadingOverMedian, menuOverPlay);
}

CLI::Option* addTarget(CLI::App* command, std::optional<double>& target)
{
    return command
        ->add_option("--target", target,
                     "the frame rate below which a second counts as slow (default: " +
                         percentText(slumpShareOfUsual) + " of the play around it)")
        ->check(numberIn(1, highestRefreshRate))
        ->option_text("FPS");
}

void addPlayedPart(CLI::App* command, CaptureChoice& choice)
{
    constexpr double longestCaptureSeconds = 1000.0 * 3600;
    command
        ->add_option("--from", choice.fromSeconds,
                     "leave out the capture's first S seconds (a loading screen, a menu): judge "
                     "from there on")
        ->check(numberIn(0, longestCaptureSeconds))
        ->option_text("S");
    command
        ->add_option("--to", choice.toSeconds,
                     "leave out what comes after the capture's first S seconds: judge up to there")
        ->check(numberIn(0, longestCaptureSeconds))
        ->option_text("S");
}

// "LO..HI" in whole frames per second.
CLI::Option* addRange(CLI::App* command, const std::string& name, Range& range,
                      const std::string& description)
{
    return command
        ->add_option_function<std::string>(
            name,
            [&range](const std::string& text) {
                const auto dots = text.find("..");
                range = {std::stoi(text.substr(0, dots)), std::stoi(text.substr(dots + 2))};
            },
            description)
        ->check(rangeOfThresholds())
        ->option_text("LO..HI");
}

} // namespace sim
