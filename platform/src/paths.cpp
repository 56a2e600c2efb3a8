// Lexical path resolution in place of the original platform's full-path service:
// a relative path is joined to the current directory, "." and ".." and repeated
// separators are collapsed, and nothing on disk is consulted or followed.
#include "platform/paths.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "platform/errors.h"

namespace platform {
namespace {

// Appends the names of `path` to `out` ("" or an absolute path without a trailing
// "/"), dropping empty names and ".", and letting ".." remove the name before it
// (at the root it stays at the root).
void AppendCollapsed(std::string& out, const char* path) {
  const char* p = path;
  while (*p != '\0') {
    while (*p == '/') ++p;
    const char* end = p;
    while (*end != '\0' && *end != '/') ++end;
    std::size_t len = static_cast<std::size_t>(end - p);
    if (len == 2 && p[0] == '.' && p[1] == '.') {
      std::size_t slash = out.rfind('/');
      out.resize(slash == std::string::npos ? 0 : slash);
    } else if (len > 0 && !(len == 1 && p[0] == '.')) {
      out += '/';
      out.append(p, len);
    }
    p = end;
  }
}

}  // namespace

uint32_t GetFullPathName(const char* path, uint32_t size, char* out, char** final_name) noexcept {
  if (path == nullptr || *path == '\0' || (out == nullptr && size > 0)) {
    Fail(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string full;
  try {
    if (!IsAbsolute(path)) {
      char* cwd = ::getcwd(nullptr, 0);
      if (cwd == nullptr) {
        FailWithErrno();
        return 0;
      }
      AppendCollapsed(full, cwd);
      std::free(cwd);
    }
    AppendCollapsed(full, path);
    if (full.empty() || path[std::strlen(path) - 1] == '/') full += '/';
  } catch (...) {
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return 0;
  }
  if (full.size() >= std::numeric_limits<uint32_t>::max()) {
    Fail(ERROR_FILENAME_EXCED_RANGE);
    return 0;
  }
  auto needed = static_cast<uint32_t>(full.size() + 1);
  if (size < needed) return needed;  // the caller retries with a buffer this large
  std::memcpy(out, full.c_str(), needed);
  if (final_name != nullptr) *final_name = out + full.rfind('/') + 1;
  return needed - 1;
}

const char* FinalName(const char* path) noexcept {
  if (path == nullptr) return "";
  const char* slash = std::strrchr(path, '/');
  return slash == nullptr ? path : slash + 1;
}

bool AddTrailingSeparator(char* path, std::size_t size) noexcept {
  std::size_t len = path == nullptr ? size : ::strnlen(path, size);
  if (len == size) {  // null, or no terminator inside its capacity
    Fail(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (len > 0 && path[len - 1] == '/') return true;
  if (len + 2 > size) {
    Fail(ERROR_BUFFER_OVERFLOW);
    return false;
  }
  path[len] = '/';
  path[len + 1] = '\0';
  return true;
}

}  // namespace platform
