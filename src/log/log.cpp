// Opens, writes one line and closes again, so other programs may read or move the file between
// lines; text mode gives the platform's line end.
#include "log/log.h"

#include "host/platform.h"

bool loggingEnabled = true;

const char* const buildStamp = "[" __DATE__ " " __TIME__ "] ";

void writeLog(const char* message)
{
    if (!loggingEnabled) {
        return;
    }
    std::ofstream logFile = platformOpenLog();
    if (!logFile.is_open()) {
        return; // lost, by design: the game must not notice
    }
    logFile << buildStamp << message << std::endl;
    logFile.close();
}
