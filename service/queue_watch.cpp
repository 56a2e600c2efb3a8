// inotify on the queue directory. Control files arrive by rename (IN_MOVED_TO); a file
// written in place is seen when it is closed. The events themselves are only drained:
// any of them means "scan the queue again".
#include "queue_watch.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace pellam::service {

QueueWatch::~QueueWatch() {
  if (notify_ >= 0) ::close(notify_);
}

uint32_t QueueWatch::Start(const std::string& queue) {
  notify_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (notify_ < 0) return platform::FromErrno(errno);
  if (::inotify_add_watch(notify_, queue.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE) < 0) {
    const uint32_t code = platform::FromErrno(errno, queue.c_str());
    ::close(notify_);
    notify_ = -1;
    return code;
  }
  return 0;
}

QueueWatch::Wake QueueWatch::Wait(int stop_fd, int timeout_ms) {
  pollfd fds[2] = {{stop_fd, POLLIN, 0}, {notify_, POLLIN, 0}};
  const nfds_t count = notify_ >= 0 ? 2 : 1;
  const int n = ::poll(fds, count, timeout_ms);
  if (n == 0) return Wake::kTimeout;
  if (n < 0) return Wake::kChange;  // interrupted by a signal: look again, and at the stop flag
  if (fds[0].revents != 0) return Wake::kStop;
  char buffer[4096];
  while (::read(notify_, buffer, sizeof buffer) > 0) {
  }
  return Wake::kChange;
}

}  // namespace pellam::service
