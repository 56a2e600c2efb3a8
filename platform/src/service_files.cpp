// ReplaceFile through the layer's own file calls, so that fault injection reaches it;
// the final rename replaces on purpose, which MoveFile never does.
#include "service_files.h"

#include <stdio.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/files.h"

namespace platform::service {

uint32_t ReplaceFile(const std::string& path, const std::string& text, unsigned mode) {
  const std::string temporary = path + ".new";
  const int fd = CreateFile(temporary.c_str(), kWrite, kShareNone, kCreateAlways, mode);
  if (fd == kInvalidFile) return GetLastError();
  uint32_t code = WriteFile(fd, text.data(), static_cast<uint32_t>(text.size())) ? ERROR_SUCCESS : GetLastError();
  if (!CloseFile(fd) && code == ERROR_SUCCESS) code = GetLastError();
  if (code == ERROR_SUCCESS) code = fault::Check(fault::Op::Move);
  if (code == ERROR_SUCCESS && ::rename(temporary.c_str(), path.c_str()) != 0) {
    code = FromErrno(errno, path.c_str());
  }
  if (code != ERROR_SUCCESS) ::unlink(temporary.c_str());
  return code;
}

}  // namespace platform::service
