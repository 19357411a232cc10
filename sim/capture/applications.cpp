#include "sim/capture/applications.h"

#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/text.h"

#include <fmt/format.h>

namespace sim {

bool isCompositor(std::string_view application)
{
    return equalsIgnoringCase(application, "dwm.exe");
}

bool isSystemProcess(std::string_view application)
{
    for (const char* system : {"dwm.exe", "explorer.exe", "csrss.exe", "<error>", "<unknown>"}) {
        if (equalsIgnoringCase(application, system)) {
            return true;
        }
    }
    return false;
}

bool isProgramOf(std::string_view application, const std::vector<std::string>& programs)
{
    for (const std::string& program : programs) {
        if (equalsIgnoringCase(application, program) ||
            (endsWithIgnoringCase(program, ".exe") &&
             equalsIgnoringCase(application,
                                std::string_view(program).substr(0, program.size() - 4)))) {
            return true;
        }
    }
    return false;
}

std::string chooseApplication(const std::vector<AppFrames>& apps,
                              const std::vector<std::string>& gamePrograms)
{
    const AppFrames* best = nullptr;
    const AppFrames* game = nullptr;
    for (const AppFrames& app : apps) {
        if (!isCompositor(app.name) && (best == nullptr || app.frames > best->frames)) {
            best = &app;
        }
        if (isProgramOf(app.name, gamePrograms) && !isSystemProcess(app.name) &&
            (game == nullptr || app.frames > game->frames)) {
            game = &app;
        }
    }
    if (game != nullptr) {
        return game->name;
    }
    if (best == nullptr) {
        return apps.empty() ? std::string() : apps.front().name;
    }
    return best->name;
}

std::optional<AppFrames> otherPossibleGame(const std::vector<AppFrames>& apps,
                                           const AppFrames& judged,
                                           const std::vector<std::string>& gamePrograms)
{
    const bool judgedIsTheGames = isProgramOf(judged.name, gamePrograms);
    const AppFrames* other = nullptr;
    for (const AppFrames& app : apps) {
        if (equalsIgnoringCase(app.name, judged.name) || isSystemProcess(app.name) ||
            (judgedIsTheGames && !isProgramOf(app.name, gamePrograms))) {
            continue;
        }
        if (other == nullptr || app.frames > other->frames) {
            other = &app;
        }
    }
    if (other == nullptr || static_cast<double>(other->frames) <
                                mayBeTheGameShare * static_cast<double>(judged.frames)) {
        return std::nullopt;
    }
    return *other;
}

std::string describeApplication(const AppFrames& app)
{
    return shown(app.name) + " (" + std::to_string(app.frames) + " frames)";
}

std::string listApplications(const std::vector<AppFrames>& apps)
{
    std::string text;
    const std::size_t listed = std::min(apps.size(), listedApplications);
    for (std::size_t i = 0; i < listed; ++i) {
        text += (text.empty() ? "" : ", ") + describeApplication(apps[i]);
    }
    if (apps.size() > listed) {
        text += " and " + std::to_string(apps.size() - listed) + " more applications";
    }
    return text.empty() ? "no frames" : text;
}

std::vector<AppFrames> notJudged(const CaptureSummary& summary)
{
    std::vector<AppFrames> others;
    for (const AppFrames& app : summary.applications) {
        if (app.name != summary.application) {
            others.push_back(app);
        }
    }
    return others;
}

const char* chosenByText(ChosenBy chosenBy)
{
    switch (chosenBy) {
    case ChosenBy::Alone:
        return "the only one";
    case ChosenBy::Asked:
        return "as --app asks";
    case ChosenBy::GameFolder:
        return "the game's program, in its folder";
    case ChosenBy::MostFrames:
        return "the one with the most frames";
    case ChosenBy::FirstSeen:
        return "the first in the input that is no system process";
    }
    return "";
}

std::string judgedApplicationText(const CaptureSummary& summary)
{
    if (!summary.mayBeTheGame) {
        return {};
    }
    const auto judged =
        std::find_if(summary.applications.begin(), summary.applications.end(),
                     [&](const AppFrames& app) { return app.name == summary.application; });
    const AppFrames& other = *summary.mayBeTheGame;
    // Quoted where a shell would split it.
    const std::string name = other.name.find_first_of(" &()'") == std::string::npos
                                 ? shown(other.name)
                                 : "\"" + shown(other.name) + "\"";
    return fmt::format("judged {}, {}; {} may be the game: --app {} judges it instead",
                       judged == summary.applications.end() ? shown(summary.application)
                                                            : describeApplication(*judged),
                       chosenByText(summary.chosenBy), describeApplication(other), name);
}

void failApplicationMissing(const std::filesystem::path& path, const std::string& wanted,
                            const std::vector<AppFrames>& apps)
{
    failCapture(path, 0,
                "application '" + shown(wanted) + "' is not in the capture; it holds " +
                    listApplications(apps));
}

} // namespace sim
