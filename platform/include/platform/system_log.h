// The system's event log, in place of the original platform's event-log calls: syslog
// entries under a program's name and facility. Inside a sandbox (PELLAM_ROOT) the
// entries go to the sandbox's own file, <root>/var/log/<identity>.log, never to the
// machine's log, as "<identity>[<pid>]: <text>" lines, each appended with one write so
// that the lines of several processes never run into each other.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

enum class LogFacility : unsigned { kUser, kMail, kDaemon };
enum class LogPriority : unsigned { kError, kWarning, kInformation };

// Chooses where the process's entries go, marked `identity` (copied). With `echo` they
// go to the standard error as well, unless that already leads to the systemd journal,
// which has the syslog entries too. Call it before any thread logs; calling it again
// replaces the earlier choice. Returns 0, or the code of why the sandbox's file cannot
// be opened or is no regular file (the entries are then only echoed).
PLATFORM_API uint32_t OpenSystemLog(const char* identity, LogFacility facility, bool echo) noexcept;

// Logs one entry; `text` should be one line. A write that fails is lost, as a syslog
// entry would be: the caller has nowhere better to report it. An entry is never written
// through a descriptor that no longer holds the sandbox's file (a child that closed
// its descriptors and opened others under the same numbers).
PLATFORM_API void WriteSystemLog(LogPriority priority, const char* text) noexcept;

// Ends the log: syslog's connection or the sandbox's file is closed.
PLATFORM_API void CloseSystemLog() noexcept;

}  // namespace platform
