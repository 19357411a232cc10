// The hook's three native-call operations and the natives the plug-in calls, acting on the
// simulated world. A native is looked up by its hash in one table with its name and its slots.
#include "host/natives.h"
#include "sim/host/host.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstring>

namespace sim {
namespace {

constexpr std::size_t maxSlots = 16;

// The native call being built between nativeInit and nativeCall.
struct PendingCall {
    bool open = false;
    std::uint64_t hash = 0;
    std::array<std::uint64_t, maxSlots> slots{};
    std::size_t count = 0;
};
PendingCall pending;
std::array<std::uint64_t, 3> resultSlots{};

std::int32_t intArg(std::size_t i)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(pending.slots[i]));
}

float floatArg(std::size_t i)
{
    const auto bits = static_cast<std::uint32_t>(pending.slots[i]);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void resultInt(std::int32_t value)
{
    resultSlots.fill(0);
    std::memcpy(resultSlots.data(), &value, sizeof value);
}

void resultFloat(float value)
{
    resultSlots.fill(0);
    std::memcpy(resultSlots.data(), &value, sizeof value);
}

void resultVec3(float x, float y, float z)
{
    Vec3 v{x, 0, y, 0, z, 0};
    std::memcpy(resultSlots.data(), &v, sizeof v);
}

void serveGetPlayerPed()
{
    resultInt(host().world.playerPed);
}

void serveGetEntityCoords()
{
    const World& world = host().world;
    const Entity entity = intArg(0);
    if (entity == world.playerPed) {
        resultVec3(world.playerX, world.playerY, world.playerZ);
        return;
    }
    const Vehicle* vehicle = listedVehicle(entity);
    if (vehicle == nullptr || !vehicle->exists) {
        resultVec3(0, 0, 0);
        return;
    }
    resultVec3(vehicle->x, vehicle->y, vehicle->z);
}

void serveDoesEntityExist()
{
    const Entity entity = intArg(0);
    const Vehicle* vehicle = listedVehicle(entity);
    resultInt(entity == host().world.playerPed || (vehicle != nullptr && vehicle->exists));
}

void serveIsMissionEntity()
{
    const Vehicle* vehicle = listedVehicle(intArg(0));
    resultInt(vehicle != nullptr && vehicle->mission);
}

void serveDistanceBetweenCoords()
{
    const float dx = floatArg(3) - floatArg(0);
    const float dy = floatArg(4) - floatArg(1);
    const float dz = floatArg(5) - floatArg(2);
    resultFloat(std::sqrt(dx * dx + dy * dy + dz * dz));
}

void serveSetAsMissionEntity()
{
    if (Vehicle* vehicle = listedVehicle(intArg(0))) {
        vehicle->mission = true;
    }
    resultInt(0);
}

void serveDeleteVehicle()
{
    auto* handle = reinterpret_cast<Entity*>(static_cast<std::uintptr_t>(pending.slots[0]));
    if (handle == nullptr) {
        hostFault("deleteVehicle was given a null pointer");
    }
    removeVehicle(*handle);
    ++host().record.deletions;
    *handle = 0; // as the game does
    resultInt(0);
}

void serveGetFrameTime()
{
    resultFloat(host().clock.frameTimeSeconds);
}

struct SimulatedNative {
    std::uint64_t hash;
    const char* name;
    std::size_t slots;
    void (*run)();
};

constexpr SimulatedNative simulatedNatives[] = {
    {nativeHash::getPlayerPed, "getPlayerPed", 0, serveGetPlayerPed},
    {nativeHash::getEntityCoords, "getEntityCoords", 2, serveGetEntityCoords},
    {nativeHash::doesEntityExist, "doesEntityExist", 1, serveDoesEntityExist},
    {nativeHash::isMissionEntity, "isMissionEntity", 1, serveIsMissionEntity},
    {nativeHash::distanceBetweenCoords, "distanceBetweenCoords", 7, serveDistanceBetweenCoords},
    {nativeHash::setAsMissionEntity, "setAsMissionEntity", 3, serveSetAsMissionEntity},
    {nativeHash::deleteVehicle, "deleteVehicle", 1, serveDeleteVehicle},
    {nativeHash::getFrameTime, "getFrameTime", 0, serveGetFrameTime},
};

void dispatch()
{
    for (const SimulatedNative& native : simulatedNatives) {
        if (native.hash != pending.hash) {
            continue;
        }
        if (pending.count != native.slots) {
            hostFault(std::string(native.name) + " takes " + std::to_string(native.slots) +
                      " slots, got " + std::to_string(pending.count));
        }
        native.run();
        return;
    }
    hostFault(fmt::format("unknown native hash 0x{:016X}", pending.hash));
}

} // namespace

void resetNativeCall()
{
    pending = PendingCall{};
}

} // namespace sim

using sim::HookOp;

void nativeInit(std::uint64_t hash)
{
    sim::recordHookCall(HookOp::NativeInit, hash);
    if (sim::pending.open) {
        sim::hostFault("nativeInit before the previous call was made");
    }
    sim::pending.open = true;
    sim::pending.hash = hash;
    sim::pending.count = 0;
}

void nativePush64(std::uint64_t slot)
{
    sim::recordHookCall(HookOp::NativePush64, slot);
    if (!sim::pending.open) {
        sim::hostFault("nativePush64 without nativeInit");
    }
    if (sim::pending.count == sim::maxSlots) {
        sim::hostFault("more argument slots than any native takes");
    }
    sim::pending.slots[sim::pending.count++] = slot;
}

std::uint64_t* nativeCall()
{
    sim::recordHookCall(HookOp::NativeCall, sim::pending.hash);
    if (!sim::pending.open) {
        sim::hostFault("nativeCall without nativeInit");
    }
    ++sim::host().record.nativeCalls;
    sim::host().clock.tickMs += sim::host().clock.tickPerNativeCallMs;
    if (sim::host().faults.onNative) {
        sim::host().faults.onNative(sim::pending.hash);
    }
    sim::dispatch();
    sim::pending.open = false;
    if (auto& raw = sim::host().faults.rawResult) {
        sim::resultSlots = *raw;
        raw.reset();
    }
    return sim::resultSlots.data();
}
