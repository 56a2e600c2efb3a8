// Events over eventfd and waits over poll. An event's counter is never consumed by a
// wait, which is what makes it manual-reset.
#include "platform/events.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <vector>

#include "platform/errors.h"
#include "platform/fault.h"
#include "guarded.h"
#include "retry.h"

namespace platform {

Event::~Event() { Close(); }

uint32_t Event::Create() noexcept {
  Close();
  if (const uint32_t code = fault::Check(fault::Op::Wait)) return Fail(code);
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd_ < 0 ? FailWithErrno() : 0;
}

bool Event::Set() noexcept {
  if (fd_ < 0) {
    Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  if (const uint32_t code = fault::Check(fault::Op::Wait)) {
    Fail(code);
    return false;
  }
  const uint64_t one = 1;
  // The counter only grows; a write that would overflow it finds the event set anyway.
  const ssize_t n = RetryOnEintr([&] { return write(fd_, &one, sizeof one); });
  if (n == static_cast<ssize_t>(sizeof one) || (n < 0 && errno == EAGAIN)) return true;
  FailWithErrno();
  return false;
}

bool Event::Reset() noexcept {
  if (fd_ < 0) {
    Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  uint64_t value = 0;
  const ssize_t n = RetryOnEintr([&] { return read(fd_, &value, sizeof value); });
  if (n == static_cast<ssize_t>(sizeof value) || (n < 0 && errno == EAGAIN)) return true;
  FailWithErrno();
  return false;
}

void Event::Close() noexcept {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

uint32_t WaitForObjects(const int* handles, std::size_t count, int timeout_ms) noexcept {
  if (count == 0 && timeout_ms < 0) {
    Fail(ERROR_INVALID_PARAMETER);
    return kWaitFailed;
  }
  if (const uint32_t code = fault::Check(fault::Op::Wait)) {
    Fail(code);
    return kWaitFailed;
  }
  pollfd small[4];
  std::vector<pollfd> large;
  pollfd* fds = small;
  if (count > 4) {
    if (Guarded([&] {
          large.resize(count);
          return 0u;
        }) != 0) {
      Fail(ERROR_NOT_ENOUGH_MEMORY);
      return kWaitFailed;
    }
    fds = large.data();
  }
  for (std::size_t i = 0; i < count; ++i) fds[i] = pollfd{handles[i], POLLIN, 0};
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  for (;;) {
    int wait = timeout_ms;
    if (timeout_ms >= 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    const int n = poll(fds, static_cast<nfds_t>(count), wait);
    if (n < 0 && errno == EINTR) continue;  // the rest of the time, not all of it again
    if (n < 0) {
      FailWithErrno();
      return kWaitFailed;
    }
    if (n == 0) return kWaitTimeout;
    for (std::size_t i = 0; i < count; ++i) {
      if ((fds[i].revents & (POLLIN | POLLHUP)) != 0) return static_cast<uint32_t>(i);
      if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0) {
        Fail(ERROR_INVALID_HANDLE);
        return kWaitFailed;
      }
    }
  }
}

}  // namespace platform
