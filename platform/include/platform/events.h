// Manual-reset events and waiting for several objects at once, in place of the original
// platform's CreateEvent, SetEvent and WaitForMultipleObjects. An event, a change
// notification (change_notify.h) or any descriptor that becomes readable can be waited
// for; a failure is a status code of errors.h, never an errno.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/export.h"

namespace platform {

// A manual-reset event: once set it stays signalled for every waiter until Reset.
class PLATFORM_API Event {
 public:
  Event() = default;
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Creates the event, not signalled; 0 or the status code.
  uint32_t Create() noexcept;
  bool IsCreated() const { return fd_ >= 0; }
  // Signals the event; false (last-error value set) when that fails.
  bool Set() noexcept;
  // Clears the signal; false (last-error value set) when that fails.
  bool Reset() noexcept;
  void Close() noexcept;

  // Readable while the event is signalled: what WaitForObjects waits on.
  int handle() const { return fd_; }

 private:
  int fd_ = -1;
};

inline constexpr int kInfinite = -1;
inline constexpr uint32_t kWaitTimeout = 258;        // WAIT_TIMEOUT
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFF;  // WAIT_FAILED

// Waits until one of `handles` is signalled (readable, or closed at its other end) or
// `timeout_ms` pass (kInfinite: no limit). Returns the lowest index signalled, so a
// caller that puts its stop event first sees a stop before anything that came with it;
// kWaitTimeout; or kWaitFailed with the last-error value set. A negative handle is
// never signalled; a signal interrupting the wait is not a failure.
PLATFORM_API uint32_t WaitForObjects(const int* handles, std::size_t count, int timeout_ms) noexcept;

}  // namespace platform
