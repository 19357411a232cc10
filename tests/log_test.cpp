#include "log/log.h"

#include "test_support.h"

#include <regex>

namespace {

using testing_support::readFile;
using testing_support::ScratchDir;
using testing_support::writeFile;

class LogTest : public testing_support::SimTest {
  protected:
    void SetUp() override
    {
        SimTest::SetUp();
        sim::host().machine.logPath = log.string();
    }
    ScratchDir dir;
    const std::filesystem::path log = dir / "Tarnwick.log";
};

TEST_F(LogTest, loggingOffCreatesNothing)
{
    loggingEnabled = false;
    writeLog("hello");
    EXPECT_FALSE(std::filesystem::exists(log));
}

TEST_F(LogTest, lineIsStampedMessageAndLineEnd)
{
    writeLog("Critical performance state. Purging ambient entities.");
    const std::string text = readFile(log);
    // "[Jun 28 2026 17:17:51] message\n": month, space-padded day, year, 24-hour time.
    const std::regex line(R"(\[(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) [ 123]\d \d{4} )"
                          R"(([01]\d|2[0-3]):[0-5]\d:[0-5]\d\] )"
                          R"(Critical performance state\. Purging ambient entities\.\n)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;
}

TEST_F(LogTest, existingLinesKeptAndNewOnesAppendedWithOneStamp)
{
    writeFile(log, "earlier line\n");
    writeLog("first");
    writeLog("second, 100% verbatim %s \\n");
    const std::string text = readFile(log);
    const std::string stamp = buildStamp;
    EXPECT_EQ(text,
              "earlier line\n" + stamp + "first\n" + stamp + "second, 100% verbatim %s \\n\n");
}

TEST_F(LogTest, unopenableTargetLosesTheLineQuietly)
{
    std::filesystem::create_directory(log);
    writeFile(log / "inside", "kept");
    writeLog("lost");
    EXPECT_TRUE(std::filesystem::is_directory(log));
    EXPECT_EQ(readFile(log / "inside"), "kept");
}

} // namespace
