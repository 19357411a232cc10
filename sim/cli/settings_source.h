// The settings a command judges are the ones the game reads, found one way for every command:
// --ini when given (or a Tarnwick.ini dropped with the captures); else, when the tool lies in a
// game's folder, that folder's Tarnwick.ini, whatever other copies lie about; else the defaults.
#pragma once

#include "sim/cli/commands.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

struct SettingsChoice {
    std::optional<std::filesystem::path> file; // none: the defaults
    std::string source;                        // as the reports name it
    // Tarnwick.ini files near the tool or given that the game does not read.
    std::vector<std::filesystem::path> unread;
};

SettingsChoice chooseSettings(const std::optional<std::filesystem::path>& ini, bool dropped,
                              const std::filesystem::path& toolFolder);

// "FILE is not read by the game: ..." for each.
std::vector<std::string> unreadSettingsText(const std::vector<std::filesystem::path>& unread);

// common.ini, settingsSource and unreadSettings as chooseSettings finds them for this tool.
void chooseSettingsFor(CommonOptions& common);

// The programs (.exe) of the folders the game may be in: the settings file's (Tarnwick.ini lies
// beside the game's .exe), each folder dropped with the captures, and the game's folder the tool
// lies in. in: common, its settings file chosen (chooseSettingsFor).
std::vector<std::string> gameProgramsFor(const CommonOptions& common,
                                         const std::filesystem::path& toolFolder);

// Before a command over captures runs: --from and --to checked, each capture but "-" made
// absolute, the settings file chosen (chooseSettingsFor) and the game's programs with it
// (gameProgramsFor, into choice), then checkInputsAndOutputs, with the page the tool places
// itself (movablePage, from the absolute captures). Returns the exit status to stop with, or 0.
int prepareCaptures(CommonOptions& common, CaptureChoice& choice,
                    std::vector<std::filesystem::path>& captures, std::ostream& err,
                    const std::function<std::optional<std::filesystem::path>()>& movablePage = {});

} // namespace sim
