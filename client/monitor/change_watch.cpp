// Directory change notifications over inotify.
#include "monitor/change_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace pelldesk {

ChangeWatch::~ChangeWatch() { Close(); }

uint32_t ChangeWatch::Open(const std::string& dir) {
  Close();
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return platform::FailWithErrno();
  const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR |
                        IN_DELETE_SELF | IN_MOVE_SELF;
  if (inotify_add_watch(fd_, dir.c_str(), mask) < 0) {
    uint32_t code = platform::FailWithErrno(dir.c_str());
    Close();
    return code;
  }
  return 0;
}

bool ChangeWatch::Rearm() {
  if (fd_ < 0) {
    platform::Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  alignas(inotify_event) char buffer[4096];
  bool alive = true;
  for (;;) {
    ssize_t n = read(fd_, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) break;
      platform::FailWithErrno();
      return false;
    }
    for (ssize_t offset = 0; offset < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
      if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) alive = false;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  if (!alive) platform::Fail(ERROR_PATH_NOT_FOUND);
  return alive;
}

void ChangeWatch::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

}  // namespace pelldesk
