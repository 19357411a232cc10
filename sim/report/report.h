// What a session did, for people (text, SVG chart) and for scripts (JSON).
#pragma once

#include "sim/capture/capture.h"
#include "sim/session/session.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace sim {

std::string formatSeconds(double ms);

void printSettings(std::ostream& out, const SessionResult& result);
void printSummary(std::ostream& out, const SessionResult& result);

nlohmann::json settingsJson(const SessionResult& result);
nlohmann::json sessionJson(const SessionResult& result);
nlohmann::json captureJson(const CaptureSummary& capture);

// A standalone SVG: frame rate over time, thresholds with their hysteresis bands, the state as
// coloured bands, and a mark at each purge.
void writeSvg(std::ostream& out, const SessionResult& result, const std::string& title);

} // namespace sim
