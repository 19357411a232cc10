// The report page as a player opens it: one file, the verdict first, names shown as text, every
// capture accounted for.
#include "sim/cli/commands.h"
#include "sim/doctor/doctor.h"
#include "sim/report/page.h"

#include "test_support.h"

#include <algorithm>
#include <cctype>
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

// A hostile name in every field the page prints: the file's names, the applications read and left
// out, the settings file's path and its findings, an error's reason, a capture's comment, the
// game's folder. Each must arrive as text.
std::string hostile(int field)
{
    return "<img src=x onerror=alert(" + std::to_string(field) + ")>";
}

std::string lowered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

TEST(ReportPage, printsAHostileNameInEveryFieldAsText)
{
    ScratchDir dir;
    std::string table = withASlump(hostile(1) + ".exe");
    for (int i = 0; i < 30; ++i) {
        table += hostile(2) + ".exe,16\n";
    }
    writeFile(dir / (hostile(3) + ".csv"), table);
    std::filesystem::create_directories(dir / hostile(4));
    writeFile(dir / hostile(4) / "Tarnwick.ini",
              "[Settings]\nFPS_Moderate=45\n[" + hostile(5) + "]\n");
    writeFile(dir / (hostile(6) + ".txt"), "nonsense " + hostile(6) + "\n");
    writeFile(
        dir / "cfx.json",
        R"({"Info": {"ProcessName": ")" + hostile(7) + R"(", "Processor": ")" + hostile(8) +
            R"(", "GPU": ")" + hostile(9) + R"(", "Comment": ")" + hostile(10) +
            R"("}, "Runs": [{"CaptureData": {"MsBetweenPresents": [16.6, 16.6, 50, 16.6]}}]})");
    sim::ReportOptions options;
    options.captures = {dir / (hostile(3) + ".csv"), dir / (hostile(6) + ".txt"), dir / "cfx.json"};
    options.common.page = dir / "p.html";
    options.common.ini = dir / hostile(4) / "Tarnwick.ini";
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(sim::reportFromCommandLine(options, out, err), 0) << out.str() << err.str();
    std::string page = readAll(dir / "p.html");
    // The game's folder, as the page names it when the tool lies in it.
    std::filesystem::create_directories(dir / hostile(11));
    sim::ReportPage install;
    install.install = sim::examine(dir / hostile(11), "1.0");
    std::ostringstream second;
    sim::writeReportPage(second, install);
    page += second.str();
    EXPECT_EQ(lowered(page).find("<img"), std::string::npos) << "a name ran as markup";
    for (int field = 1; field <= 11; ++field) {
        EXPECT_NE(page.find("&lt;img src=x onerror=alert(" + std::to_string(field) + ")&gt;"),
                  std::string::npos)
            << "field " << field << " is not on the page";
    }
}

TEST(ReportPage, setsCapturesSideBySideAndTitlesEveryChart)
{
    ScratchDir dir;
    writeFile(dir / "a.csv", withASlump("Game.exe"));
    std::string hitchy = "Application,MsBetweenPresents\n";
    for (int i = 0; i < 900; ++i) {
        hitchy += i % 100 == 50 ? "Game.exe,90\n" : "Game.exe,16.7\n";
    }
    writeFile(dir / "b.csv", hitchy);
    const Page page = reported({dir / "a.csv", dir / "b.csv"}, dir / "p.html");
    ASSERT_EQ(page.status, 0) << page.console;
    const std::size_t table = page.text.find("<h2>The captures side by side</h2>");
    ASSERT_NE(table, std::string::npos);
    EXPECT_LT(table, page.text.find("<h2>a.csv</h2>"));
    // Nine frames of 90 ms among 16.7 ms ones: nine hitches, counted in b's column.
    EXPECT_TRUE(std::regex_search(page.text, std::regex("<th scope='row'>hitches</th><td>0</td>"
                                                        "<td>9</td>")));
    EXPECT_TRUE(std::regex_search(page.text, std::regex("<tr><td>1</td><td>10\\.\\d+ s</td><td>"
                                                        "14\\.\\d+ s</td><td>4\\.\\d s</td><td>"
                                                        "2\\d\\.\\d fps</td></tr>")))
        << "the slump with its start, end, length and frame rate";
    std::size_t charts = 0;
    for (std::size_t at = page.text.find("<svg"); at != std::string::npos;
         at = page.text.find("<svg", at + 1)) {
        ++charts;
        // Its own title, before any of its text, for a screen reader to name it by.
        EXPECT_LT(page.text.find("<title>", at), page.text.find("<text", at))
            << "a chart without its title: " << page.text.substr(at, 200);
    }
    EXPECT_EQ(charts, 7u) << "three charts a capture and the heat map";
    // One scale: every time axis of both captures runs to 25 s, the longer one's length.
    std::size_t swipes = 0;
    for (std::size_t at = page.text.find("it runs to"); at != std::string::npos;
         at = page.text.find("it runs to", at + 1)) {
        EXPECT_EQ(page.text.compare(at, 16, "it runs to 25 s."), 0);
        ++swipes;
    }
    EXPECT_EQ(swipes, 4u);
}

