// Unique temporary files: directory + prefix (up to three characters are used) +
// four upper-case hex digits + ".tmp", created exclusively so that two processes
// never receive the same name.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

// Creates the file (empty, mode 0600) and writes its full name into `out` (at least
// kMaxPath bytes). `directory` may or may not end in "/". Returns the number used
// (1 to 0xFFFF), 0 on failure with the last-error value set (ERROR_BUFFER_OVERFLOW
// when the name would not fit, ERROR_FILE_EXISTS when every number is taken, or the
// code of the create).
PLATFORM_API uint32_t GetTempFileName(const char* directory, const char* prefix, char* out) noexcept;

}  // namespace platform
