// Must not compile: a 128-bit argument does not fit a native's 64-bit slot.
#include "host/natives.h"

struct Wide {
    std::uint64_t low;
    std::uint64_t high;
};

void callWithWideArgument()
{
    invokeNative<std::int32_t>(nativeHash::getFrameTime, Wide{1, 2});
}
