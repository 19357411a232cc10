// What writing a file whole means on every platform; the platform's part is in files_*.cpp.
#include "sim/files.h"
#include "sim/files_platform.h"

#include <cerrno>
#include <cstring>

namespace sim {

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
