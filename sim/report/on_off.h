// Tarnwick on against off: two frame records of one game, one governed (Record=1) and one with
// every purge withheld (Record=2), side by side. Worked out once here; the text, the JSON and the
// page only render it.
#pragma once

#include "sim/report/html.h"
#include "sim/report/tune_report.h"
#include "sim/tune/frames.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace sim {

// One evening's play (what is set aside, loading screens, menus and pauses, left out).
struct EveningFigures {
    std::string record; // the record's name
    double playMs = 0;
    // The plug-in's frame-rate estimate below the governed record's thresholds.
    double msBelowModerate = 0;
    double msBelowCritical = 0;
    double meanFps = 0;
    double p1LowFps = 0;
    double p01LowFps = 0;
    double usualFps = 0;
    // The rate the fastest of its frames reach (peakShare of them, set aside or not): the game
    // when nothing weighs on it, which purges leave as it is.
    double peakFps = 0;
    std::size_t slumps = 0;
    double slumpMs = 0; // the slumps' lengths added up
    double longestSlumpMs = 0;
    // Levels of its own pace, which are no slumps: an evening without purges may sink and stay.
    std::string levels;
    std::size_t purges = 0; // run (on) or withheld (off), in the part played
};

inline constexpr double peakShare = 0.01;

struct OnOff {
    // Non-empty: why the records given are not compared; the figures are then empty.
    std::string notCompared;
    // How the two evenings differ where they are still compared (thresholds, the plug-in's build).
    std::vector<std::string> caveats;
    double fpsModerate = 0; // the governed record's, judged on both
    double fpsCritical = 0;
    EveningFigures on;
    EveningFigures off;
};

// Two evenings are one game's when the world's traffic that purges never take is alike and they
// were recorded at one DetectionRange; they are set side by side when each is long enough for the
// traffic to build up as in the other, and the governed one ran purges and the other withheld
// some (else Tarnwick did nothing in one of them). Not the fastest frames: past its first minutes
// an evening without purges never runs unburdened.
inline constexpr double keptVehiclesApart = 2.0; // the larger median over the smaller, beyond...
inline constexpr double keptVehiclesSlack = 4.0; // ...these many vehicles more
inline constexpr double shorterPlayShare = 0.5;  // of the longer evening's play, at least

// in: the captures read and their frames, in the same order. None unless two of them are frame
// records, or one is and a capture tool's file is given beside it (not compared, said why; with
// more than two records, it says to give two).
std::optional<OnOff> compareOnOff(const std::vector<CaptureFacts>& captures,
                                  const std::vector<const TuneFrames*>& frames);

void printOnOff(std::ostream& out, const OnOff& compared);
nlohmann::json onOffJson(const OnOff& compared);
void onOffSection(html::Writer& page, const OnOff& compared);

} // namespace sim
