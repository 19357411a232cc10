// tarnwick-sim.exe: loads the stand-in hook (linked) and the real Tarnwick.asi beside it, and
// plays the fixed scenario.
#include "sim/scenario/scenario.h"

#include <cstring>
#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2 || std::strcmp(argv[1], "scenario") != 0) {
        std::cerr << "usage: tarnwick-sim.exe scenario\n";
        return 2;
    }
    return runScenario(std::cout);
}
