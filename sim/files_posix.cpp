#include "sim/files.h"
#include "sim/files_platform.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
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

bool inputsWereEnded()
{
    return inputsEnded.load();
}

namespace {

// A new file beside target that no one else writes: its descriptor and name, or -1 and errno.
int createBeside(const std::filesystem::path& target, std::filesystem::path& made)
{
    static std::atomic<unsigned> count{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = besideName(target, static_cast<unsigned>(getpid()), count++);
        const int fd = open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t put = write(fd, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            if (put == 0) {
                errno = ENOSPC;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
    return true;
}

} // namespace

std::string replaceWhole(const std::filesystem::path& target, std::string_view bytes)
{
    std::filesystem::path made;
    const int fd = createBeside(target, made);
    if (fd < 0) {
        return reasonOfErrno(errno);
    }
    // A file the player made readable to others stays so.
    struct stat before = {};
    if (stat(target.c_str(), &before) == 0) {
        fchmod(fd, before.st_mode & 07777);
    }
    bool done = writeAll(fd, bytes) && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && done) {
        done = false;
        error = errno;
    }
    if (done && rename(made.c_str(), target.c_str()) == 0) {
        return {};
    }
    if (done) {
        error = errno;
    }
    unlink(made.c_str());
    return reasonOfErrno(error);
}

std::string probeBeside(const std::filesystem::path& target)
{
    std::filesystem::path made;
    const int fd = createBeside(target, made);
    if (fd < 0) {
        return reasonOfErrno(errno);
    }
    close(fd);
    unlink(made.c_str());
    return {};
}

} // namespace sim
