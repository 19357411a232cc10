// The session follows the plug-in's state (sim/session/follower.h) and checks every purge the
// host sees against it.
#include "sim/session/session.h"
#include "sim/files.h"

#include "sim/host/host.h"
#include "sim/session/clock.h"

#include <cmath>
#include <fstream>
#include <random>
#include <stdexcept>

namespace sim {
namespace {

std::filesystem::path makeGameDir()
{
    std::random_device seed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto dir = std::filesystem::temp_directory_path() /
                   ("tarnwick-sim-game-" + std::to_string(seed()));
        if (std::filesystem::create_directory(dir)) {
            return dir;
        }
    }
    throw std::runtime_error("cannot create a game folder under " +
                             utf8Of(std::filesystem::temp_directory_path()));
}

} // namespace

Session::Session(const SessionOptions& options)
    : gameDir_(makeGameDir()), uptimeMs_(options.uptimeMs), keptChanges_(options.keptChanges)
{
    if (options.governorOff) {
        std::ofstream(gameDir_ / "Tarnwick.ini") << "[Main]\nEnabled=0\n";
    } else if (options.iniFile) {
        // A constructor that throws runs no destructor: the folder goes here or never.
        std::error_code error;
        std::filesystem::copy_file(*options.iniFile, gameDir_ / "Tarnwick.ini", error);
        if (error) {
            const std::string why = error.message();
            std::filesystem::remove_all(gameDir_, error);
            throw std::runtime_error("cannot use " + utf8Of(*options.iniFile) +
                                     " as the settings file: " + why);
        }
    }
    // The plug-in writes its log in the process's current folder, as in the game.
    std::error_code error;
    previousDir_ = std::filesystem::current_path(error);
    std::filesystem::current_path(options.logDir.value_or(gameDir_), error);
    if (error) {
        std::filesystem::current_path(gameDir_, error); // never the folder the tool was run in
    }
    resetHost();
    host().machine.exePath = utf8Of(gameDir_ / "game.exe");
    host().clock.tickMs = uptimeMs_;
    follower_ = followPlugin();
    result_.settings = follower_.settings;
    result_.enabled = result_.settings.enabled;
    host().machine.profileReads.clear();
    loadPlugin();
}

Session::~Session()
{
    resetHost();
    std::error_code ignored;
    std::filesystem::current_path(previousDir_, ignored); // Windows keeps a current folder
    std::filesystem::remove_all(gameDir_, ignored);
}

// Time in a state runs from the frame that began it to the frame that ended it, as differences of
// the session's clock: a tuner that skips the frames between gets the very same sums.
void Session::countStateTime(const FollowedPass& pass, std::int64_t elapsedBeforeNs)
{
    if (pass.changed()) {
        const auto from = static_cast<std::size_t>(pass.from);
        closedNs_[from] += elapsedBeforeNs - stateSinceNs_;
        result_.timeInStateMs[from] = millisecondsOf(closedNs_[from]);
        stateSinceNs_ = elapsedBeforeNs;
    }
    // Only the current state's time moves between changes.
    const auto now = static_cast<std::size_t>(pass.to);
    result_.timeInStateMs[now] = millisecondsOf(closedNs_[now] + (elapsedNs_ - stateSinceNs_));
}

FrameOutcome Session::frame(double frameTimeMs)
{
    Host& h = host();
    // The clock only moves forward; the plug-in still sees the frame time as it is.
    const double clockMs = std::isfinite(frameTimeMs) && frameTimeMs > 0 ? frameTimeMs : 0.0;
    const std::int64_t elapsedBeforeNs = elapsedNs_;
    elapsedMs_ += clockMs;
    elapsedNs_ += wholeNanoseconds(clockMs);
    h.clock.frameTimeSeconds = static_cast<float>(frameTimeMs / 1000.0);
    // The counter wraps like the real one: simulated time modulo 2^32.
    const auto elapsed =
        static_cast<std::uint32_t>(std::fmod(std::floor(elapsedMs_), 4294967296.0));
    h.clock.tickMs = uptimeMs_ + elapsed;
    const std::uint32_t tickAtFrame = h.clock.tickMs;
    const std::uint64_t listings = h.record.vehicleListings;
    const std::uint64_t deletions = h.record.deletions;

    runFrame();

    const FollowedPass pass =
        followPass(follower_, h.clock.frameTimeSeconds, tickAtFrame, h.clock.tickMs);
    const bool purged = h.record.vehicleListings != listings;
    if (pass.purged != purged) {
        throw std::logic_error("the simulator lost track of the plug-in's state at " +
                               std::to_string(elapsedMs_) + " ms");
    }
    if (pass.changed() && result_.changeCount++ < keptChanges_) {
        result_.changes.push_back({elapsedMs_, pass.from, pass.to});
    }
    FrameOutcome outcome{pass.to, pass.fps, purged, h.record.deletions - deletions};
    if (purged) {
        result_.purges.push_back({elapsedMs_, outcome.removed});
        result_.vehiclesRemoved += outcome.removed;
    }
    ++result_.frames;
    result_.durationMs = elapsedMs_;
    countStateTime(pass, elapsedBeforeNs);
    if (pass.fps < result_.lowestFps) {
        result_.lowestFps = pass.fps;
    }
    recordFrame(result_.fpsHistory, elapsedMs_, clockMs, pass.fps, pass.to);
    countFrameTime(result_.frameTimes, frameTimeMs);
    traceFrame(result_.trace, elapsedMs_);
    return outcome;
}

} // namespace sim
