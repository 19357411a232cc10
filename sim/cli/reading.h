// A capture read once for the tuner: its frames kept for the grid and, for the report page, a
// session with the player's pair going through it at the same time.
#pragma once

#include "sim/check/settings_check.h"
#include "sim/cli/commands.h"
#include "sim/report/tune_report.h"
#include "sim/session/session.h"

#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace sim {

// in: session, when given, replays the capture too (created again when the reading starts
// again). A Failure when the capture cannot be read.
Result<Done> readForTuning(const std::filesystem::path& capture, const CaptureChoice& choice,
                           CaptureFacts& facts, TuneFrames& frames,
                           std::unique_ptr<Session>* session, const SessionOptions& sessionOptions);

// A CapFrameX capture of several runs is several captures, judged each as its own: the runs to
// read of capture, one choice each (the choice's own when it picks one, or the file holds one).
std::vector<CaptureChoice> choicesOf(const std::filesystem::path& capture,
                                     const CaptureChoice& choice);

// Every capture judged together, and each game (gamesOf: an application) on its own as well where
// the captures run at different usual rates and are of several games. in: report, its captures
// and grid set; gridFollowsCaptures, the grid's top raised to the fastest capture's usual rate
// where it lies above.
void tuneAll(TuneReport& report, const std::vector<const TuneFrames*>& parts,
             const GovernorSettings& base, bool gridFollowsCaptures);

// The settings file's values (from its check; none: no file), read as the plug-in reads them,
// for every pair of the grid: a file with Enabled=0 still gives its other values (the question
// is what each pair would do).
GovernorSettings baseSettings(const std::optional<SettingsCheck>& settings);

} // namespace sim
