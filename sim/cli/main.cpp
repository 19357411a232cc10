// tarnwick-sim: runs the plug-in's real code against a simulated game and shows what the
// settings would do.
#include "sim/cli/settings_report.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <iostream>

int main(int argc, char** argv)
{
    CLI::App app{"tarnwick-sim: the Tarnwick frame-rate governor in a simulated game"};
    app.require_subcommand(1);

    std::string settingsFile;
    CLI::App* settings = app.add_subcommand(
        "settings", "Print the settings as the plug-in reads them from FILE, with warnings");
    settings->add_option("FILE", settingsFile, "a Tarnwick.ini")->required();

    const auto known = [&app](const std::string& name) {
        const auto subcommands = app.get_subcommands({});
        return std::any_of(subcommands.begin(), subcommands.end(),
                           [&name](const CLI::App* sub) { return sub->get_name() == name; });
    };
    if (argc > 1 && argv[1][0] != '-' && !known(argv[1])) {
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

    if (settings->parsed()) {
        return reportSettings(settingsFile, std::cout);
    }
    return 2;
}
