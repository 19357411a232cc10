// What writing a file whole means on every platform; the platform's part is in files_*.cpp.
#include "sim/files.h"
#include "sim/files_platform.h"
#include "sim/text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <system_error>
#include <utility>

namespace sim {

Result<std::string> readBounded(const std::filesystem::path& path, std::uint64_t maxBytes)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    const auto failed = [&](FailureKind kind, std::string what) {
        return Failure{kind, path, 0, std::move(what), maxBytes};
    };
    if (!std::filesystem::exists(status)) {
        return failed(FailureKind::Missing, std::generic_category().message(ENOENT));
    }
    if (std::filesystem::is_directory(status)) {
        return failed(FailureKind::Folder, "");
    }
    if (!std::filesystem::is_regular_file(status)) {
        return failed(FailureKind::NotAFile, "");
    }
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > maxBytes) {
        return failed(FailureKind::TooLarge, "");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return failed(FailureKind::Unreadable, std::generic_category().message(errno));
    }
    std::string bytes;
    char chunk[1 << 16];
    while (bytes.size() <= maxBytes && (in.read(chunk, sizeof chunk) || in.gcount() > 0)) {
        bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
    }
    if (bytes.size() > maxBytes) {
        return failed(FailureKind::TooLarge, "");
    }
    return bytes;
}

Failure errnoFailure(int error, const std::filesystem::path& path)
{
    const auto failed = [&](FailureKind kind) { return Failure{kind, path, 0, {}}; };
    switch (error) {
    case ENOSPC:
        return failed(FailureKind::NoSpace);
#ifdef EDQUOT
    case EDQUOT:
        return failed(FailureKind::Quota);
#endif
    case EFBIG:
        return failed(FailureKind::TooBig);
    case EROFS:
        return failed(FailureKind::ReadOnly);
    case EACCES:
    case EPERM:
        return failed(FailureKind::Denied);
    case ENOENT:
        return failed(FailureKind::NoFolder);
    case ENOTDIR:
        return failed(FailureKind::NotAFolder);
    case EISDIR:
        return failed(FailureKind::Folder);
    case EPIPE:
        return failed(FailureKind::PipeClosed);
    case ENAMETOOLONG:
        return failed(FailureKind::NameTooLong);
    default:
        return Failure{FailureKind::Unwritable, path, 0, std::strerror(error)};
    }
}

std::filesystem::path besideName(const std::filesystem::path& target, unsigned process,
                                 unsigned count)
{
    // Only the name's start: a target of 255 bytes, the most a folder takes, still gets one.
    constexpr std::size_t kept = 16;
    std::u8string start = target.filename().u8string();
    if (start.size() > kept) {
        std::size_t end = kept;
        while (end > 0 && (static_cast<unsigned char>(start[end]) & 0xC0) == 0x80) {
            --end; // never inside a letter
        }
        start.resize(end);
    }
    const std::string tail =
        "." + std::to_string(process) + "-" + std::to_string(count) + ".tarnwick-partial";
    return target.parent_path() /
           std::filesystem::path(start + std::u8string(tail.begin(), tail.end()));
}

std::string shownPath(const std::filesystem::path& path)
{
    return shownWhole(utf8Of(path));
}

Result<Done> replaceable(const Occupant& occupant, unsigned user)
{
    if (!occupant.exists) {
        return Done{};
    }
    // The kernel lets root replace it; a planted link or file in /tmp is exactly what it must not.
    // As the kernel's protected_symlinks: trusted only when the folder's owner owns it too.
    if (occupant.folderSticky && occupant.owner != user && occupant.owner != occupant.folderOwner) {
        return Failure{FailureKind::NotOurs};
    }
    if (occupant.link) {
        return Done{}; // the link is replaced, never what it names
    }
    const bool writable = user == rootUser ? (occupant.mode & 0222) != 0 : occupant.writable;
    if (!writable) {
        return Failure{FailureKind::Denied};
    }
    return Done{};
}

namespace {

// A pipe or a device takes what it is given as it comes.
Result<Done> writeStraight(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* file = openFile(path, "wb");
    if (file == nullptr) {
        return errnoFailure(errno, path);
    }
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed) {
        return Done{};
    }
    return errnoFailure(written ? errno : error, path);
}

// The output may be replaced by this user and is no folder.
Result<Done> mayWriteOver(const std::filesystem::path& path)
{
    if (Result<Done> may = replaceable(occupantOf(path), currentUser()); !may) {
        Failure failure = may.failure();
        failure.path = path;
        return failure;
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return Failure{FailureKind::Folder, path, 0, {}};
    }
    return Done{};
}

// A new file beside target that no other writer uses, made by calls.
long createBeside(const WriteCalls& calls, const std::filesystem::path& target,
                  std::filesystem::path& made, WriteCalls::Handle& file)
{
    static std::atomic<unsigned> count{0};
    long code = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        made = besideName(target, processNumber(), count++);
        code = calls.createNew(made, target, file);
        if (!alreadyExists(code)) {
            return code;
        }
    }
    return code;
}

