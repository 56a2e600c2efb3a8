// The program's file from /proc/self/exe, read with a buffer that grows until the
// whole name fits: readlink cuts a long name short without saying so.
#include "platform/program_file.h"

#include <unistd.h>

#include <string>

#include "guarded.h"
#include "platform/errors.h"
#include "platform/fault.h"

namespace platform {

uint32_t ProgramFileName(std::string* path) noexcept {
  if (uint32_t code = fault::Check(fault::Op::Look)) return Fail(code);
  if (path == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  std::string name;
  for (std::size_t size = 256; size <= (std::size_t{1} << 20); size *= 2) {
    if (Guarded([&] {
          name.resize(size);
          return 0u;
        }) != 0) {
      return Fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    const ssize_t n = ::readlink("/proc/self/exe", name.data(), size);
    if (n < 0) return FailWithErrno();
    if (static_cast<std::size_t>(n) < size) {
      name.resize(static_cast<std::size_t>(n));
      *path = std::move(name);
      return 0;
    }
  }
  return Fail(ERROR_FILENAME_EXCED_RANGE);
}

}  // namespace platform
