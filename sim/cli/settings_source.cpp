// Which Tarnwick.ini a command judges: the one the game reads, found one way for every command.
#include "sim/cli/settings_source.h"

#include "sim/cli/played_part.h"

#include "sim/ascii.h"
#include "sim/cli/console.h"
#include "sim/cli/output.h"
#include "sim/doctor/doctor.h"
#include "sim/files.h"

#include <algorithm>
#include <set>

namespace sim {
namespace {

bool isFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

// A file given twice would count twice wherever captures are added up: it is judged once, and
// that is said. Standard input is one input, however often it is named. Each name is resolved
// once (links, "..", and the file itself for a hard link), so a thousand captures cost a thousand
// look-ups, not a million.
void dropRepeats(std::vector<std::filesystem::path>& captures, std::ostream& err)
{
    std::vector<std::filesystem::path> kept;
    std::set<std::filesystem::path> seen;
    std::set<FileIdentity> files;
    for (const std::filesystem::path& capture : captures) {
        std::error_code error;
        std::filesystem::path key =
            isStandardInput(capture) ? capture : std::filesystem::weakly_canonical(capture, error);
        if (error) {
            key = capture.lexically_normal();
        }
        const std::optional<FileIdentity> file =
            isStandardInput(capture) ? std::nullopt : fileIdentity(capture);
        const bool newName = seen.insert(key).second;
        const bool newFile = !file || files.insert(*file).second;
        if (newName && newFile) {
            kept.push_back(capture);
        } else if (newName) {
            err << "tarnwick-sim: " << utf8Of(capture)
                << " is the same file as one given before (a hard link to it): judged once\n";
        } else {
            err << "tarnwick-sim: "
                << (isStandardInput(capture) ? std::string("standard input") : utf8Of(capture))
                << " is given more than once: judged once\n";
        }
    }
    captures = std::move(kept);
}

} // namespace

SettingsChoice chooseSettings(const std::optional<std::filesystem::path>& ini, bool dropped,
                              const std::filesystem::path& toolFolder)
{
    SettingsChoice choice;
    const std::optional<std::filesystem::path> game = gameFolderOfTool(toolFolder);
    if (ini) {
        choice.file = ini;
        choice.source = (dropped ? "from " + utf8Of(*ini) + ", dropped with the captures"
                                 : "from " + utf8Of(*ini));
    } else if (game) {
        const std::filesystem::path read = *game / "Tarnwick.ini";
        if (isFile(read)) {
            choice.file = read;
            choice.source = "from " + utf8Of(read) + ", beside the game's .exe";
        } else {
            choice.source =
                "the defaults: there is no Tarnwick.ini beside the game's .exe in " + utf8Of(*game);
        }
    } else {
        choice.source = dropped ? "the defaults: no Tarnwick.ini dropped with the captures, and "
                                  "this tool does not lie in a game's folder"
                                : "the defaults: no --ini given";
    }
    // Copies the game never reads, where a player may have edited one instead; the one judged too
    // when it is such a copy.
    if (!game) {
        return choice;
    }
    std::vector<std::filesystem::path> near{toolFolder / "Tarnwick.ini"};
    if (const std::filesystem::path above = defaultGameFolder(toolFolder, {}); !above.empty()) {
        near.push_back(above / "Tarnwick.ini");
    }
    if (ini) {
        near.push_back(*ini);
    }
    for (const std::filesystem::path& copy : near) {
        const bool listed =
            std::any_of(choice.unread.begin(), choice.unread.end(),
                        [&](const std::filesystem::path& p) { return sameFile(p, copy); });
        if (isFile(copy) && !sameFile(copy, *game / "Tarnwick.ini") && !listed) {
            choice.unread.push_back(copy);
        }
    }
    return choice;
}

std::vector<std::string> unreadSettingsText(const std::vector<std::filesystem::path>& unread)
{
    std::vector<std::string> lines;
    for (const std::filesystem::path& copy : unread) {
        lines.push_back(utf8Of(copy) +
                        " is not read by the game: Tarnwick reads the Tarnwick.ini beside the "
                        "game's .exe, so an edit there changes nothing");
    }
    return lines;
}

void chooseSettingsFor(CommonOptions& common)
{
    if (common.ini) {
        common.ini = std::filesystem::absolute(*common.ini).lexically_normal();
    }
    const SettingsChoice choice = chooseSettings(common.ini, common.iniDropped, toolFolder());
    common.ini = choice.file;
    common.settingsSource = choice.source;
    common.unreadSettings = unreadSettingsText(choice.unread);
}

std::vector<std::string> gameProgramsFor(const CommonOptions& common,
                                         const std::filesystem::path& toolFolder)
{
    std::vector<std::filesystem::path> folders = common.gameFolders;
    if (common.ini) {
        folders.push_back(common.ini->parent_path());
    }
    if (const std::optional<std::filesystem::path> game = gameFolderOfTool(toolFolder)) {
        folders.push_back(*game);
    }
    std::vector<std::string> programs;
    for (const std::filesystem::path& folder : folders) {
        std::error_code error;
        std::filesystem::directory_iterator it(folder, error);
        for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
            const std::string name = utf8Of(it->path().filename());
            std::error_code ignored;
            if (isGameProgram(name) && !it->is_directory(ignored)) {
                programs.push_back(name);
            }
        }
    }
    return programs;
}

int prepareCaptures(CommonOptions& common, CaptureChoice& choice,
                    std::vector<std::filesystem::path>& captures, std::ostream& err,
                    const std::function<std::optional<std::filesystem::path>()>& movablePage)
{
    if (const Result<Done> empty = emptyPlayedPart(choice); !empty) {
        return tellFailure(empty.failure(), err);
    }
    for (std::filesystem::path& capture : captures) {
        if (!isStandardInput(capture)) {
            capture = std::filesystem::absolute(capture);
        }
    }
    dropRepeats(captures, err);
    chooseSettingsFor(common);
    choice.gamePrograms = gameProgramsFor(common, toolFolder());
    return checkInputsAndOutputs(common, captures, err, movablePage ? movablePage() : std::nullopt);
}

} // namespace sim
