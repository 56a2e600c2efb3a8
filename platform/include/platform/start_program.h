// Starting a program the caller does not wait for, such as the desktop's text editor:
// found by name along PATH as a shell would find it, run in a chosen directory with
// the caller's environment, and detached, so that it outlives the caller and is left
// for nobody to reap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/export.h"

namespace platform {

// Runs `command` (the program first: a path when it holds a "/", else the first
// executable regular file of that name along PATH; then its arguments) in
// `directory`, in a session of its own. 0 once the program runs, or the status code
// of why it could not be started, also left as the last-error value:
// ERROR_FILE_NOT_FOUND for a program not found, ERROR_ACCESS_DENIED for one found
// only where it may not be run, the code of a directory that cannot be entered. With
// `watch_ms`, waits that long for the program to give up at once: an exit with a
// failure status (or by a signal) then gives ERROR_NOT_SUPPORTED.
PLATFORM_API uint32_t StartDetachedProgram(const std::vector<std::string>& command, const std::string& directory,
                                           unsigned watch_ms) noexcept;

}  // namespace platform
