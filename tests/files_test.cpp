// Files written whole or not at all; the full disk, two writers and pipes are in cli/whole.sh.
#include "sim/files.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <thread>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

// Nothing of a write is left beside its target under another name.
std::size_t entriesIn(const std::filesystem::path& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
}

TEST(WriteWhole, replacesAFileOrSaysWhyAndLeavesNothingBehind)
{
    ScratchDir dir;
    writeFile(dir / "page.html", "earlier page");
    std::filesystem::create_directory(dir / "folder");
    struct Case {
        const char* name;
        std::filesystem::path target;
        const char* why; // empty: written
    };
    const Case cases[] = {
        {"over an earlier file", dir / "page.html", ""},
        {"a new file", dir / "new.html", ""},
        {"in a missing folder", dir / "missing" / "x.svg", "there is no such folder"},
        {"a folder", dir / "folder", "it is a folder"},
    };
    for (const Case& c : cases) {
        const std::size_t before = entriesIn(dir.path());
        EXPECT_EQ(sim::whyNotWritable(c.target), c.why) << c.name;
        EXPECT_EQ(entriesIn(dir.path()), before) << c.name << ": the check left a file";
        EXPECT_EQ(sim::writeWhole(c.target, "the whole text"), c.why) << c.name;
        if (std::string(c.why).empty()) {
            EXPECT_EQ(readFile(c.target), "the whole text") << c.name;
        }
    }
    EXPECT_EQ(entriesIn(dir.path()), 3u) << "page, new and folder: nothing more";
}

// A link stays a link: the file it names is the one written.
TEST(WriteWhole, writesThroughALink)
{
    ScratchDir dir;
    writeFile(dir / "real.svg", "old");
    std::filesystem::create_symlink(dir / "real.svg", dir / "link.svg");
    EXPECT_EQ(sim::writeWhole(dir / "link.svg", "new"), "");
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.svg"));
    EXPECT_EQ(readFile(dir / "real.svg"), "new");
}

// A named pipe is written straight, and checking it beforehand does not open it: its reader would
// take the open and close for the whole output.
TEST(WriteWhole, aNamedPipeIsNeitherProbedNorReplaced)
{
    ScratchDir dir;
    const std::filesystem::path fifo = dir / "chart.svg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(sim::whyNotWritable(fifo), "");
    std::string got;
    std::thread reader([&] { got = readFile(fifo); });
    EXPECT_EQ(sim::writeWhole(fifo, "<svg>whole</svg>"), "");
    reader.join();
    EXPECT_EQ(got, "<svg>whole</svg>");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// The one bounded reader: the whole file up to the limit, else what was in the way, as data.
TEST(ReadBounded, givesTheWholeFileOrTheKindOfFailure)
{
    ScratchDir dir;
    writeFile(dir / "ten", "0123456789");
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::filesystem::path file;
        std::uint64_t limit;
        std::optional<sim::FailureKind> failure; // none: read whole
    };
    const Case cases[] = {
        {"under the limit", dir / "ten", 11, std::nullopt},
        {"at the limit", dir / "ten", 10, std::nullopt},
        {"one byte over", dir / "ten", 9, sim::FailureKind::TooLarge},
        {"a folder", dir / "folder", 100, sim::FailureKind::Folder},
        {"a pipe, never opened", dir / "pipe", 100, sim::FailureKind::NotAFile},
        {"missing", dir / "absent", 100, sim::FailureKind::Missing},
    };
    for (const Case& c : cases) {
        const sim::Result<std::string> read = sim::readBounded(c.file, c.limit);
        if (!c.failure) {
            ASSERT_TRUE(read) << c.name << ": " << sim::failureText(read.failure());
            EXPECT_EQ(*read, "0123456789") << c.name;
            continue;
        }
        ASSERT_FALSE(read) << c.name;
        EXPECT_EQ(read.failure().kind, *c.failure) << c.name;
        EXPECT_EQ(read.failure().path, c.file) << c.name;
        EXPECT_EQ(read.failure().limitBytes, c.limit) << c.name;
    }
}

TEST(Failure, isPutIntoWordsWithItsFileAndLine)
{
    EXPECT_EQ(sim::failureText({sim::FailureKind::Malformed, "run.csv", 12, "not a number"}),
              "run.csv:12: not a number");
    EXPECT_EQ(sim::failureText({sim::FailureKind::Missing, "run.csv", 0, "no such file"}),
              "run.csv: no such file");
    EXPECT_EQ(sim::failureText({sim::FailureKind::Setup, {}, 0, "no game folder"}),
              "no game folder");
}

} // namespace
