#include "sim/files.h"

namespace sim {

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    return std::fopen(path.c_str(), mode);
}

std::FILE* standardInput()
{
    return stdin;
}

} // namespace sim
