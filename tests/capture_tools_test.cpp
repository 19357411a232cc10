// Longer than most files here on purpose: one table of every tool's files, which reads best whole.
// Every capture tool's files, built from the headers each version writes, all with one shape: 4 s
// at 60 fps, 4 s at 30 fps, 4 s at 60 fps, as the game renders it. What is replayed must be that
// shape, whatever the tool adds to it (generated frames, another window's swap chain).
#include "sim/capture/capture.h"

#include "sim/ascii.h"

#include "capture_support.h"
#include "test_support.h"

#include <fmt/format.h>

#include <cmath>
#include <functional>
#include <numeric>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

using capture_support::replay;
using capture_support::Replayed;
using testing_support::ScratchDir;
using testing_support::writeFile;

struct Present {
    double atMs = 0;       // the capture's clock
    double presentMs = 0;  // since the process's previous present on the chain
    double appStartMs = 0; // the game's own frame-start interval; 0 on a generated present
    bool generated = false;
    std::string chain = "0x1A2B3C4D";
};

enum class Extra { None, FrameGeneration, GeneratedBackToBack, SecondWindow };

constexpr int gameFrames = 600;
constexpr double gameMs = 12000;

// The game's frames, each followed by a generated present halfway to the next where frame
// generation is on (a capture starts with a frame the game rendered), or presented the moment the
// game's frame is (its own interval 0); another window's chain presents twice a second beside
// them.
std::vector<Present> shape(Extra extra)
{
    std::vector<double> frames;
    for (const auto& [count, ms] :
         {std::pair{240, 1000.0 / 60}, {120, 1000.0 / 30}, {240, 1000.0 / 60}}) {
        frames.insert(frames.end(), static_cast<std::size_t>(count), ms);
    }
    std::vector<Present> presents;
    double at = 0;
    double nextWindowAt = 500;
    for (const double ms : frames) {
        if (extra == Extra::FrameGeneration) {
            presents.push_back({at + ms, presents.empty() ? ms : ms / 2, ms, false});
            presents.push_back({at + ms * 1.5, ms / 2, 0, true});
        } else if (extra == Extra::GeneratedBackToBack) {
            presents.push_back({at + ms, ms, ms, false});
            presents.push_back({at + ms, 0, 0, true});
        } else {
            presents.push_back({at + ms, ms, ms, false});
        }
        at += ms;
        if (extra == Extra::SecondWindow && at >= nextWindowAt) {
            presents.push_back({nextWindowAt, 500, 500, false, "0x77770000"});
            nextWindowAt += 500;
        }
    }
    return presents;
}

std::string lower(std::string text)
{
    for (char& c : text) {
        c = sim::lowerAscii(c);
    }
    return text;
}

struct CellStyle {
    bool frameTypes = true;    // FrameType written (else the column stays empty of types)
    bool clockInMs = false;    // --qpc_time_ms: milliseconds under TimeInSeconds
    bool microseconds = false; // MangoHud up to 0.6.8
};

std::string cell(std::string_view column, const Present& p, const CellStyle& style)
{
    const std::string name = lower(std::string(column));
    const double ms = p.presentMs;
    if (name == "application") {
        return "Game.exe";
    }
    if (name == "processid") {
        return "4242";
    }
    if (name == "swapchainaddress") {
        return p.chain;
    }
    if (name == "runtime" || name == "presentruntime") {
        return "DXGI";
    }
    if (name == "presentmode") {
        return "Hardware: Independent Flip";
    }
    if (name == "frametype") {
        return p.generated ? "Intel XeSS-FG" : "Application";
    }
    if (name == "timeinseconds") {
        return fmt::format("{:.6f}", style.clockInMs ? p.atMs : p.atMs / 1000);
    }
    if (name == "time") {
        return fmt::format("{:.6f}", p.atMs / 1000);
    }
    if (name == "timeinms" || name == "cpustarttime" || name == "cpustarttimeinms" ||
        name == "cpustartqpctimeinms" || name == "cpuframeqpc") {
        return fmt::format("{:.4f}", p.atMs);
    }
    if (name == "msbetweenpresents" || name == "msbetweendisplaychange" ||
        name == "msuntildisplayed" || name == "displayedtime") {
        return fmt::format("{:.4f}", ms);
    }
    if (name == "msbetweenappstart" || name == "frametime") {
        return fmt::format("{:.4f}", p.appStartMs);
    }
    if (name == "cpubusy" || name == "mscpubusy") {
        return fmt::format("{:.4f}", p.appStartMs * 0.75);
    }
    if (name == "cpuwait" || name == "mscpuwait") {
        return fmt::format("{:.4f}", p.appStartMs * 0.25);
    }
    if (name == "msbetweensimulationstart" || name == "animationtime") {
        return "NA";
    }
    // MangoHud
    if (name == "fps") {
        return fmt::format("{:.1f}", 1000 / ms);
    }
    if (name == "elapsed") {
        return fmt::format("{:.0f}", p.atMs * 1e6);
    }
    return "0";
}

