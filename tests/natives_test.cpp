// The typed layer, observed through the simulated hook's record of every call.
#include "host/natives.h"

#include "test_support.h"

#include <bit>
#include <vector>

namespace {

using sim::HookCall;
using sim::HookOp;

class NativesTest : public testing_support::SimTest {
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::host().record.recording = true;
    }
    std::vector<HookCall>& calls() { return sim::host().record.calls; }
    std::vector<std::uint64_t> pushedSlots() const
    {
        std::vector<std::uint64_t> slots;
        for (const HookCall& call : sim::host().record.calls) {
            if (call.op == HookOp::NativePush64) {
                slots.push_back(call.value);
            }
        }
        return slots;
    }
};

constexpr std::uint64_t sentinel = 0xCCCCCCCCCCCCCCCCull;

std::uint64_t bitsOf(float value)
{
    return std::bit_cast<std::uint32_t>(value);
}

TEST_F(NativesTest, wrapperWithoutArgumentsMakesExactlyTwoHookCalls)
{
    sim::host().clock.frameTimeSeconds = 0.025f;
    EXPECT_EQ(getFrameTime(), 0.025f);
    const std::vector<HookCall> expected{{HookOp::NativeInit, nativeHash::getFrameTime},
                                         {HookOp::NativeCall, nativeHash::getFrameTime}};
    EXPECT_EQ(calls(), expected);
}

TEST_F(NativesTest, distancePushesSevenSlotsInDeclaredOrder)
{
    EXPECT_FLOAT_EQ(distanceBetweenCoords(1.0f, 2.0f, 3.0f, 4.0f, 6.0f, 15.0f, 1), 13.0f);
    const std::vector<std::uint64_t> expected{
        bitsOf(1.0f), bitsOf(2.0f), bitsOf(3.0f), bitsOf(4.0f), bitsOf(6.0f), bitsOf(15.0f), 1};
    EXPECT_EQ(pushedSlots(), expected);
    ASSERT_EQ(calls().size(), 9u);
    EXPECT_EQ(calls().front(), (HookCall{HookOp::NativeInit, nativeHash::distanceBetweenCoords}));
}

TEST_F(NativesTest, slotsHoldTheArgumentsOwnBytesAtTheLowEnd)
{
    nativeInit(nativeHash::getFrameTime); // slots are only taken inside a call being built
    pushArg(std::int32_t{-1});
    pushArg(1.0f);
    pushArg(-0.0f);
    pushArg(std::int32_t{0x7FFFFFFF});
    const std::vector<std::uint64_t> expected{0x00000000FFFFFFFFull, 0x000000003F800000ull,
                                              0x0000000080000000ull, 0x000000007FFFFFFFull};
    EXPECT_EQ(pushedSlots(), expected);
}

TEST_F(NativesTest, pointerArgumentFillsTheWholeSlot)
{
    const Entity handle = sim::addVehicle(0, 0, 0);
    Entity veh = handle;
    deleteVehicle(&veh);
    ASSERT_EQ(pushedSlots().size(), 1u);
    EXPECT_EQ(pushedSlots()[0], reinterpret_cast<std::uintptr_t>(&veh));
    EXPECT_EQ(veh, 0); // the native may write through it
    EXPECT_EQ(sim::findVehicle(handle), nullptr);
}

TEST_F(NativesTest, vec3IsReadFromBytesZeroEightAndSixteen)
{
    const std::uint64_t x = bitsOf(1.5f) | (sentinel << 32);
    const std::uint64_t y = bitsOf(-2.25f) | (sentinel << 32);
    const std::uint64_t z = bitsOf(1000.0f) | (sentinel << 32);
    sim::host().faults.rawResult = std::array<std::uint64_t, 3>{x, y, z};
    const Vec3 position = getEntityCoords(sim::host().world.playerPed, 1);
    EXPECT_EQ(position.x, 1.5f);
    EXPECT_EQ(position.y, -2.25f);
    EXPECT_EQ(position.z, 1000.0f);
    EXPECT_EQ(pushedSlots(), (std::vector<std::uint64_t>{1, 1}));
}

TEST_F(NativesTest, integerAndBooleanResultsComeFromTheLowFourBytesOnly)
{
    sim::host().faults.rawResult =
        std::array<std::uint64_t, 3>{0xDEADBEEF00000000ull, sentinel, sentinel};
    EXPECT_FALSE(doesEntityExist(1)); // high bytes set, low bytes 0
    sim::host().faults.rawResult =
        std::array<std::uint64_t, 3>{0xDEADBEEF00000007ull, sentinel, sentinel};
    EXPECT_EQ(getPlayerPed(), 7);
    sim::host().faults.rawResult =
        std::array<std::uint64_t, 3>{0xFFFFFFFF00000002ull, sentinel, sentinel};
    EXPECT_TRUE(isMissionEntity(1));
}

TEST_F(NativesTest, claimPushesTheEntityAndTwoOnes)
{
    const Entity handle = sim::addVehicle(0, 0, 0);
    setAsMissionEntity(handle, 1, 1);
    EXPECT_EQ(pushedSlots(),
              (std::vector<std::uint64_t>{static_cast<std::uint32_t>(handle), 1, 1}));
    EXPECT_TRUE(sim::findVehicle(handle)->mission);
}

} // namespace
