#include "sim/cli/console.h"

#include "sim/files.h"

#include <windows.h>

#include <atomic>
#include <io.h>
#include <iostream>
#include <shellapi.h>
#include <streambuf>
#include <string>

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

namespace {

// Text for a console goes to it as UTF-16, whole lines at a time. Bytes written to a console
// reach it one by one (standard error is unbuffered, and the C library writes a console's text
// byte by byte), and a letter of two UTF-8 bytes then shows as two ("ZoÃ«"), whatever the code
// page; a pipe or a file gets the bytes as they are.
class ConsoleBuffer : public std::streambuf {
  public:
    explicit ConsoleBuffer(HANDLE console) : console_(console) {}

  protected:
    int_type overflow(int_type c) override
    {
        if (traits_type::eq_int_type(c, traits_type::eof())) {
            return traits_type::not_eof(c);
        }
        held_ += traits_type::to_char_type(c);
        if (held_.back() == '\n' || held_.size() >= 4096) {
            return write(false) ? c : traits_type::eof();
        }
        return c;
    }
    int sync() override { return write(true) ? 0 : -1; }

  private:
    // What is held, up to its last whole letter (all of it when asked).
    bool write(bool all)
    {
        std::size_t end = held_.size();
        if (!all) {
            std::size_t start = end;
            while (start > 0 && end - start < 4 &&
                   (static_cast<unsigned char>(held_[start - 1]) & 0xC0) == 0x80) {
                --start;
            }
            const auto lead = start > 0 ? static_cast<unsigned char>(held_[start - 1]) : 0;
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            end = start > 0 && end - (start - 1) < length ? start - 1 : end;
        }
        const std::string text = held_.substr(0, end);
        held_.erase(0, end);
        if (text.empty()) {
            return true;
        }
        const int size = static_cast<int>(text.size());
        const int wide = MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
        std::wstring utf16(static_cast<std::size_t>(wide), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, text.data(), size, utf16.data(), wide);
        DWORD written = 0;
        return WriteConsoleW(console_, utf16.data(), static_cast<DWORD>(utf16.size()), &written,
                             nullptr) != 0;
    }

    HANDLE console_;
    std::string held_;
};

// The stream through a ConsoleBuffer when its handle is a console. The buffer lives as long as
// the process: the streams are flushed at exit, after any static of ours is gone.
void toConsole(std::ostream& stream, DWORD handle)
{
    const HANDLE console = GetStdHandle(handle);
    DWORD mode = 0;
    if (console != INVALID_HANDLE_VALUE && GetConsoleMode(console, &mode) != 0) {
        stream.flush();
        stream.rdbuf(new ConsoleBuffer(console));
    }
}

} // namespace

void prepareConsole()
{
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCtrlHandler(onStop, TRUE);
    toConsole(std::cout, STD_OUTPUT_HANDLE);
    toConsole(std::cerr, STD_ERROR_HANDLE);
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

std::size_t consoleWidth(bool errors)
{
    CONSOLE_SCREEN_BUFFER_INFO info;
    const HANDLE handle = GetStdHandle(errors ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    if (GetConsoleScreenBufferInfo(handle, &info) == 0) {
        return 0; // a pipe or a file
    }
    return static_cast<std::size_t>(info.srWindow.Right - info.srWindow.Left + 1);
}

} // namespace sim
