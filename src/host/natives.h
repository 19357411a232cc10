// Typed calls of the game's natives over the hook's three untyped primitives. invokeNative is the
// one place where argument and result types are erased; the rest of the plug-in calls the wrappers.
#pragma once

#include "host/hook.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

static_assert(std::endian::native == std::endian::little, "slots hold arguments at their low end");

// A position as natives return it: each coordinate at the start of its own 8-byte slot.
struct Vec3 {
    float x;            // bytes 0-3
    std::uint32_t xPad; // bytes 4-7, never read
    float y;            // bytes 8-11
    std::uint32_t yPad; // bytes 12-15, never read
    float z;            // bytes 16-19
    std::uint32_t zPad; // bytes 20-23, never read
};
static_assert(sizeof(Vec3) == 24);
static_assert(offsetof(Vec3, x) == 0 && offsetof(Vec3, y) == 8 && offsetof(Vec3, z) == 16);

namespace nativeHash {
inline constexpr std::uint64_t getPlayerPed = 0xD80958FC74E988A6;
inline constexpr std::uint64_t getEntityCoords = 0x3FEF770D40960D5A;
inline constexpr std::uint64_t doesEntityExist = 0x7239B21A38F536BA;
inline constexpr std::uint64_t isMissionEntity = 0x0A7B270912999B3C;
inline constexpr std::uint64_t distanceBetweenCoords = 0xF1B760881820C952;
inline constexpr std::uint64_t setAsMissionEntity = 0xAD738C3085FE7E11;
inline constexpr std::uint64_t deleteVehicle = 0xEA386986E786A54F;
inline constexpr std::uint64_t getFrameTime = 0x15C40837039FFAF7;
} // namespace nativeHash

// Zero the slot and copy the argument's own bytes into its low end: no sign extension.
template <class T> void pushArg(T value)
{
    static_assert(sizeof(T) <= sizeof(std::uint64_t), "error, value size > 64 bit");
    static_assert(std::is_trivially_copyable_v<T>);
    std::uint64_t slot = 0;
    std::memcpy(&slot, &value, sizeof(T));
    nativePush64(slot);
}

// The widest result any native of ours answers with: a Vec3, three slots.
inline constexpr std::size_t maxResultBytes = 3 * sizeof(std::uint64_t);

// One native call; the result is read at once, before any further call can reuse the slots.
template <class R, class... Args> R invokeNative(std::uint64_t hash, Args... args)
{
    static_assert((... && (sizeof(Args) <= sizeof(std::uint64_t))), "error, value size > 64 bit");
    static_assert(sizeof(R) <= maxResultBytes, "error, result size > 192 bit");
    static_assert(std::is_trivially_copyable_v<R>);
    nativeInit(hash);
    (pushArg(args), ...);
    const std::uint64_t* slots = nativeCall();
    R result;
    std::memcpy(&result, slots, sizeof(R));
    return result;
}

inline Entity getPlayerPed()
{
    return invokeNative<Entity>(nativeHash::getPlayerPed);
}
inline Vec3 getEntityCoords(Entity entity, std::int32_t flag)
{
    return invokeNative<Vec3>(nativeHash::getEntityCoords, entity, flag);
}
inline bool doesEntityExist(Entity entity)
{
    return invokeNative<std::int32_t>(nativeHash::doesEntityExist, entity) != 0;
}
inline bool isMissionEntity(Entity entity)
{
    return invokeNative<std::int32_t>(nativeHash::isMissionEntity, entity) != 0;
}
inline float distanceBetweenCoords(float x1, float y1, float z1, float x2, float y2, float z2,
                                   std::int32_t flag)
{
    return invokeNative<float>(nativeHash::distanceBetweenCoords, x1, y1, z1, x2, y2, z2, flag);
}
inline void setAsMissionEntity(Entity entity, std::int32_t p1, std::int32_t p2)
{
    invokeNative<std::int32_t>(nativeHash::setAsMissionEntity, entity, p1, p2);
}
inline void deleteVehicle(Entity* vehicle)
{
    invokeNative<std::int32_t>(nativeHash::deleteVehicle, vehicle);
}
inline float getFrameTime()
{
    return invokeNative<float>(nativeHash::getFrameTime);
}