std::vector<std::string> columnsOf(const std::string& header)
{
    std::vector<std::string> columns;
    std::stringstream in(header);
    std::string column;
    while (std::getline(in, column, ',')) {
        columns.push_back(column);
    }
    return columns;
}

std::string table(const std::string& before, const std::string& header,
                  const std::vector<Present>& presents, const CellStyle& style = {},
                  std::size_t rowCells = SIZE_MAX)
{
    const std::vector<std::string> columns = columnsOf(header);
    std::string text = before + header + "\n";
    for (const Present& p : presents) {
        for (std::size_t i = 0; i < columns.size() && i < rowCells; ++i) {
            std::string value = cell(columns[i], p, style);
            if (style.microseconds && lower(columns[i]) == "frametime") {
                value = fmt::format("{:.0f}", p.presentMs * 1000);
            }
            if (!style.frameTypes && lower(columns[i]) == "frametype") {
                value = "";
            }
            text += (i == 0 ? "" : ",") + value;
        }
        text += "\n";
    }
    return text;
}

// The headers as each version writes them, from the tools' sources: the PresentMon console's
// PresentMon/CsvOutput.cpp and CommandLine.cpp; the PresentMon app's
// IntelPresentMon/Core/source/pmon/RawFrameDataMetricList.h; OCAT 1.6.3's PresentMon.cpp and
// Recording.cpp; CapFrameX's SessionRun.cs, SessionCaptureData.cs and
// PresentMonCaptureService.cs (its raw file); MangoHud's src/logging.cpp.
const std::string pm15 = "Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,PresentFlags,"
                         "AllowsTearing,PresentMode,Dropped,TimeInSeconds,MsBetweenPresents,"
                         "MsBetweenDisplayChange,MsInPresentAPI,MsUntilRenderComplete,"
                         "MsUntilDisplayed";
const std::string pm17 =
    "Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,PresentFlags,"
    "Dropped,TimeInSeconds,msInPresentAPI,msBetweenPresents,AllowsTearing,"
    "PresentMode,msUntilRenderComplete,msUntilDisplayed,msBetweenDisplayChange";
const std::string pmV1 = pm17 + ",msFlipDelay,msUntilRenderStart,msGPUActive,msSinceInput";
const std::string pm200 =
    "Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,PresentFlags,"
    "AllowsTearing,PresentMode,CPUStartTime,CPUBusy,CPUWait,GPULatency,"
    "GPUBusy,GPUWait,DisplayLatency,DisplayedTime,ClickToPhotonLatency";
const std::string pm230 =
    "Application,ProcessID,SwapChainAddress,PresentRuntime,SyncInterval,PresentFlags,AllowsTearing,"
    "PresentMode,CPUStartTime,FrameTime,CPUBusy,CPUWait,GPULatency,GPUTime,GPUBusy,GPUWait,"
    "DisplayLatency,DisplayedTime,AnimationError,AnimationTime,AllInputToPhotonLatency,"
    "ClickToPhotonLatency";
const std::string pmStart =
    "Application,ProcessID,SwapChainAddress,PresentRuntime,SyncInterval,PresentFlags,AllowsTearing,"
    "PresentMode";
