// From load to loop: the plug-in's entry and its per-frame pass, driven by the simulated host.
#include "governor/main.h"

#include "test_support.h"

#include <algorithm>
#include <vector>

namespace {

using testing_support::readFile;
using testing_support::writeFile;

class MainLoopTest : public testing_support::GameTest {
  protected:
    void settings(const std::string& text) { writeFile(game / "Tarnwick.ini", text); }

    // One frame of frameSeconds: the script's pass, then the clock moves on.
    void frame(float frameSeconds)
    {
        sim::host().clock.frameTimeSeconds = frameSeconds;
        sim::runFrame();
        sim::host().clock.tickMs += static_cast<std::uint32_t>(frameSeconds * 1000.0f);
    }

    static std::uint64_t purges() { return sim::host().record.vehicleListings; }

    std::size_t logLines() const
    {
        const std::string text = readFile(game / "Tarnwick.log");
        return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    }
};

TEST_F(MainLoopTest, loadOnlyRegisters)
{
    sim::loadPlugin();
    EXPECT_EQ(sim::host().script.registrations, 1);
    EXPECT_NE(sim::host().script.registeredModule, nullptr);
    EXPECT_TRUE(sim::host().machine.profileReads.empty()) << "the script ran inside the entry";
    EXPECT_EQ(sim::host().record.nativeCalls, 0u);
}

TEST_F(MainLoopTest, attachRegistersTheScriptWithTheLibrarysOwnModule)
{
    sim::host().record.recording = true;
    auto* module = reinterpret_cast<ModuleHandle>(0x1234);
    attachPlugin(module);
    EXPECT_EQ(sim::host().record.calls,
              (std::vector<sim::HookCall>{{sim::HookOp::ScriptRegister, 0x1234}}));
    EXPECT_EQ(sim::host().script.registeredModule, module);
}

TEST_F(MainLoopTest, disabledReturnsWithoutOtherKeysOrLog)
{
    settings("[Main]\nEnabled=0\nLogging=0\n");
    sim::loadPlugin();
    EXPECT_FALSE(sim::runFrame());
    EXPECT_EQ(sim::host().machine.profileReads,
              (std::vector<sim::ProfileRead>{{"Main", "Enabled"}}));
    EXPECT_EQ(sim::host().record.waits, 0u);
    EXPECT_EQ(sim::host().record.nativeCalls, 0u);
    EXPECT_TRUE(loggingEnabled) << "keeps its initial value";
    EXPECT_FALSE(std::filesystem::exists(game / "Tarnwick.log"));
}

TEST_F(MainLoopTest, noSettingsFileRunsTheDefaults)
{
    const Entity beyond = sim::addVehicle(50.5f, 0, 0);
    const Entity within = sim::addVehicle(49.5f, 0, 0);
    sim::loadPlugin();
    frame(1.0f / 30.0f);                                    // 30 fps: Moderate
    frame(1.0f / 30.0f);                                    // Critical, purge
    EXPECT_EQ(sim::host().machine.profileReads.size(), 6u); // Record last
    EXPECT_EQ(sim::findVehicle(beyond), nullptr);
    EXPECT_NE(sim::findVehicle(within), nullptr);
    EXPECT_EQ(logLines(), 1u);
}

TEST_F(MainLoopTest, slowFramesPurgeOnTheSecondAndThenAfterTheIntervalFromThePurgesEnd)
{
    for (int i = 0; i < 20; ++i) {
        sim::addVehicle(10.0f, 0, 0); // near: looked at, never deleted
    }
    // The purge's 3 + 20 * 4 native calls take simulated time, so its end is 83 ms after its start.
    sim::host().clock.tickPerNativeCallMs = 1;
    sim::loadPlugin();
    frame(0.04f);
    EXPECT_EQ(purges(), 0u) << "the first slow frame only reaches Moderate";
    frame(0.04f);
    ASSERT_EQ(purges(), 1u);
    const std::uint32_t purgeEnded = sim::host().clock.tickMs - 40;
    for (int i = 0; i < 1000 && purges() == 1; ++i) {
        // The tick is read after the pass's two frame-time calls.
        const std::uint32_t readAt = sim::host().clock.tickMs + 2;
        frame(0.04f);
        if (purges() == 2) {
            EXPECT_GT(readAt - purgeEnded, 7000u);
        } else {
            EXPECT_LE(readAt - purgeEnded, 7000u);
        }
    }
    EXPECT_EQ(purges(), 2u);
    EXPECT_EQ(logLines(), 2u);
}

TEST_F(MainLoopTest, loggingOffPurgesWithoutAnyLine)
{
    settings("[Main]\nLogging=0\n");
    sim::loadPlugin();
    for (int i = 0; i < 400; ++i) {
        frame(0.05f);
    }
    EXPECT_GE(purges(), 2u);
    EXPECT_FALSE(loggingEnabled);
    EXPECT_FALSE(std::filesystem::exists(game / "Tarnwick.log"));
}

TEST_F(MainLoopTest, everyPassEndsWithOneWaitOfZero)
{
    sim::host().record.recording = true;
    sim::loadPlugin();
    const float frameTimes[] = {0.016f, 0.04f, 0.04f, 0.0f, -1.0f, 0.04f, 0.01f};
    for (const float seconds : frameTimes) {
        frame(seconds);
    }
    std::vector<std::uint64_t> waits;
    for (const sim::HookCall& call : sim::host().record.calls) {
        if (call.op == sim::HookOp::ScriptWait) {
            waits.push_back(call.value);
        }
    }
    EXPECT_EQ(waits, std::vector<std::uint64_t>(std::size(frameTimes), 0));
}

TEST_F(MainLoopTest, criticalWithinTheIntervalWaitsForItsRest)
{
    sim::loadPlugin();
    frame(0.04f);
    frame(0.04f); // purge at 100040
    frame(0.01f); // 100 fps: Moderate
    frame(0.01f); // Normal
    frame(0.04f);
    frame(0.04f); // Critical again, well within 7000 ms
    EXPECT_EQ(purges(), 1u);
}

TEST_F(MainLoopTest, secondCallStartsAfresh)
{
    sim::loadPlugin();
    frame(0.04f);
    frame(0.04f);
    ASSERT_EQ(purges(), 1u);
    settings("[Main]\nLogging=0\n[Settings]\nFPS_Moderate=20\n");
    sim::restartScript();
    frame(0.04f); // 25 fps: above 20, so Normal under the new settings
    frame(0.04f);
    EXPECT_EQ(sim::host().machine.profileReads.size(), 12u);
    EXPECT_FALSE(loggingEnabled);
    EXPECT_EQ(purges(), 1u);
}

} // namespace
