// Which file a name stands for, and whether it was written: what a reader keeps to
// know that what it read from a file still holds.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>

namespace platform {

// Which file: its device and inode.
struct FileId {
  dev_t device = 0;
  ino_t inode = 0;
  bool operator==(const FileId&) const = default;
};

// What shows that a file was written: its size and its modification and change times.
struct FileState {
  off_t size = -1;
  int64_t mtime_ns = 0;
  int64_t ctime_ns = 0;
  bool operator==(const FileState&) const = default;
};

inline FileId IdOf(const struct stat& st) { return FileId{st.st_dev, st.st_ino}; }

inline FileState StateOf(const struct stat& st) {
  return FileState{st.st_size, st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec,
                   st.st_ctim.tv_sec * 1000000000LL + st.st_ctim.tv_nsec};
}

}  // namespace platform
