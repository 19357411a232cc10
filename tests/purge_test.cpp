// The purge, observed through the simulated hook's record of every call.
#include "governor/purge.h"

#include "host/natives.h"
#include "test_support.h"

#include <limits>
#include <vector>

namespace {

using sim::HookCall;
using sim::HookOp;

class PurgeTest : public testing_support::SimTest {
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::host().record.recording = true;
    }

    // The natives called, in order, with the world-list call shown as hash 0.
    static std::vector<std::uint64_t> nativeSequence()
    {
        std::vector<std::uint64_t> sequence;
        for (const HookCall& call : sim::host().record.calls) {
            if (call.op == HookOp::NativeCall) {
                sequence.push_back(call.value);
            } else if (call.op == HookOp::WorldGetAllVehicles) {
                sequence.push_back(0);
            }
        }
        return sequence;
    }
};

namespace hash = nativeHash;

TEST_F(PurgeTest, emptyWorldAsksOnlyForThePlayerAndTheList)
{
    purgeDistantVehicles(50.0f);
    EXPECT_EQ(nativeSequence(),
              (std::vector<std::uint64_t>{hash::getPlayerPed, hash::getEntityCoords, 0}));
}

TEST_F(PurgeTest, smallWorldSequenceAndOutcome)
{
    sim::World& world = sim::host().world;
    world.playerX = 100.0f;
    const Entity mission = sim::addVehicle(900.0f, 0, 0, true);
    const Entity gone = sim::addVehicle(0, 0, 0, false, false);
    const Entity atRange = sim::addVehicle(150.0f, 0, 0);
    const Entity far = sim::addVehicle(100.0f, 0, 50.5f); // beyond on the vertical axis alone
    const Entity near = sim::addVehicle(120.0f, 10.0f, 0);

    purgeDistantVehicles(50.0f);

    const std::vector<std::uint64_t> perAmbient{hash::doesEntityExist, hash::isMissionEntity,
                                                hash::getEntityCoords, hash::distanceBetweenCoords};
    std::vector<std::uint64_t> expected{hash::getPlayerPed, hash::getEntityCoords, 0};
    expected.insert(expected.end(), {hash::doesEntityExist, hash::isMissionEntity}); // mission
    expected.insert(expected.end(), {hash::doesEntityExist});                        // gone
    expected.insert(expected.end(), perAmbient.begin(), perAmbient.end());           // at range
    expected.insert(expected.end(), perAmbient.begin(), perAmbient.end());           // far
    expected.insert(expected.end(), {hash::setAsMissionEntity, hash::deleteVehicle});
    expected.insert(expected.end(), perAmbient.begin(), perAmbient.end()); // near
    EXPECT_EQ(nativeSequence(), expected);

    EXPECT_NE(sim::findVehicle(mission), nullptr);
    EXPECT_NE(sim::findVehicle(gone), nullptr);
    EXPECT_NE(sim::findVehicle(atRange), nullptr) << "exactly at the range stays";
    EXPECT_EQ(sim::findVehicle(far), nullptr);
    EXPECT_NE(sim::findVehicle(near), nullptr);
}

TEST_F(PurgeTest, deletionIsGivenACopySoTheArrayKeepsTheHandle)
{
    const Entity first = sim::addVehicle(500.0f, 0, 0);
    const Entity second = sim::addVehicle(600.0f, 0, 0);
    std::uint64_t previous = 0;
    int checkedAfterDelete = 0;
    sim::host().faults.onNative = [&](std::uint64_t hash) {
        const sim::Host& h = sim::host();
        if (hash == hash::deleteVehicle) {
            const auto* given = reinterpret_cast<const Entity*>(
                static_cast<std::uintptr_t>(h.record.calls[h.record.calls.size() - 2].value));
            EXPECT_FALSE(given >= h.record.listedHandles &&
                         given < h.record.listedHandles + h.record.listedCapacity)
                << "deleteVehicle was given the array element itself";
        }
        if (previous == hash::deleteVehicle) {
            EXPECT_EQ(h.record.listedHandles[checkedAfterDelete],
                      checkedAfterDelete == 0 ? first : second);
            ++checkedAfterDelete;
        }
        previous = hash;
    };
    sim::addVehicle(0, 0, 0); // a near one after them, so a native follows the second deletion
    purgeDistantVehicles(50.0f);
    EXPECT_EQ(checkedAfterDelete, 2);
    EXPECT_EQ(sim::host().world.vehicles.size(), 1u);
}

