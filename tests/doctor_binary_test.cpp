// What the doctor reads of a file: a DLL's headers, version and build stamp, cut anywhere; a log's
// purges by build.
#include "sim/doctor/binary.h"
#include "sim/doctor/log_lines.h"

#include "fake_dll.h"
#include "test_support.h"

#include <fmt/format.h>

#include <optional>
#include <sstream>
#include <string>

namespace {

using testing_support::FakeDll;
using testing_support::fakeDll;
using testing_support::installed;
using testing_support::logLine;
using testing_support::older;
using testing_support::putLittleEndian;
using testing_support::ScratchDir;
using testing_support::writeFile;

struct PeCase {
    const char* name;
    std::string bytes;
    bool headers;
    std::uint16_t machine;
    bool dll;
    std::optional<std::string> version;
    std::optional<std::string> product;
    std::string problem;
};

std::string patched(std::string image, std::size_t at, std::uint32_t value, int bytes)
{
    putLittleEndian(image, at, value, bytes);
    return image;
}

TEST(doctorBinary, readsTheHeadersAsTheLoaderDoes)
{
    const std::string dll = fakeDll({});
    const std::size_t section = 0x40 + 24 + 0xF0;
    // The version resource at 0x200: its ProductName block at +152, the name's text at +184.
    const std::size_t productBlock = 0x200 + 152;
    const std::size_t productText = 0x200 + 184;
    const std::optional<std::string> none;
    const PeCase cases[] = {
        {"x64Dll", dll, true, 0x8664, true, "0.1.0", "Tarnwick", ""},
        {"i386Dll", fakeDll({.machine = 0x14c}), true, 0x14c, true, "0.1.0", "Tarnwick", ""},
        {"x64Program", fakeDll({.dll = false}), true, 0x8664, false, "0.1.0", "Tarnwick", ""},
        {"withoutVersion", fakeDll({.version = none}), true, 0x8664, true, none, none, ""},
        {"anotherProduct", fakeDll({.product = "FPS Booster"}), true, 0x8664, true, "0.1.0",
         "FPS Booster", ""},
        {"productNotInAscii", fakeDll({.product = "Zo\xEB"}), true, 0x8664, true, "0.1.0",
         "Zo\xC3\xAB", ""},
        {"productOutsideTheBasicPlane",
         patched(patched(dll, productText, 0xD83D, 2), productText + 2, 0xDE00, 2), true, 0x8664,
         true, "0.1.0", "\xF0\x9F\x98\x80rnwick", ""},
        {"productEndingInHalfAPair", patched(dll, productText + 14, 0xD800, 2), true, 0x8664, true,
         "0.1.0", "Tarnwic\xEF\xBF\xBD", ""},
        {"withoutProductName", fakeDll({.product = none}), true, 0x8664, true, "0.1.0", none, ""},
        {"emptyProductName", fakeDll({.product = ""}), true, 0x8664, true, "0.1.0", none, ""},
        {"versionInfoShorterThanItsStrings", patched(dll, 0x200, 0x60, 2), true, 0x8664, true,
         "0.1.0", none, ""},
        {"productNameLongerThanItsTable", patched(dll, productBlock, 0xFFFF, 2), true, 0x8664, true,
         "0.1.0", none, ""},
        {"empty", "", false, 0, false, none, none, "it is empty"},
        {"webPage", "<!DOCTYPE html><html>Not found</html>", false, 0, false, none, none,
         "it does not start as every Windows DLL does (with MZ)"},
        {"dosHeaderCut", dll.substr(0, 12), false, 0, false, none, none,
         "it is cut short (12 bytes)"},
        {"signatureFarBeyondTheEnd", patched(dll, 0x3C, 0xFFFFFFFC, 4), false, 0, false, none, none,
         "its header is cut short or damaged"},
        {"sectionBeyondTheEnd", patched(dll, section + 20, 0x7FFFFFFF, 4), true, 0x8664, true, none,
         none, ""},
        {"sectionLongerThanTheFile", patched(dll, section + 16, 0xFFFFFFFF, 4), true, 0x8664, true,
         "0.1.0", "Tarnwick", ""},
        {"sectionTableBeyondTheEnd", patched(dll, 0x40 + 6, 0xFFFF, 2), true, 0x8664, true, "0.1.0",
         "Tarnwick", ""},
        {"optionalHeaderBeyondTheEnd", patched(dll, 0x40 + 20, 0xFFFF, 2), true, 0x8664, true, none,
         none, ""},
    };
    for (const PeCase& c : cases) {
        const sim::PortableExecutable pe = sim::readPortableExecutable(c.bytes);
        EXPECT_EQ(pe.headers, c.headers) << c.name;
        EXPECT_EQ(pe.machine, c.machine) << c.name;
        EXPECT_EQ(pe.dll, c.dll) << c.name;
        EXPECT_EQ(pe.version, c.version) << c.name;
        EXPECT_EQ(pe.product, c.product) << c.name;
        EXPECT_EQ(pe.problem, c.problem) << c.name;
    }
}

// Each cut in a buffer of exactly its size, so that a read past it is caught
// (AddressSanitizer).
TEST(doctorBinary, everyCutOfADllIsReadWithinIt)
{
    const std::string dll = fakeDll({.stamp = installed});
    for (std::size_t size = 0; size <= dll.size(); ++size) {
        const auto bytes = std::make_unique<char[]>(size + 1);
        std::copy_n(dll.data(), size, bytes.get());
        const std::string_view cut(bytes.get(), size);
        const sim::PortableExecutable pe = sim::readPortableExecutable(cut);
        EXPECT_EQ(pe.headers, size >= 0x40 + 24) << size;
        EXPECT_TRUE(!pe.version || *pe.version == "0.1.0") << size;
        EXPECT_TRUE(!pe.product || *pe.product == "Tarnwick") << size;
        EXPECT_EQ(sim::findStamp(cut).has_value(), size >= dll.size() - 1) << size;
    }
}

TEST(doctorBinary, stampsAsTheLogWritesThem)
{
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"[Dec  8 2026 07:30:51] Critical", "Dec  8 2026 07:30:51"},
        {"[Jan 31 2027 23:59:59] ", "Jan 31 2027 23:59:59"},
        {"[Dec 8 2026 07:30:51] x", std::nullopt},  // the day unpadded
        {"[Dez  8 2026 07:30:51] ", std::nullopt},  // no month
        {"[Dec  8 2026 07:30:51]x", std::nullopt},  // no space after it
        {"[Dec  8 2026 07:30:51]", std::nullopt},   // cut short
        {"[Dec  8 2026 7:30:51] x", std::nullopt},  // the hour unpadded
        {" [Dec  8 2026 07:30:51] ", std::nullopt}, // not at the start
    };
    for (const auto& [text, stamp] : cases) {
        EXPECT_EQ(sim::stampAt(text), stamp) << text;
    }
    EXPECT_EQ(sim::findStamp("[[x] [Dec  8 2026 07:30:51] "), installed);
    EXPECT_EQ(sim::findStamp(fakeDll({.stamp = installed})), installed);
    EXPECT_EQ(sim::findStamp(fakeDll({})), std::nullopt);
}