const std::string pmNowAfterMode =
    "TimeInMs,MsBetweenSimulationStart,MsBetweenPresents,MsBetweenDisplayChange,MsInPresentAPI,"
    "MsRenderPresentLatency,MsUntilDisplayed,CPUStartTimeInMs,MsBetweenAppStart,MsCPUBusy,"
    "MsCPUWait,MsGPULatency,MsGPUTime,MsGPUBusy,MsGPUWait,MsAnimationError,AnimationTime,"
    "MsFlipDelay,MsAllInputToPhotonLatency,MsClickToPhotonLatency";
const std::string pmNow = pmStart + "," + pmNowAfterMode;
const std::string pmFrameTypes = pmStart + ",FrameType," + pmNowAfterMode;
const std::string pm231 =
    pmStart +
    ",TimeInMs,MsBetweenSimulationStart,MsBetweenPresents,MsBetweenDisplayChange,MsInPresentAPI,"
    "MsRenderPresentLatency,MsUntilDisplayed,MsPCLatency,CPUStartTimeInMs,MsBetweenAppStart,"
    "MsCPUBusy,MsCPUWait,MsGPULatency,MsGPUTime,MsGPUBusy,MsGPUWait,MsAnimationError,"
    "AnimationTime,MsAllInputToPhotonLatency,MsClickToPhotonLatency";
const std::string pmV2 = pmStart +
                         ",CPUStartTime,FrameTime,CPUBusy,CPUWait,GPULatency,GPUTime,GPUBusy,"
                         "GPUWait,DisplayLatency,DisplayedTime,AnimationError,AnimationTime,"
                         "MsFlipDelay,AllInputToPhotonLatency,ClickToPhotonLatency";
const std::string telemetry =
    "GPUPower,GPUVoltage,GPUFrequency,GPUTemperature,GPUUtilization,3D/ComputeUtilization,"
    "MediaUtilization,GPUMemoryPower,GPUMemoryVoltage,GPUMemoryFrequency,"
    "GPUMemoryEffectiveFrequency,GPUMemoryTemperature,GPUMemorySize,GPUMemorySizeUsed,"
    "GPUMemoryMaxBandwidth,GPUMemoryReadBandwidth,GPUMemoryWriteBandwidth,GPUFanSpeed[0],"
    "GPUFanSpeed[1],GPUFanSpeed[2],GPUFanSpeed[3],GPUPowerLimited,GPUTemperatureLimited,"
    "GPUCurrentLimited,GPUVoltageLimited,GPUUtilizationLimited,GPUMemoryPowerLimited,"
    "GPUMemoryTemperatureLimited,GPUMemoryCurrentLimited,GPUMemoryVoltageLimited,"
    "GPUMemoryUtilizationLimited,CPUUtilization,CPUPower,CPUTemperature,CPUFrequency";
const std::string app20 =
    "Application,ProcessID,Time,SwapChainAddress,PresentRuntime,SyncInterval,PresentFlags,"
    "AllowsTearing,PresentMode,CPUFrameQPC,FrameTime,CPUBusy,CPUWait,GPULatency,GPUTime,GPUBusy,"
    "GPUWait,DisplayLatency,DisplayedTime,ClickToPhotonLatency," +
    telemetry;
const std::string app21 =
    "Application,ProcessID,Time,SwapChainAddress,PresentRuntime,SyncInterval,PresentFlags,"
    "AllowsTearing,PresentMode,FrameType,CPUStartTime,FrameTime,CPUBusy,CPUWait,GPULatency,"
    "GPUTime,GPUBusy,GPUWait,DisplayLatency,DisplayedTime,AnimationError,AnimationTime,"
    "AllInputToPhotonLatency,ClickToPhotonLatency,InstrumentedLatency," +
    telemetry;
const std::string appNow =
    "Application,ProcessID,Time,SwapChainAddress,PresentRuntime,SyncInterval,PresentFlags,"
    "AllowsTearing,PresentMode,FrameType,TimeInSeconds,MsBetweenSimulationStart,"
    "MsBetweenPresents,MsBetweenDisplayChange,MsInPresentAPI,MsRenderPresentLatency,"
    "MsUntilDisplayed,CPUStartTime,MsBetweenAppStart,MsCPUBusy,MsCPUWait,MsGPULatency,MsGPUTime,"
    "MsGPUBusy,MsGPUWait,PSOCompileCount,MsPSOCompileTime,PSOCompileBusyPercent,MsAnimationError,"
    "AnimationTime,MsFlipDelay,MsAllInputToPhotonLatency,MsClickToPhotonLatency,"
    "InstrumentedLatency,MsPCLatency," +
    telemetry;
