// tarnwick-wine-harness.exe, a test program: loads the stand-in hook (linked) and the real
// Tarnwick.asi beside it, and plays the fixed scenario. With --hold-log another "program" holds
// Tarnwick.log open without sharing for the whole run, as an editor or a log viewer might.
#include "sim/scenario/scenario.h"

#include <windows.h>

#include <cstring>
#include <iostream>

int main(int argc, char** argv)
{
    const bool holdLog = argc == 3 && std::strcmp(argv[2], "--hold-log") == 0;
    if (argc < 2 || argc > 3 || std::strcmp(argv[1], "scenario") != 0 || (argc == 3 && !holdLog)) {
        std::cerr << "usage: tarnwick-wine-harness.exe scenario [--hold-log]\n";
        return 2;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    if (holdLog) {
        held = CreateFileA("Tarnwick.log", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (held == INVALID_HANDLE_VALUE) {
            std::cerr << "cannot hold Tarnwick.log\n";
            return 2;
        }
    }
    // The real tick counter moves only as time does.
    const int status = sim::runScenario(std::cout, [] { Sleep(10); });
    if (held != INVALID_HANDLE_VALUE) {
        CloseHandle(held);
    }
    return status;
}
