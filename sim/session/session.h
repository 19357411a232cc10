// One simulated game session: the plug-in loaded through its entry, driven frame by frame with a
// simulated clock, and what it did recorded for a report.
#pragma once

#include "governor/state.h"
#include "settings/settings.h"
#include "sim/failure.h"
#include "sim/session/clock.h"
#include "sim/session/follower.h"
#include "sim/session/fps_history.h"
#include "sim/session/lows.h"
#include "sim/session/slumps.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sim {

struct SessionOptions {
    std::optional<std::filesystem::path> iniFile; // none: the plug-in finds no settings file
    std::uint32_t uptimeMs = 600000;              // the tick counter when the session starts
    // State changes kept in the result (all are counted): a flickery capture has hundreds of
    // thousands, which a text report does not list and memory need not hold.
    std::size_t keptChanges = std::numeric_limits<std::size_t>::max();
    // The same game with the governor off: a Tarnwick.ini of Enabled=0 instead of iniFile.
    bool governorOff = false;
};

struct StateChange {
    double timeMs;
    PerfState from;
    PerfState to;
};

struct PurgeEvent {
    double timeMs;
    std::uint64_t removed;
};

struct SessionResult {
    bool enabled = true;
    GovernorSettings settings;
    std::uint64_t frames = 0;
    double durationMs = 0;
    std::array<double, 3> timeInStateMs{};
    std::vector<StateChange> changes; // the first SessionOptions::keptChanges of them
    std::uint64_t changeCount = 0;
    std::vector<PurgeEvent> purges;
    std::uint64_t vehiclesRemoved = 0;
    float lowestFps = std::numeric_limits<float>::infinity();
    FpsHistory fpsHistory;
    FrameTimeCounts frameTimes; // for the 1 % and 0.1 % lows
    FrameRateTrace trace;       // for the slumps
    double meanFps() const { return framesPerSecond(frames, durationMs); }
};

struct FrameOutcome {
    PerfState state;
    float fps;
    bool purged;
    std::uint64_t removed;
};

class Session {
  public:
    // A session in a game folder of its own under the temporary folder; a Failure, and nothing
    // left behind, when no folder can be made there or iniFile cannot be copied into it.
    static Result<std::unique_ptr<Session>> open(const SessionOptions& options);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // One game frame of frameTimeMs: the plug-in's pass runs once.
    FrameOutcome frame(double frameTimeMs);

    const SessionResult& result() const { return result_; }
    // What the plug-in wrote in its log: it lies in the session's own game folder, deleted at the
    // session's end, so that simulated purges never land in a real game's log unless a caller
    // adds them there.
    std::string pluginLog() const;
    // The plug-in's frame record (Record=1 or 2), as far as it has written it; empty without one.
    std::string pluginRecord() const;
    PerfState state() const { return follower_.governor.state; }
    double nowMs() const { return clock_.elapsedMs; }

  private:
    Session(std::filesystem::path gameDir, const SessionOptions& options);
    void countStateTime(const FollowedPass& pass);
    std::filesystem::path gameDir_;
    std::size_t keptChanges_;
    SessionClock clock_;
    Follower follower_;
    StateTimes stateTimes_;
    SessionResult result_;
};

} // namespace sim
