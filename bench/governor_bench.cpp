// The governor's cost per frame and per purge, each beside the bare hook calls it cannot avoid.
// Prints one ratio per pair at the end.
#include "bench/minimal_hook.h"

#include "governor/main.h"
#include "governor/purge.h"
#include "host/hook.h"
#include "host/natives.h"
#include "host/platform.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

namespace {

constexpr float purgeRange = 512.0f; // half of the 1024 vehicles lie beyond it

float bareFrameTime()
{
    nativeInit(nativeHash::getFrameTime);
    float value;
    std::memcpy(&value, nativeCall(), sizeof value);
    return value;
}

void bareCall(std::uint64_t hash, std::initializer_list<std::uint64_t> args)
{
    nativeInit(hash);
    for (const std::uint64_t slot : args) {
        nativePush64(slot);
    }
    benchmark::DoNotOptimize(*nativeCall());
}

std::uint64_t floatSlot(float value)
{
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

void passNormal(benchmark::State& state)
{
    bench::frameTimeSeconds = 0.01f;
    const GovernorSettings settings;
    GovernorState governor;
    for (auto _ : state) {
        governorPass(governor, settings);
        benchmark::DoNotOptimize(governor);
    }
}

// The normal pass with Record=1: the row formatted each frame, the vehicles counted once a second
// and the buffer written once a second, at 60 fps on the tick counter.
void passNormalRecorded(benchmark::State& state)
{
    bench::frameTimeSeconds = 0.01f;
    GovernorSettings settings;
    settings.record = RecordMode::On;
    GovernorState governor;
    FrameRecord record = openRecord(settings, bench::tickMs);
    for (auto _ : state) {
        bench::tickMs += 16;
        recordedPass(governor, settings, record);
        benchmark::DoNotOptimize(governor);
        if (!record.active) { // its size limit: a new one, as the next game session would start
            state.PauseTiming();
            record = openRecord(settings, bench::tickMs);
            state.ResumeTiming();
        }
    }
    std::remove(record.name.c_str());
}

void bareNormal(benchmark::State& state)
{
    bench::frameTimeSeconds = 0.01f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bareFrameTime());
        benchmark::DoNotOptimize(bareFrameTime());
    }
}

void passCritical(benchmark::State& state)
{
    bench::frameTimeSeconds = 0.04f;
    const GovernorSettings settings;
    GovernorState governor{PerfState::Critical, bench::tickMs}; // purged just now: not due
    for (auto _ : state) {
        governorPass(governor, settings);
        benchmark::DoNotOptimize(governor);
    }
}

void bareCritical(benchmark::State& state)
{
    bench::frameTimeSeconds = 0.04f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bareFrameTime());
        benchmark::DoNotOptimize(bareFrameTime());
        benchmark::DoNotOptimize(platformTickMs());
    }
}

void purge(benchmark::State& state)
{
    for (auto _ : state) {
        purgeDistantVehicles(purgeRange);
    }
}

void barePurge(benchmark::State& state)
{
    Entity handles[vehicleCapacity];
    for (auto _ : state) {
        bareCall(nativeHash::getPlayerPed, {});
        bareCall(nativeHash::getEntityCoords, {bench::playerHandle, 1});
        const int count = worldGetAllVehicles(handles, vehicleCapacity);
        for (int i = 0; i < count; ++i) {
            Entity veh = handles[i];
            const auto handle = static_cast<std::uint32_t>(veh);
            bareCall(nativeHash::doesEntityExist, {handle});
            bareCall(nativeHash::isMissionEntity, {handle});
            bareCall(nativeHash::getEntityCoords, {handle, 1});
            bareCall(nativeHash::distanceBetweenCoords,
                     {floatSlot(0), 0, 0, floatSlot(static_cast<float>(veh)), 0, 0, 1});
            if (veh > 512) {
                bareCall(nativeHash::setAsMissionEntity, {handle, 1, 1});
                bareCall(nativeHash::deleteVehicle, {reinterpret_cast<std::uintptr_t>(&veh)});
            }
        }
    }
}

BENCHMARK(passNormal);
BENCHMARK(passNormalRecorded);
BENCHMARK(bareNormal);
BENCHMARK(passCritical);
BENCHMARK(bareCritical);
BENCHMARK(purge);
BENCHMARK(barePurge);

// Keeps each benchmark's time per iteration for the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration || run.aggregate_name == "median") {
                nsPerIteration[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }
    std::map<std::string, double> nsPerIteration;
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const struct {
        const char* name;
        const char* governor;
        const char* bare;
    } pairs[] = {{"pass_normal_ratio", "passNormal", "bareNormal"},
                 {"pass_critical_ratio", "passCritical", "bareCritical"},
                 {"purge_1024_ratio", "purge", "barePurge"}};
    for (const auto& pair : pairs) {
        const double governor = reporter.nsPerIteration[pair.governor];
        const double bare = reporter.nsPerIteration[pair.bare];
        if (governor > 0 && bare > 0) {
            std::printf("%s: %.3f (target <= 1.10)\n", pair.name, governor / bare);
        }
    }
    // Recording on against off: what Record=1 adds to a frame, in nanoseconds.
    if (const double on = reporter.nsPerIteration["passNormalRecorded"],
        off = reporter.nsPerIteration["passNormal"];
        on > 0 && off > 0) {
        std::printf("pass_normal_recorded_ns: %.1f (off: %.1f; %.1f ns a frame more, no target)\n",
                    on, off, on - off);
    }
    benchmark::Shutdown();
    return 0;
}
