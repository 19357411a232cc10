// What writing a file whole means on every platform; the platform's part is in files_*.cpp.
#include "sim/files.h"
#include "sim/files_platform.h"
#include "sim/text.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace sim {

std::string failureText(const Failure& failure)
{
    if (failure.path.empty()) {
        return failure.what;
    }
    const std::string line = failure.line > 0 ? ":" + std::to_string(failure.line) : "";
    return shownPath(failure.path) + line + ": " + failure.what;
}

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

std::string reasonOfErrno(int error)
{
    switch (error) {
    case ENOSPC:
        return "no space left on the disk";
#ifdef EDQUOT
    case EDQUOT:
        return "the disk quota is used up";
#endif
    case EFBIG:
        return "the file would be larger than this system allows";
    case EROFS:
        return "the disk is read-only";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ENOENT:
        return "there is no such folder";
    case ENOTDIR:
        return "a part of the path is not a folder";
    case EISDIR:
        return "it is a folder";
    case EPIPE:
        return "the program reading the pipe went away";
    case ENAMETOOLONG:
        return "the name is too long for this system";
    default:
        return std::strerror(error);
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

std::string whyNotReplaceable(const Occupant& occupant, unsigned user)
{
    if (!occupant.exists) {
        return {};
    }
    // The kernel lets root replace it; a planted link or file in /tmp is exactly what it must not.
    // As the kernel's protected_symlinks: trusted only when the folder's owner owns it too.
    if (occupant.folderSticky && occupant.owner != user && occupant.owner != occupant.folderOwner) {
        return "permission denied: it belongs to another user in a shared folder";
    }
    if (occupant.link) {
        return {}; // the link is replaced, never what it names
    }
    const bool writable = user == rootUser ? (occupant.mode & 0222) != 0 : occupant.writable;
    return writable ? std::string() : "permission denied";
}

namespace {

// A pipe or a device takes what it is given as it comes.
std::string writeStraight(const std::filesystem::path& path, std::string_view bytes)
{
    std::FILE* file = openFile(path, "wb");
    if (file == nullptr) {
        return reasonOfErrno(errno);
    }
    const bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
    const int error = errno;
    const bool closed = std::fclose(file) == 0;
    return written && closed ? std::string() : reasonOfErrno(written ? errno : error);
}

} // namespace

bool isSpecialFile(const std::filesystem::path& path)
{
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status) &&
           !std::filesystem::is_directory(status);
}

std::string writeWhole(const std::filesystem::path& path, std::string_view bytes)
{
    if (std::string why = whyNotReplaceable(occupantOf(path), currentUser()); !why.empty()) {
        return why;
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    if (isSpecialFile(path)) {
        return writeStraight(path, bytes); // /dev/stdout, a pipe: through the link is the point
    }
    return replaceWhole(path, bytes);
}

std::string whyNotWritable(const std::filesystem::path& path)
{
    if (std::string why = whyNotReplaceable(occupantOf(path), currentUser()); !why.empty()) {
        return why;
    }
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    if (isSpecialFile(path)) {
        return {};
    }
    return probeBeside(path);
}

} // namespace sim
