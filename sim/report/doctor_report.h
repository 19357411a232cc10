// The doctor's findings for a player (text) and for scripts (JSON).
#pragma once

#include "sim/doctor/doctor.h"

#include <nlohmann/json.hpp>

#include <ostream>

namespace sim {

// The doctor: each finding with its severity and what to do, then how many need doing.
void printDoctor(std::ostream& out, const Examination& examination);
nlohmann::json doctorJson(const Examination& examination);

} // namespace sim
