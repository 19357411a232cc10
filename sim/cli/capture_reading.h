// One capture read for replay, tune and report alike: the part played, the frames kept for the
// tuner, the player's settings replayed through the plug-in as it is read, and what a frame
// record adds; the reading started again where the input asks.
#pragma once

#include "sim/cli/commands.h"
#include "sim/report/tune_report.h"
#include "sim/session/session.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace sim {

struct CaptureReading {
    CaptureFacts facts;
    std::unique_ptr<TuneFrames> frames; // kept, finished: when asked for
    std::unique_ptr<Session> session;   // the player's settings replayed: when asked for
    // Without frames kept: the slumps judged from the session's trace.
    std::optional<SlumpVerdict> slumps;
};

struct ReadingAsks {
    bool keepFrames = false;
    bool replay = false;    // the player's settings through the plug-in
    SessionOptions session; // its uptime is the kept frames' clock too
    // After the session's frame, for each frame of the part played.
    std::function<void(const Session&)> eachFrame;
    // The reading starts again from the first frame: forget what eachFrame gathered.
    std::function<void()> restarted;
    std::string verb = "reading"; // for the progress line: "reading x.csv"
};

// A Setup failure when the simulated game could not start, another when the capture cannot be
// used.
Result<CaptureReading> readCapture(const std::filesystem::path& capture,
                                   const CaptureChoice& choice, const ReadingAsks& asks);

// A CapFrameX capture of several runs is several captures, judged each as its own: the runs to
// read of capture, one choice each (the choice's own when it picks one, or the file holds one).
std::vector<CaptureChoice> choicesOf(const std::filesystem::path& capture,
                                     const CaptureChoice& choice);

} // namespace sim
