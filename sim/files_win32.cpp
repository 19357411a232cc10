#include "sim/files.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>
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

namespace {

struct Identity {
    unsigned long long volume = 0; // 0 where unknown: Wine gives none for standard input
    unsigned char file[16] = {};
};

// Windows 8 and later answer FileIdInfo (Wine too, where the older call fails for standard input);
// the file index of GetFileInformationByHandle is the fallback.
bool identityOf(HANDLE handle, Identity& identity)
{
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr) {
        return false;
    }
    FILE_ID_INFO id = {};
    if (GetFileInformationByHandleEx(handle, FileIdInfo, &id, sizeof id) != 0) {
        identity.volume = id.VolumeSerialNumber;
        std::memcpy(identity.file, id.FileId.Identifier, sizeof identity.file);
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info = {};
    if (GetFileInformationByHandle(handle, &info) == 0) {
        return false;
    }
    identity.volume = info.dwVolumeSerialNumber;
    std::memcpy(identity.file, &info.nFileIndexLow, sizeof info.nFileIndexLow);
    std::memcpy(identity.file + 4, &info.nFileIndexHigh, sizeof info.nFileIndexHigh);
    return true;
}

std::atomic<bool> inputsEnded{false};

} // namespace

bool isStandardInputFile(const std::filesystem::path& path)
{
    Identity input;
    if (!identityOf(GetStdHandle(STD_INPUT_HANDLE), input)) {
        return false;
    }
    const HANDLE named =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    Identity file;
    const bool known = identityOf(named, file);
    if (named != INVALID_HANDLE_VALUE) {
        CloseHandle(named);
    }
    const bool sameVolume = input.volume == 0 || file.volume == 0 || input.volume == file.volume;
    return known && sameVolume && std::memcmp(input.file, file.file, sizeof file.file) == 0;
}

std::size_t readSome(std::FILE* file, char* out, std::size_t size)
{
    if (inputsEnded.load()) {
        return 0;
    }
    const int got =
        _read(_fileno(file), out, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

void endInputs()
{
    inputsEnded.store(true);
}

} // namespace sim
