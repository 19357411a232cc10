#include "sim/cli/console.h"

#include "sim/files.h"

#include <windows.h>

#include <atomic>
#include <io.h>
#include <shellapi.h>

namespace sim {

namespace {

std::string toUtf8(const wchar_t* wide)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
    if (bytes > 1) {
        WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), bytes, nullptr, nullptr);
    }
    return text;
}

BOOL WINAPI onStop(DWORD event);

} // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return {argv, argv + argc}; // the narrow ones are all there is
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(toUtf8(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

void prepareConsole()
{
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCtrlHandler(onStop, TRUE);
}

bool errorsGoToTerminal()
{
    return _isatty(_fileno(stderr)) != 0;
}

bool consoleIsOurs()
{
    DWORD processes[2];
    return GetConsoleProcessList(processes, 2) == 1;
}

namespace {

HANDLE mainThread = nullptr;
std::atomic<bool> liveReading{false};

// Runs on a thread of its own. Reading a live input, the first Ctrl+C cancels the read the main
// thread waits in and the input counts as ended, so the command finishes with what was read.
// Any other stop removes the simulated game's folders and lets Windows end the tool. Closing the
// window ends the process as soon as this returns, so it waits here for the work to finish (the
// process ends with it) within the few seconds Windows allows.
BOOL WINAPI onStop(DWORD event)
{
    static std::atomic<bool> once{false};
    const bool live = liveReading.load();
    if (event == CTRL_CLOSE_EVENT && live) {
        endInputs();
        CancelSynchronousIo(mainThread);
        Sleep(4500);
        removeTemporaryFolders();
        return TRUE;
    }
    if ((event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) && live && !once.exchange(true)) {
        endInputs();
        CancelSynchronousIo(mainThread);
        return TRUE;
    }
    removeTemporaryFolders();
    return FALSE;
}

} // namespace

void stopReadingOnInterrupt()
{
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread, 0,
                    FALSE, DUPLICATE_SAME_ACCESS);
    liveReading.store(true);
}

bool standardOutputWentAway()
{
    return false; // a closed pipe is a failed write here, said as one
}

std::filesystem::path toolFolder()
{
    wchar_t buffer[MAX_PATH * 4];
    const DWORD written = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
    if (written == 0 || written >= MAX_PATH * 4) {
        return std::filesystem::current_path();
    }
    return std::filesystem::path(buffer).parent_path();
}

void openInBrowser(const std::filesystem::path& page)
{
    // Whatever the player's default for .html is; a failure leaves the path said on the console.
    ShellExecuteW(nullptr, L"open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace sim
