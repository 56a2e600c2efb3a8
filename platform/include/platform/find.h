// Directory search with the patterns the mail system uses ("*.mai", "msg????.mai",
// "*.", "*"). Matching ignores letter case; "*." matches names without a dot; "?"
// stands for exactly one character; "." and ".." are never returned. A search lists
// the directory as it was when it began, in name order ignoring case (as the
// original platform's file system gave names), and ends with ERROR_NO_MORE_FILES.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include "platform/paths.h"

namespace platform {

struct FindData {
  char name[kMaxPath];  // final name only
  uint32_t attributes;  // kAttrDirectory or kAttrNormal
  uint64_t size;
  int64_t modified;     // seconds since the epoch
};

struct FindState;
using FindHandle = FindState*;

// `pattern` is a directory path followed by a name pattern ("/home/a/mail/new/*.mai").
// The first match goes into `data`. Null on failure: ERROR_FILE_NOT_FOUND when the
// directory exists and nothing matches, ERROR_PATH_NOT_FOUND when the directory
// does not exist, or the code of the failure.
PLATFORM_API FindHandle FindFirstFile(const char* pattern, FindData* data) noexcept;

// The next match; false with ERROR_NO_MORE_FILES at the end.
PLATFORM_API bool FindNextFile(FindHandle handle, FindData* data) noexcept;

PLATFORM_API void FindClose(FindHandle handle) noexcept;

// True when `name` matches `pattern` under the rules above ("*", "?", "*.").
PLATFORM_API bool MatchName(const char* pattern, const char* name) noexcept;

}  // namespace platform
