// The governor's one remedy: delete the ambient vehicles beyond a range from the player.
#pragma once

inline constexpr int vehicleCapacity = 1024;

// in: range, world units. Claims and deletes every listed, existing, unclaimed vehicle whose
// distance from the player's character is strictly greater than range.
void purgeDistantVehicles(float range);

// The listed vehicles as a purge sees them: ambient ones within and beyond the range, and the
// ones a script owns.
struct VehicleCounts {
    int nearby = 0;
    int distant = 0;
    int mission = 0;
};

// in: range. Counts through the natives the purge calls, in its order, and changes nothing; the
// frame record's only view of the world.
VehicleCounts countVehicles(float range);
