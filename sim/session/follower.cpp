#include "sim/session/follower.h"

namespace sim {

Follower followPlugin()
{
    return {readSettings(getIniPath()), GovernorState{}};
}

FollowedPass followPass(Follower& follower, float frameTimeSeconds, std::uint32_t tickAtCheckMs,
                        std::uint32_t tickAfterPurgeMs)
{
    FollowedPass pass;
    pass.fps = estimateFps([frameTimeSeconds] { return frameTimeSeconds; });
    pass.from = follower.governor.state;
    if (!follower.settings.enabled) {
        pass.to = pass.from;
        return pass;
    }
    advanceState(follower.governor, pass.fps, follower.settings);
    pass.to = follower.governor.state;
    if (pass.to == PerfState::Critical && purgeDue(follower.governor, tickAtCheckMs)) {
        pass.purged = follower.settings.record != RecordMode::WithoutPurging;
        pass.withheld = !pass.purged;
        notePurge(follower.governor, tickAfterPurgeMs);
    }
    return pass;
}

} // namespace sim
