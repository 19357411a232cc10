// The simulated host's own promises: scheduling, the vehicle list, and loud faults.
#include "host/natives.h"

#include "test_support.h"

#include <cmath>
#include <vector>

namespace {

using testing_support::SimTest;

std::vector<int> observed;

void countingScript()
{
    int local = 0;
    int onStack[64];
    for (int& v : onStack) {
        v = 7;
    }
    for (;;) {
        observed.push_back(local++);
        observed.push_back(onStack[63]);
        scriptWait(0);
    }
}

void returningScript()
{
    observed.push_back(-1);
}

class SimHostTest : public SimTest {
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        observed.clear();
    }
};

TEST_F(SimHostTest, scriptRunsOncePerFrameWithItsStackKept)
{
    scriptRegister(nullptr, countingScript);
    EXPECT_TRUE(observed.empty()) << "the script must not run inside registration";
    for (int frame = 0; frame < 3; ++frame) {
        EXPECT_TRUE(sim::runFrame());
    }
    EXPECT_EQ(observed, (std::vector<int>{0, 7, 1, 7, 2, 7}));
    EXPECT_EQ(sim::host().record.waits, 3u);
}

TEST_F(SimHostTest, returnedScriptIsNotResumedAgainUntilRestarted)
{
    scriptRegister(nullptr, returningScript);
    EXPECT_FALSE(sim::runFrame());
    EXPECT_FALSE(sim::runFrame());
    EXPECT_EQ(observed, (std::vector<int>{-1}));
    sim::restartScript();
    EXPECT_FALSE(sim::runFrame());
    EXPECT_EQ(observed, (std::vector<int>{-1, -1}));
}

TEST_F(SimHostTest, restartDropsASuspendedScriptAndStartsAfresh)
{
    scriptRegister(nullptr, countingScript);
    sim::runFrame();
    sim::runFrame();
    sim::restartScript();
    sim::runFrame();
    EXPECT_EQ(observed, (std::vector<int>{0, 7, 1, 7, 0, 7}));
}

TEST_F(SimHostTest, vehicleListHonoursTheCapacity)
{
    for (int i = 0; i < 10; ++i) {
        sim::addVehicle(static_cast<float>(i), 0, 0);
    }
    int handles[6];
    std::fill(std::begin(handles), std::end(handles), -99);
    EXPECT_EQ(worldGetAllVehicles(handles, 4), 4);
    EXPECT_EQ(handles[3], sim::host().world.vehicles[3].handle);
    EXPECT_EQ(handles[4], -99) << "wrote past the capacity";
    EXPECT_EQ(worldGetAllVehicles(handles, 0), 0);
    EXPECT_EQ(worldGetAllVehicles(handles, -5), 0);
}

TEST_F(SimHostTest, nativesActOnTheWorld)
{
    sim::host().world.playerX = 10.0f;
    const Entity parked = sim::addVehicle(13.0f, 4.0f, 0.0f);
    const Entity stale = sim::addVehicle(0, 0, 0, false, false);
    EXPECT_TRUE(doesEntityExist(parked));
    EXPECT_FALSE(doesEntityExist(stale));
    EXPECT_FALSE(doesEntityExist(12345));
    const Vec3 player = getEntityCoords(getPlayerPed(), 1);
    const Vec3 car = getEntityCoords(parked, 1);
    EXPECT_FLOAT_EQ(distanceBetweenCoords(player.x, player.y, player.z, car.x, car.y, car.z, 1),
                    5.0f);
    EXPECT_FLOAT_EQ(distanceBetweenCoords(0, 0, 0, 1, 2, 2, 1), 3.0f); // all three axes count
    EXPECT_FALSE(isMissionEntity(parked));
    setAsMissionEntity(parked, 1, 1);
    EXPECT_TRUE(isMissionEntity(parked));
    Entity veh = parked;
    deleteVehicle(&veh);
    EXPECT_EQ(veh, 0);
    EXPECT_FALSE(doesEntityExist(parked));
    EXPECT_EQ(sim::host().world.vehicles.size(), 1u);
}

using SimHostDeathTest = SimHostTest;

TEST_F(SimHostDeathTest, unknownHashIsALoudFault)
{
    EXPECT_DEATH(invokeNative<std::int32_t>(0x1234), "unknown native hash 0x0000000000001234");
}

TEST_F(SimHostDeathTest, wrongSlotCountIsALoudFault)
{
    EXPECT_DEATH(invokeNative<std::int32_t>(nativeHash::doesEntityExist, 1, 2),
                 "doesEntityExist takes 1 slots, got 2");
}

TEST_F(SimHostDeathTest, waitOutsideTheScriptIsALoudFault)
{
    EXPECT_DEATH(scriptWait(0), "outside the script");
}

} // namespace
