// `tarnwick-sim settings FILE`: the settings exactly as the plug-in reads them, with what a
// player surely did not mean.
#pragma once

#include <filesystem>
#include <ostream>

namespace sim {

// 0 when the file was read (findings or not) or does not exist; 1 when it exists and cannot be
// read.
int reportSettings(const std::filesystem::path& file, bool json, std::ostream& out,
                   std::ostream& err);

// For commands that take --ini: the check's warnings on err, before they start. False, after
// saying why, when the file cannot be read.
bool warnAboutSettings(const std::filesystem::path& file, std::ostream& err);

} // namespace sim
