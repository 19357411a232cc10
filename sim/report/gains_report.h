// What each purge of a frame record gained, said the same way in the text, the JSON and the page.
// The figures are measured once (measurePurgeGains); these only render them.
#pragma once

#include "sim/capture/frame_record.h"
#include "sim/report/html.h"
#include "sim/report/tune_report.h"
#include "sim/session/purge_gains.h"

#include <nlohmann/json.hpp>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>

namespace sim {

// Asked of each frame time in order: whether the frame lies in the part played (--from, --to).
using KeepsFrame = std::function<bool(double)>;

// The record's purges, run and withheld, measured on the frames keeps keeps (none: every frame),
// on a clock that starts with the first of them, as the replay's does.
PurgeGains gainsOfRecord(const FrameRecordFile& record, const KeepsFrame& keeps = {});
// How a frame record was made, and its gains over the part played, from the record as its one
// read kept it.
RecordFacts recordFacts(const FrameRecordFile& record, const KeepsFrame& keeps);

// "recorded at FPS_Moderate 45, FPS_Critical 35, replayed at 60, 50: ..." when the record's own
// thresholds (under which its purges ran) are not those replayed or judged; empty when they are.
// in: verb, "replayed" or "judged".
std::string recordedAtSentence(const RecordFacts& record, const GovernorSettings& settings,
                               std::string_view verb);

// A list of purges shows this many and counts the rest (JSON lists them all).
inline constexpr std::size_t listedGains = 20;

void printPurgeGains(std::ostream& out, const PurgeGains& gains);
nlohmann::json purgeGainsJson(const PurgeGains& gains);
void purgeGainsSection(html::Writer& page, const PurgeGains& gains);

} // namespace sim
