// The governor's one remedy: delete the ambient vehicles beyond a range from the player.
#pragma once

inline constexpr int vehicleCapacity = 1024;

// in: range, world units. Claims and deletes every listed, existing, unclaimed vehicle whose
// distance from the player's character is strictly greater than range.
void purgeDistantVehicles(float range);
