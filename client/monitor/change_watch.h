// A change notification on directories (inotify): it becomes signalled when a name in
// a watched directory is created, deleted or renamed (and, when asked, when a file
// written there is closed), not when a file's contents change. It dies when every
// watched directory itself has been deleted or moved away.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pelldesk {

// One change of a name in a watched directory.
struct DirChange {
  std::string dir;   // the watched directory, as given to Open or Add
  std::string name;
  bool present = false;    // created, moved in or written; false: deleted or moved out
  bool directory = false;  // the name is a directory
};

class ChangeWatch {
 public:
  ChangeWatch() = default;
  ~ChangeWatch();
  ChangeWatch(const ChangeWatch&) = delete;
  ChangeWatch& operator=(const ChangeWatch&) = delete;

  // Starts watching `dir`: 0, ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when it
  // does not exist, or another status code. With `writes`, closing a file that was
  // written is a change too (a message copied in rather than moved).
  uint32_t Open(const std::string& dir, bool writes = false);
  // Watches one more directory with the same notification; the same codes as Open.
  uint32_t Add(const std::string& dir);
  bool IsOpen() const { return fd_ >= 0; }

  // Discards the changes seen so far, so that the next wait ends only on a later one.
  // False (last-error value set) when the watch is dead: the directory is gone or the
  // notification failed.
  bool Rearm();

  // Reads the changes pending, in order, and re-arms as Rearm does. `lost` is set when
  // the system dropped changes (the directory must be read again in full).
  bool ReadChanges(std::vector<DirChange>* changes, bool* lost);

  void Close();

  // Readable while a change is pending.
  int fd() const { return fd_; }

 private:
  int fd_ = -1;
  bool writes_ = false;
  std::map<int, std::string> dirs_;  // by watch descriptor
};

}  // namespace pelldesk
