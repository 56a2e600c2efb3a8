// The SQLite side of the registry: opening a hive safely, checking a kept connection
// against its path, walking key paths, and reading and writing values, each write in
// one transaction, every statement prepared once per connection.
#include "registry_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>
#include <utility>
#include <vector>

#include "hive_file.h"
#include "platform/errors.h"
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

// The wait for a locked hive. SQLite's own busy handler backs off to 100 ms between
// tries, but a busy writer frees the lock only for microseconds between transactions,
// so a waiter with 50 tries in 5 s could starve. Trying every millisecond up to the
// deadline gives thousands of chances. A known compromise: the wait is still not a
// queue, so a waiter is not guaranteed its turn before the bound, only very likely to
// get it. A connection is used by one thread at a time and a wait runs to its end on
// that thread, so its start fits a thread_local. The bound is read at each wait, as
// a kept connection outlives any one setting of it.
int WaitForLock(void*, int count) {
  using Clock = std::chrono::steady_clock;
  thread_local Clock::time_point started;
  if (count == 0) started = Clock::now();
  auto bound = std::chrono::milliseconds(g_lock_timeout_ms.load());
  auto left = bound - (Clock::now() - started);
  if (left <= Clock::duration::zero()) return 0;
  auto pause =
      count < 3 ? std::chrono::microseconds(100 << count) : std::chrono::microseconds(1000);
  std::this_thread::sleep_for(std::min<Clock::duration>(pause, left));
  return 1;
}

uint32_t Run(sqlite3* db, StatementCache* statements, const char* sql) {
  Statement statement(db, statements, sql);
  const int rc = statement.Step();
  return rc == SQLITE_DONE || rc == SQLITE_ROW ? ERROR_SUCCESS : FromSqlite(db, rc);
}

// BEGIN IMMEDIATE takes the write lock at once (waiting the busy time-out for it),
// so a transaction never fails half-way for want of the lock; anything not
// committed is rolled back.
class WriteTransaction {
 public:
  WriteTransaction(sqlite3* db, StatementCache* statements) : db_(db), statements_(statements) {}
  ~WriteTransaction() {
    if (sqlite3_get_autocommit(db_) == 0) Run(db_, statements_, "ROLLBACK");
  }
  WriteTransaction(const WriteTransaction&) = delete;
  WriteTransaction& operator=(const WriteTransaction&) = delete;
  uint32_t Begin() { return Run(db_, statements_, "BEGIN IMMEDIATE"); }
  uint32_t Commit() { return Run(db_, statements_, "COMMIT"); }

 private:
  sqlite3* db_;
  StatementCache* statements_;
};

// A deferred read transaction, so that several statements see one state of the hive;
// inside a transaction already open it does nothing. It ends with the call.
class ReadTransaction {
 public:
  ReadTransaction(sqlite3* db, StatementCache* statements) : db_(db), statements_(statements) {}
  ~ReadTransaction() {
    if (began_) Run(db_, statements_, "COMMIT");
  }
  ReadTransaction(const ReadTransaction&) = delete;
  ReadTransaction& operator=(const ReadTransaction&) = delete;
  uint32_t Begin() {
    if (sqlite3_get_autocommit(db_) == 0) return ERROR_SUCCESS;
    if (uint32_t code = Run(db_, statements_, "BEGIN")) return code;
    began_ = true;
    return ERROR_SUCCESS;
  }

