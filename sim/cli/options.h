// The options several commands share, each declared and checked in one place (a command words
// what a file is for in its own terms), and the help's footers.
#pragma once

#include "sim/cli/arguments.h"
#include "sim/cli/commands.h"
#include "sim/files.h"

#include <CLI/CLI.hpp>

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::string_view usualExit =
    "0 done; 1 the capture, the settings file or an output could not be used; 2 a bad argument.";

inline constexpr const char* severalCaptures =
    "PresentMon/OCAT CSV, CapFrameX JSON, MangoHud CSV or plain text, one or several, judged "
    "together; - reads standard input as it comes";

// What a slump is, for both commands that judge purges by them.
inline constexpr const char* slumpsExplained =
    "A slump: the frame rate over the last second stays below the target for at least two "
    "seconds (a recovery shorter than a second does not end it); it runs from where the game sank "
    "to where it recovered. A single hitch, even of a second, is not one. A purge is worth it in a "
    "slump and wasted outside one. "
    "The target is 80% of the capture's usual frame rate, that of its better seconds (nine in ten "
    "whole seconds of play are no faster), unless --target sets it. Not play, and never a slump: "
    "a pause (a single frame of 1.5 s or more) and a loading screen or a menu (a second with more "
    "than twice the frames of the median second); --from and --to cut a capture to the part "
    "played. To tune, record with Tarnwick switched off (Enabled=0).";

// A footer's paragraph in lines a terminal shows whole.
std::string wrapped(std::string_view text);

// A command's own exit statuses and examples, after what else it has to say.
std::string commandFooter(std::string_view exit, std::initializer_list<std::string_view> examples,
                          const std::string& before = {});

// Binds an option to a path, read from the UTF-8 the command line was turned into.
template <class Path>
CLI::Option* addPathOption(CLI::App* command, const std::string& name, Path& target,
                           const std::string& description)
{
    return command
        ->add_option_function<std::string>(
            name, [&target](const std::string& text) { target = pathFromUtf8(text); }, description)
        ->type_name("");
}

// CAPTURE...: one or several, standard input at most once.
CLI::Option* addCapturesOption(CLI::App* command, std::vector<std::filesystem::path>& captures,
                               const std::string& description);

// --ini, --svg, --app and --run, and what run and replay share besides.
CLI::Option* addIni(CLI::App* command, std::optional<std::filesystem::path>& ini,
                    const std::string& description);
CLI::Option* addSvg(CLI::App* command, std::optional<std::filesystem::path>& svg,
                    const std::string& description);
CLI::Option* addApplication(CLI::App* command, CaptureChoice& choice, const std::string& verb);
CLI::Option* addRunNumber(CLI::App* command, CaptureChoice& choice);
void addCommon(CLI::App* command, CommonOptions& common);

CLI::Option* addTarget(CLI::App* command, std::optional<double>& target);
// --from and --to.
void addPlayedPart(CLI::App* command, CaptureChoice& choice);

// "LO..HI" in whole frames per second.
CLI::Option* addRange(CLI::App* command, const std::string& name, Range& range,
                      const std::string& description);

} // namespace sim
