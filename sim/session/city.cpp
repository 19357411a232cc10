// Numbers chosen so that, with default settings, traffic drags a 90 fps game under 35 fps
// within a minute or so and a purge brings it back; without the governor the game's own clean-up
// holds the city at about 25 fps. What the model leaves out is in the README.
#include "sim/session/city.h"

#include "sim/host/host.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {
namespace {

constexpr double driveSpeedPerSecond = 14.0; // world units
constexpr double spawnsPerSecond = 5.0;
constexpr double spawnNearest = 25.0;
constexpr double spawnFarthest = 220.0;
constexpr double missionShare = 0.06;
constexpr double missionShortestSeconds = 30.0;
constexpr double missionLongestSeconds = 300.0;
// The game's own clean-up: ambient vehicles out of sight go, each after half a minute on average.
constexpr double gameDespawnBeyond = 250.0;
constexpr double gameDespawnPerSecond = 1.0 / 30.0;
constexpr double baseFrameMs = 10.5;
constexpr double msPerVehicle = cityMsPerVehicle;
constexpr double msPerVisibleVehicle = cityMsPerVisibleVehicle;
constexpr double visibleWithin = 100.0;
constexpr double hitchChance = 0.0004;
constexpr double hitchMs = 35.0;

double distanceToPlayer(const Vehicle& v, const World& w)
{
    const double dx = v.x - w.playerX;
    const double dy = v.y - w.playerY;
    const double dz = v.z - w.playerZ;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
}

} // namespace

CityDrive::CityDrive(std::uint64_t seed) : rng_(seed) {}

void CityDrive::spawnTraffic(double seconds)
{
    World& world = host().world;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    spawnCredit_ += spawnsPerSecond * seconds;
    while (spawnCredit_ >= 1.0) {
        spawnCredit_ -= 1.0;
        const double angle = 2.0 * std::numbers::pi * unit(rng_);
        const double distance = spawnNearest + (spawnFarthest - spawnNearest) * unit(rng_);
        const bool mission = unit(rng_) < missionShare;
        const double missionSeconds =
            missionShortestSeconds + (missionLongestSeconds - missionShortestSeconds) * unit(rng_);
        if (world.vehicles.size() >= vehiclePool) {
            continue; // the draws above still happen, so a full pool does not shift the traffic
        }
        const Entity handle = addVehicle(
            world.playerX + static_cast<float>(distance * std::cos(angle)),
            world.playerY + static_cast<float>(distance * std::sin(angle)), 0.0f, mission);
        if (mission) {
            missions_.push_back({handle, clockMs_ + missionSeconds * 1000.0});
        }
    }
}

// A finished mission lets its vehicle go: from then on it is ambient traffic like any other.
void CityDrive::endMissions()
{
    World& world = host().world;
    std::erase_if(missions_, [&](const Mission& m) {
        if (m.endsAtMs > clockMs_) {
            return false;
        }
        if (const auto slot = world.slotOf.find(m.vehicle); slot != world.slotOf.end()) {
            world.vehicles[slot->second].mission = false;
        }
        return true;
    });
}

int CityDrive::cleanUpAndCountVisible(double seconds)
{
    const World& world = host().world;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    int visible = 0;
    std::vector<Entity> despawned;
    for (const Vehicle& v : world.vehicles) {
        const double d = distanceToPlayer(v, world);
        if (d < visibleWithin) {
            ++visible;
        } else if (d > gameDespawnBeyond && !v.mission &&
                   unit(rng_) < gameDespawnPerSecond * seconds) {
            despawned.push_back(v.handle);
        }
    }
    for (const Entity handle : despawned) {
        removeVehicle(handle);
    }
    return visible;
}

double CityDrive::step(double frameMs)
{
    World& world = host().world;
    const double seconds = frameMs / 1000.0;
    clockMs_ += frameMs;

    // A gently winding road.
    world.playerX += static_cast<float>(driveSpeedPerSecond * seconds);
    world.playerY = static_cast<float>(60.0 * std::sin(clockMs_ / 20000.0));

    spawnTraffic(seconds);
    endMissions();
    const int visible = cleanUpAndCountVisible(seconds);

    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::normal_distribution<double> jitter(0.0, 0.5);
    double next = baseFrameMs + msPerVehicle * static_cast<double>(world.vehicles.size()) +
                  msPerVisibleVehicle * visible + jitter(rng_);
    if (unit(rng_) < hitchChance) {
        next += hitchMs;
    }
    return std::max(next, 4.0);
}

TrafficCounts CityDrive::counts(float range) const
{
    const World& world = host().world;
    TrafficCounts counts;
    for (const Vehicle& v : world.vehicles) {
        if (distanceToPlayer(v, world) > range) {
            ++counts.distant;
        } else {
            ++counts.nearby;
        }
    }
    return counts;
}

} // namespace sim
