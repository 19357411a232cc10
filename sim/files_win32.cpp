#include "sim/files.h"

#include <cwchar>
#include <fcntl.h>
#include <io.h>

namespace sim {

std::FILE* openFile(const std::filesystem::path& path, const char* mode)
{
    const std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return _wfopen(path.c_str(), wideMode.c_str());
}

std::FILE* standardInput()
{
    _setmode(_fileno(stdin), _O_BINARY);
    return stdin;
}

} // namespace sim
