// Restarting system calls that a signal interrupted: EINTR is never a failure of
// the operation the caller asked for.
#pragma once

#include <cerrno>

namespace platform {

template <typename Call>
auto RetryOnEintr(Call call) {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

}  // namespace platform
