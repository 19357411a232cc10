// The library's Windows entry.
#include "governor/main.h"

#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID /*reserved*/)
{
    // Registration is all: the loader's lock is held here.
    if (reason == DLL_PROCESS_ATTACH) {
        attachPlugin(module);
    }
    return TRUE;
}
