// The last-write time of a name, to the nanosecond, in place of the original platform's
// GetFileTime: two messages that arrive within one second must still be told apart,
// which the directory search's seconds cannot do.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

// The last-write time of `path` (a link is followed) in nanoseconds since 1970 into
// `*nanoseconds`: 0, or the status code (also the last-error value).
PLATFORM_API uint32_t GetLastWriteTime(const char* path, int64_t* nanoseconds) noexcept;

}  // namespace platform
