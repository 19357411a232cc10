// One scan of the hook's vehicle list; everything lives on this call's stack.
#include "governor/purge.h"

#include "host/hook.h"
#include "host/natives.h"

namespace {

// A hook that breaks its contract must not make us read outside the array.
int heldToCapacity(int count)
{
    return count > vehicleCapacity ? vehicleCapacity : count;
}

} // namespace

void purgeDistantVehicles(float range)
{
    const Vec3 playerCoords = getEntityCoords(getPlayerPed(), 1);
    Entity vehArray[vehicleCapacity];
    const int count = heldToCapacity(worldGetAllVehicles(vehArray, vehicleCapacity));
    for (int i = 0; i < count; ++i) {
        // The deletion native may write to the variable; it gets a copy, never the element.
        Entity veh = vehArray[i];
        if (!doesEntityExist(veh) || isMissionEntity(veh)) {
            continue;
        }
        const Vec3 vC = getEntityCoords(veh, 1);
        const float distance = distanceBetweenCoords(playerCoords.x, playerCoords.y, playerCoords.z,
                                                     vC.x, vC.y, vC.z, 1);
        if (distance > range) {
            setAsMissionEntity(veh, 1, 1);
            deleteVehicle(&veh);
        }
    }
}

VehicleCounts countVehicles(float range)
{
    VehicleCounts counts;
    const Vec3 playerCoords = getEntityCoords(getPlayerPed(), 1);
    Entity vehArray[vehicleCapacity];
    const int count = heldToCapacity(worldGetAllVehicles(vehArray, vehicleCapacity));
    for (int i = 0; i < count; ++i) {
        const Entity veh = vehArray[i];
        if (!doesEntityExist(veh)) {
            continue;
        }
        if (isMissionEntity(veh)) {
            ++counts.mission;
            continue;
        }
        const Vec3 vC = getEntityCoords(veh, 1);
        const float distance = distanceBetweenCoords(playerCoords.x, playerCoords.y, playerCoords.z,
                                                     vC.x, vC.y, vC.z, 1);
        // The purge's own test: what it would take is what counts as distant.
        if (distance > range) {
            ++counts.distant;
        } else {
            ++counts.nearby;
        }
    }
    return counts;
}
