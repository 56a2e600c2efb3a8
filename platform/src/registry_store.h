// One connection to a hive and the key and value operations on it, by key id, shared
// by the process's key handles one caller at a time (hive_cache.h). Reads run in one
// statement or one short read transaction; every write is one IMMEDIATE transaction,
// waiting at most the lock time-out (then ERROR_TIMEOUT). Nothing is held between
// calls, so other processes' writes are seen by the next one. An operation on a key
// that no longer exists reports ERROR_KEY_DELETED.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "file_state.h"
#include "hive_location.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "sqlite_statements.h"

namespace platform::registry {

inline constexpr int64_t kRootKey = 1;

struct Value {
  uint32_t type = 0;
  std::string data;   // empty when the value was longer than the reader's limit
  uint64_t size = 0;  // the stored length, loaded or not
};

// No limit on the bytes a read loads.
inline constexpr uint64_t kWholeValue = UINT64_MAX;

// One value of a batch read: the name in, and what a single read would have given.
struct NamedValue {
  std::string_view name;
  uint32_t code = 0;  // 0, ERROR_FILE_NOT_FOUND
  Value value;
};

struct KeyInfo {
  uint32_t sub_keys = 0;
  uint32_t max_sub_key_len = 0;
  uint32_t values = 0;
  uint32_t max_value_name_len = 0;
  uint32_t max_value_len = 0;
};


class Hive {
 public:
  Hive() noexcept = default;
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;
  ~Hive();

  // Opens the hive file at `location`, for writing when `write` (ERROR_ACCESS_DENIED
  // when the file cannot be written), making it first when it does not exist and
  // `create` is set (else ERROR_FILE_NOT_FOUND). Every check of safe_open.h applies.
  static uint32_t Open(const HiveLocation& location, bool write, bool create, std::unique_ptr<Hive>* hive);

  // Whether the path still leads, without a link, to the very directory and file this
  // connection opened, they still pass the checks they passed then, and nobody but
  // this connection has written the file since it last looked (its size, modification
  // and change times as noted). Two lstat calls: cheap enough for every use. A file
  // changed by another hand is opened afresh rather than trusted to SQLite, which
  // notices only changes that SQLite made.
  bool StillCurrent() const;
  // Notes the file's size and times as this connection leaves it (after a write).
  void NoteFileState();
  // Whether this process opened the connection (it may use it).
  bool OpenedHere() const noexcept;
  // Whether a failure `code` of the last operation is the connection's own trouble
  // (a damaged or rewritten file, a journal only a writer may roll back), so that a
  // fresh connection might fare differently.
  bool Troubled(uint32_t code) const noexcept;

  bool writable() const noexcept { return writable_; }
  const FileId& file() const noexcept { return file_; }
  const HiveLocation& location() const noexcept { return location_; }
  std::mutex& mutex() noexcept { return mutex_; }

  // Key paths are names separated by "\", empty names skipped, taken from key `from`.
  uint32_t FindKey(int64_t from, std::string_view path, int64_t* id);
  uint32_t CreateKey(int64_t from, std::string_view path, int64_t* id, bool* created);
  // Refuses the hive's root and a key with sub-keys (ERROR_ACCESS_DENIED).
  uint32_t DeleteKey(int64_t from, std::string_view path);

  // Reads a value; its data is loaded only when it is at most `limit` bytes long, so
  // that a reader with a small buffer never holds a huge value in memory.
  uint32_t GetValue(int64_t key, std::string_view name, Value* value, uint64_t limit = kWholeValue);
  // Reads several values from one state of the hive, each as GetValue would (its own
  // code says whether it was found); the result is the failure that stopped them all.
  uint32_t GetValues(int64_t key, NamedValue* values, size_t count, uint64_t limit);
  // Finds the key at `path` below `from` and reads its value `name` whole, or every
  // value it has, in one read transaction: one state of the hive, one lock.
  uint32_t GetValueAt(int64_t from, std::string_view path, std::string_view name, Value* value);
  uint32_t GetAllValuesAt(int64_t from, std::string_view path, std::vector<RegValue>* values);
  uint32_t SetValue(int64_t key, std::string_view name, const Value& value);
  uint32_t DeleteValue(int64_t key, std::string_view name);

  // The index-th value or sub-key in order of name ignoring case; ERROR_NO_MORE_ITEMS
  // past the end.
  uint32_t ValueAt(int64_t key, uint32_t index, std::string* name, Value* value, uint64_t limit = kWholeValue);
  uint32_t SubKeyAt(int64_t key, uint32_t index, std::string* name);

  uint32_t Info(int64_t key, KeyInfo* info);

 private:
  // Opens the connection on the file at `path`, for writing when `write`.
  uint32_t Connect(const std::string& path, bool write);
  void Disconnect() noexcept;
  uint32_t Walk(int64_t from, std::string_view path, bool create, int64_t* id, bool* created);
  // Runs `body` in one write transaction on an existing `key`, committing on success.
  template <typename Body>
  uint32_t Write(int64_t key, Body body);
  uint32_t KeyExists(int64_t key, bool* exists);
  uint32_t Missing(int64_t key, uint32_t code_if_present);
  uint32_t LoadData(int64_t key, std::string_view name, Value* value);

  sqlite3* db_ = nullptr;
  StatementCache statements_;
  bool writable_ = false;
  pid_t opener_ = 0;
  HiveLocation location_;
  FileId file_;  // held while the connection is open, so no other file can take its device and inode
  FileState state_;
  FileId dir_id_;  // a user hive's directory
  // A user hive's directory, through which SQLite names the hive and its journal, so
  // that they stay in the directory that was checked. Closed after the connection.
  UniqueFile dir_;
  std::mutex mutex_;
};

}  // namespace platform::registry
