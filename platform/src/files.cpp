// Files with share modes over plain descriptors. A share mode is an flock lock taken
// without waiting, so a conflicting open fails at once with ERROR_SHARING_VIOLATION;
// truncation happens only once the lock is held. Moves never replace a target, and a
// copy never leaves a half-written or missing target behind.
#include "platform/files.h"

#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/file.h>
#include <sys/mman.h>  // memfd_create
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "files_detail.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "retry.h"

namespace platform {
namespace {

using fault::Op;

// Stores `code` as the last-error value, for the failure returns of the bool calls.
bool Failed(uint32_t code) {
  SetLastError(code);
  return false;
}

// Closes a descriptor of the layer's own making, leaving errno and the last-error
// value as they were (a close on a failure path must not hide the failure).
void CloseQuietly(int fd) {
  int saved = errno;
  ::close(fd);
  errno = saved;
}

// The code for a failed rename or link: a missing name is looked up on the side that
// is missing, so that a missing source gives 2 and a missing target folder gives 3.
uint32_t MoveFailure(int err, const char* from, const char* to) {
  if (err != ENOENT) return FromErrno(err);
  struct stat st{};
  return FromErrno(err, ::lstat(from, &st) != 0 ? from : to);
}

// rename(2), which replaces a file at `to` atomically; the last-error value on failure.
bool RenameReplacing(const char* from, const char* to) {
  if (::rename(from, to) == 0) return true;
  return Failed(MoveFailure(errno, from, to));  // EISDIR: 5, EXDEV: 17
}

// Everything from `src`'s position to the end, written to `dst` and flushed to disk.
bool CopyContents(int src, int dst) {
  char buffer[64 * 1024];
  for (;;) {
    uint32_t got = 0;
    if (!ReadFile(src, buffer, sizeof buffer, &got)) return false;
    if (got == 0) return FlushFile(dst);
    if (!WriteFile(dst, buffer, got)) return false;
  }
}

// Creates a new, exclusively opened file beside `to` under a name of its own, for a
// copy that replaces `to` only once it is complete. Writes the name into `name`.
int CreateSibling(const char* to, unsigned mode, std::string& name) {
  static std::atomic<uint32_t> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    uint32_t n = static_cast<uint32_t>(::getpid()) * 2654435761u + counter.fetch_add(1);
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, ".%08x~", n);
    name = std::string(to) + suffix;
    int fd = CreateFile(name.c_str(), kWrite, kShareNone, kCreateNew, mode);
    if (fd != kInvalidFile || GetLastError() != ERROR_FILE_EXISTS) return fd;
  }
  return kInvalidFile;
}

}  // namespace

namespace detail {

bool MoveByLink(const char* from, const char* to) noexcept {
  struct stat st{};
  if (::lstat(from, &st) != 0) return Failed(FailWithErrno(from));
  if (S_ISDIR(st.st_mode)) {
    if (::lstat(to, &st) == 0) return Failed(ERROR_ALREADY_EXISTS);
    if (errno != ENOENT) return Failed(FailWithErrno(to));
    if (::rename(from, to) != 0) return Failed(MoveFailure(errno, from, to));
    return true;
  }
  if (::link(from, to) != 0) return Failed(MoveFailure(errno, from, to));
  if (::unlink(from) != 0) {
    int err = errno;
    ::unlink(to);  // undo, so that the file keeps exactly one name
    return Failed(MoveFailure(err, from, to));
  }
  return true;
}

}  // namespace detail

