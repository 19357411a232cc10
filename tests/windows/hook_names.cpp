// References each hook operation, so the object names them as an MSVC build would import them.
#include "host/hook.h"

void* hookOperations[] = {
    reinterpret_cast<void*>(&scriptRegister),      reinterpret_cast<void*>(&scriptWait),
    reinterpret_cast<void*>(&worldGetAllVehicles), reinterpret_cast<void*>(&nativeInit),
    reinterpret_cast<void*>(&nativePush64),        reinterpret_cast<void*>(&nativeCall)};
