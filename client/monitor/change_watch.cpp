// Directory change notifications over inotify.
#include "monitor/change_watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"

namespace pelldesk {

ChangeWatch::~ChangeWatch() { Close(); }

uint32_t ChangeWatch::Open(const std::string& dir, bool writes) {
  Close();
  writes_ = writes;
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return platform::FailWithErrno();
  if (const uint32_t code = Add(dir)) {
    Close();
    return code;
  }
  return 0;
}

uint32_t ChangeWatch::Add(const std::string& dir) {
  if (fd_ < 0) return platform::Fail(ERROR_INVALID_HANDLE);
  const uint32_t mask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR | IN_DELETE_SELF |
                        IN_MOVE_SELF | (writes_ ? IN_CLOSE_WRITE : 0u);
  const int wd = inotify_add_watch(fd_, dir.c_str(), mask);
  if (wd < 0) return platform::FailWithErrno(dir.c_str());
  dirs_[wd] = dir;
  return 0;
}

bool ChangeWatch::Rearm() { return ReadChanges(nullptr, nullptr); }

bool ChangeWatch::ReadChanges(std::vector<DirChange>* changes, bool* lost) {
  if (fd_ < 0) {
    platform::Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  alignas(inotify_event) char buffer[4096];
  bool alive = !dirs_.empty();
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
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if ((event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
        // That directory is gone from where it was watched; the watch lives on while
        // it still has others.
        if ((event->mask & IN_MOVE_SELF) != 0) inotify_rm_watch(fd_, event->wd);
        dirs_.erase(event->wd);
        if (dirs_.empty()) alive = false;
      }
      if ((event->mask & IN_Q_OVERFLOW) != 0 && lost != nullptr) *lost = true;
      if (changes == nullptr || event->len == 0) continue;
      DirChange change;
      if (const auto it = dirs_.find(event->wd); it != dirs_.end()) change.dir = it->second;
      change.name = event->name;  // NUL-padded within len
      change.present = (event->mask & (IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE)) != 0;
      change.directory = (event->mask & IN_ISDIR) != 0;
      changes->push_back(std::move(change));
    }
  }
  if (!alive) platform::Fail(ERROR_PATH_NOT_FOUND);
  return alive;
}

void ChangeWatch::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  dirs_.clear();
}

}  // namespace pelldesk
