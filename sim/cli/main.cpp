// tarnwick-sim: runs the plug-in's real code against a simulated game and shows what the
// settings would do.
#include "sim/check/settings_check.h"
#include "sim/cli/arguments.h"
#include "sim/cli/commands.h"
#include "sim/cli/console.h"
#include "sim/cli/line_wrap.h"
#include "sim/cli/options.h"
#include "sim/cli/output.h"
#include "sim/cli/settings_report.h"
#include "sim/files.h"
#include "sim/text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace sim {
namespace {

constexpr const char* footer =
    R"(Exit status: 0 done; 1 the capture, the settings file or an output file
could not be used, or the doctor found something to do; 2 a bad argument.
Each command's --help gives its own.

Examples:
  tarnwick-sim report capture.csv --ini Tarnwick.ini
  tarnwick-sim doctor "C:\Games\MyGame"
  tarnwick-sim settings "C:\Games\MyGame\Tarnwick.ini"
  tarnwick-sim run --ini Tarnwick.ini --seconds 600 --svg drive.svg
  tarnwick-sim replay capture.csv --ini Tarnwick.ini --svg capture.svg
  tarnwick-sim tune capture.csv --ini Tarnwick.ini --svg grid.svg

In Explorer, drop captures, Tarnwick.ini or the game's folder onto tarnwick-sim.exe.)";

std::string failureMessage(const CLI::App* app, const CLI::Error& error)
{
    const bool noSubcommand = app->get_parent() == nullptr && app->get_subcommands().empty();
    const auto extras = app->remaining();
    if (noSubcommand && !extras.empty() && !extras.front().starts_with('-')) {
        return "tarnwick-sim: unknown subcommand '" + shownWhole(extras.front()) +
               "'\nRun with --help for more information.\n";
    }
    return "tarnwick-sim: " + shownWhole(error.what()) +
           "\nRun with --help for more information.\n";
}

// A report cut short by a full disk or a closed pipe is a failure, however well the command went.
bool outputWritten()
{
    std::cout.flush();
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout) && std::cout.good()) {
        return true;
    }
    const int why = errno;
    // `| head -1`: the reader had what it wanted. Quiet, as Unix tools are, and by now every
    // temporary folder is gone.
    if (why == EPIPE || standardOutputWentAway()) {
        std::exit(141);
    }
    std::cerr << "tarnwick-sim: cannot write the report to standard output: "
              << (why != 0 ? std::strerror(why) : "a full disk or a closed pipe?") << '\n';
    return false;
}

struct SettingsOptions {
    std::filesystem::path file;
    bool json = false;
};

void addSettings(CLI::App& app, SettingsOptions& settings, int& status)
{
    CLI::App* command = app.add_subcommand(
        "settings", "Check a settings file: every key as the plug-in reads it, where it came from, "
                    "and what was probably not meant");
    addPathOption(command, "FILE", settings.file, "a Tarnwick.ini")->required();
    command->add_flag("--json", settings.json, "print the check as one JSON object");
    command->footer(commandFooter("0 the file was read (findings or not) or does not exist; 1 it "
                                  "exists and cannot be read; 2 a bad argument.",
                                  {"tarnwick-sim settings \"C:\\Games\\MyGame\\Tarnwick.ini\"",
                                   "tarnwick-sim settings Tarnwick.ini --json"}));
    command->callback([&settings, &status] {
        if (isStandardInput(settings.file)) {
            std::cerr << "tarnwick-sim: settings checks a file, as the plug-in reads one from the "
                         "game's folder: give the file's path, not - (standard input)\n";
            status = 2;
            return;
        }
        status = reportSettings(settings.file, settings.json, std::cout, std::cerr);
    });
}

