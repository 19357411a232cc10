// The session follows the plug-in's state (sim/session/follower.h) and checks every purge the
// host sees against it.
#include "sim/session/session.h"
#include "sim/files.h"
#include "sim/text.h"

#include "record/record.h"
#include "sim/host/host.h"
#include "sim/session/clock.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <utility>

namespace sim {
namespace {

// The folder the temporary one was looked for in, as the player set it.
std::string temporaryFolderNamed()
{
    for (const char* variable : {"TMPDIR", "TMP", "TEMP"}) {
        if (const char* value = std::getenv(variable); value != nullptr && *value != '\0') {
            return std::string(variable) + "=" + shownWhole(value);
        }
    }
    return "the system's";
}

Failure noGameDir(const std::string& where, const std::error_code& error)
{
    return Failure{FailureKind::Setup,
                   {},
                   0,
                   "cannot make the simulated game's folder in the temporary folder (" + where +
                       "): " + error.message() +
                       "; set TMPDIR (on Windows TMP) to a folder that exists and can be written"};
}

Result<std::filesystem::path> makeGameDir()
{
    std::random_device seed;
    std::error_code error;
    const std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error) {
        return noGameDir(temporaryFolderNamed(), error);
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto dir = temp / ("tarnwick-sim-game-" + std::to_string(seed()));
        if (std::filesystem::create_directory(dir, error)) {
            holdTemporaryFolder(dir);
            return dir;
        }
        if (error) {
            return noGameDir(shownPath(temp), error);
        }
    }
    return Failure{
        FailureKind::Setup, {}, 0, "cannot create a game folder under " + shownPath(temp)};
}

} // namespace

Result<std::unique_ptr<Session>> Session::open(const SessionOptions& options)
{
    const Result<std::filesystem::path> dir = makeGameDir();
    if (!dir) {
        return dir.failure();
    }
    if (options.governorOff) {
        // Unwritten (a full disk), the game would run governed: the comparison would be false.
        std::ofstream ini(*dir / "Tarnwick.ini");
        if (!(ini << "[Main]\nEnabled=0\n" << std::flush)) {
            std::error_code error;
            std::filesystem::remove_all(*dir, error);
            releaseTemporaryFolder(*dir);
            return Failure{FailureKind::Setup,
                           {},
                           0,
                           "cannot write a settings file in the temporary folder " +
                               shownPath(dir->parent_path()) + " (a full disk?)"};
        }
    } else if (options.iniFile) {
        std::error_code error;
        std::filesystem::copy_file(*options.iniFile, *dir / "Tarnwick.ini", error);
        if (error) {
            const std::string why = error.message();
            std::filesystem::remove_all(*dir, error);
            releaseTemporaryFolder(*dir);
            return Failure{FailureKind::Setup,
                           {},
                           0,
                           "cannot use " + utf8Of(*options.iniFile) +
                               " as the settings file: " + why};
        }
    }
    return std::unique_ptr<Session>(new Session(*dir, options));
}

Session::Session(std::filesystem::path gameDir, const SessionOptions& options)
    : gameDir_(std::move(gameDir)), keptChanges_(options.keptChanges)
{
    resetHost();
    host().machine.exePath = utf8Of(gameDir_ / "game.exe");
    host().machine.logPath = utf8Of(gameDir_ / "Tarnwick.log");
    clock_.uptimeMs = options.uptimeMs;
    host().clock.tickMs = clock_.tick();
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
    std::filesystem::remove_all(gameDir_, ignored);
    releaseTemporaryFolder(gameDir_);
}

std::string Session::pluginLog() const
{
    std::ifstream file(gameDir_ / "Tarnwick.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

std::string Session::pluginRecord() const
{
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(gameDir_, error)) {
        if (utf8Of(entry.path().filename()).starts_with(recordNamePrefix)) {
            std::ifstream file(entry.path(), std::ios::binary);
            return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
        }
    }
    return {};
}

void Session::countStateTime(const FollowedPass& pass)
{
    // A frame's time counts under the state it was drawn in: a change takes effect at its end.
    if (pass.changed()) {
        stateTimes_.change(pass.from, clock_.elapsedNs);
        result_.timeInStateMs[static_cast<std::size_t>(pass.from)] =
            stateTimes_.ms(pass.from, pass.to, clock_.elapsedNs);
    }
    // Only the current state's time moves between changes.
    result_.timeInStateMs[static_cast<std::size_t>(pass.to)] =
        stateTimes_.ms(pass.to, pass.to, clock_.elapsedNs);
}

FrameOutcome Session::frame(double frameTimeMs)
{
    Host& h = host();
    // The clock only moves forward; the plug-in still sees the frame time as it is.
    const double clockMs = SessionClock::lengthOf(frameTimeMs);
    clock_.advance(frameTimeMs);
    h.clock.frameTimeSeconds = static_cast<float>(frameTimeMs / 1000.0);
    h.clock.tickMs = clock_.tick();
    const std::uint32_t tickAtFrame = h.clock.tickMs;
    const std::uint64_t listings = h.record.vehicleListings;
    const std::uint64_t deletions = h.record.deletions;

    runFrame();

    const FollowedPass pass =
        followPass(follower_, h.clock.frameTimeSeconds, tickAtFrame, h.clock.tickMs);
    // A recording plug-in also lists the vehicles to count them.
    const bool recording = follower_.settings.record != RecordMode::Off;
    const bool purged = recording ? pass.purged : h.record.vehicleListings != listings;
    if (pass.purged != purged || (recording && !purged && h.record.deletions != deletions)) {
        throw std::logic_error("the simulator lost track of the plug-in's state at " +
                               std::to_string(clock_.elapsedMs) + " ms");
    }
    if (pass.changed() && result_.changeCount++ < keptChanges_) {
        result_.changes.push_back({clock_.elapsedMs, pass.from, pass.to});
    }
    FrameOutcome outcome{pass.to, pass.fps, purged, h.record.deletions - deletions};
    if (purged) {
        result_.purges.push_back({clock_.elapsedMs, outcome.removed});
        result_.vehiclesRemoved += outcome.removed;
    }
    ++result_.frames;
    result_.durationMs = clock_.elapsedMs;
    countStateTime(pass);
    if (pass.fps < result_.lowestFps) {
        result_.lowestFps = pass.fps;
    }
    recordFrame(result_.fpsHistory, clock_.elapsedMs, clockMs, pass.fps, pass.to);
    countFrameTime(result_.frameTimes, frameTimeMs);
    traceFrame(result_.trace, clock_.elapsedMs, clockMs);
    return outcome;
}

} // namespace sim