const std::string ocatRow =
    "Application,ProcessID,SwapChainAddress,Runtime,SyncInterval,PresentFlags,AllowsTearing,"
    "PresentMode,WasBatched,DwmNotified,Dropped,TimeInSeconds,MsBetweenPresents,"
    "MsBetweenDisplayChange,MsInPresentAPI,MsUntilRenderComplete,MsUntilDisplayed,"
    "MsEstimatedDriverLag,Width,Height";
const std::string ocat = ocatRow + ",Motherboard,OS,Processor,System RAM,Base Driver Version,"
                                   "Driver Package,GPU #,GPU,GPU Core Clock (MHz),"
                                   "GPU Memory Clock (MHz),GPU Memory (MB)";
const std::string capFrameXRaw =
    pmStart + ",TimeInSeconds,MsBetweenSimulationStart,MsBetweenPresents,MsBetweenDisplayChange,"
              "MsInPresentAPI,MsRenderPresentLatency,MsUntilDisplayed,CPUStartQPCTimeInMs,"
              "MsBetweenAppStart,MsCPUBusy,MsCPUWait,MsGPULatency,MsGPUTime,MsGPUBusy,MsGPUWait,"
              "MsAnimationError,AnimationTime,MsFlipDelay,EtwBufferFillPct,EtwBuffersInUse,"
              "EtwTotalBuffers,EtwEventsLost,EtwBuffersLost";
const std::string mangoSystem = "os,cpu,gpu,ram,kernel,driver,cpuscheduler\n"
                                "Arch Linux,AMD Ryzen 7 5800X,AMD Radeon RX 6800,32 GB,6.6.1,"
                                "Mesa 23.2,performance\n";
const std::string mango068 = "fps,frametime,cpu_load,gpu_load,cpu_temp,gpu_temp,gpu_core_clock,"
                             "gpu_mem_clock,gpu_vram_used,gpu_power,ram_used,elapsed";
const std::string mango069 = "fps,frametime,cpu_load,gpu_load,cpu_temp,gpu_temp,gpu_core_clock,"
                             "gpu_mem_clock,gpu_vram_used,gpu_power,ram_used,swap_used,"
                             "process_rss,elapsed";
const std::string mangoNow = "fps,frametime,cpu_load,cpu_power,gpu_load,cpu_temp,gpu_temp,"
                             "gpu_core_clock,gpu_mem_clock,gpu_vram_used,gpu_power,ram_used,"
                             "swap_used,process_rss,cpu_mhz,elapsed";

const std::string mangoVersioned(const std::string& version)
{
    return "v1\n" + version + "\n---------------------SYSTEM INFO---------------------\n" +
           mangoSystem + "--------------------FRAME METRICS--------------------\n";
}

// A row every 100 ms, as MangoHud logged by default up to 0.6.8: each the frame time of that
// moment.
std::vector<Present> sampledShape()
{
    std::vector<Present> samples;
    for (int at = 100; at <= 12000; at += 100) {
        const double ms = at > 4000 && at <= 8000 ? 1000.0 / 30 : 1000.0 / 60;
        samples.push_back({static_cast<double>(at), ms, ms, false});
    }
    return samples;
}

// OCAT's first row: the PresentMon cells, then the system's, four for each GPU.
std::string ocatCapture(int gpus)
{
    const std::vector<Present> presents = shape(Extra::None);
    const std::size_t rowCells = columnsOf(ocatRow).size();
    std::string text = table("", ocat, presents, {}, rowCells);
    std::string system = ",\"MSI MPG X570, rev 1\",Windows 10 Pro,AMD Ryzen 7 5800X,32 GB,"
                         "31.0.101,23.12.1," +
                         std::to_string(gpus);
    for (int gpu = 0; gpu < gpus; ++gpu) {
        system += ",Radeon RX 6800,2105,2000,16384";
    }
    const std::size_t firstRowEnd = text.find('\n', text.find('\n') + 1);
    return text.insert(firstRowEnd, system);
}