long writeAll(const WriteCalls& calls, WriteCalls::Handle file, std::string_view bytes)
{
    while (!bytes.empty()) {
        std::size_t put = 0;
        if (const long code = calls.write(file, bytes.data(), bytes.size(), put); code != 0) {
            return code;
        }
        bytes.remove_prefix(std::min(put, bytes.size()));
    }
    return 0;
}

std::filesystem::path folderOf(const std::filesystem::path& path)
{
    return path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
}

// bytes into a new file beside target, flushed to the disk, renamed over target; on failure the
// new file is removed and what was at target is as it was.
Result<Done> replaceWhole(const std::filesystem::path& target, std::string_view bytes)
{
    const WriteCalls& calls = writeCalls();
    std::filesystem::path made;
    WriteCalls::Handle file = 0;
    if (const long code = createBeside(calls, target, made, file); code != 0) {
        return writeFailure(code, target);
    }
    long code = writeAll(calls, file, bytes);
    if (code == 0) {
        code = calls.flush(file);
    }
    const long closed = calls.close(file);
    if (code == 0) {
        code = closed;
    }
    // Only a whole file on the disk takes the target's name.
    if (code == 0) {
        code = calls.rename(made, target);
    }
    if (code != 0) {
        calls.remove(made);
        return writeFailure(code, target);
    }
    // The file is whole under its name: a folder that will not sync (some file systems cannot)
    // risks the name only at a power cut, and saying "cannot write" would be false.
    (void)calls.syncFolder(folderOf(target));
    return Done{};
}

// Makes and removes a new file beside target: it can take one, or why not.
Result<Done> probeBeside(const std::filesystem::path& target)
{
    const WriteCalls& calls = writeCalls();
    std::filesystem::path made;
    WriteCalls::Handle file = 0;
    if (const long code = createBeside(calls, target, made, file); code != 0) {
        return writeFailure(code, target);
    }
    calls.close(file);
    calls.remove(made);
    return Done{};
}

} // namespace

bool isSpecialFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

Result<Done> writeWhole(const std::filesystem::path& path, std::string_view bytes)
{
    std::error_code error;
    const bool earlier = std::filesystem::is_regular_file(path, error);
    Result<Done> written = mayWriteOver(path);
    if (written) {
        // /dev/stdout, a pipe: through the link is the point
        written = isSpecialFile(path) ? writeStraight(path, bytes) : replaceWhole(path, bytes);
    }
    if (written) {
        return written;
    }
    Failure failure = written.failure();
    failure.kept = earlier;
    return failure;
}

Result<Done> probeWritable(const std::filesystem::path& path)
{
    if (Result<Done> may = mayWriteOver(path); !may) {
        return may;
    }
    if (isSpecialFile(path)) {
        return Done{};
    }
    return probeBeside(path);
}

Result<Done> appendWhole(const std::filesystem::path& path, std::string_view bytes)
{
    const auto failed = [&](Failure failure) {
        std::error_code error;
        failure.path = path;
        failure.kept = std::filesystem::exists(path, error);
        return failure;
    };
    // Only the owner of a link in a shared folder may have it followed (as the kernel's
    // protected_symlinks rule); elsewhere ">>" follows links, and so do we.
    if (Result<Done> may = replaceable(occupantOf(path), currentUser()); !may) {
        return failed(may.failure());
    }
    const WriteCalls& calls = writeCalls();
    WriteCalls::Handle file = 0;
    if (const long code = calls.openToAdd(path, file); code != 0) {
        return failed(writeFailure(code, path));
    }
    // One write is added whole between another program's writes; a short one goes on.
    std::size_t put = 0;
    long code = 0;
    while (put < bytes.size() && code == 0) {
        std::size_t piece = 0;
        code = calls.write(file, bytes.data() + put, bytes.size() - put, piece);
        put += code == 0 ? std::min(piece, bytes.size() - put) : 0;
    }
    if (code == 0) {
        code = calls.flush(file);
    }
    if (code != 0 && put > 0) {
        (void)calls.takeBack(file, path, put); // the log as it was, when ours were the last
    }
    // Once flushed, the lines are on the disk: a close that complains cannot take them back, and
    // "cannot add" would be false.
    (void)calls.close(file);
    if (code != 0) {
        return failed(writeFailure(code, path));
    }
    return Done{};
}

namespace {

std::optional<WriteCalls> replacedCalls;

} // namespace

const WriteCalls& writeCalls()
{
    return replacedCalls ? *replacedCalls : systemWriteCalls();
}

WriteCalls replaceWrite(const WriteCalls& calls)
{
    const WriteCalls before = writeCalls();
    replacedCalls = calls;
    return before;
}

} // namespace sim
