// Walking a user's directories by descriptor (openat with O_NOFOLLOW and O_NONBLOCK),
// checking each step with fstat, and giving what is made to its account with fchown
// and fchmod on the descriptor: the safe-open practice for a privileged writer.
#include "platform/safe_open.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/fault.h"
#include "retry.h"

namespace platform {
namespace {

// A link or a file where a directory belongs is refused like any other failed check.
uint32_t OpenFailure(int err) {
  if (err == ELOOP || err == ENOTDIR || err == ENXIO || err == EMLINK) return ERROR_ACCESS_DENIED;
  return FromErrno(err);
}

bool IsSingleName(const char* name) {
  if (name == nullptr || name[0] == '\0') return false;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '/') return false;
  }
  return !(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')));
}

// Whether the directory open as `fd` holds nothing: the state of one just made.
bool IsEmptyDirectory(int fd) {
  const int copy = ::dup(fd);
  if (copy < 0) return false;
  DIR* dir = ::fdopendir(copy);
  if (dir == nullptr) {
    ::close(copy);
    return false;
  }
  bool empty = true;
  while (const dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
      empty = false;
      break;
    }
  }
  ::closedir(dir);
  return empty;
}

// Gives a descriptor just made by this process its mode and its account.
uint32_t GiveToOwner(int fd, const TreeOwner& owner, unsigned mode) {
  // The mode passed to mkdirat and openat went through the umask.
  if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return FromErrno(errno);
  if (::geteuid() != owner.uid && ::fchown(fd, owner.uid, owner.gid) != 0) return FromErrno(errno);
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t CheckOwned(int fd, const TreeOwner& owner, bool directory) noexcept {
  struct stat st{};
  if (::fstat(fd, &st) != 0) return FromErrno(errno);
  const bool right_kind = directory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode) && st.st_nlink == 1;
  if (!right_kind || st.st_uid != owner.uid || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return ERROR_ACCESS_DENIED;
  }
  return ERROR_SUCCESS;
}

uint32_t OpenHome(const std::string& home, const TreeOwner& owner, UniqueFile* dir) noexcept {
  if (uint32_t code = fault::Check(fault::Op::Walk)) return code;
  if (home.empty() || home.front() != '/') return ERROR_PATH_NOT_FOUND;
  int fd = RetryOnEintr([&] {
    return ::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  });
  if (fd < 0) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : OpenFailure(errno);
  UniqueFile opened(fd);
  struct stat st{};
  if (::fstat(fd, &st) != 0) return FromErrno(errno);
  // Root may own a home it keeps for an account; nobody else may.
  if (!S_ISDIR(st.st_mode) || (st.st_uid != owner.uid && st.st_uid != 0)) return ERROR_ACCESS_DENIED;
  *dir = std::move(opened);
  return ERROR_SUCCESS;
}

uint32_t OpenOwnedDirectory(int parent, const char* name, const TreeOwner& owner, bool create,
                            unsigned mode, UniqueFile* dir) noexcept {
  if (uint32_t code = fault::Check(fault::Op::Walk)) return code;
  if (!IsSingleName(name)) return ERROR_INVALID_PARAMETER;
  constexpr int kFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  int fd = RetryOnEintr([&] { return ::openat(parent, name, kFlags); });
  bool made = false;
  if (fd < 0 && errno == ENOENT && create) {
    if (::mkdirat(parent, name, static_cast<mode_t>(mode)) == 0) {
      made = true;
    } else if (errno != EEXIST) {
      return FromErrno(errno);
    }
    // The user may act between the make and the open: whatever stands under the
    // name now is what gets checked.
    if (uint32_t code = fault::Check(fault::Op::Walk)) return code;
    fd = RetryOnEintr([&] { return ::openat(parent, name, kFlags); });
  }
  if (fd < 0) return errno == ENOENT ? ERROR_PATH_NOT_FOUND : OpenFailure(errno);
  UniqueFile opened(fd);
  if (made) {
    // Only the empty directory this process made is handed over: one the user put in
    // its place keeps its owner and is judged as it is (a full one of root's is
    // refused below, its owner unchanged).
    struct stat st{};
    if (::fstat(fd, &st) != 0) return FromErrno(errno);
    if (S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && IsEmptyDirectory(fd)) {
      if (uint32_t code = GiveToOwner(fd, owner, mode)) return code;
    }
  }
  if (uint32_t code = CheckOwned(fd, owner, true)) return code;
  *dir = std::move(opened);
  return ERROR_SUCCESS;
}

uint32_t OpenOwnedFile(int parent, const char* name, const TreeOwner& owner, unsigned access,
                       unsigned disposition, unsigned mode, UniqueFile* file) noexcept {
  if (uint32_t code = fault::Check(fault::Op::Walk)) return code;
  if (!IsSingleName(name) || access < kRead || access > kReadWrite ||
      (disposition != kOpenExisting && disposition != kCreateNew && disposition != kOpenAlways)) {
    return ERROR_INVALID_PARAMETER;
  }
  int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  flags |= access == kRead ? O_RDONLY : access == kWrite ? O_WRONLY : O_RDWR;
  const auto open_as = [&](int extra) {
    return RetryOnEintr([&] { return ::openat(parent, name, flags | extra, static_cast<mode_t>(mode)); });
  };
  bool made = false;
  int fd = -1;
  if (disposition != kOpenExisting) {
    fd = open_as(O_CREAT | O_EXCL);
    made = fd >= 0;
    if (fd < 0 && (errno != EEXIST || disposition == kCreateNew)) {
      return errno == EEXIST ? ERROR_FILE_EXISTS : OpenFailure(errno);
    }
  }
  if (fd < 0) fd = open_as(0);
  if (fd < 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : OpenFailure(errno);
  UniqueFile opened(fd);
  if (made) {
    if (uint32_t code = GiveToOwner(fd, owner, mode)) return code;
  }
  if (uint32_t code = CheckOwned(fd, owner, false)) return code;
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  *file = std::move(opened);
  return ERROR_SUCCESS;
}

std::string PathThrough(int dir, const char* name) {
  return "/proc/self/fd/" + std::to_string(dir) + "/" + name;
}

}  // namespace platform
