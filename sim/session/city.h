// The default session's world: a drive through a city in which ambient traffic keeps appearing
// around the player and every vehicle costs frame time. Deterministic for a seed.
#pragma once

#include "host/hook.h"

#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

namespace sim {

// A game holds its vehicles in a fixed pool and spawns no traffic while the pool is full. A few
// hundred is what a city needs; well inside the 1024 handles the plug-in lists, so a purge always
// sees every vehicle.
inline constexpr std::size_t vehiclePool = 300;

// What a vehicle costs the frame, and more within sight: what a record's purges should measure.
inline constexpr double cityMsPerVehicle = 0.1;
inline constexpr double cityMsPerVisibleVehicle = 0.05;

struct TrafficCounts {
    int nearby = 0; // within the detection range
    int distant = 0;
};

class CityDrive {
  public:
    explicit CityDrive(std::uint64_t seed);

    // Moves the world on by one frame of frameMs and returns how long the next frame takes.
    double step(double frameMs);

    TrafficCounts counts(float range) const;

  private:
    struct Mission {
        Entity vehicle;
        double endsAtMs;
    };

    void spawnTraffic(double seconds);
    void endMissions();
    int cleanUpAndCountVisible(double seconds);

    std::mt19937_64 rng_;
    double clockMs_ = 0;
    double spawnCredit_ = 0;
    std::vector<Mission> missions_;
};

} // namespace sim
