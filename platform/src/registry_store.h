// One open connection to a hive and the key and value operations on it, by key id.
// A Hive is never shared between handles or kept across a fork: every key handle owns
// its own. Reads run as single statements; every write is one IMMEDIATE transaction,
// waiting at most the lock time-out for another writer (then ERROR_TIMEOUT). An
// operation on a key that no longer exists reports ERROR_KEY_DELETED.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "hive_location.h"
#include "platform/files.h"

namespace platform::registry {

inline constexpr int64_t kRootKey = 1;

struct Value {
  uint32_t type = 0;
  std::string data;   // empty when the value was longer than the reader's limit
  uint64_t size = 0;  // the stored length, loaded or not
};

// No limit on the bytes a read loads.
inline constexpr uint64_t kWholeValue = UINT64_MAX;

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
  Hive(Hive&& other) noexcept;
  Hive& operator=(Hive&& other) noexcept;
  ~Hive();

  // Opens the hive file at `location`, for writing when `write` (ERROR_ACCESS_DENIED
  // when the file cannot be written), making it first when it does not exist and
  // `create` is set (else ERROR_FILE_NOT_FOUND).
  static uint32_t Open(const HiveLocation& location, bool write, bool create, Hive* hive);

  bool writable() const noexcept { return writable_; }

  // Key paths are names separated by "\", empty names skipped, taken from key `from`.
  uint32_t FindKey(int64_t from, std::string_view path, int64_t* id);
  uint32_t CreateKey(int64_t from, std::string_view path, int64_t* id, bool* created);
  // Refuses the hive's root and a key with sub-keys (ERROR_ACCESS_DENIED).
  uint32_t DeleteKey(int64_t from, std::string_view path);

  // Reads a value; its data is loaded only when it is at most `limit` bytes long, so
  // that a reader with a small buffer never holds a huge value in memory.
  uint32_t GetValue(int64_t key, std::string_view name, Value* value, uint64_t limit = kWholeValue);
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
  uint32_t Walk(int64_t from, std::string_view path, bool create, int64_t* id, bool* created);
  // Runs `body` in one write transaction on an existing `key`, committing on success.
  template <typename Body>
  uint32_t Write(int64_t key, Body body);
  uint32_t KeyExists(int64_t key, bool* exists);
  uint32_t Missing(int64_t key, uint32_t code_if_present);

  sqlite3* db_ = nullptr;
  bool writable_ = false;
  // A user hive's directory, through which SQLite names the hive and its journal, so
  // that they stay in the directory that was checked. Closed after the connection.
  UniqueFile dir_;
};

}  // namespace platform::registry
