// The one barrier between the library's C++ and its C exports: every export runs its
// body through Barrier, so that no exception crosses the boundary and every export
// maps one the same way: memory exhaustion to ERROR_NOT_ENOUGH_MEMORY (the code the
// memory exports report), anything else to ERR_API_INTERNAL.
#pragma once

#include <cstdint>

#include "frame/status.h"

namespace pellam {

// The code for the exception being handled; call only inside a catch block.
uint32_t CodeOfCaughtException() noexcept;

inline uint32_t CodeOf(uint32_t code) noexcept { return code; }
inline uint32_t CodeOf(Status status) noexcept { return status.code(); }

// Runs `body` (returning a uint32_t code or a Status) and gives its code, or the
// code of the exception it threw.
template <class Body>
uint32_t Barrier(Body&& body) noexcept {
  try {
    return CodeOf(body());
  } catch (...) {
    return CodeOfCaughtException();
  }
}

// Barrier for the exports that also leave a failure as the thread's last-error value
// (groups A and B leave success alone here; group B sets it to 0 itself).
template <class Body>
uint32_t ReportingBarrier(Body&& body) noexcept {
  const uint32_t code = Barrier(static_cast<Body&&>(body));
  if (code != 0) platform::SetLastError(code);
  return code;
}

}  // namespace pellam
