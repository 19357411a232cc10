// A DLL's headers as the loader reads them (PE/COFF), and the plug-in's log stamp.
#include "sim/doctor/binary.h"

#include "sim/ascii.h"
#include "sim/text.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace sim {
namespace {

std::optional<std::uint32_t> littleEndian(std::string_view bytes, std::size_t at, std::size_t width)
{
    if (at > bytes.size() || bytes.size() - at < width) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (std::size_t i = width; i-- > 0;) {
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    }
    return value;
}

std::optional<std::uint32_t> u32At(std::string_view bytes, std::size_t at)
{
    return littleEndian(bytes, at, 4);
}

std::optional<std::uint16_t> u16At(std::string_view bytes, std::size_t at)
{
    const auto value = littleEndian(bytes, at, 2);
    return value ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*value)) : std::nullopt;
}

constexpr std::size_t dosHeaderBytes = 0x40;
constexpr std::size_t lfanewAt = 0x3C;      // IMAGE_DOS_HEADER.e_lfanew: where "PE\0\0" starts
constexpr std::size_t coffHeaderBytes = 20; // after the 4-byte signature
constexpr std::size_t sectionHeaderBytes = 40;
constexpr std::uint16_t imageFileDll = 0x2000;
constexpr std::uint32_t fixedFileInfoSignature = 0xFEEF04BD;
constexpr std::size_t fixedFileInfoBytes = 52;

// The raw bytes of the section named ".rsrc", as far as the file holds them.
std::string_view resourceSection(std::string_view bytes, std::size_t table, std::uint16_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t at = table + i * sectionHeaderBytes;
        const auto size = u32At(bytes, at + 16);   // SizeOfRawData
        const auto offset = u32At(bytes, at + 20); // PointerToRawData
        if (!size || !offset) {
            return {};
        }
        const std::string_view name = bytes.substr(at, 8);
        if (name.substr(0, name.find('\0')) == ".rsrc" && *offset < bytes.size()) {
            return bytes.substr(*offset, std::min<std::size_t>(*size, bytes.size() - *offset));
        }
    }
    return {};
}

// VS_FIXEDFILEINFO, found by its signature.
std::optional<std::size_t> fixedFileInfoAt(std::string_view resources)
{
    for (std::size_t at = 0; at + fixedFileInfoBytes <= resources.size(); ++at) {
        if (u32At(resources, at) == fixedFileInfoSignature) {
            return at;
        }
    }
    return std::nullopt;
}

// dwFileVersionMS at +8, dwFileVersionLS at +12.
std::string fileVersion(std::string_view info)
{
    const std::uint32_t high = *u32At(info, 8);
    const std::uint32_t low = *u32At(info, 12);
    std::string version = fmt::format("{}.{}.{}", high >> 16, high & 0xFFFF, low >> 16);
    if ((low & 0xFFFF) != 0) {
        version += fmt::format(".{}", low & 0xFFFF);
    }
    return version;
}

// VS_VERSIONINFO's header and key ("VS_VERSION_INFO"), padded: where VS_FIXEDFILEINFO starts.
constexpr std::size_t fixedFileInfoOffset = 40;
constexpr std::size_t blockHeaderBytes = 6; // wLength, wValueLength, wType
constexpr std::size_t maxProductUnits = 256;

// One block of a version resource: a UTF-16 key ending in a zero, then its value and its
// children, each on a 4-byte boundary of the resource.
struct VersionBlock {
    std::size_t end = 0;         // past its last byte, never past its parent's
    std::string key;             // keys are ASCII: any other unit is '?'
    std::size_t value = 0;       // where its value starts
    std::size_t valueLength = 0; // wValueLength
};

std::size_t aligned(std::size_t at)
{
    return (at + 3) & ~std::size_t{3};
}

std::optional<VersionBlock> blockAt(std::string_view info, std::size_t at, std::size_t limit)
{
    const auto length = u16At(info, at);
    const auto valueLength = u16At(info, at + 2);
    if (!length || !valueLength || *length < blockHeaderBytes || *length > limit - at) {
        return std::nullopt;
    }
    VersionBlock block{at + *length, {}, 0, *valueLength};
    for (std::size_t i = at + blockHeaderBytes; i + 2 <= block.end; i += 2) {
        const std::uint16_t unit = *u16At(info, i);
        if (unit == 0) {
            block.value = aligned(i + 2);
            return block;
        }
        block.key += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return std::nullopt;
}

// The blocks inside parent, from its value's end on, as far as each is whole.
std::vector<VersionBlock> children(std::string_view info, const VersionBlock& parent)
{
    std::vector<VersionBlock> found;
    std::size_t at = aligned(parent.value + parent.valueLength);
    while (at < parent.end) {
        const std::optional<VersionBlock> child = blockAt(info, at, parent.end);
        if (!child) {
            break;
        }
        found.push_back(*child);
        at = aligned(child->end);
    }
    return found;
}

// UTF-16 up to its zero or the block's end; a surrogate without its pair as U+FFFD.
std::string utf16Text(std::string_view info, std::size_t at, std::size_t end)
{
    std::string text;
    for (std::size_t units = 0; at + 2 <= end && units < maxProductUnits; at += 2, ++units) {
        char32_t unit = *u16At(info, at);
        if (unit == 0) {
            break;
        }
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 4 <= end) {
            const char32_t low = *u16At(info, at + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
                at += 2;
            }
        }
        appendUtf8(text, unit >= 0xD800 && unit <= 0xDFFF ? char32_t{0xFFFD} : unit);
    }
    return text;
}

