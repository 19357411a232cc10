// Writes a fake Windows image for the command-line tests of the doctor:
//   tarnwick-fake-dll FILE MACHINE dll|exe VERSION|- STAMP|- [PRODUCT|-]
// MACHINE in hex (8664: 64-bit, 14c: 32-bit); PRODUCT, the version resource's ProductName, is
// "Tarnwick" unless given.
#include "fake_dll.h"

#include <fstream>
#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 6 && argc != 7) {
        std::cerr
            << "usage: tarnwick-fake-dll FILE MACHINE dll|exe VERSION|- STAMP|- [PRODUCT|-]\n";
        return 2;
    }
    testing_support::FakeDll dll;
    dll.machine = static_cast<std::uint16_t>(std::stoul(argv[2], nullptr, 16));
    dll.dll = std::string(argv[3]) == "dll";
    dll.version = std::string(argv[4]) == "-" ? std::nullopt : std::optional<std::string>(argv[4]);
    dll.stamp = std::string(argv[5]) == "-" ? std::nullopt : std::optional<std::string>(argv[5]);
    if (argc == 7) {
        dll.product =
            std::string(argv[6]) == "-" ? std::nullopt : std::optional<std::string>(argv[6]);
    }
    std::ofstream(argv[1], std::ios::binary) << testing_support::fakeDll(dll);
    return 0;
}
