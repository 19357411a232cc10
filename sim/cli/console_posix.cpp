#include "sim/cli/console.h"

#include <unistd.h>

std::vector<std::string> utf8Arguments(int argc, char** argv)
{
    return {argv, argv + argc};
}

void prepareConsole() {}

bool errorsGoToTerminal()
{
    return isatty(STDERR_FILENO) != 0;
}

bool consoleIsOurs()
{
    return false;
}

std::filesystem::path toolFolder()
{
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::current_path() : self.parent_path();
}