TEST_F(PurgeTest, rangeZeroDeletesEveryAmbientVehicleNotOnThePlayer)
{
    sim::addVehicle(0.001f, 0, 0);
    sim::addVehicle(0, 0, 0); // distance 0 is not beyond 0
    sim::addVehicle(3000.0f, 0, 0);
    sim::addVehicle(1.0f, 0, 0, true);
    purgeDistantVehicles(0.0f);
    EXPECT_EQ(sim::host().world.vehicles.size(), 2u);
}

TEST_F(PurgeTest, nanRangeOrDistanceDeletesNothing)
{
    sim::addVehicle(3000.0f, 0, 0);
    purgeDistantVehicles(std::numeric_limits<float>::quiet_NaN());
    sim::addVehicle(std::numeric_limits<float>::quiet_NaN(), 0, 0);
    purgeDistantVehicles(50.0f);
    EXPECT_EQ(sim::host().world.vehicles.size(), 1u);
}

TEST_F(PurgeTest, askesForTheFullCapacityAndLooksOnlyAtListedVehicles)
{
    for (int i = 0; i < 1500; ++i) {
        sim::addVehicle(1000.0f + static_cast<float>(i), 0, 0);
    }
    purgeDistantVehicles(50.0f);
    bool askedFullCapacity = false;
    for (const HookCall& call : sim::host().record.calls) {
        askedFullCapacity |= call.op == HookOp::WorldGetAllVehicles && call.value == 1024;
    }
    EXPECT_TRUE(askedFullCapacity);
    EXPECT_EQ(sim::host().world.vehicles.size(), 1500u - 1024u);
}

TEST_F(PurgeTest, countBeyondTheCapacityIsHeldToTheArray)
{
    for (int i = 0; i < 1100; ++i) {
        sim::addVehicle(1000.0f, 0, 0);
    }
    sim::host().faults.reportedVehicleCount = 5000;
    purgeDistantVehicles(50.0f);
    EXPECT_EQ(sim::host().world.vehicles.size(), 1100u - 1024u);
}

TEST_F(PurgeTest, negativeCountLooksAtNothing)
{
    sim::addVehicle(1000.0f, 0, 0);
    sim::host().faults.reportedVehicleCount = -3;
    purgeDistantVehicles(50.0f);
    EXPECT_EQ(nativeSequence().size(), 3u);
    EXPECT_EQ(sim::host().world.vehicles.size(), 1u);
}

class VanishingVehicles : public testing_support::SimTest {};

TEST_F(VanishingVehicles, handlesGoneBetweenListingAndDeletionAreHarmless)
{
    sim::host().world.playerX = 100.0f;
    const Entity vanishing = sim::addVehicle(500.0f, 0, 0);
    const Entity stays = sim::addVehicle(600.0f, 0, 0);
    // The game removes the first vehicle right after the purge asked whether it exists.
    bool removed = false;
    sim::host().faults.onNative = [&](std::uint64_t hash) {
        if (hash == nativeHash::isMissionEntity && !removed) {
            removed = true;
            sim::removeVehicle(vanishing);
        }
    };
    purgeDistantVehicles(50.0f);
    EXPECT_TRUE(removed);
    EXPECT_EQ(sim::findVehicle(vanishing), nullptr);
    EXPECT_EQ(sim::findVehicle(stays), nullptr) << "the scan went on past the vanished handle";
    EXPECT_TRUE(sim::host().world.vehicles.empty());
}

} // namespace
