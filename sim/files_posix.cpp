#include "sim/files.h"

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

std::FILE* standardInput()
{
    return stdin;
}

bool isStandardInputFile(const std::filesystem::path& path)
{
    struct stat input = {};
    struct stat named = {};
    return fstat(STDIN_FILENO, &input) == 0 && stat(path.c_str(), &named) == 0 &&
           input.st_dev == named.st_dev && input.st_ino == named.st_ino;
}

namespace {

std::atomic<bool> inputsEnded{false};

} // namespace

std::size_t readSome(std::FILE* file, char* out, std::size_t size)
{
    if (inputsEnded.load()) {
        return 0;
    }
    const ssize_t got = read(fileno(file), out, size);
    return got > 0 ? static_cast<std::size_t>(got) : 0; // EINTR: Ctrl+C ends the input
}

void endInputs()
{
    inputsEnded.store(true);
}

} // namespace sim
