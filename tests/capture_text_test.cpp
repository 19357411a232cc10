// The text beneath every capture: the encodings and line ends Windows tools write, names in
// UTF-16, the cells of a CSV line, reading ahead on a thread of its own, and the line reader.
#include "sim/capture/capture.h"
#include "sim/capture/csv.h"
#include "sim/capture/line_reader.h"

#include "capture_support.h"
#include "test_support.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using capture_support::captures;
using capture_support::fixtures;
using capture_support::replay;
using capture_support::Replayed;
using testing_support::ScratchDir;
using testing_support::writeFile;

// Captures as Windows tools save them: every encoding and line end gives the frames the UTF-8
// original with line feeds gives.
std::string utf16(const std::string& text, bool bigEndian, bool mark)
{
    std::string out = mark ? (bigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
    for (const char c : text) { // the fixtures are ASCII
        out += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    }
    return out;
}

std::string withLineEnds(std::string text, const std::string& end)
{
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? end : std::string(1, c);
    }
    return out;
}

TEST(Capture, everyEncodingAndLineEndAWindowsToolWritesReadsTheSame)
{
    ScratchDir dir;
    for (const std::filesystem::path& original :
         {captures / "presentmon-1.csv", captures / "ocat.csv", fixtures / "mangohud.csv",
          fixtures / "plain.txt"}) {
        const std::string text = testing_support::readFile(original);
        const Replayed expected = replay(original);
        const std::pair<const char*, std::string> variants[] = {
            {"utf16le-bom", utf16(text, false, true)},
            {"utf16le", utf16(text, false, false)},
            {"utf16be-bom", utf16(text, true, true)},
            {"utf16be", utf16(text, true, false)},
            {"cr-only", withLineEnds(text, "\r")},
            {"crlf", withLineEnds(text, "\r\n")},
            {"utf16le-crlf", utf16(withLineEnds(text, "\r\n"), false, true)}};
        for (const auto& [label, bytes] : variants) {
            const std::filesystem::path copy =
                dir / (std::string(label) + original.extension().string());
            writeFile(copy, bytes);
            const Replayed got = replay(copy);
            EXPECT_EQ(got.frames, expected.frames) << original << " " << label;
            EXPECT_EQ(got.summary.format, expected.summary.format) << original << " " << label;
            if (expected.summary.format == sim::CaptureFormat::PresentMon) { // else the file name
                EXPECT_EQ(got.summary.application, expected.summary.application) << label;
            }
        }
    }
}

TEST(Capture, utf16NamesAndLoneSurrogatesBecomeUtf8)
{
    ScratchDir dir;
    // "Zoë 🎮.exe" with its surrogate pair, then a name with a lone high surrogate.
    const std::u16string text = u"Application,MsBetweenPresents\r\nZo\u00EB \U0001F3AE.exe,16\r\n"
                                u"Bad\xD800.exe,16\r\nBad\xD800.exe,16\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    writeFile(dir / "names.csv", bytes);
    const Replayed r = replay(dir / "names.csv");
    ASSERT_EQ(r.summary.applications.size(), 2u);
    EXPECT_EQ(r.summary.applications[0].name, "Zoë \xF0\x9F\x8E\xAE.exe");
    EXPECT_EQ(r.summary.applications[1].name, "Bad\xEF\xBF\xBD.exe");
    EXPECT_EQ(r.summary.application, r.summary.applications[1].name) << "the most frames";
}

// Lines are split sixteen bytes at a time: fields ending on, before and after those edges, quotes
// anywhere, and a limit on the fields taken.
TEST(SplitCsv, fieldsAcrossEveryEdgeOfSixteenBytes)
{
    struct Row {
        std::string line;
        std::size_t maxFields;
        std::vector<std::string> fields;
    };
    const std::string fifteen(15, 'a');
    const std::string sixteen(16, 'b');
    const std::vector<Row> rows = {
        {"", 5, {""}},
        {",", 5, {"", ""}},
        {fifteen + "," + sixteen + ",c", 5, {fifteen, sixteen, "c"}},
        {sixteen + "," + fifteen + ",", 5, {sixteen, fifteen, ""}},
        {sixteen + sixteen + ",x", 5, {sixteen + sixteen, "x"}},
        {"a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q,r",
         11,
         {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k"}},
        {"a,b,c", 0, {}},
        {fifteen + ",\"q,uoted\",z", 5, {fifteen, "q,uoted", "z"}},
        {sixteen + sixteen + ",\"x\"", 5, {sixteen + sixteen, "x"}},
        {"mid\"quote,b", 5, {"mid\"quote", "b"}},
    };
    std::vector<std::string_view> fields;
    for (const Row& row : rows) {
        EXPECT_EQ(sim::splitCsv(row.line, fields, row.maxFields), row.fields.size()) << row.line;
        EXPECT_EQ(std::vector<std::string>(fields.begin(), fields.end()), row.fields) << row.line;
    }
}

std::string manyFrames(int count)
{
    std::string text = "Application,MsBetweenPresents\n";
    for (int i = 0; i < count; ++i) {
        text += "Game.exe," + std::to_string(10 + i % 50) + "\n";
    }
    return text;
}

// The capture is read on a thread of its own: frames still come in order, an error near the end
// comes after every frame before it, and a replay that gives up stops the reading.
TEST(Capture, readingAheadKeepsOrderAndErrors)
{
    ScratchDir dir;
    constexpr int count = 100000;
    writeFile(dir / "late-error.csv", manyFrames(count) + "Game.exe,oops\n");
    std::vector<double> frames;
    EXPECT_FALSE(sim::replayCapture(dir / "late-error.csv", {},
                                    [&frames](double ms) { frames.push_back(ms); }));
    ASSERT_EQ(frames.size(), static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(frames[static_cast<std::size_t>(i)], 10 + i % 50) << "frame " << i;
    }

    writeFile(dir / "long.csv", manyFrames(count));
    int seen = 0;
    EXPECT_THROW(sim::replayCapture(dir / "long.csv", {},
                                    [&seen](double) {
                                        if (++seen == 5000) {
                                            throw std::runtime_error("replay gave up");
                                        }
                                    }),
                 std::runtime_error);
    EXPECT_EQ(seen, 5000);
}

TEST(LineReader, linesLongerThanTheBufferAndMixedLineEnds)
{
    ScratchDir dir;
    const std::string longLine(sim::maxLineBytes, 'x'); // the longest there may be
    writeFile(dir / "lines", "a\r\n" + longLine + "\nb\n\nc");
    sim::LineReader reader(dir / "lines");
    std::vector<std::string> lines;
    std::string_view line;
    while (reader.next(line)) {
        lines.emplace_back(line);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"a", longLine, "b", "", "c"}));
    EXPECT_EQ(reader.lineNumber(), 5u);
}

