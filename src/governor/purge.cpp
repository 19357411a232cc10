// One scan of the hook's vehicle list; everything lives on this call's stack.
#include "governor/purge.h"

#include "host/hook.h"
#include "host/natives.h"

void purgeDistantVehicles(float range)
{
    const Vec3 playerCoords = getEntityCoords(getPlayerPed(), 1);
    Entity vehArray[vehicleCapacity];
    int count = worldGetAllVehicles(vehArray, vehicleCapacity);
    // A hook that breaks its contract must not make us read outside the array.
    if (count > vehicleCapacity) {
        count = vehicleCapacity;
    }
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
