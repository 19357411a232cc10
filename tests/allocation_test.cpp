// The plug-in allocates nothing per frame and nothing in a purge: counted with a replaced global
// operator new, in its own test program.
#include "governor/purge.h"

#include "test_support.h"

#include <cstdlib>
#include <new>

namespace {

bool counting = false;
long allocations = 0;

void* allocate(std::size_t size)
{
    if (counting) {
        ++allocations;
    }
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}

} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
void operator delete(void* memory) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory) noexcept
{
    std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

template <class Work> long allocationsDuring(Work&& work)
{
    allocations = 0;
    counting = true;
    work();
    counting = false;
    return allocations;
}

class AllocationTest : public testing_support::GameTest {
  protected:
    void SetUp() override
    {
        GameTest::SetUp();
        sim::loadPlugin();
        frames(2, 0.01f); // the script's start reads its settings: allowed to allocate once
    }

    static void frames(int count, float seconds)
    {
        sim::host().clock.frameTimeSeconds = seconds;
        for (int i = 0; i < count; ++i) {
            sim::runFrame();
        }
    }
};

TEST_F(AllocationTest, passesInEveryStateAllocateNothing)
{
    EXPECT_EQ(allocationsDuring([] { frames(100, 0.01f); }), 0) << "Normal";
    EXPECT_EQ(allocationsDuring([] { frames(100, 0.025f); }), 0) << "to Moderate and in it";
    frames(1, 0.04f); // Critical: the first purge and its log line
    ASSERT_EQ(sim::host().record.vehicleListings, 1u);
    EXPECT_EQ(allocationsDuring([] { frames(100, 0.04f); }), 0) << "Critical, no purge due";
    EXPECT_EQ(sim::host().record.vehicleListings, 1u);
}

TEST_F(AllocationTest, purgeOf1024VehiclesAllocatesNothing)
{
    for (int i = 0; i < 1024; ++i) {
        sim::addVehicle(i % 2 == 0 ? 10.0f : 100.0f, 0, 0);
    }
    EXPECT_EQ(allocationsDuring([] { purgeDistantVehicles(50.0f); }), 0);
    EXPECT_EQ(sim::host().world.vehicles.size(), 512u);
}

} // namespace
