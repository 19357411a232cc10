// Shared helpers: a scratch folder, file writing, and a fresh simulated host per test.
#pragma once

#include "log/log.h"
#include "sim/host/host.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace testing_support {

class ScratchDir {
  public:
    ScratchDir()
    {
        std::random_device seed;
        path_ = std::filesystem::temp_directory_path() /
                ("tarnwick-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
        std::filesystem::create_directories(path_);
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  private:
    std::filesystem::path path_;
};

// A readable, stable name for a parameterised case: letters and digits kept, the rest '_'.
inline std::string caseName(std::string text)
{
    for (char& c : text) {
        c = std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
    }
    return text;
}

inline void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << bytes;
}

inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class SimTest : public ::testing::Test {
  protected:
    void SetUp() override { sim::resetHost(); }
    void TearDown() override
    {
        sim::resetHost();
        loggingEnabled = true; // the plug-in's one global outlives each test
    }
};

// A game folder that also holds the plug-in's log, and a clock well past boot.
class GameTest : public SimTest {
  protected:
    ScratchDir game;

    void SetUp() override
    {
        SimTest::SetUp();
        sim::host().machine.exePath = (game / "game.exe").string();
        sim::host().machine.logPath = (game / "Tarnwick.log").string();
        sim::host().clock.tickMs = 100000;
    }
};

} // namespace testing_support
