#include "sim/files.h"
#include "sim/files_platform.h"

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

// Opened for no access, so that a file another program holds still answers.
bool identityOfPath(const std::filesystem::path& path, Identity& identity)
{
    const HANDLE named =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const bool known = identityOf(named, identity);
    if (named != INVALID_HANDLE_VALUE) {
        CloseHandle(named);
    }
    return known;
}

std::atomic<bool> inputsEnded{false};

} // namespace

bool isStandardInputFile(const std::filesystem::path& path)
{
    Identity input;
    if (!identityOf(GetStdHandle(STD_INPUT_HANDLE), input)) {
        return false;
    }
    Identity file;
    const bool known = identityOfPath(path, file);
    const bool sameVolume = input.volume == 0 || file.volume == 0 || input.volume == file.volume;
    return known && sameVolume && std::memcmp(input.file, file.file, sizeof file.file) == 0;
}

std::optional<FileIdentity> fileIdentity(const std::filesystem::path& path)
{
    Identity file;
    const bool known = identityOfPath(path, file);
    if (!known) {
        return std::nullopt;
    }
    FileIdentity identity;
    identity.device = file.volume;
    std::memcpy(identity.file.data(), file.file, sizeof file.file);
    return identity;
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

bool inputsWereEnded()
{
    return inputsEnded.load();
}

namespace {

// The system's own words for an error no kind says.
std::string windowsWords(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string said = "Windows error " + std::to_string(error);
    if (length > 0 && text != nullptr) {
        const std::wstring wide(text, length);
        said = utf8Of(std::filesystem::path(wide));
        while (!said.empty() &&
               (said.back() == '\n' || said.back() == '\r' || said.back() == '.')) {
            said.pop_back();
        }
    }
    LocalFree(text);
    return said;
}

HANDLE handleOf(WriteCalls::Handle file)
{
    return reinterpret_cast<HANDLE>(file);
}

long createNew(const std::filesystem::path& made, const std::filesystem::path&,
               WriteCalls::Handle& file)
{
    const HANDLE handle = CreateFileW(made.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return static_cast<long>(GetLastError());
    }
    file = reinterpret_cast<WriteCalls::Handle>(handle);
    return 0;
}

long writeSome(WriteCalls::Handle file, const char* bytes, std::size_t size, std::size_t& put)
{
    const auto piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD got = 0;
    if (WriteFile(handleOf(file), bytes, piece, &got, nullptr) == 0) {
        return static_cast<long>(GetLastError());
    }
    put = got;
    return got == 0 ? static_cast<long>(ERROR_DISK_FULL) : 0;
}

long flushToDisk(WriteCalls::Handle file)
{
    return FlushFileBuffers(handleOf(file)) != 0 ? 0 : static_cast<long>(GetLastError());
}

long closeFile(WriteCalls::Handle file)
{
    return CloseHandle(handleOf(file)) != 0 ? 0 : static_cast<long>(GetLastError());
}

// Another writer renaming over the same target, or a reader that opened it without sharing
// deletion, holds it for a moment: a few tries before giving up. Write-through: the move returns
// once it is on the disk, the folder's entry with it.
long renameOver(const std::filesystem::path& from, const std::filesystem::path& to)
{
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0) {
            return 0;
        }
        const DWORD error = GetLastError();
        if (attempt == 20 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) {
            return static_cast<long>(error);
        }
        Sleep(50);
    }
}

long removeFile(const std::filesystem::path& path)
{
    return DeleteFileW(path.c_str()) != 0 ? 0 : static_cast<long>(GetLastError());
}

// MOVEFILE_WRITE_THROUGH already put the folder's new entry on the disk; Windows opens no folder
// for FlushFileBuffers without backup privileges.
long syncFolder(const std::filesystem::path&)
{
    return 0;
}

// Append access alone: every write lands at the end, after what another program appended.
long openToAdd(const std::filesystem::path& path, WriteCalls::Handle& file)
{
    const HANDLE handle = CreateFileW(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return static_cast<long>(GetLastError());
    }
    file = reinterpret_cast<WriteCalls::Handle>(handle);
    return 0;
}