void addRun(CLI::App& app, RunOptions& run, int& status)
{
    CLI::App* command = app.add_subcommand(
        "run", "A city drive whose traffic drags the frame rate down, with the governor at work");
    command->footer(commandFooter(
        usualExit, {"tarnwick-sim run --ini Tarnwick.ini --seconds 600 --svg drive.svg",
                    "tarnwick-sim run --compare --seconds 300"}));
    addCommon(command, run.common);
    command->add_option("--seconds", run.seconds, "simulated seconds (default 180)")
        ->check(numberIn(0.001, 86400.0))
        ->option_text("S");
    command->add_option("--seed", run.seed, "fixes every random choice (default 1)")
        ->check(wholeNumberUpTo(std::numeric_limits<std::uint64_t>::max()))
        ->option_text("N");
    addPathOption(command, "--record", run.common.record,
                  "write the plug-in's frame record to FILE (the --ini file must set Record=1 or "
                  "2 under [Main]); replay or report it to see what each purge gained")
        ->check(outputFile())
        ->option_text("FILE");
    command->add_flag("--compare", run.compare,
                      "play the same drive again with the governor off (Enabled=0) and show both");
    command->add_option("--every", run.everySeconds, "seconds between timeline rows (default 5)")
        ->check(numberIn(0.001, 86400.0))
        ->option_text("S");
    command->callback([&run, &status] { status = runFromCommandLine(run, std::cout, std::cerr); });
}

void addReplay(CLI::App& app, ReplayOptions& replay, int& status)
{
    CLI::App* command =
        app.add_subcommand("replay", "Replay a real frame-time capture through the plug-in");
    addPathOption(command, "CAPTURE", replay.capture,
                  "PresentMon/OCAT CSV, CapFrameX JSON, MangoHud CSV or plain text; - reads "
                  "standard input as it comes")
        ->required()
        ->check(existingFile());
    addCommon(command, replay.common);
    addApplication(command, replay.choice, "replay");
    command
        ->add_option("--every", replay.everySeconds,
                     "a timeline row every S seconds (default: none; the first 20 state changes "
                     "are listed)")
        ->check(numberIn(0.001, 86400.0))
        ->option_text("S");
    addRunNumber(command, replay.choice);
    addTarget(command, replay.choice.target);
    addPlayedPart(command, replay.choice);
    command->footer(commandFooter(usualExit,
                                  {"tarnwick-sim replay capture.csv --ini Tarnwick.ini --svg "
                                   "capture.svg",
                                   "PresentMon ... -output_stdout | tarnwick-sim replay -"},
                                  wrapped(slumpsExplained())));
    command->callback(
        [&replay, &status] { status = replayFromCommandLine(replay, std::cout, std::cerr); });
}

void addTune(CLI::App& app, TuneOptions& tune, int& status)
{
    CLI::App* command = app.add_subcommand(
        "tune", "Which thresholds to set: every pair of a grid replayed over the captures");
    addCapturesOption(command, tune.captures, severalCaptures);
    addIni(command, tune.common.ini,
           "settings file: your pair, and the detection range for every pair (default: the "
           "game's Tarnwick.ini when this tool lies in the game's folder, else the defaults)");
    addSvg(command, tune.common.svg, "also draw the grid as a heat map");
    command->add_flag("--json", tune.common.json, "print every pair as one JSON object");
    addApplication(command, tune.choice, "replay");
    addRunNumber(command, tune.choice);
    addRange(command, "--moderate", tune.moderate, "FPS_Moderate values (default 20..120)");
    addRange(command, "--critical", tune.critical,
             "FPS_Critical values, below FPS_Moderate only (default 10..110)");
    addTarget(command, tune.choice.target);
    addPlayedPart(command, tune.choice);
    command->footer(
        commandFooter(usualExit,
                      {"tarnwick-sim tune capture.csv --ini Tarnwick.ini --svg grid.svg",
                       "tarnwick-sim tune monday.csv tuesday.csv --json"},
                      wrapped(slumpsExplained()) + '\n' +
                          wrapped("The recommendation: " + recommendationRule() +
                                  ". In full: " + recommendationRuleInFull() + ".")));
    command->callback([command, &tune, &status] {
        tune.gridFollowsCaptures =
            command->count("--moderate") == 0 && command->count("--critical") == 0;
        status = tuneFromCommandLine(tune, std::cout, std::cerr);
    });
}

void addReport(CLI::App& app, ReportOptions& report, int& status)
{
    CLI::App* command = app.add_subcommand(
        "report", "One HTML page for a player: the verdict, the settings file's findings, each "
                  "capture's chart and figures, every pair of thresholds");
    addCapturesOption(command, report.captures, severalCaptures);
    addIni(command, report.common.ini,
           "settings file: your pair, its findings on the page (default: the game's Tarnwick.ini "
           "when this tool lies in the game's folder, else the defaults)");
    addPathOption(command, "-o,--output", report.common.page,
                  "the page (default: beside the first capture, CAPTURE.tarnwick.html)")
        ->check(outputFile())
        ->option_text("FILE.html");
    addApplication(command, report.choice, "read");
    addRunNumber(command, report.choice);
    addTarget(command, report.choice.target);
    addPlayedPart(command, report.choice);
    command->footer(commandFooter(
        "0 the page was written; 1 no capture could be read, or the page or the settings file "
        "could not be used; 2 a bad argument.",
        {"tarnwick-sim report capture.csv --ini Tarnwick.ini",
         "tarnwick-sim report monday.csv tuesday.csv -o captures.html"},
        wrapped(slumpsExplained())));
    command->callback(
        [&report, &status] { status = reportFromCommandLine(report, std::cout, std::cerr); });
}

