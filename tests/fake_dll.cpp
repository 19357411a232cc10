// Writes a fake Windows image for the command-line tests of the doctor:
//   tarnwick-fake-dll FILE MACHINE dll|exe VERSION|- STAMP|-
// MACHINE in hex (8664: 64-bit, 14c: 32-bit).
#include "fake_dll.h"

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::cerr << "usage: tarnwick-fake-dll FILE MACHINE dll|exe VERSION|- STAMP|-\n";
        return 2;
    }
    testing_support::FakeDll dll;
    dll.machine = static_cast<std::uint16_t>(std::stoul(argv[2], nullptr, 16));
    dll.dll = std::string(argv[3]) == "dll";
    dll.version = std::string(argv[4]) == "-" ? std::nullopt : std::optional<std::string>(argv[4]);
    dll.stamp = std::string(argv[5]) == "-" ? std::nullopt : std::optional<std::string>(argv[5]);
    std::ofstream(argv[1], std::ios::binary) << testing_support::fakeDll(dll);
    return 0;
}