// Append access cannot cut: the file is opened again to write its end.
long takeBack(WriteCalls::Handle file, const std::filesystem::path& path, std::uint64_t put)
{
    LARGE_INTEGER end = {};
    if (GetFileSizeEx(handleOf(file), &end) == 0) {
        return static_cast<long>(GetLastError());
    }
    const HANDLE cutter = CreateFileW(path.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (cutter == INVALID_HANDLE_VALUE) {
        return static_cast<long>(GetLastError());
    }
    LARGE_INTEGER size = {};
    long code = 0;
    if (GetFileSizeEx(cutter, &size) != 0 && size.QuadPart == end.QuadPart) {
        FILE_END_OF_FILE_INFO cut = {};
        cut.EndOfFile.QuadPart = end.QuadPart - static_cast<LONGLONG>(put);
        if (SetFileInformationByHandle(cutter, FileEndOfFileInfo, &cut, sizeof cut) == 0) {
            code = static_cast<long>(GetLastError());
        }
    }
    CloseHandle(cutter);
    return code;
}

constexpr WriteCalls systemCalls = {createNew,  writeSome, flushToDisk, closeFile, renameOver,
                                    removeFile, openToAdd, takeBack,    syncFolder};

} // namespace

const WriteCalls& systemWriteCalls()
{
    return systemCalls;
}

// ERROR_DISK_QUOTA_EXCEEDED, which mingw-w64's headers lack.
constexpr DWORD diskQuotaExceeded = 1295;

Failure writeFailure(long code, const std::filesystem::path& path)
{
    const auto failed = [&](FailureKind kind) { return Failure{kind, path, 0, {}}; };
    switch (static_cast<DWORD>(code)) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return failed(FailureKind::NoSpace);
    case diskQuotaExceeded:
        return failed(FailureKind::Quota);
    case ERROR_FILE_TOO_LARGE:
        return failed(FailureKind::TooBig);
    case ERROR_WRITE_PROTECT:
        return failed(FailureKind::ReadOnly);
    case ERROR_ACCESS_DENIED:
        return failed(FailureKind::Denied);
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return failed(FailureKind::InUse);
    case ERROR_PATH_NOT_FOUND:
        return failed(FailureKind::NoFolder);
    case ERROR_DIRECTORY:
        return failed(FailureKind::NotAFolder);
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA:
        return failed(FailureKind::PipeClosed);
    case ERROR_FILENAME_EXCED_RANGE:
        return failed(FailureKind::NameTooLong);
    default:
        return Failure{FailureKind::Unwritable, path, 0, windowsWords(static_cast<DWORD>(code))};
    }
}

bool alreadyExists(long code)
{
    return code == static_cast<long>(ERROR_FILE_EXISTS) ||
           code == static_cast<long>(ERROR_ALREADY_EXISTS);
}

unsigned processNumber()
{
    return static_cast<unsigned>(GetCurrentProcessId());
}

Occupant occupantOf(const std::filesystem::path& path)
{
    Occupant occupant;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return occupant;
    }
    // No sticky folders and no owner checks here: Windows' own access checks answer the rename.
    occupant.exists = true;
    occupant.link = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    occupant.writable = (attributes & FILE_ATTRIBUTE_READONLY) == 0;
    occupant.mode = occupant.writable ? 0666 : 0444;
    occupant.owner = occupant.folderOwner = currentUser();
    return occupant;
}

unsigned currentUser()
{
    return 1; // never rootUser: Windows' own checks stop an administrator where they should
}

namespace {

enum HeldState : int { Free, Claimed, Held };
struct HeldFolder {
    std::atomic<int> state{Free};
    wchar_t path[MAX_PATH + 1] = {};
};
HeldFolder heldFolders[8];

} // namespace

void holdTemporaryFolder(const std::filesystem::path& folder)
{
    const std::wstring& text = folder.native();
    if (text.size() >= MAX_PATH) {
        return;
    }
    for (HeldFolder& slot : heldFolders) {
        int free = Free;
        if (slot.state.compare_exchange_strong(free, Claimed)) {
            std::wmemcpy(slot.path, text.c_str(), text.size() + 1);
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

// Called on the console's control thread when the window closes: plain Win32 calls only.
void removeTemporaryFolders()
{
    for (HeldFolder& slot : heldFolders) {
        int held = Held;
        if (!slot.state.compare_exchange_strong(held, Claimed)) {
            continue;
        }
        for (const char* name : temporaryFolderFiles) {
            wchar_t file[MAX_PATH + 32] = {};
            std::size_t at = 0;
            for (const wchar_t* c = slot.path; *c != L'\0'; ++c) {
                file[at++] = *c;
            }
            file[at++] = L'\\';
            for (const char* c = name; *c != '\0'; ++c) {
                file[at++] = static_cast<wchar_t>(*c);
            }
            DeleteFileW(file);
        }
        RemoveDirectoryW(slot.path);
        slot.state.store(Free);
    }
}

} // namespace sim
