// The simulated world and the hook's script and vehicle operations on it; the native calls are
// in natives_sim.cpp.
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

Host theHost;

} // namespace

void recordHookCall(HookOp op, std::uint64_t value)
{
    if (theHost.record.recording) {
        theHost.record.calls.push_back({op, value});
    }
}

// Any vehicle the world lists, including one whose handle no longer names an entity.
Vehicle* listedVehicle(Entity handle)
{
    const auto found = theHost.world.slotOf.find(handle);
    return found == theHost.world.slotOf.end() ? nullptr : &theHost.world.vehicles[found->second];
}

Host& host()
{
    return theHost;
}

void resetHost()
{
    theHost = Host{};
    resetNativeCall();
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
    sim::recordHookCall(HookOp::ScriptRegister, reinterpret_cast<std::uintptr_t>(module));
    sim::Host& h = sim::host();
    h.script.registeredModule = module;
    h.script.main = script;
    ++h.script.registrations;
    h.script.phase = sim::ScriptPhase::Registered;
}

void scriptWait(WaitMs ms)
{
    sim::recordHookCall(HookOp::ScriptWait, ms);
    ++sim::host().record.waits;
    if (!sim::inScriptContext()) {
        sim::hostFault("scriptWait called outside the script");
    }
    sim::contextYield();
}

int worldGetAllVehicles(int* handles, int capacity)
{
    sim::recordHookCall(HookOp::WorldGetAllVehicles, static_cast<std::uint32_t>(capacity));
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
