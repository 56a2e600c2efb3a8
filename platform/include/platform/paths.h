// Path names. "/" separates names; a directory path that passes between functions
// ends in "/". Resolution is lexical: it collapses "." and "..", follows no link and
// looks at nothing on disk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/export.h"

namespace platform {

inline constexpr std::size_t kMaxPath = 260;  // buffer size, terminating NUL included

// Resolves `path` against the current directory into `out` (capacity `size`).
// Returns the length written (without the NUL); when `out` is too small returns the
// size needed including the NUL and writes nothing; 0 on failure with the last-error
// value set (ERROR_INVALID_PARAMETER for null or empty input, or the code of getcwd).
// A trailing "/" of the input is kept. `*final_name`, when given, points at the last
// name in `out` (at the NUL when the result ends in "/").
PLATFORM_API uint32_t GetFullPathName(const char* path, uint32_t size, char* out, char** final_name = nullptr) noexcept;

// The last name of a path: the text after its last "/", or the whole text.
PLATFORM_API const char* FinalName(const char* path) noexcept;

// Appends "/" unless `path` already ends in one. `size` is the capacity of `path`.
// False, with ERROR_BUFFER_OVERFLOW, when it does not fit.
PLATFORM_API bool AddTrailingSeparator(char* path, std::size_t size) noexcept;

// True for a path that begins with "/".
inline bool IsAbsolute(const char* path) noexcept { return path && path[0] == '/'; }

// True for "/" and, where a user may type it as on the original platform, "\".
inline bool IsSeparator(char c) noexcept { return c == '/' || c == '\\'; }

}  // namespace platform
