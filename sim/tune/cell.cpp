#include "sim/tune/cell.h"

#include "sim/session/follower.h"

namespace sim {

CellResult evaluateCell(const TuneFrames& frames, const GovernorSettings& settings)
{
    CellResult cell;
    cell.moderate = settings.fpsModerate;
    cell.critical = settings.fpsCritical;
    Follower follower{settings, GovernorState{}};
    StateTimes times;
    SlumpCursor slumpCursor;
    for (std::size_t i = 0; i < frames.frameSeconds.size(); ++i) {
        // The tick does not move while a simulated purge runs.
        const FollowedPass pass =
            followPass(follower, frames.frameSeconds[i], frames.ticks[i], frames.ticks[i]);
        if (pass.changed()) {
            ++cell.changes;
            times.change(pass.from, frames.elapsedNs[i]);
        }
        if (pass.purged) {
            const double t = frames.elapsedMs[i];
            cell.purgeTimesMs.push_back(t);
            ++cell.purges;
            scorePurge(cell.slumps, frames.slumps.slumps, slumpCursor.at(frames.slumps, t), t);
        }
    }
    const std::int64_t endNs = frames.elapsedNs.empty() ? 0 : frames.elapsedNs.back();
    for (const PerfState s : {PerfState::Normal, PerfState::Moderate, PerfState::Critical}) {
        cell.timeInStateMs[static_cast<std::size_t>(s)] =
            times.ms(s, follower.governor.state, endNs);
    }
    return cell;
}

} // namespace sim