 private:
  sqlite3* db_;
  StatementCache* statements_;
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

// Names as the hive's NOCASE collation compares them: ASCII letters folded.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// The most a read loads, as SQL sees it.
int64_t SqlLimit(uint64_t limit) { return limit > INT64_MAX ? INT64_MAX : static_cast<int64_t>(limit); }

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

// What safe_open.h asks of a user's directory or file, on what lstat found.
bool PassesOwnedCheck(const struct stat& st, uint32_t uid, bool directory) {
  const bool right_kind = directory ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode) && st.st_nlink == 1;
  return right_kind && st.st_uid == uid && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Connections of another process met in a child: never closed here (that would act on
// the parent's locks and files), only kept reachable.
std::vector<sqlite3*>& Abandoned() {
  static auto* abandoned = new std::vector<sqlite3*>();
  return *abandoned;
}

}  // namespace

Hive::~Hive() {
  if (OpenedHere()) {
    Disconnect();
    return;
  }
  statements_.Abandon();
  if (db_ != nullptr) Abandoned().push_back(db_);
}

void Hive::Disconnect() noexcept {
  statements_.Finalize();
  sqlite3_close_v2(db_);
  db_ = nullptr;
}

bool Hive::OpenedHere() const noexcept { return opener_ == ::getpid(); }

uint32_t Hive::Open(const HiveLocation& location, bool write, bool create, std::unique_ptr<Hive>* hive) {
  if (location.path.empty()) return create ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND;
  auto opened = std::make_unique<Hive>();
  opened->opener_ = ::getpid();
  opened->location_ = location;
  // SQLite takes a name beginning with "file:" as a URI; a path with a directory never does.
  HiveLocation where = location;
  if (where.path.front() != '/') where.path = "./" + where.path;
  std::string path = where.path;
  struct stat st {};
  const auto find = [&] {
    return location.machine ? FindMachineHive(path, &st) : FindUserHive(where, &opened->dir_, &st);
  };
  uint32_t code = find();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    if ((code = CreateHiveFile(where)) != ERROR_SUCCESS) return code;
    code = find();
  }
  if (code != ERROR_SUCCESS) return code;
  opened->file_ = FileId{st.st_dev, st.st_ino};
  if (!location.machine) {
    struct stat dir {};
    if (::fstat(opened->dir_.get(), &dir) != 0) return FromErrno(errno);
    opened->dir_id_ = FileId{dir.st_dev, dir.st_ino};
    // SQLite opens a user hive by a name that leads through the checked directory,
    // and only if it finds there the very file that was checked.
    path = PathThrough(opened->dir_.get(), path.c_str() + path.rfind('/') + 1);
  }
  ExpectFile expect(path, st.st_dev, st.st_ino);

  if ((code = opened->Connect(path, write)) != ERROR_SUCCESS) return code;
  // Reading the root key proves the file a hive: garbage, a damaged file or a
  // database of another kind fails here rather than at some later call.
  bool exists = false;
  code = opened->KeyExists(kRootKey, &exists);
  // A writer killed in the middle of a transaction leaves its journal behind, and only
  // a connection that may write can roll it back; until one does, every reader is
  // refused. A reader that could write does it once, and reads on as a reader.
  if (code != ERROR_SUCCESS && !write && sqlite3_extended_errcode(opened->db_) == SQLITE_READONLY_ROLLBACK) {
    opened->Disconnect();
    uint32_t recovered = opened->Connect(path, true);
    if (recovered == ERROR_SUCCESS) recovered = opened->KeyExists(kRootKey, &exists);
    opened->writable_ = false;
    if (recovered == ERROR_SUCCESS) code = ERROR_SUCCESS;
  }
  if (code != ERROR_SUCCESS) return code;
  if (!exists) return ERROR_BADDB;
  opened->NoteFileState();
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
  sqlite3_busy_handler(db_, WaitForLock, nullptr);
  return ERROR_SUCCESS;
}

