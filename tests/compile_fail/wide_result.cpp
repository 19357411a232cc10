// Must not compile: a 32-byte result would be read past the three slots a native answers with.
#include "host/natives.h"

struct Wide {
    std::uint64_t slots[4];
};

void callWithWideResult()
{
    invokeNative<Wide>(nativeHash::getEntityCoords, 1, 1);
}