std::string capFrameXJson(const std::vector<std::vector<Present>>& runs)
{
    std::string text = R"({"Hash":"ab12","Info":{"ProcessName":"Game.exe","GameName":"Game",)"
                       R"("Comment":""},"Runs":[)";
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::string times;
        std::string frames;
        for (const Present& p : runs[r]) {
            times += fmt::format("{}{:.6f}", times.empty() ? "" : ",", p.atMs / 1000);
            frames += fmt::format("{}{:.4f}", frames.empty() ? "" : ",",
                                  p.generated ? 0.0 : p.appStartMs);
        }
        text += fmt::format(R"({}{{"Hash":"r{}","CaptureData":{{"TimeInSeconds":[{}],)"
                            R"("MsBetweenPresents":[{}]}}}})",
                            r == 0 ? "" : ",", r, times, frames);
    }
    return text + "]}";
}

struct ToolFile {
    const char* name; // the tool and version, as a test name
    std::function<std::string()> contents;
    const char* frameTimesFrom;
    std::uint64_t generated = 0;
    const char* rule = ""; // a part of the rule said, where one is applied
};

// A failing case names itself, not its bytes.
void PrintTo(const ToolFile& c, std::ostream* os)
{
    *os << c.name;
}

class EveryTool : public ::testing::TestWithParam<ToolFile> {};

TEST_P(EveryTool, replaysTheShapeTheGameRendered)
{
    const ToolFile& file = GetParam();
    ScratchDir dir;
    const auto path = dir / (std::string(file.name) + ".csv");
    writeFile(path, file.contents());
    const Replayed r = replay(path);
    EXPECT_EQ(r.summary.frameTimesFrom, file.frameTimesFrom);
    ASSERT_EQ(r.frames.size(), static_cast<std::size_t>(gameFrames));
    EXPECT_NEAR(std::accumulate(r.frames.begin(), r.frames.end(), 0.0), gameMs, 1.0);
    // The slow middle is there, at its place.
    EXPECT_NEAR(r.frames[0], 1000.0 / 60, 0.01);
    EXPECT_NEAR(r.frames[300], 1000.0 / 30, 0.01);
    EXPECT_NEAR(r.frames[599], 1000.0 / 60, 0.01);
    EXPECT_EQ(r.summary.generatedFrames, file.generated);
    ASSERT_EQ(r.summary.applications.size(), 1u);
    EXPECT_EQ(r.summary.applications.front().frames, static_cast<std::uint64_t>(gameFrames));
    EXPECT_EQ(r.summary.nonPositiveFrameTimes, 0u);
    if (*file.rule == '\0') {
        EXPECT_TRUE(r.summary.rules.empty()) << r.summary.rules.front();
        return;
    }
    ASSERT_EQ(r.summary.rules.size(), 1u);
    EXPECT_NE(r.summary.rules.front().find(file.rule), std::string::npos)
        << r.summary.rules.front();
}

std::function<std::string()> pm(const std::string& header, Extra extra = Extra::None,
                                CellStyle style = {})
{
    return [=] { return table("", header, shape(extra), style); };
}

