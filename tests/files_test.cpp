// Files written whole or not at all; the full disk, two writers and pipes are in cli/whole.sh.
#include "sim/files.h"
#include "sim/files_platform.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include <optional>
#include <thread>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

// What a player reads of a result: nothing when it worked, else the system's answer in words.
std::string why(const sim::Result<sim::Done>& result)
{
    return result ? std::string() : sim::reasonText(result.failure());
}

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
        EXPECT_EQ(why(sim::probeWritable(c.target)), c.why) << c.name;
        EXPECT_EQ(entriesIn(dir.path()), before) << c.name << ": the check left a file";
        EXPECT_EQ(why(sim::writeWhole(c.target, "the whole text")), c.why) << c.name;
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
        EXPECT_EQ(why(sim::probeWritable(dir / link)), "") << link;
        EXPECT_EQ(why(sim::writeWhole(dir / link, "new")), "") << link;
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
        EXPECT_EQ(why(sim::replaceable(c.occupant, c.user)), c.why) << c.name;
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
    EXPECT_EQ(why(sim::probeWritable(dir / "kept.html")), "permission denied");
    const sim::Result<sim::Done> written = sim::writeWhole(dir / "kept.html", "new");
    EXPECT_EQ(why(written), "permission denied");
    EXPECT_TRUE(!written && written.failure().kept) << "the file is as it was, and says so";
    EXPECT_EQ(why(sim::appendWhole(dir / "kept.html", "new")), "permission denied");
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
    EXPECT_NE(why(sim::probeWritable(planted)), "");
    EXPECT_NE(why(sim::writeWhole(planted, "page")), "");
    EXPECT_NE(why(sim::appendWhole(planted, "line\n")), "");
    EXPECT_EQ(readFile(dir / "victim"), "root's file");
    EXPECT_TRUE(std::filesystem::is_symlink(planted));
}

// The longest name a folder takes is written: the new file beside it has a short name of its own.
TEST(WriteWhole, writesTheLongestLegalName)
{
    ScratchDir dir;
    for (const std::size_t length : {232u, 255u}) {
        const std::filesystem::path target = dir / (std::string(length - 5, 'n') + ".html");
        EXPECT_EQ(why(sim::probeWritable(target)), "") << length;
        EXPECT_EQ(why(sim::writeWhole(target, "page")), "") << length;
        EXPECT_EQ(readFile(target), "page") << length;
        EXPECT_EQ(why(sim::writeWhole(target, "again")), "") << length;
        EXPECT_EQ(readFile(target), "again") << length;
    }
    EXPECT_EQ(entriesIn(dir.path()), 2u);
}

