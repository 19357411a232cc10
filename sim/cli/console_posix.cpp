#include "sim/cli/console.h"
#include "sim/files.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sim {

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

void prepareConsole()
{
    // Past a limit on file size a write fails with its reason instead of ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
}

bool errorsGoToTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

bool consoleIsOurs()
{
    return false;
}

namespace {

// A read waiting on input ends (the handler is installed without SA_RESTART), and every read after
// it finds the end: closing standard input and a lock-free flag are safe in a signal handler. Once
// only: a second Ctrl+C ends the tool at once.
extern "C" void endInput(int)
{
    endInputs();
    close(STDIN_FILENO);
}

} // namespace

void stopReadingOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = endInput;
    sigemptyset(&action.sa_mask);
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigaction(SIGINT, &action, nullptr);
}

std::filesystem::path toolFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}

void openInBrowser(const std::filesystem::path&)
{
    // The players' tool is the Windows one; here the page's path, already said, is enough.
}

std::size_t consoleWidth(bool errors)
{
    const int fd = errors ? STDERR_FILENO : STDOUT_FILENO;
    winsize size{};
    if (isatty(fd) == 0 || ioctl(fd, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) {
        return 0;
    }
    return size.ws_col;
}

} // namespace sim
