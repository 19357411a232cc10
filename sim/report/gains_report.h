// What each purge of a frame record gained, said the same way in the text, the JSON and the page.
// The figures are measured once (measurePurgeGains); these only render them.
#pragma once

#include "sim/capture/frame_record.h"
#include "sim/report/html.h"
#include "sim/session/purge_gains.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <optional>
#include <ostream>

namespace sim {

// The record's purges, run and withheld, measured on its frames.
PurgeGains gainsOfRecord(const FrameRecordFile& record);
// The same for a capture that was read as a frame record from a file; none for any other capture,
// or input read as it came (it cannot be read again).
std::optional<PurgeGains> recordGains(const std::filesystem::path& capture,
                                      const CaptureSummary& summary);

// A list of purges shows this many and counts the rest (JSON lists them all).
inline constexpr std::size_t listedGains = 20;

void printPurgeGains(std::ostream& out, const PurgeGains& gains);
nlohmann::json purgeGainsJson(const PurgeGains& gains);
void purgeGainsSection(html::Writer& page, const PurgeGains& gains);

} // namespace sim