int CreateFile(const char* path, unsigned access, unsigned share, unsigned disposition,
               unsigned mode) noexcept {
  if (uint32_t c = fault::Check(Op::Open)) {
    Fail(c);
    return kInvalidFile;
  }
  const bool truncates = disposition == kCreateAlways || disposition == kTruncateExisting;
  if (path == nullptr || access < kRead || access > kReadWrite || disposition < kCreateNew ||
      disposition > kTruncateExisting || (truncates && (access & kWrite) == 0)) {
    Fail(ERROR_INVALID_PARAMETER);
    return kInvalidFile;
  }
  // O_NONBLOCK keeps a FIFO from hanging the open; it is cleared again below.
  int flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  flags |= access == kRead ? O_RDONLY : access == kWrite ? O_WRONLY : O_RDWR;
  // Writing never follows a symbolic link at the last name: the service writes into
  // users' folders with more rights than their owners.
  if ((access & kWrite) != 0) flags |= O_NOFOLLOW;
  if (disposition == kCreateNew) flags |= O_CREAT | O_EXCL;
  if (disposition == kCreateAlways || disposition == kOpenAlways) flags |= O_CREAT;

  int fd = RetryOnEintr([&] { return ::open(path, flags, static_cast<mode_t>(mode)); });
  if (fd < 0) {
    if (errno == EEXIST) {
      Fail(ERROR_FILE_EXISTS);
    } else if (errno == ELOOP && (flags & O_NOFOLLOW) != 0) {
      Fail(ERROR_ACCESS_DENIED);  // the last name is a symbolic link
    } else {
      FailWithErrno(path);
    }
    return kInvalidFile;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    FailWithErrno(path);
    CloseQuietly(fd);
    return kInvalidFile;
  }
  // A FIFO or a socket where a file belongs would block the first read or write: a
  // user could stall a privileged reader with one in her folder.
  if (S_ISDIR(st.st_mode) || S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) {
    Fail(ERROR_ACCESS_DENIED);
    CloseQuietly(fd);
    return kInvalidFile;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);

  if (uint32_t c = fault::Check(Op::Lock)) {
    Fail(c);
    CloseQuietly(fd);
    return kInvalidFile;
  }
  int lock = (share == kShareNone ? LOCK_EX : LOCK_SH) | LOCK_NB;
  if (RetryOnEintr([&] { return ::flock(fd, lock); }) != 0) {
    FailWithErrno(path);  // EWOULDBLOCK: ERROR_SHARING_VIOLATION
    CloseQuietly(fd);
    return kInvalidFile;
  }
  // Truncating only now, under the lock, leaves a file that another holds untouched.
  if (truncates && RetryOnEintr([&] { return ::ftruncate(fd, 0); }) != 0) {
    FailWithErrno(path);
    CloseQuietly(fd);
    return kInvalidFile;
  }
  return fd;
}

int OpenWithoutFollowing(const char* path) noexcept {
  if (uint32_t c = fault::Check(Op::Open)) {
    Fail(c);
    return kInvalidFile;
  }
  if (path == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return kInvalidFile;
  }
  // O_NONBLOCK keeps a FIFO from hanging the open, and stays: the caller refuses one.
  constexpr int kFlags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  const int fd = RetryOnEintr([&] { return ::open(path, kFlags); });
  if (fd < 0) FailWithErrno(path);  // ELOOP, the link refused: ERROR_CANT_RESOLVE_FILENAME
  return fd;
}

int CreateMemoryFile(const char* name) noexcept {
  if (uint32_t c = fault::Check(Op::Open)) {
    Fail(c);
    return kInvalidFile;
  }
  if (name == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return kInvalidFile;
  }
  const int fd = ::memfd_create(name, MFD_CLOEXEC);
  if (fd < 0) FailWithErrno();
  return fd;
}

bool ReadFile(int file, void* buffer, uint32_t size, uint32_t* done) noexcept {
  if (done != nullptr) *done = 0;
  if (uint32_t c = fault::Check(Op::Read)) return Failed(c);
  if (buffer == nullptr && size > 0) return Failed(ERROR_INVALID_PARAMETER);
  // Reads until the buffer is full or the file ends, as callers that read a file
  // whole expect.
  uint32_t total = 0;
  while (total < size) {
    ssize_t n = RetryOnEintr([&] { return ::read(file, static_cast<char*>(buffer) + total, size - total); });
    if (n < 0) return Failed(FailWithErrno());
    if (n == 0) break;
    total += static_cast<uint32_t>(n);
    if (done != nullptr) *done = total;
  }
  return true;
}

