// Small Windows images built byte by byte, as the linker lays them out, for the doctor's tests:
// a DOS header, the PE signature and COFF header, an optional header, one section .rsrc holding a
// version resource (VS_FIXEDFILEINFO and StringFileInfo's ProductName), and the plug-in's log
// stamp as a string after it.
#pragma once

#include <cstdint>
#include <optional>
#include <sstream>
#include <string>

namespace testing_support {

// The build stamps of the installed plug-in and of an older one, and the line each writes.
inline const std::string installed = "Dec  8 2026 07:30:51";
inline const std::string older = "Nov 30 2026 09:00:00";

inline std::string logLine(const std::string& stamp)
{
    return "[" + stamp + "] Critical performance state. Purging ambient entities.\r\n";
}

struct FakeDll {
    std::uint16_t machine = 0x8664;
    bool dll = true;
    std::optional<std::string> version = "0.1.0"; // "major.minor.patch"; none: no version resource
    std::optional<std::string> stamp = {};        // "Dec  8 2026 07:30:51"
    std::optional<std::string> product = "Tarnwick"; // each byte one UTF-16 unit (Latin-1)
};

inline void putLittleEndian(std::string& image, std::size_t at, std::uint32_t value, int bytes)
{
    if (image.size() < at + static_cast<std::size_t>(bytes)) {
        image.resize(at + static_cast<std::size_t>(bytes), '\0');
    }
    for (int i = 0; i < bytes; ++i) {
        image[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

// A block of a version resource as rc.exe lays it out: wLength, wValueLength, wType, the key in
// UTF-16 ending in a zero, padded to 4 bytes, then the value and the children (each padded).
inline std::string versionBlock(const std::string& key, int type, const std::string& value,
                                std::size_t valueLength, const std::string& children)
{
    std::string block(6, '\0');
    for (const char c : key + std::string(1, '\0')) {
        block += c;
        block += '\0';
    }
    block.resize((block.size() + 3) & ~std::size_t{3}, '\0');
    block += value;
    block.resize((block.size() + 3) & ~std::size_t{3}, '\0');
    block += children;
    putLittleEndian(block, 0, static_cast<std::uint32_t>(block.size()), 2);
    putLittleEndian(block, 2, static_cast<std::uint32_t>(valueLength), 2);
    putLittleEndian(block, 4, static_cast<std::uint32_t>(type), 2);
    return block;
}

inline std::string versionResource(const std::string& version, const FakeDll& dll)
{
    unsigned major = 0, minor = 0, patch = 0;
    char dot = 0;
    std::istringstream(version) >> major >> dot >> minor >> dot >> patch;
    std::string info(52, '\0');                       // VS_FIXEDFILEINFO
    putLittleEndian(info, 0, 0xFEEF04BD, 4);          // dwSignature
    putLittleEndian(info, 4, 0x00010000, 4);          // dwStrucVersion
    putLittleEndian(info, 8, major << 16 | minor, 4); // dwFileVersionMS
    putLittleEndian(info, 12, patch << 16, 4);        // dwFileVersionLS
    putLittleEndian(info, 36, dll.dll ? 2 : 1, 4);    // dwFileType
    std::string strings;
    if (dll.product) {
        std::string text;
        for (const char c : *dll.product + std::string(1, '\0')) {
            text += c;
            text += '\0';
        }
        const std::string name = versionBlock("ProductName", 1, text, text.size() / 2, "");
        strings =
            versionBlock("StringFileInfo", 1, "", 0, versionBlock("040904B0", 1, "", 0, name));
    }
    return versionBlock("VS_VERSION_INFO", 0, info, info.size(), strings);
}

inline std::string fakeDll(const FakeDll& dll)
{
    constexpr std::size_t peAt = 0x40;
    constexpr std::size_t optionalBytes = 0xF0;
    constexpr std::size_t sectionAt = peAt + 24 + optionalBytes;
    constexpr std::size_t rawAt = 0x200; // the file alignment
    constexpr std::size_t rawBytes = 0x200;
    std::string image(rawAt + rawBytes, '\xCC'); // sentinel: bytes never written show up
    image.replace(0, rawAt, rawAt, '\0');
    image.replace(0, 2, "MZ");
    putLittleEndian(image, 0x3C, peAt, 4); // e_lfanew
    image.replace(peAt, 4, std::string("PE\0\0", 4));
    putLittleEndian(image, peAt + 4, dll.machine, 2);                  // Machine
    putLittleEndian(image, peAt + 6, 1, 2);                            // NumberOfSections
    putLittleEndian(image, peAt + 20, optionalBytes, 2);               // SizeOfOptionalHeader
    putLittleEndian(image, peAt + 22, dll.dll ? 0x2022u : 0x0022u, 2); // Characteristics
    putLittleEndian(image, peAt + 24, dll.machine == 0x8664 ? 0x20Bu : 0x10Bu, 2); // Magic
    image.replace(sectionAt, 5, ".rsrc");
    putLittleEndian(image, sectionAt + 8, rawBytes, 4);  // VirtualSize
    putLittleEndian(image, sectionAt + 12, 0x1000, 4);   // VirtualAddress
    putLittleEndian(image, sectionAt + 16, rawBytes, 4); // SizeOfRawData
    putLittleEndian(image, sectionAt + 20, rawAt, 4);    // PointerToRawData
    if (dll.version) {
        const std::string resource = versionResource(*dll.version, dll);
        image.replace(rawAt, resource.size(), resource);
    }
    if (dll.stamp) {
        image += std::string("Tarnwick.log\0[", 14) + *dll.stamp + "] " + std::string(1, '\0');
    }
    return image;
}

} // namespace testing_support
