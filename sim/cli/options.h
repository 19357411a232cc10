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
std::string slumpsExplained();

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
