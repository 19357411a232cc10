// The append-only log "Tarnwick.log" where the platform keeps it (platformOpenLog), gated by one
// process-wide switch.
#pragma once

// True from load; set once from the settings before the governor's loop starts.
extern bool loggingEnabled;

// The stamp of every line this build writes: "[<build date> <build time>] ".
extern const char* const buildStamp;

// Appends "[<build date> <build time>] <message>" and a line end; a line that cannot be written
// is lost silently.
void writeLog(const char* message);
