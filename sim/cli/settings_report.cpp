#include "sim/cli/settings_report.h"
#include "sim/text.h"

#include "sim/check/settings_check.h"
#include "sim/report/check_report.h"

#include <stdexcept>

namespace sim {

int reportSettings(const std::filesystem::path& file, bool json, std::ostream& out,
                   std::ostream& err)
{
    try {
        const SettingsCheck check = checkSettings(file);
        if (json) {
            out << jsonText(settingsCheckJson(check)) << '\n';
        } else {
            printSettingsCheck(out, check);
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
        printSettingsWarnings(err, checkSettings(file));
    } catch (const std::runtime_error& error) {
        err << "tarnwick-sim: " << error.what() << '\n';
        return false;
    }
    return true;
}

} // namespace sim
