// A change notification on one directory (inotify): it becomes signalled when a name in
// the directory is created, deleted or renamed, not when a file's contents change. It
// dies when the directory itself is deleted or moved away.
#pragma once

#include <cstdint>
#include <string>

namespace pelldesk {

class ChangeWatch {
 public:
  ChangeWatch() = default;
  ~ChangeWatch();
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  // Starts watching `dir`: 0, ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it
  // does not exist, or another status code.
  uint32_t Open(const std::string& dir);
  bool IsOpen() const { return fd_ >= 0; }

  // Discards the changes seen so far, so that the next wait ends only on a later one.
  // False (last-error value set) when the watch is dead: the directory is gone or the
  // notification failed.
  bool Rearm();

  void Close();

  // Readable while a change is pending.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
};

}  // namespace pelldesk
