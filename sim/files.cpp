// What writing a file whole means on every platform; the platform's part is in files_*.cpp.
#include "sim/files.h"
#include "sim/files_platform.h"

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
    return utf8Of(failure.path) + line + ": " + failure.what;
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
    default:
        return std::strerror(error);
    }
}

std::filesystem::path besideName(const std::filesystem::path& target, unsigned process,
                                 unsigned count)
{
    std::filesystem::path name = target.filename();
    name += "." + std::to_string(process) + "-" + std::to_string(count) + ".tarnwick-partial";
    return target.parent_path() / name;
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
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    if (isSpecialFile(path)) {
        return writeStraight(path, bytes);
    }
    // A link stays a link: the file it names is the one replaced.
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(path, error)) {
        target = std::filesystem::weakly_canonical(path, error);
        if (error) {
            return error.message();
        }
    }
    return replaceWhole(target, bytes);
}

std::string whyNotWritable(const std::filesystem::path& path)
{
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return "it is a folder";
    }
    if (isSpecialFile(path)) {
        return {};
    }
    std::filesystem::path target = path;
    if (std::filesystem::is_symlink(path, error)) {
        target = std::filesystem::weakly_canonical(path, error);
    }
    return probeBeside(target);
}

} // namespace sim
