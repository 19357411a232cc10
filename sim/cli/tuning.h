// The captures read, tuned: every pair of the grid, and the settings file's values it starts from.
#pragma once

#include "sim/check/settings_check.h"
#include "sim/cli/commands.h"
#include "sim/report/tune_report.h"
#include "sim/session/session.h"

#include <optional>
#include <ostream>
#include <vector>

namespace sim {

// Every capture judged together, and each game (an application) on its own as well where the
// captures run at different usual rates and are of several games (tuneEachGame). in: report, its
// captures and grid set; gridFollowsCaptures, the grid's top raised to the fastest capture's usual
// rate where it lies above.
void tuneAll(TuneReport& report, const std::vector<const TuneFrames*>& parts,
             const GovernorSettings& base, bool gridFollowsCaptures);

// The settings file's values (from its check; none: no file), read as the plug-in reads them,
// for every pair of the grid: a file with Enabled=0 still gives its other values (the question
// is what each pair would do).
GovernorSettings baseSettings(const std::optional<SettingsCheck>& settings);

} // namespace sim
