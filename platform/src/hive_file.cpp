// Creating hive files: directories, modes and ownership, and the schema of a new hive.
// A user hive is made by descriptor inside the user's home (safe_open.h), so that root
// making it for the user follows no link the user planted and gives nothing but the
// new directory and file to the user.
#include "hive_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/safe_open.h"
#include "sqlite_status.h"

namespace platform::registry {
namespace {

// Key 1 is the hive's root; key names are unique among siblings ignoring case, and
// so are value names within a key. AUTOINCREMENT keeps the id of a deleted key from
// being reused, so that a handle on it can tell that it is gone.
constexpr char kSchema[] =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE keys(id INTEGER PRIMARY KEY AUTOINCREMENT, parent INTEGER NOT NULL,"
    " name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name));"
    "CREATE TABLE \"values\"(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name)) WITHOUT ROWID;"
    "INSERT INTO keys(id, parent, name) VALUES(1, 0, '');"
    "PRAGMA user_version = 1;"
    "COMMIT;";

bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// The machine hive's directories belong to root, who makes them: by path.
uint32_t MakeMachineDirectory(const std::string& path) {
  if (Exists(path)) return ERROR_SUCCESS;
  if (::mkdir(path.c_str(), 0755) != 0) {
    if (errno == EEXIST) return ERROR_SUCCESS;
    return FromErrno(errno, path.c_str());
  }
  // mkdir's mode passes through the umask; the modes are part of the contract.
  if (::chmod(path.c_str(), 0755) != 0) return FromErrno(errno);
  return ERROR_SUCCESS;
}

// The directory with every missing parent, opened.
uint32_t OpenMachineDirectory(const std::string& dir, UniqueFile* opened) {
  for (size_t slash = dir.find('/', 1); slash != std::string::npos; slash = dir.find('/', slash + 1)) {
    if (uint32_t code = MakeMachineDirectory(dir.substr(0, slash))) return code;
  }
  if (uint32_t code = MakeMachineDirectory(dir)) return code;
  opened->reset(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return *opened ? ERROR_SUCCESS : FromErrno(errno, dir.c_str());
}

// A user hive's directory: inside an existing home, made for the user when missing.
uint32_t OpenUserDirectory(const std::string& dir, const HiveLocation& location, UniqueFile* opened) {
  size_t slash = dir.rfind('/');
  if (slash == std::string::npos || slash == 0) return ERROR_PATH_NOT_FOUND;
  const TreeOwner owner{location.uid, location.gid};
  UniqueFile home;
  if (uint32_t code = OpenHome(dir.substr(0, slash), owner, &home)) return code;
  return OpenOwnedDirectory(home.get(), dir.c_str() + slash + 1, owner, true, 0700, opened);
}

// The bytes of an empty hive, built in memory: the file on disk is then written by
// descriptor like any other.
uint32_t EmptyHive(std::string* bytes) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  uint32_t code = FromSqlite(db, rc);
  if (code == ERROR_SUCCESS) {
    sqlite3_int64 size = 0;
    unsigned char* image = sqlite3_serialize(db, "main", &size, 0);
    if (image == nullptr) {
      code = ERROR_NOT_ENOUGH_MEMORY;
    } else {
      bytes->assign(reinterpret_cast<const char*>(image), static_cast<size_t>(size));
      sqlite3_free(image);
    }
  }
  sqlite3_close_v2(db);
  return code;
}

// A new temporary file in `dir`, its name in `name`.
uint32_t CreateTemporary(int dir, const HiveLocation& location, std::string* name, UniqueFile* file) {
  static std::atomic<uint32_t> counter{0};
  const TreeOwner owner{location.machine ? static_cast<uint32_t>(::geteuid()) : location.uid,
                        location.machine ? static_cast<uint32_t>(::getegid()) : location.gid};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, ".hive-%08x",
                  static_cast<uint32_t>(::getpid()) * 2654435761u + counter.fetch_add(1));
    *name = buffer;
    uint32_t code =
        OpenOwnedFile(dir, buffer, owner, kReadWrite, kCreateNew, location.machine ? 0644 : 0600, file);
    if (code != ERROR_FILE_EXISTS) return code;
  }
  return ERROR_FILE_EXISTS;
}

}  // namespace

uint32_t CreateHiveFile(const HiveLocation& location) {
  const std::string& path = location.path;
  size_t slash = path.rfind('/');
  if (path.empty() || slash == std::string::npos || slash == 0) return ERROR_PATH_NOT_FOUND;
  const std::string dir_path = path.substr(0, slash);
  const std::string file_name = path.substr(slash + 1);
  UniqueFile dir;
  uint32_t code = location.machine ? OpenMachineDirectory(dir_path, &dir)
                                   : OpenUserDirectory(dir_path, location, &dir);
  if (code != ERROR_SUCCESS) return code;

  std::string image;
  if ((code = EmptyHive(&image)) != ERROR_SUCCESS) return code;
  std::string temp;
  UniqueFile file;
  if ((code = CreateTemporary(dir.get(), location, &temp, &file)) != ERROR_SUCCESS) return code;
  // Written directly, not through WriteFile: a hive made on the way is not one of
  // the caller's writes, and must not use up a fault a test armed for those.
  for (size_t done = 0; code == ERROR_SUCCESS && done < image.size();) {
    const ssize_t n = ::write(file.get(), image.data() + done, image.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) code = n < 0 ? FromErrno(errno) : ERROR_WRITE_FAULT;
    else done += static_cast<size_t>(n);
  }
  if (code == ERROR_SUCCESS && ::fsync(file.get()) != 0) code = FromErrno(errno);
  file.reset();
  // link fails with EEXIST when another process made the hive meanwhile: theirs wins.
  if (code == ERROR_SUCCESS && ::linkat(dir.get(), temp.c_str(), dir.get(), file_name.c_str(), 0) != 0 &&
      errno != EEXIST) {
    code = FromErrno(errno);
  }
  ::unlinkat(dir.get(), temp.c_str(), 0);
  if (code == ERROR_SUCCESS) ::fsync(dir.get());
  return code;
}

}  // namespace platform::registry
