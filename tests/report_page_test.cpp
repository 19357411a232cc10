// The report page as a player opens it: one file, the verdict first, names shown as text, every
// capture accounted for.
#include "sim/cli/commands.h"

#include "test_support.h"

#include <fstream>
#include <regex>
#include <sstream>

namespace {

using testing_support::ScratchDir;
using testing_support::writeFile;

std::string readAll(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// Ten seconds at 60 fps, three at 25, ten at 60.
std::string withASlump(const std::string& application)
{
    std::string text = "Application,MsBetweenPresents\n";
    const auto add = [&](int frames, const char* ms) {
        for (int i = 0; i < frames; ++i) {
            text += application + "," + ms + "\n";
        }
    };
    add(600, "16.7");
    add(120, "40");
    add(600, "16.7");
    return text;
}

struct Page {
    int status;
    std::string text;
    std::string console;
};

Page reported(const std::vector<std::filesystem::path>& captures, const std::filesystem::path& to)
{
    sim::ReportOptions options;
    options.captures = captures;
    options.common.page = to;
    std::ostringstream out;
    std::ostringstream err;
    const int status = sim::reportFromCommandLine(options, out, err);
    return {status, readAll(to), out.str() + err.str()};
}

TEST(ReportPage, isOneFileThatNamesEveryCaptureAndEscapesTheirNames)
{
    ScratchDir dir;
    writeFile(dir / "a.csv", withASlump("<script>alert(1)</script>.exe"));
    writeFile(dir / "b.csv", withASlump("Game.exe"));
    writeFile(dir / "junk.csv", "nonsense\n");
    const Page page = reported({dir / "a.csv", dir / "b.csv", dir / "junk.csv"}, dir / "p.html");
    EXPECT_EQ(page.status, 0) << page.console;
    EXPECT_EQ(page.text.find("<script"), std::string::npos) << "a name ran as markup";
    EXPECT_NE(page.text.find("&lt;script&gt;alert(1)&lt;/script&gt;.exe"), std::string::npos);
    // Nothing outside the file is asked for.
    EXPECT_FALSE(std::regex_search(page.text, std::regex(R"((src|href)\s*=|url\(\s*['"]?http)")));
    // The verdict comes before any capture's section, and the unreadable one says why.
    const std::size_t verdict = page.text.find("class='verdict'");
    ASSERT_NE(verdict, std::string::npos);
    EXPECT_LT(verdict, page.text.find("<h2>a.csv</h2>"));
    EXPECT_NE(page.text.find("<h2>b.csv</h2>"), std::string::npos);
    EXPECT_TRUE(std::regex_search(page.text,
                                  std::regex("<h2>junk.csv</h2>\n<p class='error'>Not read: [^<]*"
                                             "unrecognised capture format")));
    // Two captures of one slump each, judged together.
    EXPECT_NE(page.text.find("catches both slumps"), std::string::npos) << page.console;
    EXPECT_NE(page.console.find("page: "), std::string::npos);
}

TEST(ReportPage, withNoCaptureReadStillSaysWhyAndFails)
{
    ScratchDir dir;
    writeFile(dir / "junk.csv", "nonsense\n");
    const Page page = reported({dir / "junk.csv"}, dir / "p.html");
    EXPECT_EQ(page.status, 1);
    EXPECT_NE(page.text.find("No capture could be read"), std::string::npos);
    EXPECT_NE(page.text.find("unrecognised capture format"), std::string::npos);
}

TEST(ReportPage, saysACaptureWasCutShortAmongItsFacts)
{
    ScratchDir dir;
    writeFile(dir / "a.csv", withASlump("Game.exe") + "Game.e");
    const Page page = reported({dir / "a.csv"}, dir / "p.html");
    EXPECT_EQ(page.status, 0) << page.console;
    EXPECT_NE(page.text.find("<tr><th scope='row'>cut short</th><td>the last line is cut short (6 "
                             "bytes): left out; the capture tool was probably stopped while "
                             "writing</td></tr>"),
              std::string::npos);
}

TEST(ReportPage, neverWritesOverACapture)
{
    ScratchDir dir;
    writeFile(dir / "a.csv", withASlump("Game.exe"));
    sim::ReportOptions options;
    options.captures = {dir / "a.csv"};
    options.common.page = dir / "a.csv";
    std::ostringstream out;
    std::ostringstream err;
    EXPECT_EQ(sim::reportFromCommandLine(options, out, err), 2);
    EXPECT_EQ(readAll(dir / "a.csv"), withASlump("Game.exe"));
}

} // namespace
