// The guarded open installed in SQLite's unix VFS, and the hives' VFS: a copy of the
// unix VFS whose full path name of an absolute name is the name itself.
#include "sqlite_files.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <utility>

#include "platform/fault.h"

namespace platform::registry {
namespace {

constexpr char kVfsName[] = "pellam-hive";
constexpr char kThroughDescriptor[] = "/proc/self/fd/";

struct Expected {
  const std::string* path = nullptr;
  dev_t device = 0;
  ino_t inode = 0;
};
thread_local Expected g_expected;
thread_local bool g_refused = false;

// "/proc/self/fd/N" itself, the directory SQLite opens to flush a pinned hive's
// entries: a link by nature, and one to a directory already checked.
bool IsDescriptorDirectory(const char* path) {
  const size_t prefix = sizeof kThroughDescriptor - 1;
  if (std::strncmp(path, kThroughDescriptor, prefix) != 0 || path[prefix] == '\0') return false;
  for (const char* p = path + prefix; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
  }
  return true;
}

int GuardedOpen(const char* path, int flags, int mode) {
  // The fault hook lets a test act between a check and SQLite's own open.
  fault::Check(fault::Op::Walk);
  const int extra = O_NONBLOCK | O_CLOEXEC | (IsDescriptorDirectory(path) ? 0 : O_NOFOLLOW);
  const int fd = ::open(path, flags | extra, static_cast<mode_t>(mode));
  if (fd < 0) {
    if (errno == ELOOP && (extra & O_NOFOLLOW) != 0) {
      g_refused = true;  // a link at the last name
      errno = EACCES;
    }
    return fd;
  }
  struct stat st{};
  bool fine = ::fstat(fd, &st) == 0 &&
              (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode) ||
               (S_ISCHR(st.st_mode) && std::strcmp(path, "/dev/urandom") == 0));
  if (fine && g_expected.path != nullptr && *g_expected.path == path) {
    fine = st.st_dev == g_expected.device && st.st_ino == g_expected.inode;
  }
  if (!fine) {
    g_refused = true;
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  if ((flags & O_NONBLOCK) == 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

sqlite3_vfs g_hive_vfs;
int (*g_unix_full_pathname)(sqlite3_vfs*, const char*, int, char*) = nullptr;

// An absolute name stands as given: resolving its links would undo the pinning.
int FullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out) {
  if (name[0] != '/') return g_unix_full_pathname(vfs, name, size, out);
  const size_t length = std::strlen(name);
  if (length + 1 > static_cast<size_t>(size)) return SQLITE_CANTOPEN;
  std::memcpy(out, name, length + 1);
  return SQLITE_OK;
}

void Install() {
  sqlite3_vfs* unix_vfs = sqlite3_vfs_find("unix");
  if (unix_vfs == nullptr) return;
  unix_vfs->xSetSystemCall(unix_vfs, "open", reinterpret_cast<sqlite3_syscall_ptr>(&GuardedOpen));
  g_hive_vfs = *unix_vfs;
  g_hive_vfs.zName = kVfsName;
  g_hive_vfs.pNext = nullptr;
  g_unix_full_pathname = unix_vfs->xFullPathname;
  g_hive_vfs.xFullPathname = FullPathname;
  sqlite3_vfs_register(&g_hive_vfs, 0);
}

}  // namespace

const char* HiveVfs() {
  static std::once_flag once;
  std::call_once(once, Install);
  return kVfsName;
}

bool TakeRefusal() noexcept { return std::exchange(g_refused, false); }

ExpectFile::ExpectFile(const std::string& path, dev_t device, ino_t inode) {
  g_refused = false;
  g_expected = Expected{&path, device, inode};
}

ExpectFile::~ExpectFile() { g_expected = Expected{}; }

}  // namespace platform::registry
