#include "sim/files.h"
#include "sim/files_platform.h"

#include <atomic>
#include <cerrno>
#include <cstring>
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

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path)
{
    struct stat named = {};
    if (stat(path.c_str(), &named) != 0) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = static_cast<std::uint64_t>(named.st_dev);
    static_assert(sizeof named.st_ino <= sizeof identity.file);
    std::memcpy(identity.file.data(), &named.st_ino, sizeof named.st_ino);
    return identity;
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

int descriptorOf(WriteCalls::Handle file)
{
    return static_cast<int>(file);
}

long createNew(const std::filesystem::path& made, const std::filesystem::path& like,
               WriteCalls::Handle& file)
{
    const int fd = open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    // A file the player made readable to others stays so (a link's bits are no one's).
    struct stat before = {};
    if (lstat(like.c_str(), &before) == 0 && S_ISREG(before.st_mode)) {
        fchmod(fd, before.st_mode & 07777);
    }
    file = fd;
    return 0;
}

long writeSome(WriteCalls::Handle file, const char* bytes, std::size_t size, std::size_t& put)
{
    for (;;) {
        const ssize_t got = write(descriptorOf(file), bytes, size);
        if (got > 0) {
            put = static_cast<std::size_t>(got);
            return 0;
        }
        if (got == 0) {
            return ENOSPC;
        }
        if (errno != EINTR) {
            return errno;
        }
    }
}

long flushToDisk(WriteCalls::Handle file)
{
    return fsync(descriptorOf(file)) == 0 ? 0 : errno;
}

long closeFile(WriteCalls::Handle file)
{
    return close(descriptorOf(file)) == 0 ? 0 : errno;
}

long renameOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    return rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

long removeFile(const std::filesystem::path& path)
{
    return unlink(path.c_str()) == 0 ? 0 : errno;
}

// A rename is an entry of the folder: it reaches the disk when the folder is synced.
long syncFolder(const std::filesystem::path& folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const long code = fsync(fd) == 0 ? 0 : errno;
    close(fd);
    return code;
}

long openToAdd(const std::filesystem::path& path, WriteCalls::Handle& file)
{
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return errno;
    }
    file = fd;
    return 0;
}

long takeBack(WriteCalls::Handle file, const std::filesystem::path&, std::uint64_t put)
{
    const int fd = descriptorOf(file);
    const off_t end = lseek(fd, 0, SEEK_CUR);
    struct stat now = {};
    if (end < 0 || fstat(fd, &now) != 0) {
        return errno;
    }
    if (now.st_size != end) {
        return 0; // another's lines follow ours: they stay, and so do ours
    }
    return ftruncate(fd, end - static_cast<off_t>(put)) == 0 ? 0 : errno;
}

constexpr WriteCalls systemCalls = {createNew,  writeSome, flushToDisk, closeFile, renameOver,
                                    removeFile, openToAdd, takeBack,    syncFolder};

} // namespace

const WriteCalls& systemWriteCalls()
{
    return systemCalls;
}

Failure writeFailure(long code, const std::filesystem::path& path)
{
    return errnoFailure(static_cast<int>(code), path);
}

bool alreadyExists(long code)
{
    return code == EEXIST;
}

unsigned processNumber()
{
    return static_cast<unsigned>(getpid());
}

Occupant occupantOf(const std::filesystem::path& path)
{
    Occupant occupant;
    struct stat file = {};
    if (lstat(path.c_str(), &file) != 0) {
        return occupant;
    }
    occupant.exists = true;
    occupant.link = S_ISLNK(file.st_mode);
    occupant.owner = file.st_uid;
    occupant.mode = file.st_mode & 07777;
    occupant.writable = occupant.link || access(path.c_str(), W_OK) == 0 || errno == EROFS;
    struct stat folder = {};
    const std::filesystem::path parent = path.parent_path().empty() ? "." : path.parent_path();
    if (stat(parent.c_str(), &folder) == 0) {
        occupant.folderSticky = (folder.st_mode & S_ISVTX) != 0;
        occupant.folderOwner = folder.st_uid;
    }
    return occupant;
}

unsigned currentUser()
{
    return geteuid();
}

namespace {

// Slots a signal handler reads: a path is written while Claimed, read only once Held.
enum HeldState : int { Free, Claimed, Held };
struct HeldFolder {
    std::atomic<int> state{Free};
    char path[4096] = {};
};
HeldFolder heldFolders[8];

// Only calls a signal handler may make.
void removeIn(const char* folder, const char* name)
{
    char file[sizeof HeldFolder::path + 32];
    std::size_t at = 0;
    for (const char* c = folder; *c != '\0' && at < sizeof file - 34; ++c) {
        file[at++] = *c;
    }
    file[at++] = '/';
    for (const char* c = name; *c != '\0' && at < sizeof file - 1; ++c) {
        file[at++] = *c;
    }
    file[at] = '\0';
    unlink(file);
}

} // namespace

void holdTemporaryFolder(const std::filesystem::path& folder)
{
    const std::string& text = folder.native();
    if (text.size() >= sizeof HeldFolder::path) {
        return; // longer than any temporary folder: removed only at its session's end
    }
    for (HeldFolder& slot : heldFolders) {
        int free = Free;
        if (slot.state.compare_exchange_strong(free, Claimed)) {
            std::memcpy(slot.path, text.c_str(), text.size() + 1);
            slot.state.store(Held);
            return;
        }
    }
}

void releaseTemporaryFolder(const std::filesystem::path& folder)
{
    for (HeldFolder& slot : heldFolders) {
        if (slot.state.load() == Held && folder.native() == slot.path) {
            slot.state.store(Free);
        }
    }
}

void removeTemporaryFolders()
{
    for (HeldFolder& slot : heldFolders) {
        int held = Held;
        if (!slot.state.compare_exchange_strong(held, Claimed)) {
            continue;
        }
        for (const char* name : temporaryFolderFiles) {
            removeIn(slot.path, name);
        }
        rmdir(slot.path);
        slot.state.store(Free);
    }
}

} // namespace sim
