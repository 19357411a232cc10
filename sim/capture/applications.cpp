#include "sim/capture/applications.h"

#include "sim/capture/csv.h"
#include "sim/capture/formats.h"
#include "sim/text.h"

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

std::string chooseApplication(const std::vector<AppFrames>& apps)
{
    const AppFrames* best = nullptr;
    for (const AppFrames& app : apps) {
        if (!isCompositor(app.name) && (best == nullptr || app.frames > best->frames)) {
            best = &app;
        }
    }
    if (best == nullptr) {
        return apps.empty() ? std::string() : apps.front().name;
    }
    return best->name;
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

void failApplicationMissing(const std::filesystem::path& path, const std::string& wanted,
                            const std::vector<AppFrames>& apps)
{
    failCapture(path, 0,
                "application '" + shown(wanted) + "' is not in the capture; it holds " +
                    listApplications(apps));
}

} // namespace sim
