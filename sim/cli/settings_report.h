// `tarnwick-sim settings FILE`: the settings exactly as the plug-in reads them, with warnings for
// values that are legal but probably not meant.
#pragma once

#include <ostream>
#include <string>

int reportSettings(const std::string& file, std::ostream& out);
