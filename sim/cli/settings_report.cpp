#include "sim/cli/settings_report.h"

#include "sim/check/settings_check.h"
#include "sim/report/report.h"

#include <stdexcept>

int reportSettings(const std::filesystem::path& file, bool json, std::ostream& out,
                   std::ostream& err)
{
    try {
        const sim::SettingsCheck check = sim::checkSettings(file);
        if (json) {
            out << sim::jsonText(sim::settingsCheckJson(check)) << '\n';
        } else {
            sim::printSettingsCheck(out, check);
        }
        return 0;
    } catch (const std::runtime_error& error) {
        err << "tarnwick-sim: " << error.what() << '\n';
        return 1;
    }
}

bool warnAboutSettings(const std::filesystem::path& file, std::ostream& err)
{
    try {
        sim::printSettingsWarnings(err, sim::checkSettings(file));
    } catch (const std::runtime_error& error) {
        err << "tarnwick-sim: " << error.what() << '\n';
        return false;
    }
    return true;
}
