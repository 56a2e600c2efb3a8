// The file of the running program, in place of the original platform's
// GetModuleFileName for the program itself: the absolute path the kernel started, of
// any length, so that a program can find what was installed beside it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/export.h"

namespace platform {

// The running program's absolute path into `*path`: 0, or the status code (also the
// last-error value), `*path` then left as it was.
PLATFORM_API uint32_t ProgramFileName(std::string* path) noexcept;

}  // namespace platform
