#include "sim/files.h"

#include <cwchar>

namespace sim {

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

} // namespace sim
