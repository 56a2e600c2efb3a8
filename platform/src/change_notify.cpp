// Change notifications over inotify. Only name changes are asked for, so a message
// being written does not wake anybody; the records are decoded without trusting their
// lengths, and every failure becomes a status code here.
#include "platform/change_notify.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/fault.h"
#include "guarded.h"
#include "retry.h"

namespace platform {

void DecodeChangeRecords(const char* buffer, std::size_t size, std::map<int, std::string>* dirs,
                         std::vector<DirChange>* changes, bool* lost, std::vector<int>* moved) {
  std::size_t offset = 0;
  while (size - offset >= sizeof(inotify_event)) {
    inotify_event event;
    std::memcpy(&event, buffer + offset, sizeof event);  // the buffer need not be aligned
    const char* name = buffer + offset + sizeof event;
    if (event.len > size - offset - sizeof event) break;
    offset += sizeof event + event.len;
    if ((event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
      // That directory is gone from where it was watched; the notification lives on
      // while it still has others.
      if ((event.mask & IN_MOVE_SELF) != 0 && moved != nullptr && dirs->count(event.wd) != 0) {
        moved->push_back(event.wd);
      }
      dirs->erase(event.wd);
    }
    if ((event.mask & IN_Q_OVERFLOW) != 0 && lost != nullptr) *lost = true;
    if (changes == nullptr || event.len == 0) continue;
    DirChange change;
    if (const auto it = dirs->find(event.wd); it != dirs->end()) change.dir = it->second;
    change.name.assign(name, strnlen(name, event.len));  // NUL-padded within len
    if (change.name.empty()) continue;
    change.present = (event.mask & (IN_CREATE | IN_MOVED_TO | IN_CLOSE_WRITE)) != 0;
    change.directory = (event.mask & IN_ISDIR) != 0;
    changes->push_back(std::move(change));
  }
}

ChangeNotification::~ChangeNotification() { Close(); }

uint32_t ChangeNotification::Open(const std::string& dir, unsigned filter) noexcept {
  Close();
  if (const uint32_t code = fault::Check(fault::Op::Notify)) return Fail(code);
  filter_ = filter;
  fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return FailWithErrno();
  if (const uint32_t code = Add(dir)) {
    Close();
    return Fail(code);
  }
  return 0;
}

uint32_t ChangeNotification::Add(const std::string& dir) noexcept {
  if (fd_ < 0) return Fail(ERROR_INVALID_HANDLE);
  if (const uint32_t code = fault::Check(fault::Op::Notify)) return Fail(code);
  uint32_t mask = IN_ONLYDIR | IN_DELETE_SELF | IN_MOVE_SELF;
  if ((filter_ & kNotifyNameAdded) != 0) mask |= IN_CREATE | IN_MOVED_TO;
  if ((filter_ & kNotifyNameRemoved) != 0) mask |= IN_DELETE | IN_MOVED_FROM;
  if ((filter_ & kNotifyWritten) != 0) mask |= IN_CLOSE_WRITE;
  const int wd = inotify_add_watch(fd_, dir.c_str(), mask);
  if (wd < 0) return FailWithErrno(dir.c_str());
  return Guarded([&] {
    (*this).dirs_[wd] = dir;
    return 0u;
  });
}

bool ChangeNotification::Rearm() noexcept { return ReadChanges(nullptr, nullptr); }

bool ChangeNotification::ReadChanges(std::vector<DirChange>* changes, bool* lost) noexcept {
  if (fd_ < 0) {
    Fail(ERROR_INVALID_HANDLE);
    return false;
  }
  if (const uint32_t code = fault::Check(fault::Op::Notify)) {
    Fail(code);
    return false;
  }
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t n = RetryOnEintr([&] { return read(fd_, buffer, sizeof buffer); });
    if (n < 0 && errno == EAGAIN) break;
    if (n <= 0) {
      FailWithErrno();
      return false;
    }
    std::vector<int> moved;
    const uint32_t code = Guarded([&] {
      DecodeChangeRecords(buffer, static_cast<std::size_t>(n), &dirs_, changes, lost, &moved);
      return 0u;
    });
    if (code != 0) {
      // The changes that could not be kept are lost: the caller reads the directory again.
      if (lost != nullptr) *lost = true;
    }
    for (int wd : moved) inotify_rm_watch(fd_, wd);
  }
  if (dirs_.empty()) {
    Fail(ERROR_PATH_NOT_FOUND);
    return false;
  }
  return true;
}

void ChangeNotification::Close() noexcept {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  dirs_.clear();
}

}  // namespace platform