// A tool stopped in the middle of a UTF-16 letter: the line it was writing is cut short.
TEST(Capture, utf16CutInsideALetterIsCutShort)
{
    ScratchDir dir;
    const std::string whole = utf16("16.6\n20\n25", false, true);
    writeFile(dir / "cut.txt", whole.substr(0, whole.size() - 1));
    const Replayed r = replay(dir / "cut.txt");
    EXPECT_EQ(r.frames, (std::vector<double>{16.6, 20}));
    EXPECT_EQ(r.summary.cutLastLineBytes, 4u); // "2" and U+FFFD
}

// Only the last line can lack a line end; a carriage return alone still ends what it holds.
TEST(LineReader, saysWhetherALineEndFollowedEachLine)
{
    ScratchDir dir;
    const std::pair<std::string, std::vector<bool>> files[] = {
        {"a\r\nb\nc", {true, true, false}},
        {"a\nb\r", {true, true}},
        {"a\rb", {true, false}},
        {"a\n\n", {true, true}},
        {utf16("a\r\nb", false, true), {true, false}}};
    for (const auto& [text, ended] : files) {
        writeFile(dir / "lines", text);
        sim::LineReader reader(dir / "lines");
        std::vector<bool> got;
        std::string_view line;
        while (reader.next(line)) {
            got.push_back(reader.lineEnded());
        }
        EXPECT_EQ(got, ended) << testing::PrintToString(text);
    }
}

// A source without line ends (a file of NUL bytes, /dev/zero) is not read into one growing line.
TEST(LineReader, aLineLongerThanAnyCaptureHoldsIsAnErrorNamingIt)
{
    ScratchDir dir;
    writeFile(dir / "lines", "a\n" + std::string(sim::maxLineBytes + 1, '\0') + "\nb\n");
    sim::LineReader reader(dir / "lines");
    std::string_view line;
    ASSERT_TRUE(reader.next(line));
    try {
        reader.next(line);
        FAIL() << "read a line longer than the limit";
    } catch (const sim::CaptureError& error) {
        EXPECT_NE(std::string(error.what()).find(":2: a line longer than 1 MiB"), std::string::npos)
            << error.what();
    }
}

// CapFrameX's JSON on one line, piped in: what to do instead, not "not a capture".
TEST(LineReader, aLongFirstLineThatStartsAsJsonSaysToGiveTheFile)
{
    ScratchDir dir;
    for (const std::string mark : {"", "\xEF\xBB\xBF"}) {
        writeFile(dir / "one-line.json",
                  mark + " {\"Runs\":[{\"CaptureData\":{\"MsBetweenPresents\":[" +
                      std::string(sim::maxLineBytes, '1') + "]}}]}");
        sim::LineReader reader(dir / "one-line.json");
        std::string_view line;
        try {
            reader.next(line);
            ADD_FAILURE() << "read a line longer than the limit";
        } catch (const sim::CaptureError& error) {
            EXPECT_NE(std::string(error.what())
                          .find(":1: a line longer than 1 MiB that starts as JSON does: CapFrameX "
                                "JSON is read from a file"),
                      std::string::npos)
                << error.what();
        }
    }
}

TEST(LineReader, directoryOrMissingFileIsAClearError)
{
    ScratchDir dir;
    EXPECT_THROW(sim::LineReader{dir.path()}, sim::CaptureError);
    EXPECT_THROW(sim::LineReader{dir / "absent.csv"}, sim::CaptureError);
}

TEST(CountText, groupsThousandsWithCommas)
{
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0, "0"},
        {999, "999"},
        {1000, "1,000"},
        {999999, "999,999"},
        {1000000, "1,000,000"},
        {UINT64_MAX, "18,446,744,073,709,551,615"},
    };
    for (const auto& [count, text] : cases) {
        EXPECT_EQ(sim::countText(count), text) << count;
    }
}

} // namespace