// A menu at 250 fps before play, and a pause: set aside, said, shaded apart from the slumps, and
// the frame-rate scale made for the play, not for the menu.
TEST(ReportPage, showsWhatIsNotPlayApartFromTheSlumps)
{
    ScratchDir dir;
    std::string text = "Application,MsBetweenPresents\n";
    for (int i = 0; i < 2500; ++i) {
        text += "Game.exe,4\n";
    }
    const std::string played = withASlump("Game.exe");
    text += played.substr(played.find('\n') + 1) + "Game.exe,5000\n" +
            played.substr(played.find('\n') + 1);
    writeFile(dir / "menu.csv", text);
    const Page page = reported({dir / "menu.csv"}, dir / "p.html");
    ASSERT_EQ(page.status, 0) << page.console;
    EXPECT_NE(page.text.find("Left out: 10 s of loading screens or menus and 1 pause, not play"),
              std::string::npos);
    EXPECT_NE(page.text.find("<title>not play, left out: a loading screen, a menu or a pause from "
                             "0.000 s to 10.000 s</title>"),
              std::string::npos);
    EXPECT_NE(page.text.find("fill='#ebe6d9'"), std::string::npos);
    EXPECT_EQ(page.text.find(">250</text>"), std::string::npos) << "a scale made for the menu";
    EXPECT_NE(page.text.find("without Tarnwick's purges (Record=2"), std::string::npos);
}

// Games (applications) at different usual rates get an answer each: the page draws and counts
// each game's own pair, never the joint one the verdict does not give.
TEST(ReportPage, drawsEachGamesOwnPairWhereEachGetsItsOwnAnswer)
{
    ScratchDir dir;
    const auto capture = [](const std::string& game, double usualMs, double slumpMs) {
        std::string text = "Application,MsBetweenPresents\n";
        for (const auto& [seconds, ms] :
             {std::pair{30.0, usualMs}, std::pair{8.0, slumpMs}, std::pair{30.0, usualMs}}) {
            for (double t = 0; t < seconds * 1000; t += ms) {
                text += game + "," + std::to_string(ms) + "\n";
            }
        }
        return text;
    };
    writeFile(dir / "slow.csv", capture("Slow.exe", 33.3, 50));
    writeFile(dir / "quick.csv", capture("Quick.exe", 7.1, 11));
    const Page page = reported({dir / "slow.csv", dir / "quick.csv"}, dir / "p.html");
    ASSERT_EQ(page.status, 0) << page.console;
    EXPECT_NE(page.text.find("each game gets its own answer"), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        page.text, std::regex("<th scope='row'>purges, recommended</th><td>[1-9]\\d* \\([1-9]\\d* "
                              "in slumps, 0 outside\\)</td><td>[1-9]\\d* \\([1-9]\\d* in "
                              "slumps, 0 outside\\)</td>")))
        << "each game's own pair catches its own slump";
}

} // namespace