void addDoctor(CLI::App& app, DoctorOptions& doctor, int& status)
{
    CLI::App* command = app.add_subcommand(
        "doctor", "Is Tarnwick installed right? Looks at the game's folder, changes nothing");
    addPathOption(command, "GAME_FOLDER", doctor.folder,
                  "the folder of the game's .exe (default: the folder above this tool when it "
                  "lies in tools, else the current folder)")
        ->check(existingFolder());
    command->add_flag("--json", doctor.json, "print the findings as one JSON object");
    command->footer(
        commandFooter("0 nothing needs doing; 1 something does; 2 the folder is not one.",
                      {"tarnwick-sim doctor \"C:\\Games\\MyGame\"", "tarnwick-sim doctor --json"}));
    command->callback([&doctor, &status] { status = doctorCommand(doctor, std::cout, std::cerr); });
}

// A developer's check, kept out of the players' list.
void addScenario(CLI::App& app, std::filesystem::path& gameDir, int& status)
{
    CLI::App* command = app.add_subcommand(
        "scenario",
        "A short fixed scenario, the same as the Wine harness plays with the real plug-in");
    command->group("");
    addPathOption(command, "--game-dir", gameDir, "folder of the game and its Tarnwick.ini")
        ->check(existingFolder())
        ->option_text("DIR");
    command->callback([&gameDir, &status] { status = scenarioCommand(gameDir, std::cout); });
}

// The tool's whole run, from the command line as given to the exit status.
int runTool(int argc, char** argv)
{
    prepareConsole();
    const WrappedConsole wrappedOut(std::cout, consoleWidth(false));
    const WrappedConsole wrappedErr(std::cerr, consoleWidth(true));
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    CLI::App app{"tarnwick-sim: the Tarnwick frame-rate governor in a simulated game",
                 "tarnwick-sim"};
    app.set_version_flag("--version", "tarnwick-sim " TARNWICK_VERSION);
    app.failure_message(failureMessage);
    app.footer(footer);
    app.require_subcommand(1);
    app.get_formatter()->column_width(24);

    int status = 2;
    SettingsOptions settingsCheck;
    RunOptions run;
    ReplayOptions replay;
    std::filesystem::path scenarioGame = ".";
    addSettings(app, settingsCheck, status);
    addRun(app, run, status);
    addReplay(app, replay, status);
    addScenario(app, scenarioGame, status);
    TuneOptions tune;
    addTune(app, tune, status);
    ReportOptions report;
    report.toolVersion = TARNWICK_VERSION;
    addReport(app, report, status);
    DoctorOptions doctor;
    doctor.toolVersion = TARNWICK_VERSION;
    addDoctor(app, doctor, status);
    // Files or a folder dropped onto the tool, unless the first names one of the commands.
    if (arguments.size() == 1 && consoleIsOurs()) {
        status = welcome(std::cout);
        return outputWritten() ? status : 1;
    }
    const auto command = [&](const CLI::App* c) { return c->check_name(arguments[1]); };
    if (arguments.size() >= 2 && app.get_subcommands(command).empty()) {
        if (const Dropped dropped = whatWasDropped(arguments); !dropped.commandLine) {
            status = onDrop(dropped, doctor.toolVersion, std::cout, std::cerr);
            return outputWritten() ? status : 1;
        }
    }
    std::vector<char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(const_cast<char*>(argument.c_str()));
    }
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& error) {
        const int shown = app.exit(error);
        return !outputWritten() ? 1 : shown == 0 ? 0 : 2;
    } catch (const std::exception& error) {
        std::cerr << "tarnwick-sim: " << error.what() << '\n';
        return 1;
    }
    return outputWritten() ? status : 1;
}

} // namespace
} // namespace sim

int main(int argc, char** argv)
{
    return sim::runTool(argc, argv);
}