// StringFileInfo's ProductName in any of its tables, in the version resource that starts info.
std::optional<std::string> productName(std::string_view info)
{
    const std::optional<VersionBlock> root = blockAt(info, 0, info.size());
    if (!root || root->key != "VS_VERSION_INFO") {
        return std::nullopt;
    }
    for (const VersionBlock& strings : children(info, *root)) {
        if (strings.key != "StringFileInfo") {
            continue;
        }
        for (const VersionBlock& table : children(info, strings)) {
            for (const VersionBlock& string : children(info, table)) {
                if (equalsIgnoringCase(string.key, "ProductName")) {
                    std::string text = utf16Text(info, string.value, string.end);
                    return text.empty() ? std::nullopt : std::optional<std::string>(text);
                }
            }
        }
    }
    return std::nullopt;
}

PortableExecutable withProblem(std::string problem)
{
    PortableExecutable pe;
    pe.problem = std::move(problem);
    return pe;
}

} // namespace

PortableExecutable readPortableExecutable(std::string_view bytes)
{
    if (bytes.empty()) {
        return withProblem("it is empty");
    }
    if (!bytes.starts_with("MZ")) {
        return withProblem("it does not start as every Windows DLL does (with MZ)");
    }
    const auto lfanew = u32At(bytes, lfanewAt);
    if (bytes.size() < dosHeaderBytes || !lfanew) {
        return withProblem(fmt::format("it is cut short ({} bytes)", bytes.size()));
    }
    const std::size_t header = *lfanew; // 32 bits from the file: no sum of it may wrap
    const auto machine = u16At(bytes, header + 4);
    const auto sections = u16At(bytes, header + 6);
    const auto optionalHeaderBytes = u16At(bytes, header + 20);
    const auto characteristics = u16At(bytes, header + 22);
    if (!characteristics || bytes.substr(header, 4) != std::string_view("PE\0\0", 4)) {
        return withProblem("its header is cut short or damaged");
    }
    PortableExecutable pe;
    pe.headers = true;
    pe.machine = *machine;
    pe.dll = (*characteristics & imageFileDll) != 0;
    const std::size_t table = header + 4 + coffHeaderBytes + *optionalHeaderBytes;
    const std::string_view resources = resourceSection(bytes, table, *sections);
    if (const std::optional<std::size_t> info = fixedFileInfoAt(resources)) {
        pe.version = fileVersion(resources.substr(*info));
        if (*info >= fixedFileInfoOffset) {
            pe.product = productName(resources.substr(*info - fixedFileInfoOffset));
        }
    }
    return pe;
}

std::optional<std::string> stampAt(std::string_view text)
{
    static constexpr std::array<std::string_view, 12> months = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    // "[Mmm dd yyyy hh:mm:ss] ": M for the month, d for a digit, _ for a digit or a space (the
    // day, padded).
    constexpr std::string_view shape = "[MMM _d dddd dd:dd:dd] ";
    if (text.size() < stampBytes ||
        std::find(months.begin(), months.end(), text.substr(1, 3)) == months.end()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < stampBytes; ++i) {
        const char c = text[i];
        const bool digit = std::isdigit(static_cast<unsigned char>(c)) != 0;
        const bool fits = shape[i] == 'd'   ? digit
                          : shape[i] == '_' ? digit || c == ' '
                          : shape[i] == 'M' ? true
                                            : c == shape[i];
        if (!fits) {
            return std::nullopt;
        }
    }
    return std::string(text.substr(1, stampBytes - 3));
}

std::optional<std::string> findStamp(std::string_view bytes)
{
    for (std::size_t at = bytes.find('['); at != std::string_view::npos;
         at = bytes.find('[', at + 1)) {
        if (auto stamp = stampAt(bytes.substr(at))) {
            return stamp;
        }
    }
    return std::nullopt;
}

int compareVersions(std::string_view a, std::string_view b)
{
    while (!a.empty() || !b.empty()) {
        const auto next = [](std::string_view& text) {
            const std::size_t dot = std::min(text.find('.'), text.size());
            std::uint64_t number = 0;
            for (const char c : text.substr(0, dot)) {
                if (!std::isdigit(static_cast<unsigned char>(c)) || number > 1'000'000'000) {
                    number = 0;
                    break;
                }
                number = number * 10 + static_cast<std::uint64_t>(c - '0');
            }
            text.remove_prefix(std::min(dot + 1, text.size()));
            return number;
        };
        const std::uint64_t left = next(a);
        const std::uint64_t right = next(b);
        if (left != right) {
            return left < right ? -1 : 1;
        }
    }
    return 0;
}

} // namespace sim