const ToolFile toolFiles[] = {
    {"PresentMon_1_5", pm(pm15), "MsBetweenPresents"},
    {"PresentMon_1_7_to_1_10", pm(pm17), "msBetweenPresents"},
    {"PresentMon_2_v1_metrics", pm(pmV1), "msBetweenPresents"},
    {"PresentMon_2_0_0", pm(pm200), "CPUBusy + CPUWait", 0, "CPUBusy + CPUWait"},
    {"PresentMon_2_1_to_2_3_0", pm(pm230), "FrameTime"},
    {"PresentMon_2_3_1", pm(pm231), "MsBetweenPresents"},
    {"PresentMon_current", pm(pmNow), "MsBetweenPresents"},
    {"PresentMon_v2_metrics", pm(pmV2), "FrameTime"},
    {"PresentMon_track_frame_type", pm(pmFrameTypes, Extra::FrameGeneration), "MsBetweenAppStart",
     600,
     "1,200 presents, of which 600 generated frames the game never sees (FrameType other than "
     "Application): replayed the 600 it rendered, each its own frame-start interval, "
     "MsBetweenAppStart"},
    {"PresentMon_generated_without_types", pm(pmNow, Extra::FrameGeneration), "MsBetweenAppStart",
     600, "(MsBetweenAppStart 0: the game started no frame for them)"},
    {"PresentMon_generated_back_to_back", pm(pmNow, Extra::GeneratedBackToBack),
     "MsBetweenAppStart", 600, "(MsBetweenAppStart 0: the game started no frame for them)"},
    {"PresentMon_v2_metrics_generated", pm(pmV2, Extra::FrameGeneration), "FrameTime", 600,
     "each its own FrameTime"},
    {"PresentMon_second_window", pm(pmNow, Extra::SecondWindow), "MsBetweenPresents", 0,
     "2 swap chains presenting at the same time: replayed the one with the most presents, "
     "0x1A2B3C4D (600 presents); left out 0x77770000 (23 presents)"},
    {"PresentMon_app_2_0", pm(app20), "FrameTime"},
    {"PresentMon_app_2_1_to_2_3", pm(app21, Extra::FrameGeneration), "FrameTime", 600,
     "(FrameType other than Application)"},
    {"PresentMon_app_current", pm(appNow, Extra::FrameGeneration), "MsBetweenAppStart", 600,
     "(FrameType other than Application)"},
    {"PresentMon_app_current_unspecified_types", pm(appNow, Extra::None, {false}),
     "MsBetweenPresents"},
    {"OCAT_no_GPU", [] { return ocatCapture(0); }, "MsBetweenPresents"},
    {"OCAT_one_GPU", [] { return ocatCapture(1); }, "MsBetweenPresents"},
    {"OCAT_two_GPUs", [] { return ocatCapture(2); }, "MsBetweenPresents", 0,
     "system cells for more than one GPU"},
    {"CapFrameX_JSON", [] { return capFrameXJson({shape(Extra::None)}); },
     "Runs[0].CaptureData.MsBetweenPresents"},
    {"CapFrameX_JSON_generated_as_zero",
     [] { return capFrameXJson({shape(Extra::FrameGeneration)}); },
     "Runs[0].CaptureData.MsBetweenPresents", 600,
     "1,200 presents, of which 600 generated frames the game never sees (0.0 in "
     "MsBetweenPresents"},
    {"CapFrameX_legacy_CSV", pm(pm15), "MsBetweenPresents"},
    {"CapFrameX_Linux_layer",
     [] {
         return table("", "MsBetweenPresents,MsUntilRenderComplete,MsUntilDisplayed",
                      shape(Extra::None));
     },
     "MsBetweenPresents"},
    {"PresentMon_qpc_time_ms", pm(pmV1, Extra::None, {true, true}), "msBetweenPresents", 0,
     "TimeInSeconds holds milliseconds"},
    {"CapFrameX_raw_CSV",
     [] {
         return table("//Ignore=true\n", capFrameXRaw, shape(Extra::None), {true, true});
     },
     "MsBetweenPresents", 0, "TimeInSeconds holds milliseconds"},
    {"MangoHud_0_6_8_per_frame",
     [] {
         return table(mangoSystem, mango068, shape(Extra::None), {true, false, true});
     },
     "frametime", 0, "frametime in microseconds"},
    {"MangoHud_0_6_8_log_versioning",
     [] {
         return table(mangoVersioned("0.6.8"), mango068, shape(Extra::None), {true, false, true});
     },
     "frametime", 0, "frametime in microseconds"},
    {"MangoHud_current_log_versioning",
     [] { return table(mangoVersioned("0.8.2"), mangoNow, shape(Extra::None)); }, "frametime"},
    {"MangoHud_0_6_9_per_frame", [] { return table(mangoSystem, mango069, shape(Extra::None)); },
     "frametime"},
    {"MangoHud_current_per_frame", [] { return table(mangoSystem, mangoNow, shape(Extra::None)); },
     "frametime"},
};

INSTANTIATE_TEST_SUITE_P(files, EveryTool, ::testing::ValuesIn(toolFiles),
                         [](const auto& test) { return std::string(test.param.name); });

struct RefusedFile {
    const char* name;
    std::string contents;
    const char* why;
};

// A failing case names itself, not its bytes.
void PrintTo(const RefusedFile& c, std::ostream* os)
{
    *os << c.name;
}

