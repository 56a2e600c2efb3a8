// The SQLite side of the registry: opening a hive safely, walking key paths, and
// reading and writing values, each write in one transaction.
#include "registry_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>

#include "hive_file.h"
#include "platform/errors.h"
#include "platform/fault.h"
#include "platform/registry.h"
#include "platform/safe_open.h"
#include "sqlite_files.h"
#include "sqlite_status.h"

namespace platform {
namespace {

std::atomic<unsigned> g_lock_timeout_ms{5000};

}  // namespace

void SetRegistryLockTimeout(unsigned milliseconds) noexcept {
  g_lock_timeout_ms.store(milliseconds);
}

namespace registry {
namespace {

// A prepared statement that finalizes itself; a failed prepare shows in Step().
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
  }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t value) {
    if (rc_ == SQLITE_OK) rc_ = sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& BindText(int index, std::string_view text) {
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                              SQLITE_STATIC);
    return *this;
  }
  Statement& BindBlob(int index, std::string_view bytes) {
    // A null pointer would bind SQL NULL; an empty value is a zero-length blob.
    if (rc_ == SQLITE_OK)
      rc_ = sqlite3_bind_blob(stmt_, index, bytes.empty() ? "" : bytes.data(),
                              static_cast<int>(bytes.size()), SQLITE_STATIC);
    return *this;
  }

  // SQLITE_ROW, SQLITE_DONE, or the error of the prepare, a bind or the step.
  int Step() { return rc_ == SQLITE_OK ? sqlite3_step(stmt_) : rc_; }

  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }
  uint32_t Count(int column) const {
    int64_t n = Int(column);
    return n < 0 ? 0 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
  }
  std::string Bytes(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    int size = sqlite3_column_bytes(stmt_, column);
    if (data == nullptr || size <= 0) return {};
    return std::string(static_cast<const char*>(data), static_cast<size_t>(size));
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

// The wait for a locked hive. SQLite's own busy handler backs off to 100 ms between
// tries, but a busy writer frees the lock only for microseconds between transactions,
// so a waiter with 50 tries in 5 s could starve. Trying every millisecond up to the
// deadline gives thousands of chances. A known compromise: the wait is still not a
// queue, so a waiter is not guaranteed its turn before the bound, only very likely to
// get it. Handles are used by one thread at a time and a wait runs to its end on that
// thread, so its start fits a thread_local.
int WaitForLock(void* timeout_ms, int count) {
  using Clock = std::chrono::steady_clock;
  thread_local Clock::time_point started;
  if (count == 0) started = Clock::now();
  auto bound = std::chrono::milliseconds(reinterpret_cast<uintptr_t>(timeout_ms));
  auto left = bound - (Clock::now() - started);
  if (left <= Clock::duration::zero()) return 0;
  auto pause =
      count < 3 ? std::chrono::microseconds(100 << count) : std::chrono::microseconds(1000);
  std::this_thread::sleep_for(std::min<Clock::duration>(pause, left));
  return 1;
}

uint32_t Exec(sqlite3* db, const char* sql) {
  return FromSqlite(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr));
}

