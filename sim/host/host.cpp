// The hook's six operations and the natives of the plug-in, acting on the simulated world.
#include "sim/host/host.h"

#include "host/natives.h"
#include "sim/host/context.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace sim {
namespace {

constexpr std::size_t maxSlots = 16;

Host theHost;

// The native call being built between nativeInit and nativeCall.
struct PendingCall {
    bool open = false;
    std::uint64_t hash = 0;
    std::array<std::uint64_t, maxSlots> slots{};
    std::size_t count = 0;
};
PendingCall pending;
std::array<std::uint64_t, 3> resultSlots{};

void record(HookOp op, std::uint64_t value)
{
    if (theHost.record.recording) {
        theHost.record.calls.push_back({op, value});
    }
}

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

void expectSlots(const char* native, std::size_t expected)
{
    if (pending.count != expected) {
        hostFault(std::string(native) + " takes " + std::to_string(expected) + " slots, got " +
                  std::to_string(pending.count));
    }
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

// Any vehicle the world lists, including one whose handle no longer names an entity.
Vehicle* listedVehicle(Entity handle)
{
    const auto found = theHost.world.slotOf.find(handle);
    return found == theHost.world.slotOf.end() ? nullptr : &theHost.world.vehicles[found->second];
}

void coordsOf(Entity entity)
{
    const World& world = theHost.world;
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

void dispatch()
{
    namespace hash = nativeHash;
    switch (pending.hash) {
    case hash::getPlayerPed:
        expectSlots("getPlayerPed", 0);
        return resultInt(theHost.world.playerPed);
    case hash::getEntityCoords:
        expectSlots("getEntityCoords", 2);
        return coordsOf(intArg(0));
    case hash::doesEntityExist: {
        expectSlots("doesEntityExist", 1);
        const Entity entity = intArg(0);
        const Vehicle* vehicle = listedVehicle(entity);
        return resultInt(entity == theHost.world.playerPed ||
                         (vehicle != nullptr && vehicle->exists));
    }
    case hash::isMissionEntity: {
        expectSlots("isMissionEntity", 1);
        const Vehicle* vehicle = listedVehicle(intArg(0));
        return resultInt(vehicle != nullptr && vehicle->mission);
    }
    case hash::distanceBetweenCoords: {
        expectSlots("distanceBetweenCoords", 7);
        const float dx = floatArg(3) - floatArg(0);
        const float dy = floatArg(4) - floatArg(1);
        const float dz = floatArg(5) - floatArg(2);
        return resultFloat(std::sqrt(dx * dx + dy * dy + dz * dz));
    }
    case hash::setAsMissionEntity: {
        expectSlots("setAsMissionEntity", 3);
        if (Vehicle* vehicle = listedVehicle(intArg(0))) {
            vehicle->mission = true;
        }
        return resultInt(0);
    }
    case hash::deleteVehicle: {
        expectSlots("deleteVehicle", 1);
        auto* handle = reinterpret_cast<Entity*>(static_cast<std::uintptr_t>(pending.slots[0]));
        if (handle == nullptr) {
            hostFault("deleteVehicle was given a null pointer");
        }
        removeVehicle(*handle);
        ++theHost.record.deletions;
        *handle = 0; // as the game does
        return resultInt(0);
    }
    case hash::getFrameTime:
        expectSlots("getFrameTime", 0);
        return resultFloat(theHost.clock.frameTimeSeconds);
    default: {
        hostFault(fmt::format("unknown native hash 0x{:016X}", pending.hash));
    }
    }
}

} // namespace

Host& host()
{
    return theHost;
}

void resetHost()
{
    theHost = Host{};
    pending = PendingCall{};
    contextStart(nullptr); // discards any script left suspended
}

void hostFault(const std::string& what)
{
    fmt::print(stderr, "tarnwick-sim: host fault: {}\n", what);
    std::fflush(stderr);
    std::abort();
}

bool runFrame()
{
    if (theHost.script.phase == ScriptPhase::Registered) {
        contextStart(theHost.script.main);
        theHost.script.phase = ScriptPhase::Running;
    }
    if (theHost.script.phase != ScriptPhase::Running) {
        return false;
    }
    if (!contextResume()) {
        theHost.script.phase = ScriptPhase::Returned;
        return false;
    }
    return true;
}

void restartScript()
{
    if (theHost.script.main != nullptr) {
        theHost.script.phase = ScriptPhase::Registered;
    }
}

Entity addVehicle(float x, float y, float z, bool mission, bool exists)
{
    World& world = theHost.world;
    const Entity handle = world.nextHandle++;
    world.slotOf[handle] = world.vehicles.size();
    world.vehicles.push_back({handle, x, y, z, exists, mission});
    return handle;
}

const Vehicle* findVehicle(Entity handle)
{
    return listedVehicle(handle);
}

void removeVehicle(Entity handle)
{
    World& world = theHost.world;
    const auto found = world.slotOf.find(handle);
    if (found == world.slotOf.end()) {
        return;
    }
    const std::size_t slot = found->second;
    world.slotOf.erase(found);
    if (slot + 1 != world.vehicles.size()) {
        world.vehicles[slot] = world.vehicles.back();
        world.slotOf[world.vehicles[slot].handle] = slot;
    }
    world.vehicles.pop_back();
}

} // namespace sim

using sim::HookOp;

void scriptRegister(ModuleHandle module, ScriptMain script)
{
    sim::record(HookOp::ScriptRegister, reinterpret_cast<std::uintptr_t>(module));
    sim::Host& h = sim::host();
    h.script.registeredModule = module;
    h.script.main = script;
    ++h.script.registrations;
    h.script.phase = sim::ScriptPhase::Registered;
}

void scriptWait(WaitMs ms)
{
    sim::record(HookOp::ScriptWait, ms);
    ++sim::host().record.waits;
    if (!sim::inScriptContext()) {
        sim::hostFault("scriptWait called outside the script");
    }
    sim::contextYield();
}

int worldGetAllVehicles(int* handles, int capacity)
{
    sim::record(HookOp::WorldGetAllVehicles, static_cast<std::uint32_t>(capacity));
    ++sim::host().record.vehicleListings;
    sim::host().record.listedHandles = handles;
    sim::host().record.listedCapacity = capacity;
    const auto& vehicles = sim::host().world.vehicles;
    int written = 0;
    for (const sim::Vehicle& vehicle : vehicles) {
        if (written >= capacity) {
            break;
        }
        handles[written++] = vehicle.handle;
    }
    return sim::host().faults.reportedVehicleCount.value_or(written);
}

void nativeInit(std::uint64_t hash)
{
    sim::record(HookOp::NativeInit, hash);
    if (sim::pending.open) {
        sim::hostFault("nativeInit before the previous call was made");
    }
    sim::pending.open = true;
    sim::pending.hash = hash;
    sim::pending.count = 0;
}

void nativePush64(std::uint64_t slot)
{
    sim::record(HookOp::NativePush64, slot);
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
    sim::record(HookOp::NativeCall, sim::pending.hash);
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
