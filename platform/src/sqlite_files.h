// How SQLite reaches hive files. Every open SQLite makes goes through a guarded open:
// never through a link at the last name, never blocking on a FIFO, and nothing but a
// regular file or a directory (the random device aside). Hives are opened through a
// VFS of their own that takes a name as it stands, so that a name leading through a
// directory descriptor (safe_open.h, PathThrough) stays pinned to that directory
// rather than being resolved back into a path a user could redirect.
#pragma once

#include <sys/types.h>

#include <string>

namespace platform::registry {

// The name of the hives' VFS, registered on first use.
const char* HiveVfs();

// Whether the guarded open refused something on this thread since the last call:
// SQLite reports such a refusal as a plain I/O failure, which it is not.
bool TakeRefusal() noexcept;

// While one lives, an open of exactly `path` on this thread succeeds only if it opens
// the file identified by `device` and `inode` (the one the caller checked).
class ExpectFile {
 public:
  ExpectFile(const std::string& path, dev_t device, ino_t inode);
  ~ExpectFile();
  ExpectFile(const ExpectFile&) = delete;
  ExpectFile& operator=(const ExpectFile&) = delete;
};

}  // namespace platform::registry
