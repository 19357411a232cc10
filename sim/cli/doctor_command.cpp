// `tarnwick-sim doctor [GAME_FOLDER]`: the game's folder as the player names it, or the one the
// zip's tools\ folder was unpacked into.
#include "sim/cli/commands.h"
#include "sim/text.h"

#include "sim/cli/console.h"
#include "sim/doctor/doctor.h"
#include "sim/files.h"
#include "sim/report/doctor_report.h"

namespace sim {

namespace {

// Messages name the folder as a player finds it in Explorer: whole, without "." or "..".
std::filesystem::path plainFolder(const std::filesystem::path& folder)
{
    std::error_code error;
    std::filesystem::path plain = std::filesystem::absolute(folder, error).lexically_normal();
    if (error) {
        plain = folder.lexically_normal();
    }
    return plain.has_filename() || plain == plain.root_path() ? plain : plain.parent_path();
}

} // namespace

int doctorCommand(const DoctorOptions& options, std::ostream& out, std::ostream& err)
{
    std::error_code error;
    const std::filesystem::path folder = plainFolder(
        options.folder ? *options.folder
                       : defaultGameFolder(toolFolder(), std::filesystem::current_path(error)));
    if (!std::filesystem::is_directory(folder, error)) {
        err << "tarnwick-sim: " << shownPath(folder)
            << " is not a folder: give the game's folder, the one that holds its .exe\n";
        return 2;
    }
    const Examination examination =
        examine(folder, options.toolVersion, {},
                toolCommandFrom(toolFolder(), std::filesystem::current_path(error)));
    if (options.json) {
        out << jsonText(doctorJson(examination)) << '\n';
    } else {
        printDoctor(out, examination);
    }
    return needsDoing(examination) > 0 ? 1 : 0;
}

} // namespace sim