bool WriteFile(int file, const void* data, uint32_t size, uint32_t* done) noexcept {
  if (done != nullptr) *done = 0;
  if (uint32_t c = fault::Check(Op::Write)) return Failed(c);
  if (data == nullptr && size > 0) return Failed(ERROR_INVALID_PARAMETER);
  uint32_t total = 0;
  while (total < size) {
    ssize_t n = RetryOnEintr([&] { return ::write(file, static_cast<const char*>(data) + total, size - total); });
    if (n < 0) return Failed(FailWithErrno());  // ENOSPC: ERROR_DISK_FULL
    if (n == 0) return Failed(ERROR_WRITE_FAULT);
    total += static_cast<uint32_t>(n);
    if (done != nullptr) *done = total;
  }
  return true;
}

bool SetFilePointer(int file, int64_t distance, unsigned whence, int64_t* position) noexcept {
  if (uint32_t c = fault::Check(Op::Seek)) return Failed(c);
  static constexpr int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
  if (whence > kEnd) return Failed(ERROR_INVALID_PARAMETER);
  off_t at = ::lseek(file, static_cast<off_t>(distance), kWhence[whence]);
  if (at < 0) {
    // With a valid whence, EINVAL can only mean a position before the start.
    return Failed(errno == EINVAL ? ERROR_NEGATIVE_SEEK : FailWithErrno());
  }
  if (position != nullptr) *position = at;
  return true;
}

bool SetEndOfFile(int file) noexcept {
  if (uint32_t c = fault::Check(Op::Seek)) return Failed(c);
  off_t at = ::lseek(file, 0, SEEK_CUR);
  if (at < 0 || RetryOnEintr([&] { return ::ftruncate(file, at); }) != 0) {
    return Failed(FailWithErrno());
  }
  return true;
}

