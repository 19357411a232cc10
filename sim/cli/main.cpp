// tarnwick-sim: runs the plug-in's real code against a simulated game and shows what the
// settings would do.
#include "sim/cli/commands.h"
#include "sim/cli/output.h"
#include "sim/cli/settings_report.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <limits>
#include <sstream>

namespace {

std::string inQuotes(const std::string& text)
{
    return "'" + text + "'";
}

// CLI11 alone lets "nan" through a range and wraps "-1" into a huge unsigned number.
CLI::Validator numberIn(double lowest, double highest)
{
    std::ostringstream range;
    range << "from " << lowest << " to " << highest;
    return CLI::Validator(
        [lowest, highest, range = range.str()](std::string& text) -> std::string {
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

void addCommon(CLI::App* command, CommonOptions& common)
{
    command->add_option("--ini", common.ini, "settings file to use as the game's Tarnwick.ini")
        ->check(CLI::ExistingFile);
    command->add_option("--svg", common.svg, "also draw the session as a standalone SVG chart");
    command
        ->add_option("--log-dir", common.logDir,
                     "folder the plug-in writes Tarnwick.log in (default: current folder)")
        ->check(CLI::ExistingDirectory);
    command
        ->add_option("--uptime", common.uptimeMs,
                     "the tick counter at the start, in milliseconds since boot")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint32_t>::max()));
    command->add_flag("--json", common.json, "print the report as one JSON object");
}

// Paths given relative to where the user stands stay so after the log folder is entered.
void anchor(std::optional<std::filesystem::path>& path)
{
    if (path) {
        path = std::filesystem::absolute(*path);
    }
}

// Everything that can be known wrong before the simulation starts is said before it starts.
int prepareOutputs(CommonOptions& common)
{
    anchor(common.ini);
    anchor(common.svg);
    if (common.logDir) {
        std::error_code error;
        std::filesystem::current_path(*common.logDir, error);
        if (error) {
            std::cerr << "tarnwick-sim: cannot enter " << common.logDir->string() << ": "
                      << error.message() << '\n';
            return 2;
        }
    }
    if (common.svg) {
        if (const std::string why = cannotWrite(*common.svg); !why.empty()) {
            std::cerr << "tarnwick-sim: cannot write the chart to " << common.svg->string() << ": "
                      << why << '\n';
            return 1;
        }
    }
    return 0;
}

bool knownSubcommand(CLI::App& app, const std::string& name)
{
    const auto subcommands = app.get_subcommands({});
    return std::any_of(subcommands.begin(), subcommands.end(),
                       [&name](const CLI::App* sub) { return sub->get_name() == name; });
}

} // namespace

int main(int argc, char** argv)
{
    CLI::App app{"tarnwick-sim: the Tarnwick frame-rate governor in a simulated game"};
    app.require_subcommand(1);

    std::string settingsFile;
    CLI::App* settings = app.add_subcommand(
        "settings", "Print the settings as the plug-in reads them from FILE, with warnings");
    settings->add_option("FILE", settingsFile, "a Tarnwick.ini")->required();

    RunOptions run;
    CLI::App* runCmd = app.add_subcommand(
        "run", "The default session: a city drive whose traffic drags the frame rate down");
    addCommon(runCmd, run.common);
    runCmd->add_option("--seconds", run.seconds, "simulated seconds (default 180)")
        ->check(numberIn(0.001, 86400.0));
    runCmd->add_option("--seed", run.seed, "fixes every random choice (default 1)")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint64_t>::max()));
    runCmd->add_option("--every", run.everySeconds, "seconds between timeline rows (default 5)")
        ->check(numberIn(0.001, 86400.0));

    ReplayOptions replay;
    CLI::App* replayCmd =
        app.add_subcommand("replay", "Replay a real frame-time capture through the plug-in");
    replayCmd
        ->add_option("CAPTURE", replay.capture,
                     "PresentMon/OCAT CSV, CapFrameX JSON, MangoHud CSV or plain text")
        ->required()
        ->check(CLI::ExistingFile);
    addCommon(replayCmd, replay.common);
    replayCmd->add_option("--app", replay.application,
                          "application to replay (default: the one with the most frames)");
    replayCmd->add_option("--run", replay.run, "CapFrameX: which run, from 0 (default 0)")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint32_t>::max()));

    std::filesystem::path scenarioGame = ".";
    CLI::App* scenarioCmd = app.add_subcommand(
        "scenario", "A short fixed scenario, the same as tarnwick-sim.exe plays under Wine");
    scenarioCmd->add_option("--game-dir", scenarioGame, "folder of the game and its Tarnwick.ini")
        ->check(CLI::ExistingDirectory);

    if (argc > 1 && argv[1][0] != '-' && !knownSubcommand(app, argv[1])) {
        std::cerr << "tarnwick-sim: unknown subcommand '" << argv[1]
                  << "'\nRun with --help for more information.\n";
        return 2;
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    }

    try {
        if (settings->parsed()) {
            return reportSettings(settingsFile, std::cout);
        }
        if (scenarioCmd->parsed()) {
            return scenarioCommand(scenarioGame);
        }
        if (runCmd->parsed()) {
            const int status = prepareOutputs(run.common);
            return status != 0 ? status : runCommand(run);
        }
        if (replayCmd->parsed()) {
            replay.capture = std::filesystem::absolute(replay.capture);
            const int status = prepareOutputs(replay.common);
            return status != 0 ? status : replayCommand(replay);
        }
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-sim: " << error.what() << '\n';
        return 1;
    }
    return 2;
}
