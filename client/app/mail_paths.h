// Path helpers of the mailbox shared by the client's windows: the folder-is-empty test
// and the trimming of trailing separators before windows are looked up by path.
#pragma once

#include <string>

namespace pelldesk {

// The longest path the client handles, without its NUL.
inline constexpr std::size_t kMaxPathLength = 259;

// Copies `path` without any trailing "\" and "/" into `*result`. False (and `*result`
// empty) for a path longer than 259 characters, which no folder of the client has.
bool TrimPathSeparators(const std::string& path, std::string* result);

// True when the folder directory holds no "*.mai" file and no sub-folder (a directory
// whose name has no dot and does not begin with "."); also when it cannot be searched.
bool IsFolderEmpty(const std::string& path);

}  // namespace pelldesk
