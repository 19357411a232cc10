#include "sim/cli/settings_report.h"
#include "sim/text.h"

#include "sim/check/settings_check.h"
#include "sim/cli/output.h"
#include "sim/report/check_report.h"

namespace sim {

int reportSettings(const std::filesystem::path& file, bool json, std::ostream& out,
                   std::ostream& err)
{
    const Result<SettingsCheck> check = checkSettings(file);
    if (!check) {
        return tellFailure(check.failure(), err);
    }
    if (json) {
        out << jsonText(settingsCheckJson(*check)) << '\n';
    } else {
        printSettingsCheck(out, *check);
    }
    return 0;
}

bool warnAboutSettings(const std::filesystem::path& file, std::ostream& err)
{
    const Result<SettingsCheck> check = checkSettings(file);
    if (!check) {
        tellFailure(check.failure(), err);
        return false;
    }
    printSettingsWarnings(err, *check);
    return true;
}

} // namespace sim
