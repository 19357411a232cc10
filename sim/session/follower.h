// The plug-in keeps its GovernorState in a local of its script, out of reach. The simulator
// follows it instead: the plug-in's own functions, run beside it on the same inputs, reach the
// same state. One follower per simulated plug-in; a tuner runs many over one capture.
#pragma once

#include "governor/state.h"
#include "settings/settings.h"

#include <cstdint>

namespace sim {

struct Follower {
    GovernorSettings settings;
    GovernorState governor;
};

// What one pass of the plug-in did, as the follower saw it.
struct FollowedPass {
    float fps = 0;
    PerfState from = PerfState::Normal;
    PerfState to = PerfState::Normal;
    bool purged = false;
    bool withheld = false; // a purge due that Record=2 held back
    bool changed() const { return from != to; }
};

// A follower of the plug-in that reads its settings the way the plug-in does, from the game
// folder the platform services name. Call before the plug-in loads, so its reads come second.
Follower followPlugin();

// in: frameTimeSeconds, what the pass read from the game (the plug-in reads the same value twice);
// tickAtCheckMs, the tick counter when the pass asks whether a purge is due; tickAfterPurgeMs,
// the counter once the purge is done. A disabled plug-in runs no pass: nothing happens.
FollowedPass followPass(Follower& follower, float frameTimeSeconds, std::uint32_t tickAtCheckMs,
                        std::uint32_t tickAfterPurgeMs);

} // namespace sim