// Lines are added after whatever is there, by us or by a game writing at the same time: none lost.
TEST(AppendWhole, keepsEveryWritersLines)
{
    ScratchDir dir;
    const std::filesystem::path log = dir / "Tarnwick.log";
    EXPECT_EQ(why(sim::appendWhole(log, "first\n")), "");
    std::vector<std::thread> writers;
    for (int writer = 0; writer < 8; ++writer) {
        writers.emplace_back([&log, writer] {
            const std::string lines(40 * 2, static_cast<char>('a' + writer));
            for (int i = 0; i < 50; ++i) {
                EXPECT_EQ(why(sim::appendWhole(log, lines.substr(0, 39) + "\n" +
                                                        lines.substr(40, 39) + "\n")),
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
    EXPECT_EQ(why(sim::probeWritable(fifo)), "");
    std::string got;
    std::thread reader([&] { got = readFile(fifo); });
    EXPECT_EQ(why(sim::writeWhole(fifo, "<svg>whole</svg>")), "");
    reader.join();
    EXPECT_EQ(got, "<svg>whole</svg>");
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

// Each system call of writing a file whole failed in turn, without root or a small disk: the calls
// are the platform's table, replaced here by ones that fail the step a row names.
enum class Step { Create, Write, Flush, Close, Rename, SyncFolder };

struct StepFailure {
    const char* name;
    Step step;
    int error; // errno the step gives
    sim::FailureKind kind;
    const char* words;
    bool written; // the file is there all the same (a folder that will not sync)
};

void PrintTo(const StepFailure& c, std::ostream* out)
{
    *out << c.name << " (errno " << c.error << ")";
}

// The step that fails and how, for the calls below (plain function pointers take no captures).
StepFailure failing;
sim::WriteCalls real;

sim::WriteCalls failingCalls()
{
    sim::WriteCalls calls = sim::systemWriteCalls();
    calls.createNew = [](const std::filesystem::path& made, const std::filesystem::path& like,
                         sim::WriteCalls::Handle& file) -> long {
        return failing.step == Step::Create ? failing.error : real.createNew(made, like, file);
    };
    // Half the bytes go to the disk before the disk is full: a rename now would publish half a
    // page.
    calls.write = [](sim::WriteCalls::Handle file, const char* bytes, std::size_t size,
                     std::size_t& put) -> long {
        if (failing.step != Step::Write) {
            return real.write(file, bytes, size, put);
        }
        static bool half = false;
        half = !half;
        return half ? real.write(file, bytes, std::max<std::size_t>(size / 2, 1), put)
                    : failing.error;
    };
    calls.openToAdd = [](const std::filesystem::path& path, sim::WriteCalls::Handle& file) -> long {
        return failing.step == Step::Create ? failing.error : real.openToAdd(path, file);
    };
    calls.flush = [](sim::WriteCalls::Handle file) -> long {
        return failing.step == Step::Flush ? failing.error : real.flush(file);
    };
    calls.close = [](sim::WriteCalls::Handle file) -> long {
        const long closed = real.close(file); // the descriptor goes either way
        return failing.step == Step::Close ? failing.error : closed;
    };
    calls.rename = [](const std::filesystem::path& from, const std::filesystem::path& to) -> long {
        return failing.step == Step::Rename ? failing.error : real.rename(from, to);
    };
    calls.syncFolder = [](const std::filesystem::path& folder) -> long {
        return failing.step == Step::SyncFolder ? failing.error : real.syncFolder(folder);
    };
    return calls;
}

class WriteSteps : public testing::TestWithParam<StepFailure> {
  protected:
    void SetUp() override
    {
        failing = GetParam();
        real = sim::systemWriteCalls();
        before = sim::replaceWrite(failingCalls());
    }
    void TearDown() override { sim::replaceWrite(before); }
    sim::WriteCalls before;
};

TEST_P(WriteSteps, leaveTheTargetAsItWasAndNothingBeside)
{
    const StepFailure& c = GetParam();
    ScratchDir dir;
    writeFile(dir / "page.html", "the earlier page");
    const std::string page(10000, 'p');
    for (const bool earlier : {true, false}) {
        const std::filesystem::path target = dir / (earlier ? "page.html" : "new.html");
        const sim::Result<sim::Done> written = sim::writeWhole(target, page);
        const std::size_t files = entriesIn(dir.path());
        if (c.written) {
            ASSERT_TRUE(written) << sim::failureText(written.failure());
            EXPECT_EQ(readFile(target), page);
            EXPECT_EQ(files, earlier ? 1u : 2u) << "a file left beside the target";
            continue;
        }
        ASSERT_FALSE(written) << (earlier ? "over a file" : "a new file");
        const sim::Failure told =
            sim::toldAs(written.failure(), sim::FailureAct::Write, "the page");
        EXPECT_EQ(told.kind, c.kind);
        EXPECT_EQ(sim::failureText(told),
                  "cannot write the page to " + target.string() + ": " + c.words +
                      (earlier ? " (the page already there is as it was)" : ""));
        if (earlier) {
            EXPECT_EQ(readFile(target), "the earlier page");
        } else {
            EXPECT_FALSE(std::filesystem::exists(target)) << "a new file appeared";
        }
        EXPECT_EQ(files, 1u) << "a file left beside the target";
    }
    // The check before a command makes and removes a file as a write would: the same answer.
    const sim::Result<sim::Done> probed = sim::probeWritable(dir / "other.html");
    const bool probeFails = c.step == Step::Create;
    EXPECT_EQ(!probed, probeFails);
    if (probeFails && !probed) {
        EXPECT_EQ(sim::reasonText(probed.failure()), c.words);
    }
    EXPECT_EQ(entriesIn(dir.path()), c.written ? 2u : 1u) << "page.html, new.html if written";
}

INSTANTIATE_TEST_SUITE_P(
    files, WriteSteps,
    testing::Values(StepFailure{"readOnlyDisk", Step::Create, EROFS, sim::FailureKind::ReadOnly,
                                "the disk is read-only", false},
                    StepFailure{"deniedFolder", Step::Create, EACCES, sim::FailureKind::Denied,
                                "permission denied", false},
                    StepFailure{"nameTooLong", Step::Create, ENAMETOOLONG,
                                sim::FailureKind::NameTooLong,
                                "the name is too long for this system", false},
                    StepFailure{"noSpaceAtTheWrite", Step::Write, ENOSPC, sim::FailureKind::NoSpace,
                                "no space left on the disk", false},
                    StepFailure{"quotaAtTheWrite", Step::Write, EDQUOT, sim::FailureKind::Quota,
                                "the disk quota is used up", false},
                    StepFailure{"tooBigAtTheWrite", Step::Write, EFBIG, sim::FailureKind::TooBig,
                                "the file would be larger than this system allows", false},
                    StepFailure{"errorAtTheFlush", Step::Flush, EIO, sim::FailureKind::Unwritable,
                                "Input/output error", false},
                    StepFailure{"noSpaceAtTheFlush", Step::Flush, ENOSPC, sim::FailureKind::NoSpace,
                                "no space left on the disk", false},
                    StepFailure{"errorAtTheClose", Step::Close, EIO, sim::FailureKind::Unwritable,
                                "Input/output error", false},
                    StepFailure{"quotaAtTheClose", Step::Close, EDQUOT, sim::FailureKind::Quota,
                                "the disk quota is used up", false},
                    StepFailure{"errorAtTheRename", Step::Rename, EBUSY,
                                sim::FailureKind::Unwritable, "Device or resource busy", false},
                    StepFailure{"deniedAtTheRename", Step::Rename, EPERM, sim::FailureKind::Denied,
                                "permission denied", false},
                    // The file is whole under its name: a folder that cannot sync loses nothing but
                    // at a power cut, and "cannot write" would be false.
                    StepFailure{"errorAtTheFolderSync", Step::SyncFolder, EIO,
                                sim::FailureKind::Unwritable, "", true},
                    StepFailure{"folderSyncNotSupported", Step::SyncFolder, EINVAL,
                                sim::FailureKind::Unwritable, "", true}),
    [](const testing::TestParamInfo<StepFailure>& row) { return std::string(row.param.name); });

// Lines added to a log are all there or none: the log keeps its bytes whatever step fails.
class AppendSteps : public WriteSteps {};

TEST_P(AppendSteps, leaveTheLogAsItWas)
{
    const StepFailure& c = GetParam();
    ScratchDir dir;
    writeFile(dir / "Tarnwick.log", "a game's line\n");
    const std::string lines = std::string(5000, 'x') + "\n" + std::string(5000, 'y') + "\n";
    for (const bool earlier : {true, false}) {
        const std::filesystem::path log = dir / (earlier ? "Tarnwick.log" : "new.log");
        const sim::Result<sim::Done> added = sim::appendWhole(log, lines);
        if (c.written) {
            ASSERT_TRUE(added) << sim::failureText(added.failure());
            EXPECT_EQ(readFile(log), (earlier ? "a game's line\n" : "") + lines);
            continue;
        }
        ASSERT_FALSE(added) << (earlier ? "to a log" : "a new log");
        const sim::Failure told =
            sim::toldAs(added.failure(), sim::FailureAct::Add, "the plug-in's 2 lines");
        EXPECT_EQ(told.kind, c.kind);
        const bool there = std::filesystem::exists(log);
        EXPECT_EQ(sim::failureText(told), "cannot add the plug-in's 2 lines to " + log.string() +
                                              ": " + c.words +
                                              (there ? " (the log there is as it was)" : ""));
        EXPECT_EQ(there ? readFile(log) : "", earlier ? "a game's line\n" : "");
    }
}

INSTANTIATE_TEST_SUITE_P(
    files, AppendSteps,
    testing::Values(
        StepFailure{"readOnlyDisk", Step::Create, EROFS, sim::FailureKind::ReadOnly,
                    "the disk is read-only", false},
        StepFailure{"noSpaceAtTheWrite", Step::Write, ENOSPC, sim::FailureKind::NoSpace,
                    "no space left on the disk", false},
        StepFailure{"quotaAtTheWrite", Step::Write, EDQUOT, sim::FailureKind::Quota,
                    "the disk quota is used up", false},
        StepFailure{"errorAtTheFlush", Step::Flush, EIO, sim::FailureKind::Unwritable,
                    "Input/output error", false},
        // Flushed, the lines are on the disk: a complaint at the close does not unwrite them.
        StepFailure{"errorAtTheCloseOnceFlushed", Step::Close, EIO, sim::FailureKind::Unwritable,
                    "", true}),
    [](const testing::TestParamInfo<StepFailure>& row) { return std::string(row.param.name); });

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

// What the tool was doing is said with what the system answered: one sentence a way of writing.
TEST(Failure, ofWritingSaysWhatWasWrittenAndWhatWasKept)
{
    sim::Failure full{sim::FailureKind::NoSpace, "D/Tarnwick.log"};
    full.kept = true;
    EXPECT_EQ(sim::failureText(sim::toldAs(full, sim::FailureAct::Add, "the plug-in's 3 lines")),
              "cannot add the plug-in's 3 lines to D/Tarnwick.log: no space left on the disk (the "
              "log there is as it was)");
    EXPECT_EQ(sim::failureText(sim::toldAs(full, sim::FailureAct::Write, "the chart")),
              "cannot write the chart to D/Tarnwick.log: no space left on the disk (the chart "
              "already there is as it was)");
    const sim::Failure planted{sim::FailureKind::NotOurs, "D"};
    EXPECT_EQ(sim::failureText(sim::toldAs(planted, sim::FailureAct::WriteIn, "the plug-in's log")),
              "cannot write the plug-in's log in D: permission denied: it belongs to another user "
              "in a shared folder");
    const sim::Failure odd{sim::FailureKind::Unwritable, "x.svg", 0, "Stale file handle"};
    EXPECT_EQ(sim::failureText(sim::toldAs(odd, sim::FailureAct::Write, "the chart")),
              "cannot write the chart to x.svg: Stale file handle");
    const sim::Failure folder{sim::FailureKind::Folder,     "s.ini", 0, "", 0,
                              sim::FailureAct::ReadSettings};
    EXPECT_EQ(sim::failureText(folder), "s.ini is a folder, not a settings file");
}

} // namespace
