// Files with share modes, in the manner of the platform the mail system was first
// written for: every call returns success or failure and leaves the status code as
// the last-error value. A file is a plain descriptor.
//
// Share modes are advisory locks (flock): an open without sharing takes an exclusive
// lock, an open with sharing a shared one; a conflict fails at once with
// ERROR_SHARING_VIOLATION. Moves never replace an existing file, but for the one
// call that says so in its name.
#pragma once

#include <cstdint>

#include "platform/export.h"

namespace platform {

inline constexpr int kInvalidFile = -1;

enum Access : unsigned { kRead = 1, kWrite = 2, kReadWrite = 3 };
enum Share : unsigned { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };
enum Disposition : unsigned {
  kCreateNew = 1,         // fails with ERROR_FILE_EXISTS when the file exists
  kCreateAlways = 2,      // creates or truncates
  kOpenExisting = 3,      // fails with ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND
  kOpenAlways = 4,        // opens or creates
  kTruncateExisting = 5,  // opens and truncates; fails when missing
};
enum Whence : unsigned { kBegin = 0, kCurrent = 1, kEnd = 2 };

// Opens or creates a file; kInvalidFile on failure. New files get mode 0600 & ~umask
// unless `mode` is given. Directories, FIFOs and sockets cannot be opened
// (ERROR_ACCESS_DENIED; the open itself never waits on a FIFO), nor can
// a symbolic link at the last name be opened for writing (ERROR_ACCESS_DENIED), so
// that a privileged writer in a user's folder is never sent elsewhere. kCreateAlways
// and kTruncateExisting need write access and truncate only once the lock is held.
PLATFORM_API int CreateFile(const char* path, unsigned access, unsigned share, unsigned disposition,
               unsigned mode = 0600) noexcept;

// Opens an existing name for reading, for a privileged reader of a name that a user
// controls: a symbolic link at the last name is never followed
// (ERROR_CANT_RESOLVE_FILENAME), and the open never waits on a FIFO or a device (the
// descriptor is non-blocking). Whatever the name is gets opened: the caller checks
// it with LookAtFile before reading. No share-mode lock is taken. kInvalidFile on
// failure.
PLATFORM_API int OpenWithoutFollowing(const char* path) noexcept;

// A new file with no name on disk, open for reading and writing and closed when the
// program executes another; `name` is only a label for debuggers. kInvalidFile on
// failure.
PLATFORM_API int CreateMemoryFile(const char* name) noexcept;

// Reads up to `size` bytes; `*done` receives the count (0 at the end of the file).
PLATFORM_API bool ReadFile(int file, void* buffer, uint32_t size, uint32_t* done) noexcept;

// Writes all `size` bytes or fails (ERROR_DISK_FULL for a full disk); `*done`, when
// given, receives the count written.
PLATFORM_API bool WriteFile(int file, const void* data, uint32_t size, uint32_t* done = nullptr) noexcept;

// Moves the file position; `*position`, when given, receives the new position.
PLATFORM_API bool SetFilePointer(int file, int64_t distance, unsigned whence, int64_t* position = nullptr) noexcept;

// Truncates or extends the file at the current position.
PLATFORM_API bool SetEndOfFile(int file) noexcept;

PLATFORM_API bool GetFileSize(int file, uint64_t* size) noexcept;

// Flushes the file's data and metadata to disk (fsync).
PLATFORM_API bool FlushFile(int file) noexcept;

// Flushes a directory's entries to disk, so that a rename into it survives a crash.
PLATFORM_API bool FlushDirectory(const char* path) noexcept;

// Flushes everything written to the filesystem that holds `path`: one wait for many
// files whose order does not matter, where a flush of each would wait once per file.
// It waits for other writers to the same filesystem as well.
PLATFORM_API bool FlushFileSystem(const char* path) noexcept;

PLATFORM_API bool CloseFile(int file) noexcept;

// Renames without ever replacing an existing target (ERROR_ALREADY_EXISTS). A move
// across filesystems fails with ERROR_NOT_SAME_DEVICE so that callers can copy.
// Directories move too.
PLATFORM_API bool MoveFile(const char* from, const char* to) noexcept;

// Renames `from` to `to`, replacing a file already there in one step: a reader of
// `to` finds the old file or the new one, never neither. Within one filesystem only
// (ERROR_NOT_SAME_DEVICE); a directory at `to` is not replaced (ERROR_ACCESS_DENIED).
PLATFORM_API bool MoveFileReplacing(const char* from, const char* to) noexcept;

// Copies contents (and the mode bits) to a new file. With `fail_if_exists` the
// target is created exclusively (ERROR_FILE_EXISTS when present); otherwise it is
// replaced, by a rename once the copy is complete. The copy is flushed to disk
// before success is reported; a failed copy leaves no new target behind, and a
// target that was to be replaced stays as it was.
PLATFORM_API bool CopyFile(const char* from, const char* to, bool fail_if_exists) noexcept;

PLATFORM_API bool DeleteFile(const char* path) noexcept;

// Creates one directory (mode 0700 & ~umask unless given); ERROR_ALREADY_EXISTS when
// the name exists, ERROR_PATH_NOT_FOUND when its parent does not.
PLATFORM_API bool CreateDirectory(const char* path, unsigned mode = 0700) noexcept;

// Removes an empty directory (ERROR_DIR_NOT_EMPTY otherwise).
PLATFORM_API bool RemoveDirectory(const char* path) noexcept;

// Attributes of a name, as far as the callers need them.
enum Attributes : uint32_t { kAttrNone = 0, kAttrDirectory = 0x10, kAttrNormal = 0x80 };
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// kInvalidAttributes with the last-error value set when the name does not exist.
PLATFORM_API uint32_t GetFileAttributes(const char* path) noexcept;

// What a name or an open file is, as far as callers that must not trust it need to
// know: the kind (the S_IF* bits of the mode), owner, identity, links and size.
struct FileFacts {
  uint32_t mode = 0;
  uint32_t owner = 0;
  uint64_t device = 0, inode = 0;
  uint64_t links = 0;
  uint64_t size = 0;
  int64_t modified = 0;  // the last write, in seconds since 1970
};

// The name itself, never followed through a link at its last part and never opened,
// so that a FIFO or a device can be refused before anything waits on it. 0 or a code.
PLATFORM_API uint32_t LookAtName(const char* path, FileFacts* facts) noexcept;
// What the descriptor has open. 0 or a code.
PLATFORM_API uint32_t LookAtFile(int file, FileFacts* facts) noexcept;

// Owns a descriptor and closes it on scope exit.
class PLATFORM_API UniqueFile {
 public:
  UniqueFile() noexcept = default;
  explicit UniqueFile(int file) noexcept : file_(file) {}
  UniqueFile(UniqueFile&& other) noexcept : file_(other.release()) {}
  UniqueFile& operator=(UniqueFile&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFile(const UniqueFile&) = delete;
  UniqueFile& operator=(const UniqueFile&) = delete;
  ~UniqueFile() { reset(); }

  int get() const noexcept { return file_; }
  explicit operator bool() const noexcept { return file_ != kInvalidFile; }
  int release() noexcept {
    int f = file_;
    file_ = kInvalidFile;
    return f;
  }
  void reset(int file = kInvalidFile) noexcept;

 private:
  int file_ = kInvalidFile;
};

}  // namespace platform
