// Manual-reset events: an eventfd whose counter is never consumed by waiting.
#include "monitor/stop_event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace pelldesk {

StopEvent::~StopEvent() { Close(); }

uint32_t StopEvent::Create() {
  Close();
  fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  return fd_ < 0 ? platform::FailWithErrno() : 0;
}

bool StopEvent::Set() {
  if (fd_ < 0) {
    platform::Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  const uint64_t one = 1;
  // The counter only grows; a write that would overflow it finds the event set anyway.
  if (write(fd_, &one, sizeof one) == static_cast<ssize_t>(sizeof one) || errno == EAGAIN) {
    return true;
  }
  platform::FailWithErrno();
  return false;
}

bool StopEvent::Reset() {
  if (fd_ < 0) return false;
  uint64_t value = 0;
  return read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value) || errno == EAGAIN;
}

void StopEvent::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace pelldesk
