#include "sim/cli/settings_report.h"

#include "settings/settings.h"

#include <filesystem>
#include <iomanip>

namespace {

void warnThreshold(std::ostream& out, const char* name, std::int32_t value)
{
    if (value <= 0) {
        out << "warning: " << name << " is " << value
            << ": a frame rate never falls below it, so it never triggers\n";
    }
}

} // namespace

int reportSettings(const std::string& file, std::ostream& out)
{
    std::error_code error;
    const auto status = std::filesystem::status(file, error);
    if (!std::filesystem::exists(status)) {
        out << "note: " << file << " does not exist: every key takes its default\n";
    } else if (std::filesystem::is_directory(status)) {
        out << "note: " << file << " is a directory, not a file: every key takes its default\n";
    }

    const GovernorSettings settings = readSettings(file);
    out << "enabled = " << (settings.enabled ? "true" : "false") << '\n';
    if (!settings.enabled) {
        out << "note: Enabled is 0: the plug-in stops here, reads no other key and never logs\n";
        return 0;
    }
    out << "logging = " << (settings.logging ? "true" : "false") << '\n';
    out << "fpsModerate = " << settings.fpsModerate << '\n';
    out << "fpsCritical = " << settings.fpsCritical << '\n';
    out << "detectionRange = " << std::fixed << std::setprecision(0) << settings.detectionRange
        << '\n';

    if (settings.fpsCritical >= settings.fpsModerate) {
        out << "warning: fpsCritical (" << settings.fpsCritical << ") is not below fpsModerate ("
            << settings.fpsModerate << "): every drop below " << settings.fpsModerate
            << " fps goes on to Critical\n";
    }
    warnThreshold(out, "fpsModerate", settings.fpsModerate);
    warnThreshold(out, "fpsCritical", settings.fpsCritical);
    if (settings.detectionRange == 0.0f) {
        out << "warning: detectionRange is 0: a purge deletes every ambient vehicle, however "
               "near\n";
    }
    return 0;
}