class Refused : public ::testing::TestWithParam<RefusedFile> {};

TEST_P(Refused, withWhatToRecordInstead)
{
    const RefusedFile& file = GetParam();
    ScratchDir dir;
    writeFile(dir / file.name, file.contents);
    writeFile(dir / "Game_2025-01-31_20-00-00.csv", "beside the summary");
    try {
        replay(dir / file.name);
        ADD_FAILURE() << file.name << " was replayed";
    } catch (const sim::CaptureError& error) {
        EXPECT_NE(std::string(error.what()).find(file.why), std::string::npos) << error.what();
    }
}

const std::string samplesAdvice = "a log of samples, not of frames";

INSTANTIATE_TEST_SUITE_P(
    files, Refused,
    ::testing::Values(
        RefusedFile{"mangohud-0.6.8-sampled.csv",
                    table(mangoSystem, mango068, sampledShape(), {true, false, true}),
                    "(for MangoHud: a log interval of 0, log_interval=0)"},
        RefusedFile{"mangohud-current-sampled.csv", table(mangoSystem, mangoNow, sampledShape()),
                    "(for MangoHud: a log interval of 0, log_interval=0)"},
        RefusedFile{"presentmon-samples-in-ms.csv", table("", pmV1, sampledShape(), {true, true}),
                    samplesAdvice.c_str()},
        RefusedFile{"Game_2025-01-31_20-00-00_summary.csv",
                    "0.1% Min FPS,1% Min FPS,97% Percentile FPS,Average FPS,GPU Load,CPU Load\n"
                    "30.0,30.0,60.0,50.0,90.0,40.0",
                    "this is a summary, not frames: give the per-frame file "
                    "(Game_2025-01-31_20-00-00.csv, beside it)"},
        RefusedFile{"Game_2025-01-31_20-00-00-stats.csv",
                    "Duration,Total Frames,Average FPS,Minimum FPS,1st Percentile FPS,"
                    "5th Percentile FPS,Maximum FPS,AnimationErrorPerSecond,"
                    "AnimationErrorPerFrame\n12.0,600,50.0,30.0,30.0,30.0,60.0,0,0\n",
                    "(Game_2025-01-31_20-00-00.csv, beside it)"},
        RefusedFile{"lone-stats.csv",
                    "Duration,Total Frames,Average FPS,Minimum FPS\n12.0,600,50.0,30.0\n",
                    "give the per-frame file the capture tool wrote beside it"}),
    [](const auto& test) { return std::to_string(test.index); });

TEST(EveryTool, capFrameXRunsAreCountedAndPicked)
{
    ScratchDir dir;
    writeFile(dir / "two.json", capFrameXJson({shape(Extra::None), shape(Extra::FrameGeneration)}));
    writeFile(dir / "one.json", capFrameXJson({shape(Extra::None)}));
    writeFile(dir / "table.csv", table("", pmNow, shape(Extra::None)));
    EXPECT_EQ(sim::capFrameXRunCount(dir / "two.json"), 2u);
    EXPECT_EQ(sim::capFrameXRunCount(dir / "one.json"), 1u);
    EXPECT_EQ(sim::capFrameXRunCount(dir / "table.csv"), 0u);
    sim::CaptureOptions second;
    second.run = 1;
    const Replayed r = replay(dir / "two.json", second);
    EXPECT_EQ(r.summary.frameTimesFrom, "Runs[1].CaptureData.MsBetweenPresents");
    EXPECT_EQ(r.frames.size(), static_cast<std::size_t>(gameFrames));
    EXPECT_EQ(r.summary.generatedFrames, 600u);
}

TEST(EveryTool, swapChainsTakingTurnsAreOneGameMakingNewOnes)
{
    // A game that makes a new swap chain for a mode change presents on one, then the other.
    std::vector<Present> presents = shape(Extra::None);
    for (std::size_t i = 300; i < presents.size(); ++i) {
        presents[i].chain = "0x5E5E5E5E";
    }
    ScratchDir dir;
    writeFile(dir / "c.csv", table("", pmNow, presents));
    const Replayed r = replay(dir / "c.csv");
    EXPECT_EQ(r.frames.size(), static_cast<std::size_t>(gameFrames));
    EXPECT_TRUE(r.summary.rules.empty());
}