bool Hive::StillCurrent() const {
  struct stat st {};
  if (::lstat(location_.path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || FileId{st.st_dev, st.st_ino} != file_ ||
      StateOf(st) != state_) {
    return false;
  }
  if (location_.machine) return true;
  if (!PassesOwnedCheck(st, location_.uid, false)) return false;
  // The journal goes where the kept directory is: it must still be the hive's.
  const std::string dir = location_.path.substr(0, location_.path.rfind('/'));
  return ::lstat(dir.c_str(), &st) == 0 && FileId{st.st_dev, st.st_ino} == dir_id_ &&
         PassesOwnedCheck(st, location_.uid, true);
}

void Hive::NoteFileState() {
  struct stat st {};
  // A file that cannot be looked at is never taken for unchanged.
  state_ = ::lstat(location_.path.c_str(), &st) == 0 ? StateOf(st) : FileState{};
}

bool Hive::Troubled(uint32_t code) const noexcept {
  if (code == ERROR_BADDB || code == ERROR_IO_DEVICE || code == ERROR_CANTOPEN) return true;
  return code == ERROR_ACCESS_DENIED && db_ != nullptr &&
         sqlite3_extended_errcode(db_) == SQLITE_READONLY_ROLLBACK;
}

uint32_t Hive::KeyExists(int64_t key, bool* exists) {
  Statement find(db_, &statements_, "SELECT 1 FROM keys WHERE id = ?1");
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
uint32_t Hive::Write(int64_t, Body body) {
  if (!writable_) return ERROR_ACCESS_DENIED;
  WriteTransaction transaction(db_, &statements_);
  if (uint32_t code = transaction.Begin()) return code;
  if (uint32_t code = body()) return code;
  return transaction.Commit();
}

uint32_t Hive::Walk(int64_t from, std::string_view path, bool create, int64_t* id, bool* created) {
  int64_t current = from;
  bool made = false;
  bool first = true;
  uint32_t code = ForEachName(path, [&](std::string_view name) -> uint32_t {
    Statement find(db_, &statements_, "SELECT id FROM keys WHERE parent = ?1 AND name = ?2");
    int rc = find.Bind(1, current).BindText(2, name).Step();
    if (rc == SQLITE_ROW) {
      current = find.Int(0);
      made = false;
      first = false;
      return ERROR_SUCCESS;
    }
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    // A child found proves its parent; only a first name not found leaves open
    // whether the key walked from is still there.
    if (first) {
      if (uint32_t missing = Missing(from, ERROR_SUCCESS)) return missing;
      first = false;
    }
    if (!create) return ERROR_FILE_NOT_FOUND;
    Statement insert(db_, &statements_, "INSERT INTO keys(parent, name) VALUES(?1, ?2)");
    rc = insert.Bind(1, current).BindText(2, name).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    current = sqlite3_last_insert_rowid(db_);
    made = true;
    return ERROR_SUCCESS;
  });
  if (code != ERROR_SUCCESS) return code;
  if (first) {
    // No name at all: the key walked from is the result, if it still exists.
    if (uint32_t missing = Missing(from, ERROR_SUCCESS)) return missing;
  }
  *id = current;
  if (created != nullptr) *created = made;
  return ERROR_SUCCESS;
}

uint32_t Hive::FindKey(int64_t from, std::string_view path, int64_t* id) {
  // One transaction takes the hive's lock once for the whole walk, not once a name.
  ReadTransaction transaction(db_, &statements_);
  if (uint32_t code = transaction.Begin()) return code;
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
    Statement child(db_, &statements_, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
    int rc = child.Bind(1, target).Step();
    if (rc == SQLITE_ROW) return ERROR_ACCESS_DENIED;
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    Statement values(db_, &statements_, "DELETE FROM \"values\" WHERE key = ?1");
    rc = values.Bind(1, target).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    Statement key(db_, &statements_, "DELETE FROM keys WHERE id = ?1");
    rc = key.Bind(1, target).Step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : FromSqlite(db_, rc);
  });
}

// length() of a blob is read from its record header, without its content, and the
// content is loaded only when the reader has room for it: a huge value is measured,
// never copied out. Size and data come from one row, so from one state of the hive.
uint32_t Hive::GetValue(int64_t key, std::string_view name, Value* value, uint64_t limit) {
  Statement find(db_, &statements_,
                 "SELECT type, length(data), CASE WHEN length(data) <= ?3 THEN data END"
                 " FROM \"values\" WHERE key = ?1 AND name = ?2");
  int rc = find.Bind(1, key).BindText(2, name).Bind(3, SqlLimit(limit)).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_FILE_NOT_FOUND);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  value->type = static_cast<uint32_t>(find.Int(0));
  value->size = static_cast<uint64_t>(find.Int(1));
  value->data = find.Bytes(2);
  return ERROR_SUCCESS;
}

uint32_t Hive::GetValues(int64_t key, NamedValue* values, size_t count, uint64_t limit) {
  // Up to eight names a query, the slots left over bound to NULL, which matches nothing.
  constexpr size_t kSlots = 8;
  ReadTransaction transaction(db_, &statements_);
  if (uint32_t code = transaction.Begin()) return code;
  bool any_found = false;
  for (size_t i = 0; i < count; ++i) values[i].code = ERROR_FILE_NOT_FOUND;
  for (size_t first = 0; first < count; first += kSlots) {
    const size_t last = std::min(count, first + kSlots);
    Statement find(db_, &statements_,
                   "SELECT name, type, length(data), CASE WHEN length(data) <= ?2 THEN data END"
                   " FROM \"values\" WHERE key = ?1 AND name IN (?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10)");
    find.Bind(1, key).Bind(2, SqlLimit(limit));
    for (size_t i = first; i < last; ++i) find.BindText(static_cast<int>(3 + i - first), values[i].name);
    int rc;
    while ((rc = find.Step()) == SQLITE_ROW) {
      any_found = true;
      const std::string stored = find.Bytes(0);
      for (size_t i = first; i < last; ++i) {
        if (!SameName(values[i].name, stored)) continue;
        values[i].code = ERROR_SUCCESS;
        values[i].value.type = static_cast<uint32_t>(find.Int(1));
        values[i].value.size = static_cast<uint64_t>(find.Int(2));
        values[i].value.data = find.Bytes(3);
      }
    }
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
  }
  return any_found || count == 0 ? ERROR_SUCCESS : Missing(key, ERROR_SUCCESS);
}

