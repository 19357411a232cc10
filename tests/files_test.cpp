// Files written whole or not at all; the full disk, two writers and pipes are in cli/whole.sh.
#include "sim/files.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

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

// A link at the output is replaced itself: what it names, another's file perhaps, is never written.
TEST(WriteWhole, replacesALinkItselfNeverWhatItNames)
{
    ScratchDir dir;
    writeFile(dir / "real.svg", "old");
    std::filesystem::create_symlink(dir / "real.svg", dir / "link.svg");
    std::filesystem::create_symlink(dir / "absent.svg", dir / "dangling.svg");
    for (const char* link : {"link.svg", "dangling.svg"}) {
        EXPECT_EQ(sim::whyNotWritable(dir / link), "") << link;
        EXPECT_EQ(sim::writeWhole(dir / link, "new"), "") << link;
        EXPECT_FALSE(std::filesystem::is_symlink(dir / link)) << link;
        EXPECT_EQ(readFile(dir / link), "new") << link;
    }
    EXPECT_EQ(readFile(dir / "real.svg"), "old");
    EXPECT_FALSE(std::filesystem::exists(dir / "absent.svg")) << "written through a dangling link";
}

// What the tool itself decides, so that it holds for root (as CI runs) as for anyone: one row per
// case, the user and what lies at the path.
TEST(WhyNotReplaceable, refusesWhatTheShellWouldAndRootsPlantedFiles)
{
    constexpr unsigned me = 1000;
    constexpr unsigned other = 1001;
    constexpr unsigned root = sim::rootUser;
    const std::string denied = "permission denied";
    const std::string shared = "permission denied: it belongs to another user in a shared folder";
    struct Case {
        const char* name;
        sim::Occupant occupant; // exists, link, owner, mode, writable, folderSticky, folderOwner
        unsigned user;
        std::string why;
    };
    const Case cases[] = {
        {"nothing there", {false, false, 0, 0, true, true, 0}, me, ""},
        {"my file", {true, false, me, 0644, true, false, me}, me, ""},
        {"my read-only file", {true, false, me, 0444, false, false, me}, me, denied},
        {"a read-only file, as root", {true, false, me, 0444, true, false, me}, root, denied},
        {"another's file I cannot write", {true, false, other, 0644, false, false, me}, me, denied},
        {"another's file I may write", {true, false, other, 0666, true, false, other}, me, ""},
        {"another's file, as root", {true, false, other, 0644, true, false, other}, root, ""},
        {"another's file in /tmp, as root",
         {true, false, other, 0666, true, true, root},
         root,
         shared},
        {"another's link in /tmp, as root",
         {true, true, other, 0777, true, true, root},
         root,
         shared},
        {"another's link in /tmp", {true, true, other, 0777, true, true, root}, me, shared},
        {"my link in /tmp", {true, true, me, 0777, true, true, root}, me, ""},
        {"another's link in my sticky folder",
         {true, true, other, 0777, true, true, me},
         me,
         shared},
        {"a sticky folder's owner's link", {true, true, other, 0777, true, true, other}, me, ""},
        {"a link to a read-only file", {true, true, me, 0777, true, false, me}, me, ""},
        {"root's own file in /tmp", {true, false, root, 0644, true, true, root}, root, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sim::whyNotReplaceable(c.occupant, c.user), c.why) << c.name;
    }
}

// The same rules on real files, as whoever runs the test: a read-only file is kept, and says why.
TEST(WriteWhole, leavesAReadOnlyFileAsItWas)
{
    ScratchDir dir;
    writeFile(dir / "kept.html", "the player's page");
    std::filesystem::permissions(dir / "kept.html", std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::group_read |
                                                        std::filesystem::perms::others_read);
    EXPECT_EQ(sim::whyNotWritable(dir / "kept.html"), "permission denied");
    EXPECT_EQ(sim::writeWhole(dir / "kept.html", "new"), "permission denied");
    EXPECT_EQ(sim::appendWhole(dir / "kept.html", "new"), "permission denied");
    EXPECT_EQ(readFile(dir / "kept.html"), "the player's page");
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

// As root, another user's link planted in a sticky folder is left alone (without root, the kernel
// refuses it anyway and the table above holds the rule).
TEST(WriteWhole, leavesAnotherUsersLinkInAStickyFolderAlone)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a link to another user";
    }
    ScratchDir dir;
    std::filesystem::create_directory(dir / "shared");
    ASSERT_EQ(chmod((dir / "shared").c_str(), 01777), 0);
    writeFile(dir / "victim", "root's file");
    const std::filesystem::path planted = dir / "shared" / "cap.csv.tarnwick.html";
    std::filesystem::create_symlink(dir / "victim", planted);
    ASSERT_EQ(lchown(planted.c_str(), 65534, 65534), 0);
    EXPECT_NE(sim::whyNotWritable(planted), "");
    EXPECT_NE(sim::writeWhole(planted, "page"), "");
    EXPECT_NE(sim::appendWhole(planted, "line\n"), "");
    EXPECT_EQ(readFile(dir / "victim"), "root's file");
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
}

// The longest name a folder takes is written: the new file beside it has a short name of its own.
TEST(WriteWhole, writesTheLongestLegalName)
{
    ScratchDir dir;
    for (const std::size_t length : {232u, 255u}) {
        const std::filesystem::path target = dir / (std::string(length - 5, 'n') + ".html");
        EXPECT_EQ(sim::whyNotWritable(target), "") << length;
        EXPECT_EQ(sim::writeWhole(target, "page"), "") << length;
        EXPECT_EQ(readFile(target), "page") << length;
        EXPECT_EQ(sim::writeWhole(target, "again"), "") << length;
        EXPECT_EQ(readFile(target), "again") << length;
    }
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

// Lines are added after whatever is there, by us or by a game writing at the same time: none lost.
TEST(AppendWhole, keepsEveryWritersLines)
{
    ScratchDir dir;
    const std::filesystem::path log = dir / "Tarnwick.log";
    EXPECT_EQ(sim::appendWhole(log, "first\n"), "");
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 8; ++writer) {
        writers.emplace_back([&log, writer] {
            const std::string lines(40 * 2, static_cast<char>('a' + writer));
            for (int i = 0; i < 50; ++i) {
                EXPECT_EQ(
                    sim::appendWhole(log, lines.substr(0, 39) + "\n" + lines.substr(40, 39) + "\n"),
                    "");
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const std::string text = readFile(log);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 8 * 50 * 2);
    EXPECT_TRUE(text.starts_with("first\n"));
    for (std::size_t at = 6; at + 40 <= text.size(); at += 40) {
        EXPECT_EQ(text.find_first_not_of(text[at], at), at + 39) << "a line torn at " << at;
    }
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
