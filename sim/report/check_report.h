// The settings check for a player (text) and for scripts (JSON).
#pragma once

#include "sim/check/settings_check.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace sim {

// The settings check: every key with where it came from, then the findings.
void printSettingsCheck(std::ostream& out, const SettingsCheck& check);
// Its warnings alone, for commands that take --ini: "tarnwick-sim: FILE: warning: line N: ...".
void printSettingsWarnings(std::ostream& err, const SettingsCheck& check);

nlohmann::json settingsCheckJson(const SettingsCheck& check);

} // namespace sim