TEST(doctorBinary, versionsCompareNumberByNumber)
{
    const std::tuple<const char*, const char*, int> cases[] = {
        {"0.1.0", "0.1.0", 0}, {"0.1.0", "0.2.0", -1}, {"0.10.0", "0.9.0", 1},
        {"1.0", "1.0.0", 0},   {"1.0.1", "1.0", 1},    {"x.1", "0.1", 0},
    };
    for (const auto& [a, b, order] : cases) {
        EXPECT_EQ(sim::compareVersions(a, b), order) << a << " against " << b;
    }
}

sim::LogLines counted(const std::string& text)
{
    std::istringstream in(text);
    return sim::countLogLines(in);
}

TEST(doctorLog, countsPurgesByBuildAndLeavesOtherLinesOut)
{
    const sim::LogLines log =
        counted(logLine(older) + logLine(older) + "\r\nnote to self\r\n" + logLine(installed) +
                logLine(installed) + "[" + installed + "] cut");
    EXPECT_EQ(log.purges, 5u);
    EXPECT_EQ(log.otherLines, 1u);
    ASSERT_EQ(log.builds.size(), 2u);
    EXPECT_EQ(log.builds[0].stamp, older);
    EXPECT_EQ(log.builds[0].lines, 2u);
    EXPECT_EQ(log.builds[1].lines, 3u);
    EXPECT_EQ(log.lastStamp, installed);
    EXPECT_FALSE(log.cut);
}

TEST(doctorLog, linesAcrossTheReadersChunksCountOnce)
{
    for (const std::size_t before : {65530u, 65536u - 1, 65536u, 200000u}) {
        const std::string stampedLong = "[" + installed + "] " + std::string(before, 'x') + "\n";
        const sim::LogLines log =
            counted(std::string(before, 'y') + "\n" + logLine(older) + stampedLong);
        EXPECT_EQ(log.purges, 2u) << before;
        EXPECT_EQ(log.otherLines, 1u) << before;
        EXPECT_EQ(log.lastStamp, installed) << before;
    }
}

TEST(doctorLog, buildsListedAreBounded)
{
    std::string text;
    for (int day = 1; day <= 30; ++day) {
        text += logLine(fmt::format("Nov {:2} 2026 09:00:00", day));
    }
    const sim::LogLines log = counted(text);
    EXPECT_EQ(log.purges, 30u);
    EXPECT_EQ(log.builds.size(), sim::listedBuilds);
    EXPECT_EQ(log.lastStamp, "Nov 30 2026 09:00:00");
}

} // namespace
