// The default session's world: a drive through a city in which ambient traffic keeps appearing
// around the player and every vehicle costs frame time. Deterministic for a seed.
#pragma once

#include <cstdint>
#include <random>

namespace sim {

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
    std::mt19937_64 rng_;
    double clockMs_ = 0;
    double spawnCredit_ = 0;
};

} // namespace sim
