// The frames are fast to play (well under the 7000 ms purge interval even on the real clock), so
// the real tick counter cannot change the outcome: the one purge comes at the first due moment,
// and a counter read just after a pass answers as one read inside it would.
#include "sim/scenario/scenario.h"

#include "governor/state.h"
#include "host/platform.h"
#include "record/record.h"
#include "settings/settings.h"
#include "sim/host/host.h"
#include "sim/session/follower.h"

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <vector>

namespace sim {

namespace {

struct Frames {
    int count;
    int milliseconds;
};

// Fast, then 25 fps, then 16.7 fps, then fast again.
constexpr Frames frames[] = {{3, 16}, {8, 40}, {6, 60}, {5, 10}};
// Past the record's write interval, with room for a coarse tick counter.
constexpr std::uint32_t recordTailMs = recordWriteEveryMs + 500;

struct Placed {
    float x, y, z;
    bool mission;
    bool exists;
};

constexpr Placed placed[] = {
    {60, 0, 0, false, true},     // beyond the default range
    {500, 0, 0, true, true},     // a mission's vehicle
    {900, 0, 0, false, false},   // listed, but the handle names nothing
    {30, 40, 0, false, true},    // exactly 50 away
    {0, 0, 80, false, true},     // beyond, straight up
    {10, 10, 0, false, true},    // near
    {-300, 200, 5, false, true}, // far
};

std::string hex(Entity handle)
{
    return fmt::format("0x{:X}", static_cast<unsigned>(handle));
}

std::vector<Entity> handles()
{
    std::vector<Entity> all;
    for (const Vehicle& v : host().world.vehicles) {
        all.push_back(v.handle);
    }
    std::sort(all.begin(), all.end());
    return all;
}

std::string listed(const std::vector<Entity>& all)
{
    std::string text;
    for (const Entity handle : all) {
        text += ' ' + hex(handle);
    }
    return text.empty() ? " none" : text;
}

void printSettingsLine(std::ostream& out, const GovernorSettings& settings)
{
    out << "settings: enabled=" << settings.enabled;
    if (settings.enabled) {
        out << " logging=" << settings.logging << " fpsModerate=" << settings.fpsModerate
            << " fpsCritical=" << settings.fpsCritical
            << " detectionRange=" << static_cast<unsigned long long>(settings.detectionRange);
    }
    out << '\n';
}

struct Transcript {
    int frame = 0;
    int purges = 0;
    bool faithful = true;
};

void playFrame(std::ostream& out, Follower& follower, int milliseconds, Transcript& transcript)
{
    Host& h = host();
    h.clock.frameTimeSeconds = static_cast<float>(milliseconds) / 1000.0f;
    h.clock.tickMs += static_cast<std::uint32_t>(milliseconds);
    const std::vector<Entity> before = handles();
    const std::uint64_t listings = h.record.vehicleListings;
    const std::uint64_t deletions = h.record.deletions;
    const bool running = runFrame();
    out << "frame " << ++transcript.frame << ' ' << milliseconds << " ms: ";
    if (!running && !follower.settings.enabled) {
        out << "script returned\n";
        return;
    }
    // The tick is the platform's: under Wine the real library reads the real counter, so the
    // follower must too. Both reads come after the pass, which the top of this file explains.
    const FollowedPass pass =
        followPass(follower, h.clock.frameTimeSeconds, platformTickMs(), platformTickMs());
    // A recording plug-in lists the vehicles to count them too: only a deletion is a purge's.
    const bool purged = follower.settings.record == RecordMode::Off
                            ? h.record.vehicleListings != listings
                            : h.record.deletions != deletions;
    out << perfStateName(pass.to);
    if (purged) {
        ++transcript.purges;
        std::vector<Entity> removed;
        const std::vector<Entity> after = handles();
        std::set_difference(before.begin(), before.end(), after.begin(), after.end(),
                            std::back_inserter(removed));
        out << ", purge removed" << listed(removed);
    }
    if (purged != pass.purged) {
        out << " (UNEXPECTED)";
        transcript.faithful = false;
    }
    out << '\n';
}

// Fast frames until the plug-in has written its record: its writes come a second apart on its
// tick counter. Their count depends on the clock, so the transcript gives one line for them all.
void recordTail(std::ostream& out, const std::function<void()>& pause)
{
    Host& h = host();
    const std::uint32_t start = platformTickMs();
    while (platformTickMs() - start < recordTailMs) {
        h.clock.frameTimeSeconds = 0.01f;
        h.clock.tickMs += 10;
        if (pause) {
            pause();
        }
        runFrame();
    }
    out << "record: fast frames played for " << recordTailMs << " ms of the tick counter\n";
}

} // namespace

int runScenario(std::ostream& out, const std::function<void()>& pause)
{
    for (const Placed& p : placed) {
        addVehicle(p.x, p.y, p.z, p.mission, p.exists);
    }
    Follower follower = followPlugin();
    printSettingsLine(out, follower.settings);
    if (!loadPlugin()) {
        out << "the plug-in did not load\n";
        return 1;
    }
    const ScriptLife& script = host().script;
    const bool ownModule =
        script.registrations == 1 && script.registeredModule == script.pluginModule;
    out << "registered: " << (ownModule ? "once, with the plug-in's own module handle" : "WRONG")
        << '\n';

    Transcript transcript;
    transcript.faithful = ownModule;
    for (const Frames& stretch : frames) {
        for (int i = 0; i < stretch.count; ++i) {
            playFrame(out, follower, stretch.milliseconds, transcript);
        }
    }
    if (follower.settings.enabled && follower.settings.record != RecordMode::Off) {
        recordTail(out, pause);
    }
    out << "purges: " << transcript.purges << '\n' << "vehicles left:" << listed(handles()) << '\n';
    return transcript.faithful ? 0 : 1;
}

} // namespace sim
