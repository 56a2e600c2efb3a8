// Reading a message file whole and writing a message window's text to a file. A write
// never leaves a half-written file behind: the text goes to a new file beside the
// target, which replaces the target only once it is complete and on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pelldesk {

// Larger files are refused: a window holds the whole text in memory several times over.
inline constexpr std::size_t kMaxMessageFileSize = 32u << 20;

// The whole content of `path`: 0, or the platform's status code (ERROR_NOT_ENOUGH_MEMORY
// for a file above kMaxMessageFileSize).
uint32_t ReadMessageFile(const std::string& path, std::string* bytes);

// Creates or replaces `path` with `bytes`: 0, or the platform's status code, with the
// target as it was before.
uint32_t WriteMessageFile(const std::string& path, std::string_view bytes);

}  // namespace pelldesk