bool GetFileSize(int file, uint64_t* size) noexcept {
  if (uint32_t c = fault::Check(Op::Seek)) return Failed(c);
  if (size == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  struct stat st{};
  if (::fstat(file, &st) != 0) return Failed(FailWithErrno());
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool FlushFile(int file) noexcept {
  if (uint32_t c = fault::Check(Op::Flush)) return Failed(c);
  if (RetryOnEintr([&] { return ::fsync(file); }) != 0) return Failed(FailWithErrno());
  return true;
}

namespace {

// Opens the directory `path` and runs `flush` (fsync or syncfs) on it.
bool FlushThroughDirectory(const char* path, int (*flush)(int)) noexcept {
  if (uint32_t c = fault::Check(Op::Flush)) return Failed(c);
  if (path == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  int fd = RetryOnEintr([&] { return ::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC); });
  if (fd < 0) return Failed(FailWithErrno(path));
  bool ok = RetryOnEintr([&] { return flush(fd); }) == 0;
  if (!ok) FailWithErrno(path);
  CloseQuietly(fd);
  return ok;
}

}  // namespace

bool FlushDirectory(const char* path) noexcept { return FlushThroughDirectory(path, ::fsync); }

bool FlushFileSystem(const char* path) noexcept { return FlushThroughDirectory(path, ::syncfs); }

bool CloseFile(int file) noexcept {
  if (uint32_t c = fault::Check(Op::Close)) {
    // As with a real close that fails, the descriptor is gone all the same.
    if (file >= 0) CloseQuietly(file);
    return Failed(c);
  }
  if (file < 0) return Failed(ERROR_INVALID_HANDLE);
  // Linux releases the descriptor even when close reports EINTR: never retry it.
  if (::close(file) != 0 && errno != EINTR) return Failed(FailWithErrno());
  return true;
}

bool MoveFile(const char* from, const char* to) noexcept {
  if (uint32_t c = fault::Check(Op::Move)) return Failed(c);
  if (from == nullptr || to == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  // EINVAL also stands for a directory moved into itself; the fallback reports that.
  if (errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) return detail::MoveByLink(from, to);
  return Failed(MoveFailure(errno, from, to));  // EEXIST: 183, EXDEV: 17
}

bool MoveFileReplacing(const char* from, const char* to) noexcept {
  if (uint32_t c = fault::Check(Op::Move)) return Failed(c);
  if (from == nullptr || to == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  return RenameReplacing(from, to);
}

bool CopyFile(const char* from, const char* to, bool fail_if_exists) noexcept {
  if (uint32_t c = fault::Check(Op::Copy)) return Failed(c);
  if (from == nullptr || to == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  // Closed quietly rather than through CloseFile, so that the copy does not use up a
  // fault armed for the caller's own closes.
  struct Source {
    int fd;
    ~Source() {
      if (fd != kInvalidFile) CloseQuietly(fd);
    }
  } source{CreateFile(from, kRead, kShareRead, kOpenExisting)};
  if (source.fd == kInvalidFile) return false;
  struct stat st{};
  if (::fstat(source.fd, &st) != 0) return Failed(FailWithErrno(from));
  const unsigned mode = st.st_mode & 0777;

  // Without fail_if_exists the copy goes to a new name beside the target and replaces
  // it only when complete, so a failure keeps the old target as it was.
  std::string created;
  int target = kInvalidFile;
  try {
    if (fail_if_exists) {
      target = CreateFile(to, kWrite, kShareNone, kCreateNew, mode);
      created = to;
    } else {
      target = CreateSibling(to, mode, created);
    }
  } catch (...) {
    return Failed(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (target == kInvalidFile) return false;

  bool ok = CopyContents(source.fd, target);
  if (::close(target) != 0 && errno != EINTR && ok) ok = Failed(FailWithErrno(to));
  if (ok && !fail_if_exists) ok = RenameReplacing(created.c_str(), to);
  if (!ok) ::unlink(created.c_str());  // a failed copy leaves nothing behind
  return ok;
}

bool DeleteFile(const char* path) noexcept {
  if (uint32_t c = fault::Check(Op::Delete)) return Failed(c);
  if (path == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  if (::unlink(path) != 0) return Failed(FailWithErrno(path));  // a directory: EISDIR, 5
  return true;
}

bool CreateDirectory(const char* path, unsigned mode) noexcept {
  if (uint32_t c = fault::Check(Op::CreateDir)) return Failed(c);
  if (path == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  if (::mkdir(path, static_cast<mode_t>(mode)) != 0) return Failed(FailWithErrno(path));
  return true;
}

bool RemoveDirectory(const char* path) noexcept {
  if (uint32_t c = fault::Check(Op::Delete)) return Failed(c);
  if (path == nullptr) return Failed(ERROR_INVALID_PARAMETER);
  if (::rmdir(path) != 0) {
    // Some filesystems report a directory that is not empty as EEXIST.
    return Failed(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : FailWithErrno(path));
  }
  return true;
}

uint32_t GetFileAttributes(const char* path) noexcept {
  if (path == nullptr) {
    Fail(ERROR_INVALID_PARAMETER);
    return kInvalidAttributes;
  }
  struct stat st{};
  if (::stat(path, &st) != 0) {
    FailWithErrno(path);
    return kInvalidAttributes;
  }
  return S_ISDIR(st.st_mode) ? kAttrDirectory : kAttrNormal;
}

namespace {

void Describe(const struct stat& st, FileFacts* facts) {
  facts->mode = st.st_mode;
  facts->owner = st.st_uid;
  facts->device = st.st_dev;
  facts->inode = st.st_ino;
  facts->links = st.st_nlink;
  facts->size = st.st_size < 0 ? 0 : static_cast<uint64_t>(st.st_size);
  facts->modified = st.st_mtime;
}

}  // namespace

uint32_t LookAtName(const char* path, FileFacts* facts) noexcept {
  if (uint32_t c = fault::Check(Op::Look)) return c;
  if (path == nullptr || facts == nullptr) return ERROR_INVALID_PARAMETER;
  struct stat st{};
  if (::lstat(path, &st) != 0) return FromErrno(errno, path);
  Describe(st, facts);
  return 0;
}

uint32_t LookAtFile(int file, FileFacts* facts) noexcept {
  if (uint32_t c = fault::Check(Op::Look)) return c;
  if (facts == nullptr) return ERROR_INVALID_PARAMETER;
  struct stat st{};
  if (::fstat(file, &st) != 0) return FromErrno(errno);
  Describe(st, facts);
  return 0;
}

void UniqueFile::reset(int file) noexcept {
  if (file == file_) return;
  int old = file_;
  file_ = file;
  if (old != kInvalidFile) CloseFile(old);
}

}  // namespace platform