uint32_t Hive::GetValueAt(int64_t from, std::string_view path, std::string_view name, Value* value) {
  ReadTransaction transaction(db_, &statements_);
  if (uint32_t code = transaction.Begin()) return code;
  int64_t key = 0;
  if (uint32_t code = FindKey(from, path, &key)) return code;
  return GetValue(key, name, value);
}

uint32_t Hive::GetAllValuesAt(int64_t from, std::string_view path, std::vector<RegValue>* values) {
  values->clear();
  ReadTransaction transaction(db_, &statements_);
  if (uint32_t code = transaction.Begin()) return code;
  int64_t key = 0;
  if (uint32_t code = FindKey(from, path, &key)) return code;
  Statement all(db_, &statements_, "SELECT name, type, data FROM \"values\" WHERE key = ?1");
  all.Bind(1, key);
  int rc;
  while ((rc = all.Step()) == SQLITE_ROW) {
    values->push_back({all.Bytes(0), static_cast<uint32_t>(all.Int(1)), all.Bytes(2)});
  }
  return rc == SQLITE_DONE ? ERROR_SUCCESS : FromSqlite(db_, rc);
}

uint32_t Hive::SetValue(int64_t key, std::string_view name, const Value& value) {
  return Write(key, [&]() -> uint32_t {
    // An existing value keeps the spelling of its name, as a new type and data replace
    // the old. Nothing is inserted below a key that has gone.
    Statement set(db_, &statements_,
                  "INSERT INTO \"values\"(key, name, type, data)"
                  " SELECT ?1, ?2, ?3, ?4 WHERE EXISTS(SELECT 1 FROM keys WHERE id = ?1)"
                  " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    int rc = set.Bind(1, key).BindText(2, name).Bind(3, value.type).BindBlob(4, value.data).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    return sqlite3_changes(db_) == 0 ? ERROR_KEY_DELETED : ERROR_SUCCESS;
  });
}

uint32_t Hive::DeleteValue(int64_t key, std::string_view name) {
  return Write(key, [&]() -> uint32_t {
    Statement erase(db_, &statements_, "DELETE FROM \"values\" WHERE key = ?1 AND name = ?2");
    int rc = erase.Bind(1, key).BindText(2, name).Step();
    if (rc != SQLITE_DONE) return FromSqlite(db_, rc);
    return sqlite3_changes(db_) == 0 ? Missing(key, ERROR_FILE_NOT_FOUND) : ERROR_SUCCESS;
  });
}

uint32_t Hive::ValueAt(int64_t key, uint32_t index, std::string* name, Value* value, uint64_t limit) {
  Statement at(db_, &statements_,
               "SELECT name, type, length(data), CASE WHEN length(data) <= ?3 THEN data END"
               " FROM \"values\" WHERE key = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
  int rc = at.Bind(1, key).Bind(2, index).Bind(3, SqlLimit(limit)).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  *name = at.Bytes(0);
  value->type = static_cast<uint32_t>(at.Int(1));
  value->size = static_cast<uint64_t>(at.Int(2));
  value->data = at.Bytes(3);
  return ERROR_SUCCESS;
}

uint32_t Hive::SubKeyAt(int64_t key, uint32_t index, std::string* name) {
  Statement at(db_, &statements_, "SELECT name FROM keys WHERE parent = ?1 ORDER BY name LIMIT 1 OFFSET ?2");
  int rc = at.Bind(1, key).Bind(2, index).Step();
  if (rc == SQLITE_DONE) return Missing(key, ERROR_NO_MORE_ITEMS);
  if (rc != SQLITE_ROW) return FromSqlite(db_, rc);
  *name = at.Bytes(0);
  return ERROR_SUCCESS;
}

uint32_t Hive::Info(int64_t key, KeyInfo* info) {
  // One statement, so that the counts and sizes come from one state of the hive.
  Statement query(
      db_, &statements_,
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
