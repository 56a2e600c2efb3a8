// Creating hive files: directories, modes and ownership, and the schema of a new hive.
#include "hive_file.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/errors.h"
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

// Gives a new file or directory to the user of a user hive when someone else (root)
// makes it; the group follows only with the user.
uint32_t GiveToOwner(int fd, const char* path, const HiveLocation& location) {
  if (location.machine || ::geteuid() == location.uid) return ERROR_SUCCESS;
  int rc = fd >= 0 ? ::fchown(fd, location.uid, location.gid)
                   : ::chown(path, location.uid, location.gid);
  return rc == 0 ? ERROR_SUCCESS : FromErrno(errno);
}

uint32_t MakeDirectory(const std::string& path, const HiveLocation& location) {
  if (Exists(path)) return ERROR_SUCCESS;
  mode_t mode = location.machine ? 0755 : 0700;
  if (::mkdir(path.c_str(), mode) != 0) {
    if (errno == EEXIST) return ERROR_SUCCESS;
    return FromErrno(errno, path.c_str());
  }
  // mkdir's mode passes through the umask; the modes are part of the contract.
  if (::chmod(path.c_str(), mode) != 0) return FromErrno(errno);
  return GiveToOwner(-1, path.c_str(), location);
}

// The machine hive's directory is made with every missing parent; a user hive's
// directory only inside an existing home.
uint32_t MakeHiveDirectory(const std::string& dir, const HiveLocation& location) {
  if (location.machine) {
    for (size_t slash = dir.find('/', 1); slash != std::string::npos;
         slash = dir.find('/', slash + 1)) {
      if (uint32_t code = MakeDirectory(dir.substr(0, slash), location)) return code;
    }
  }
  return MakeDirectory(dir, location);
}

uint32_t WriteSchema(const std::string& path) {
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
  uint32_t code = FromSqlite(db, rc);
  sqlite3_close_v2(db);
  return code;
}

void SyncDirectory(const std::string& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

uint32_t CreateHiveFile(const HiveLocation& location) {
  const std::string& path = location.path;
  size_t slash = path.rfind('/');
  if (path.empty() || slash == std::string::npos || slash == 0) return ERROR_PATH_NOT_FOUND;
  std::string dir = path.substr(0, slash);
  if (uint32_t code = MakeHiveDirectory(dir, location)) return code;

  std::string temp = dir + "/.hive-XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return FromErrno(errno, temp.c_str());
  uint32_t code = ERROR_SUCCESS;
  if (::fchmod(fd, location.machine ? 0644 : 0600) != 0) code = FromErrno(errno);
  if (code == ERROR_SUCCESS) code = GiveToOwner(fd, temp.c_str(), location);
  ::close(fd);
  if (code == ERROR_SUCCESS) code = WriteSchema(temp);
  // link fails with EEXIST when another process made the hive meanwhile: theirs wins.
  if (code == ERROR_SUCCESS && ::link(temp.c_str(), path.c_str()) != 0 && errno != EEXIST) {
    code = FromErrno(errno);
  }
  ::unlink(temp.c_str());
  if (code == ERROR_SUCCESS) SyncDirectory(dir);
  return code;
}

}  // namespace platform::registry