// BEGIN IMMEDIATE takes the write lock at once (waiting the busy time-out for it),
// so a transaction never fails half-way for want of the lock; anything not
// committed is rolled back.
class WriteTransaction {
 public:
  explicit WriteTransaction(sqlite3* db) : db_(db) {}
  ~WriteTransaction() {
    if (sqlite3_get_autocommit(db_) == 0) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  uint32_t Begin() { return Exec(db_, "BEGIN IMMEDIATE"); }
  uint32_t Commit() { return Exec(db_, "COMMIT"); }

 private:
  sqlite3* db_;
};

// A deferred read transaction, so that several statements see one state of the hive;
// inside a transaction already open it does nothing.
class ReadTransaction {
 public:
  explicit ReadTransaction(sqlite3* db) : db_(db) {}
  ~ReadTransaction() {
    if (began_) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;
  uint32_t Begin() {
    if (sqlite3_get_autocommit(db_) == 0) return ERROR_SUCCESS;
    if (uint32_t code = Exec(db_, "BEGIN")) return code;
    began_ = true;
    return ERROR_SUCCESS;
  }

 private:
  sqlite3* db_;
  bool began_ = false;
};

// Calls `visit` with each non-empty name of a "\"-separated path until it fails.
template <typename Visit>
uint32_t ForEachName(std::string_view path, Visit visit) {
  while (!path.empty()) {
    size_t sep = path.find('\\');
    std::string_view name = path.substr(0, sep);
    path.remove_prefix(sep == std::string_view::npos ? path.size() : sep + 1);
    if (name.empty()) continue;
    if (uint32_t code = visit(name)) return code;
  }
  return ERROR_SUCCESS;
}

}  // namespace

Hive::Hive(Hive&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      writable_(std::exchange(other.writable_, false)),
      dir_(std::move(other.dir_)) {}

Hive& Hive::operator=(Hive&& other) noexcept {
  if (this != &other) {
    sqlite3_close_v2(db_);
    db_ = std::exchange(other.db_, nullptr);
    writable_ = std::exchange(other.writable_, false);
    dir_ = std::move(other.dir_);
  }
  return *this;
}

Hive::~Hive() { sqlite3_close_v2(db_); }

namespace {

// A user hive, walked to by descriptor from the home (safe_open.h) and checked: the
// directory and the file the user's own and private, the file a regular one with one
// link. `*dir` keeps the directory open for the name handed to SQLite, which leads
// through it; `*checked` identifies the file.
uint32_t FindUserHive(const HiveLocation& location, UniqueFile* dir, struct stat* checked) {
  const std::string& path = location.path;
  const size_t slash = path.rfind('/');
  const size_t home_end = slash == std::string::npos || slash == 0 ? std::string::npos : path.rfind('/', slash - 1);
  if (home_end == std::string::npos || home_end == 0) return ERROR_PATH_NOT_FOUND;
  const TreeOwner owner{location.uid, location.gid};
  UniqueFile home, file;
  if (uint32_t code = OpenHome(path.substr(0, home_end), owner, &home)) return code;
  const std::string dir_name = path.substr(home_end + 1, slash - home_end - 1);
  if (uint32_t code = OpenOwnedDirectory(home.get(), dir_name.c_str(), owner, false, 0700, dir)) return code;
  if (uint32_t code = OpenOwnedFile(dir->get(), path.c_str() + slash + 1, owner, kRead, kOpenExisting, 0600, &file)) {
    return code;
  }
  return ::fstat(file.get(), checked) == 0 ? ERROR_SUCCESS : FromErrno(errno);
}

// The machine hive is root's, found by its path; only links and odd files are refused.
uint32_t FindMachineHive(const std::string& path, struct stat* checked) {
  if (::lstat(path.c_str(), checked) != 0) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : FromErrno(errno);
  if (S_ISLNK(checked->st_mode)) return ERROR_ACCESS_DENIED;
  if (!S_ISREG(checked->st_mode)) return ERROR_BADDB;
  return ERROR_SUCCESS;
}

}  // namespace

uint32_t Hive::Open(const HiveLocation& location, bool write, bool create, Hive* hive) {
  if (uint32_t code = fault::Check(fault::Op::Open)) return code;
  if (location.path.empty()) return create ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  // SQLite takes a name beginning with "file:" as a URI; a path with a directory never does.
  std::string path = location.path.front() == '/' ? location.path : "./" + location.path;
  HiveLocation where = location;
  where.path = path;
  Hive opened;
  struct stat st {};
  const auto find = [&] {
    return location.machine ? FindMachineHive(path, &st) : FindUserHive(where, &opened.dir_, &st);
  };
  uint32_t code = find();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    if ((code = CreateHiveFile(where)) != ERROR_SUCCESS) return code;
    code = find();
  }
  if (code != ERROR_SUCCESS) return code;
  // SQLite opens a user hive by a name that leads through the checked directory, and
  // only if it finds there the very file that was checked.
  if (!location.machine) path = PathThrough(opened.dir_.get(), path.c_str() + path.rfind('/') + 1);
  ExpectFile expect(path, st.st_dev, st.st_ino);

  if ((code = opened.Connect(path, write)) != ERROR_SUCCESS) return code;
  // Reading the root key proves the file a hive: garbage, a damaged file or a
  // database of another kind fails here rather than at some later call.
  bool exists = false;
  code = opened.KeyExists(kRootKey, &exists);
  // A writer killed in the middle of a transaction leaves its journal behind, and only
  // a connection that may write can roll it back; until one does, every reader is
  // refused. A reader that could write does it once, and reads on as a reader.
  if (code != ERROR_SUCCESS && !write &&
      sqlite3_extended_errcode(opened.db_) == SQLITE_READONLY_ROLLBACK) {
    Hive recovering;
    if (recovering.Connect(path, true) == ERROR_SUCCESS &&
        recovering.KeyExists(kRootKey, &exists) == ERROR_SUCCESS) {
      recovering.writable_ = false;
      sqlite3_close_v2(opened.db_);
      opened.db_ = std::exchange(recovering.db_, nullptr);
      opened.writable_ = false;
      code = ERROR_SUCCESS;
    }
  }
  if (code != ERROR_SUCCESS) return code;
  if (!exists) return ERROR_BADDB;
  *hive = std::move(opened);
  return ERROR_SUCCESS;
}

uint32_t Hive::Connect(const std::string& path, bool write) {
  int flags = (write ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY) | SQLITE_OPEN_NOMUTEX;
  int rc = sqlite3_open_v2(path.c_str(), &db_, flags, HiveVfs());
  if (rc != SQLITE_OK) return FromSqlite(db_, rc);
  // SQLite quietly falls back to reading when the file cannot be opened for writing.
  if (write && sqlite3_db_readonly(db_, "main") != 0) return ERROR_ACCESS_DENIED;
  writable_ = write;
  sqlite3_busy_handler(db_, WaitForLock, reinterpret_cast<void*>(uintptr_t{g_lock_timeout_ms.load()}));
  return ERROR_SUCCESS;
}

uint32_t Hive::KeyExists(int64_t key, bool* exists) {
  Statement find(db_, "SELECT 1 FROM keys WHERE id = ?1");
  int rc = find.Bind(1, key).Step();
  if (rc != SQLITE_ROW && rc != SQLITE_DONE) return FromSqlite(db_, rc);
  *exists = rc == SQLITE_ROW;
  return ERROR_SUCCESS;
}

uint32_t Hive::Missing(int64_t key, uint32_t code_if_present) {
  bool exists = false;
  if (uint32_t code = KeyExists(key, &exists)) return code;
  return exists ? code_if_present : ERROR_KEY_DELETED;
}

template <typename Body>
uint32_t Hive::Write(int64_t key, Body body) {
  if (!writable_) return ERROR_ACCESS_DENIED;
  WriteTransaction transaction(db_);
  if (uint32_t code = transaction.Begin()) return code;
  if (uint32_t code = Missing(key, ERROR_SUCCESS)) return code;
  if (uint32_t code = body()) return code;
  return transaction.Commit();
}

uint32_t Hive::Walk(int64_t from, std::string_view path, bool create, int64_t* id, bool* created) {
  if (uint32_t code = Missing(from, ERROR_SUCCESS)) return code;
  int64_t current = from;
  bool made = false;
  uint32_t code = ForEachName(path, [&](std::string_view name) -> uint32_t {
    Statement find(db_, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
    int rc = find.Bind(1, current).BindText(2, name).Step();
    if (rc == SQLITE_ROW) {
      current = find.Int(0);
      made = false;
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    if (!create) return ERROR_FILE_NOT_FOUND;
    Statement insert(db_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
    rc = insert.Bind(1, current).BindText(2, name).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    current = sqlite3_last_insert_rowid(db_);
    made = true;
    return ERROR_SUCCESS;
  });
  if (code != ERROR_SUCCESS) return code;
  *id = current;
  if (created != nullptr) *created = made;
  return ERROR_SUCCESS;
}

uint32_t Hive::FindKey(int64_t from, std::string_view path, int64_t* id) {
  return Walk(from, path, false, id, nullptr);
}

uint32_t Hive::CreateKey(int64_t from, std::string_view path, int64_t* id, bool* created) {
  return Write(from, [&] { return Walk(from, path, true, id, created); });
}

uint32_t Hive::DeleteKey(int64_t from, std::string_view path) {
  return Write(from, [&]() -> uint32_t {
    int64_t target = 0;
    if (uint32_t code = Walk(from, path, false, &target, nullptr)) return code;
    if (target == kRootKey) return ERROR_ACCESS_DENIED;
    Statement child(db_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    int rc = child.Bind(1, target).Step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    Statement values(db_, "DELETE FROM \"values\" WHERE key = ?1");
    rc = values.Bind(1, target).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    Statement key(db_, "DELETE FROM keys WHERE id = ?1");
    rc = key.Bind(1, target).Step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : FromSqlite(db_, rc);
  });
}

uint32_t Hive::GetValue(int64_t key, std::string_view name, Value* value, uint64_t limit) {
  // length() of a blob is read from its record header, without its content: the size
  // is known before anything of that size is loaded. One read transaction keeps the
  // size and the data from different states of the hive.
  ReadTransaction transaction(db_);
  if (uint32_t code = transaction.Begin()) return code;
  Statement find(db_, "SELECT type, length(data) FROM \"values\" WHERE key = ?1 AND name = ?2");
  int rc = find.Bind(1, key).BindText(2, name).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_FILE_NOT_FOUND);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  value->type = static_cast<uint32_t>(find.Int(0));
  value->size = static_cast<uint64_t>(find.Int(1));
  value->data.clear();
  if (value->size == 0 || value->size > limit) return ERROR_SUCCESS;
  Statement load(db_, "SELECT data FROM \"values\" WHERE key = ?1 AND name = ?2");
  rc = load.Bind(1, key).BindText(2, name).Step();
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  value->data = load.Bytes(0);
  return ERROR_SUCCESS;
}

uint32_t Hive::SetValue(int64_t key, std::string_view name, const Value& value) {
  return Write(key, [&]() -> uint32_t {
    // An existing value keeps the spelling of its name, as a new type and data replace the old.
    Statement set(
        db_,
        "INSERT INTO \"values\"(key, name, type, data) VALUES(?1, ?2, ?3, ?4)"
        " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    int rc = set.Bind(1, key).BindText(2, name).Bind(3, value.type).BindBlob(4, value.data).Step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : FromSqlite(db_, rc);
  });
}

uint32_t Hive::DeleteValue(int64_t key, std::string_view name) {
  return Write(key, [&]() -> uint32_t {
    Statement erase(db_, "DELETE FROM \"values\" WHERE key = ?1 AND name = ?2");
    int rc = erase.Bind(1, key).BindText(2, name).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    return sqlite3_changes(db_) == 0 ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS;
  });
}

uint32_t Hive::ValueAt(int64_t key, uint32_t index, std::string* name, Value* value, uint64_t limit) {
  ReadTransaction transaction(db_);
  if (uint32_t code = transaction.Begin()) return code;
  Statement at(
      db_,
      "SELECT name, type, length(data) FROM \"values\" WHERE key = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
  int rc = at.Bind(1, key).Bind(2, index).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  *name = at.Bytes(0);
  value->type = static_cast<uint32_t>(at.Int(1));
  value->size = static_cast<uint64_t>(at.Int(2));
  value->data.clear();
  if (value->size == 0 || value->size > limit) return ERROR_SUCCESS;
  Statement load(db_, "SELECT data FROM \"values\" WHERE key = ?1 AND name = ?2");
  rc = load.Bind(1, key).BindText(2, *name).Step();
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  value->data = load.Bytes(0);
  return ERROR_SUCCESS;
}

uint32_t Hive::SubKeyAt(int64_t key, uint32_t index, std::string* name) {
  Statement at(db_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
  int rc = at.Bind(1, key).Bind(2, index).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  *name = at.Bytes(0);
  return ERROR_SUCCESS;
}

uint32_t Hive::Info(int64_t key, KeyInfo* info) {
  // One statement, so that the counts and sizes come from one state of the hive.
  Statement query(
      db_,
      "SELECT EXISTS(SELECT 1 FROM keys WHERE id = ?1),"
      " (SELECT count(*) FROM keys WHERE parent = ?1),"
      " (SELECT ifnull(max(length(CAST(name AS BLOB))), 0) FROM keys WHERE parent = ?1),"
      " (SELECT count(*) FROM \"values\" WHERE key = ?1),"
      " (SELECT ifnull(max(length(CAST(name AS BLOB))), 0) FROM \"values\" WHERE key = ?1),"
      " (SELECT ifnull(max(length(CAST(data AS BLOB))), 0) FROM \"values\" WHERE key = ?1)");
  int rc = query.Bind(1, key).Step();
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc == SQLITE_DONE ? SQLITE_CORRUPT : rc);
  if (query.Int(0) == 0) return ERROR_KEY_DELETED;
  info->sub_keys = query.Count(1);
  info->max_sub_key_len = query.Count(2);
  info->values = query.Count(3);
  info->max_value_name_len = query.Count(4);
  info->max_value_len = query.Count(5);
  return ERROR_SUCCESS;
}

}  // namespace registry
}  // namespace platform