TEST(EveryTool, readWithoutRestartGivesTheSameFrames)
{
    ScratchDir dir;
    writeFile(dir / "c.csv", table("", pmFrameTypes, shape(Extra::FrameGeneration)));
    std::vector<double> frames;
    const sim::CaptureSummary summary =
        *sim::replayCapture(dir / "c.csv", {}, [&](double ms) { frames.push_back(ms); });
    EXPECT_EQ(frames, replay(dir / "c.csv").frames);
    EXPECT_EQ(summary.generatedFrames, 600u);
    EXPECT_EQ(summary.frameTimesFrom, "MsBetweenAppStart");
}

TEST(EveryTool, aFirstFrameWithoutAFrameStartIntervalIsTheGames)
{
    // The first present has no frame before it: its frame-start interval is 0, and no more.
    ScratchDir dir;
    writeFile(dir / "c.csv", "Application,MsBetweenPresents,MsBetweenAppStart\n"
                             "Game.exe,16.6,0\n"
                             "Game.exe,16.8,16.7\n"
                             "Game.exe,16.5,16.6\n");
    const Replayed r = replay(dir / "c.csv");
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 16.8, 16.5}));
    EXPECT_EQ(r.summary.generatedFrames, 0u);
    EXPECT_TRUE(r.summary.rules.empty());
}

TEST(EveryTool, frameTypesDecideOverAZeroFrameStart)
{
    // A game frame whose frame-start interval is 0 (PresentMon's first frame of a process) is
    // still the game's where the capture says so; it is replayed as the time since the one before.
    ScratchDir dir;
    writeFile(dir / "c.csv", "Application,FrameType,MsBetweenPresents,MsBetweenAppStart\n"
                             "Game.exe,Application,16.6,0\n"
                             "Game.exe,AMD AFMF,8.4,0\n"
                             "Game.exe,Application,8.3,16.9\n"
                             "Game.exe,Unspecified,16.5,16.4\n");
    const Replayed r = replay(dir / "c.csv");
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 16.9, 16.4}));
    EXPECT_EQ(r.summary.generatedFrames, 1u);
}

// The machine as the capture names it, for the report: CapFrameX's processor, GPU and comment, and
// MangoHud's system line (with log_versioning's banners too); nothing from a file that names none.
TEST(CaptureSystem, isWhatTheFileSaysOfTheMachine)
{
    using System = std::vector<std::pair<std::string, std::string>>;
    ScratchDir dir;
    writeFile(dir / "cfx.json",
              R"({"Info": {"ProcessName": "Game.exe", "Processor": "Ryzen 7", "GPU": "RX 6800", )"
              R"("Comment": "downtown, rain", "GameName": "Game"}, )"
              R"("Runs": [{"CaptureData": {"MsBetweenPresents": [16.6, 16.7]}}]})");
    const struct {
        std::filesystem::path file;
        System system;
    } cases[] = {
        {dir / "cfx.json",
         {{"processor", "Ryzen 7"}, {"GPU", "RX 6800"}, {"comment", "downtown, rain"}}},
        {capture_support::fixtures / "mangohud.csv",
         {{"system", "Debian GNU/Linux 12"},
          {"processor", "AMD Ryzen 5 5600X 6-Core Processor"},
          {"GPU", "AMD Radeon RX 6700 XT"},
          {"memory", "31.2 GiB (32768000 kB)"},
          {"kernel", "6.1.0-13-amd64"},
          {"driver", "Mesa 23.2.1"},
          {"CPU scheduler", "performance"}}},
        {capture_support::fixtures / "tools" / "mangohud-0.6.8-log-versioning.csv",
         {{"system", "Arch Linux"},
          {"processor", "AMD Ryzen 7 5800X"},
          {"GPU", "AMD Radeon RX 6800"},
          {"memory", "32 GB"},
          {"kernel", "6.6.1"},
          {"driver", "Mesa 23.2"},
          {"CPU scheduler", "performance"}}},
        {capture_support::captures / "presentmon-1.csv", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replay(c.file).summary.system, c.system) << c.file;
    }
}

} // namespace
