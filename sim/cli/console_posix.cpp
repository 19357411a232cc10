#include "sim/cli/console.h"
#include "sim/files.h"

#include <atomic>
#include <csignal>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sim {

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

namespace {

std::atomic<bool> liveReading{false};
std::atomic<bool> stoppedOnce{false};

// SIGINT, SIGTERM (timeout, a service manager) and SIGHUP (a closed terminal) alike. Reading a
// live input, the first ends the reading: a read waiting on it ends (no SA_RESTART) and every read
// after it finds the end; closing standard input and lock-free flags are safe here. Any other
// stop removes the simulated game's folders (unlink and rmdir only) and ends the tool by the
// signal, as it would have without us.
extern "C" void onStop(int signal)
{
    if (liveReading.load() && !stoppedOnce.exchange(true)) {
        endInputs();
        close(STDIN_FILENO);
        return;
    }
    removeTemporaryFolders();
    std::signal(signal, SIG_DFL);
    raise(signal);
}

} // namespace

void prepareConsole()
{
    // Past a limit on file size, or to a pipe whose reader left, a write fails with its reason
    // instead of ending the tool (and leaving its temporary folders).
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction action = {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
}

bool standardOutputWentAway()
{
    struct stat out = {};
    pollfd poll_ = {STDOUT_FILENO, POLLOUT, 0};
    return fstat(STDOUT_FILENO, &out) == 0 && S_ISFIFO(out.st_mode) && poll(&poll_, 1, 0) == 1 &&
           (poll_.revents & POLLERR) != 0;
}

bool errorsGoToTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

bool consoleIsOurs()
{
    return false;
}

void stopReadingOnInterrupt()
{
    liveReading.store(true);
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
