// Numbers chosen so that, with default settings, traffic drags a 90 fps game under 35 fps
// within a minute or so, and a purge brings it back.
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
constexpr double gameDespawnBeyond = 450.0; // the game's own clean-up, slow and far away
constexpr double gameDespawnPerSecond = 0.05;
constexpr double baseFrameMs = 10.5;
constexpr double msPerVehicle = 0.1;
constexpr double msPerVisibleVehicle = 0.05;
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

double CityDrive::step(double frameMs)
{
    World& world = host().world;
    const double seconds = frameMs / 1000.0;
    clockMs_ += frameMs;

    // A gently winding road.
    world.playerX += static_cast<float>(driveSpeedPerSecond * seconds);
    world.playerY = static_cast<float>(60.0 * std::sin(clockMs_ / 20000.0));

    std::uniform_real_distribution<double> unit(0.0, 1.0);
    spawnCredit_ += spawnsPerSecond * seconds;
    while (spawnCredit_ >= 1.0) {
        spawnCredit_ -= 1.0;
        const double angle = 2.0 * std::numbers::pi * unit(rng_);
        const double distance = spawnNearest + (spawnFarthest - spawnNearest) * unit(rng_);
        addVehicle(world.playerX + static_cast<float>(distance * std::cos(angle)),
                   world.playerY + static_cast<float>(distance * std::sin(angle)), 0.0f,
                   unit(rng_) < missionShare);
    }

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
