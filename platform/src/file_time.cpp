// Last-write times from stat; like GetFileAttributes, a look at a name, not an open.
#include "platform/file_time.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/errors.h"

namespace platform {

uint32_t GetLastWriteTime(const char* path, int64_t* nanoseconds) noexcept {
  if (path == nullptr || nanoseconds == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  struct stat st {};
  if (::stat(path, &st) != 0) return FailWithErrno(path);
  *nanoseconds = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return 0;
}

}  // namespace platform
