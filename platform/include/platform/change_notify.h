// Change notifications on directories, in place of the original platform's
// FindFirstChangeNotification and FindNextChangeNotification: signalled when a name in a
// watched directory is created, deleted or renamed (and, when asked, when a file written
// there is closed), never when a file's contents change. Beside the signal, the names
// that changed can be read. A notification dies when every watched directory is gone.
#pragma once

#include <cstdint>

#include "platform/export.h"
#include <map>
#include <string>
#include <vector>

namespace platform {

// One change of a name in a watched directory.
struct DirChange {
  std::string dir;   // the watched directory, as given to Open or Add
  std::string name;
  bool present = false;    // created, moved in or written; false: deleted or moved out
  bool directory = false;  // the name is a directory
};

// What wakes a notification (Open's `filter`).
inline constexpr unsigned kNotifyNameAdded = 1;    // a name created or moved in
inline constexpr unsigned kNotifyNameRemoved = 2;  // a name deleted or moved out
inline constexpr unsigned kNotifyWritten = 4;      // a file written there closed
// FILE_NOTIFY_CHANGE_FILE_NAME: every creation, deletion and renaming.
inline constexpr unsigned kNotifyFileName = kNotifyNameAdded | kNotifyNameRemoved;

class PLATFORM_API ChangeNotification {
 public:
  ChangeNotification() = default;
  ~ChangeNotification();
  ChangeNotification(const ChangeNotification&) = delete;
  ChangeNotification& operator=(const ChangeNotification&) = delete;

  // Starts watching `dir` for the changes `filter` names: 0, ERROR_FILE_NOT_FOUND or
  // ERROR_PATH_NOT_FOUND when it does not exist, or another status code (also the
  // last-error value). The directory itself going away always ends the watch on it.
  uint32_t Open(const std::string& dir, unsigned filter = kNotifyFileName) noexcept;
  // Watches one more directory with the same notification; the same codes as Open.
  uint32_t Add(const std::string& dir) noexcept;
  bool IsOpen() const { return fd_ >= 0; }

  // Discards the changes seen so far, so that the next wait ends only on a later one.
  // False (last-error value set) when the notification is dead: every watched
  // directory is gone (ERROR_PATH_NOT_FOUND), or reading failed.
  bool Rearm() noexcept;

  // Appends the changes pending, in order, and re-arms as Rearm does. `lost` (when
  // given) is set when the system dropped changes: the directory must be read again.
  bool ReadChanges(std::vector<DirChange>* changes, bool* lost) noexcept;

  void Close() noexcept;

  // Signalled (readable) while a change is pending: what WaitForObjects waits on.
  int handle() const { return fd_; }

 private:
  int fd_ = -1;
  unsigned filter_ = kNotifyFileName;
  std::map<int, std::string> dirs_;  // by watch descriptor
};

// Decodes one buffer of the kernel's change records into `changes` and `dirs` (the
// watched directories by watch descriptor: a directory that went away leaves it, and
// one moved away is added to `moved`, whose watch the caller removes). A record that
// runs past `size` ends the decoding. Sets `*lost` on an overflow record; `changes`,
// `lost` and `moved` may be null. The piece of ReadChanges that fuzzing drives.
PLATFORM_API void DecodeChangeRecords(const char* buffer, std::size_t size, std::map<int, std::string>* dirs,
                         std::vector<DirChange>* changes, bool* lost, std::vector<int>* moved);

}  // namespace platform
